// The quick look at the panorama: the camera fit and geometry at the preview size, then every
// photograph resampled into it, the reference last so that it ends up on top.
#include "engine/EngineText.h"
#include "engine/PanoramaEngine.h"
#include "image/ImageFile.h"
#include "stitching/EmptySample.h"
#include "stitching/PreviewRenderer.h"

#include <QString>

using Zelvo::Chars;

bool PanoramaEngine::PreviewStitch(ImgRGB& target) {
    target.Resize(0, 0);
    OperationTexts texts;
    texts.failed = "...preview stitching failed\n";
    return RunOperation(
        texts,
        [this, &target] {
            Log(Tr("Preview stitching...\n"));
            if (!InitStitchGeometry(GetPanoramaPreviewImageSize()))
                throw "... failed (Could not initialize)\n";
            for (const Camera& camera : cameraList) {
                const RectD& r = images[static_cast<size_t>(camera.image)].panoramaRect;
                if (!(r.width >= 1 && r.height >= 1))
                    throw "... stitching failed (Bad resulting image size)\n";
            }
            const int W = static_cast<int>(panoramaRect.width + 1.5), H = static_cast<int>(panoramaRect.height + 1.5);
            if (W < 50 || H < 50)
                throw "... failed( Bad image size)\n";
            ImgRGBSHORT work(W, H);
            work.FillRect(0, 0, W - 1, H - 1, RgbSHORT{EMPTY_SAMPLE, EMPTY_SAMPLE, EMPTY_SAMPLE});
            Log(Tr("Rendering images "));
            const int count = static_cast<int>(cameraList.size());
            const PhotographSource photographs = Photographs();
            for (int done = 0; done < count; ++done) {
                const Camera& camera = cameraList[static_cast<size_t>(count - 1 - done)];
                Tick();
                if (Step(done + 1, count,
                         Chars::Format(Tr("Rendering: Image %d of %d").c_str(), done + 1, count).c_str()))
                    ThrowAborted();
                ImgRGB source;
                photographs.Load(camera.image, source);
                InverseMapper mapper(GetProjection(), camera, panoramaTransformInverse);
                RenderPreviewImage(source, mapper, images[static_cast<size_t>(camera.image)].panoramaRect, work);
            }
            if (!target.Resize(W, H) || !target.HasPixels())
                throw "Could not allocate memory for the stitch image\n";
            work.CopyTo(target);
            Log(Tr(" done\n"));
            Log(Tr("...preview stitching done\n"));
            return true;
        },
        [&target] { target.Resize(0, 0); });
}
