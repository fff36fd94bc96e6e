// The quick look at the panorama: the camera fit and geometry at the preview size, then every
// photograph resampled into it, the reference last so that it ends up on top.
#include "engine/EngineText.h"
#include "engine/PanoramaEngine.h"
#include "engine/StitchedPanorama.h"
#include "image/ImageFile.h"
#include "stitching/EmptySample.h"
#include "stitching/PreviewRenderer.h"

#include <QString>

using Zelvo::Chars;

bool PanoramaEngine::PreviewStitch() {
    stitchedPanorama.reset();
    OperationTexts texts;
    texts.failed = "...preview stitching failed\n";
    return RunOperation(
        texts,
        [this] {
            Log(Tr("Preview stitching...\n"));
            const int size = GetPanoramaPreviewImageSize();
            if (!InitStitchGeometry(size))
                throw "... failed (Could not initialize)\n";
            for (const Camera& camera : cameraList) {
                const RectD& r = images[static_cast<size_t>(camera.image)].panoramaRect;
                if (!(r.width >= 1 && r.height >= 1))
                    throw "... stitching failed (Bad resulting image size)\n";
            }
            if (panoramaRect.width + 1.5 < 50 || panoramaRect.height + 1.5 < 50)
                throw "... failed( Bad image size)\n";
            auto preview = std::make_unique<StitchedPanorama>();
            preview->width = static_cast<int>(panoramaRect.width + 1.5);
            preview->height = static_cast<int>(panoramaRect.height + 1.5);
            const int renderSize = RenderSize(size);
            if (renderSize != size && !SetStitchGeometry(renderSize))
                throw "... failed (Could not initialize)\n";
            const int W = static_cast<int>(panoramaRect.width + 1.5), H = static_cast<int>(panoramaRect.height + 1.5);
            CanvasSettings settings;
            settings.budgetBytes = memoryBudget / 2;
            settings.scratchFolder = scratchFolder;
            preview->canvas = std::make_unique<PanoramaCanvas>(W, H, settings);
            // The samples are the photographs' own 8-bit values: nothing to convert.
            preview->range.plain = true;
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
                const RectD& rect = images[static_cast<size_t>(camera.image)].panoramaRect;
                const PixelRect window = Intersection(PixelRectOf(rect), PixelRect{0, 0, W, H});
                if (window.Empty())
                    continue;
                ImgRGBSHORT work;
                preview->canvas->Read(window, work);
                RenderPreviewImage(source, InverseMapper(GetProjection(), camera, panoramaTransformInverse), rect,
                                   window, work);
                preview->canvas->Write(window.left, window.top, work);
            }
            if (renderSize != size) {
                if (!SetStitchGeometry(size))
                    throw "... failed (Could not initialize)\n";
                preview->scale = double(renderSize - 1) / (size - 1);
            }
            stitchedPanorama = std::move(preview);
            Log(Tr(" done\n"));
            Log(Tr("...preview stitching done\n"));
            return true;
        },
        [this] { stitchedPanorama.reset(); });
}

bool PanoramaEngine::PreviewStitch(ImgRGB& target) {
    target.Resize(0, 0);
    if (!PreviewStitch())
        return false;
    if (PanoramaImage({0, 0, 0, 0}, 0, target))
        return true;
    Log(Tr("Could not allocate memory for the stitch image\n"));
    return false;
}
