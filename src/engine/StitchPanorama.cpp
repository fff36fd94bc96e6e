// The final stitch: camera fit and geometry at the panorama size, the photometric fit, then
// image after image a corrected working copy warped into the 16-bit panorama and blended in
// across its seam; then the tonal steps, the 8-bit output and the automatic crop.
#include <algorithm>
#include <deque>
#include <future>
#include <memory>
#include <string>

#include "engine/EngineText.h"
#include "engine/PanoramaEngine.h"
#include "image/ImageFile.h"
#include "image/LargeBlocks.h"
#include "stitching/Blender.h"
#include "stitching/BrightnessGradient.h"
#include "stitching/Contrast.h"
#include "stitching/CropRectangle.h"
#include "stitching/EmptySample.h"
#include "stitching/OutputConversion.h"
#include "stitching/PanoramaRender.h"
#include "stitching/PhotometricFit.h"
#include "stitching/RenderMasks.h"

using Zelvo::Chars;

namespace {

// Working copies are made ahead on a worker thread: loading, photometric correction and
// scaling do not depend on the panorama, so the next image's copy is ready when the blend of
// the current one ends. The copy is the same whichever thread makes it; a photograph that
// cannot be read throws where its copy is taken.
WorkingCopy Prepare(const PhotographSource& photographs, const Camera& camera, double scale, int workWidth,
                    int workHeight) {
    WorkingCopy copy;
    ImgRGB source;
    photographs.Load(camera.image, source);
    ImgRGBSHORT corrected(source.width, source.height);
    ApplyPhotometricCorrection(camera, source, corrected);
    source.Resize(0, 0);
    MakeWorkingCopy(corrected, scale, workWidth, workHeight, copy);
    return copy;
}

bool Intersects(const RectD& a, const RectD& b) {
    return a.left <= b.Right() && b.left <= a.Right() && a.top <= b.Bottom() && b.top <= a.Bottom();
}

}  // namespace

void PanoramaEngine::SetWorkingScales() {
    for (const Camera& camera : cameraList) {
        ImageRecord& image = images[static_cast<size_t>(camera.image)];
        const double w = image.width, h = image.height;
        const double rw = image.panoramaRect.width, rh = image.panoramaRect.height;
        if (!(rw >= 1 && rh >= 1))
            throw "...stitching failed (Bad resulting image size)\n";
        // The working copy takes the resolution the panorama gives the image, never more than
        // its own and never less than 256 pixels across.
        double N = std::min(rw / w, 1.0);
        double P = w * N, Q;
        if (P < 256) {
            N = N / P * 256;
            P = static_cast<int>(w * N);
            Q = static_cast<int>(h * N);
        } else {
            Q = h * N;
        }
        image.workScale = N;
        image.workWidth = static_cast<int>(P);
        image.workHeight = static_cast<int>(Q);
        if (P < 10 && Q < 10)
            throw "...stitching failed (Bad resulting image size)\n";
    }
}

void PanoramaEngine::RenderStep(int step, int image, int count) {
    if (Step(image, count,
             Chars::Format(Tr("Rendering panorama step %d: Image %d of %d").c_str(), step, image, count).c_str()))
        ThrowAborted();
}

void PanoramaEngine::RenderImages(ImgRGBSHORT& panorama) {
    const Projection& projection = GetProjection();
    const int count = static_cast<int>(cameraList.size());
    const PhotographSource photographs = Photographs();
    auto prepare = [this, &photographs](int a) {
        const Camera& camera = cameraList[static_cast<size_t>(a)];
        const ImageRecord& image = images[static_cast<size_t>(camera.image)];
        return std::async(std::launch::async, Prepare, std::cref(photographs), camera, image.workScale, image.workWidth,
                          image.workHeight);
    };
    // The first two copies are made together, while nothing else runs yet (the first photograph
    // is pasted without a blend); after that one copy is made ahead.
    const std::unique_ptr<stitch::Blender> blender = stitch::MakeBlender(
        GetUseGradientBlending() ? stitch::BlendMethod::GradientDomain : stitch::BlendMethod::Feathering,
        GetBlendWidth());
    std::deque<std::future<WorkingCopy>> ahead;
    int launched = 0;
    auto launch = [&] { ahead.push_back(prepare(launched++)); };
    launch();
    if (count > 1)
        launch();
    for (int a = 0; a < count; ++a) {
        const Camera& camera = cameraList[static_cast<size_t>(a)];
        ImageRecord& image = images[static_cast<size_t>(camera.image)];
        Tick();
        RenderStep(1, a + 1, count);
        WorkingCopy copy = ahead.front().get();
        ahead.pop_front();
        if (ahead.empty() && launched < count)
            launch();
        RenderStep(2, a + 1, count);
        image.workMinimum = copy.minimum;
        image.workMaximum = copy.maximum;

        RenderStep(3, a + 1, count);
        std::vector<EarlierImage> earlier;
        for (int f = 0; f < a; ++f) {
            const Camera& other = cameraList[static_cast<size_t>(f)];
            const ImageRecord& record = images[static_cast<size_t>(other.image)];
            if (Intersects(record.panoramaRect, image.panoramaRect))
                earlier.push_back({&other, record.workScale, record.workWidth, record.workHeight});
        }
        ImgUCHAR seam;
        SeamMask(projection, camera, copy, earlier, seam);

        RenderStep(4, a + 1, count);
        const PixelRect r = PixelRectOf(image.panoramaRect);
        ImgRGBSHORT A, B;
        ImgUCHAR C, M;
        WarpIntoRectangle(copy, InverseMapper(projection, camera, panoramaTransformInverse), seam, r, panorama, A, B, C,
                          M);
        copy.image.Resize(0, 0);
        seam.Resize(0, 0);

        RenderStep(5, a + 1, count);
        if (a == 0) {
            stitch::PasteCovered(A, C, panorama, r.left, r.top);
            continue;
        }
        stitch::ErodeCoverage(C);
        RenderStep(6, a + 1, count);
        blender->Prepare(B);
        blender->Feed(A, M);
        blender->Finish([&](int step) { RenderStep(step, a + 1, count); });
        stitch::PasteCovered(B, C, panorama, r.left, r.top);
    }
}

void PanoramaEngine::CorrectBrightness(ImgRGBSHORT& panorama) {
    stitch::BrightnessGradientInput input;
    for (const Camera& camera : cameraList) {
        const ImageRecord& image = images[static_cast<size_t>(camera.image)];
        const PointD centre = ForwardMap(GetProjectionType(), camera, image.width / 2, image.height / 2);
        input.cameras.push_back({centre, double(image.workMinimum), double(image.workMaximum)});
    }
    input.layoutPositions = layoutPositions;
    const ImageRecord& first = images[static_cast<size_t>(cameraList[0].image)];
    input.firstImageWidth = static_cast<int>(first.width);
    input.firstImageHeight = static_cast<int>(first.height);
    input.rotation = GetPanoramaImageRotation();
    stitch::CorrectBrightnessGradient(panorama, input, true);
    stitch::CorrectBrightnessGradient(panorama, input, false);
}

bool PanoramaEngine::StitchPanorama(ImgRGB& stitched, ImgRGB& cropped, RectD& cropRectangle) {
    OperationTexts texts;
    return RunOperation(
        texts,
        [&] {
            Log(Tr("Stitching panorama...\n"));
            stitched.Resize(0, 0);
            if (!InitStitchGeometry(GetPanoramaImageSize()))
                throw "...failed (Could not initialize)\n";
            auto panorama = std::make_unique<ImgRGBSHORT>();
            {
                // Photograph after photograph decodes and makes and drops images and grids of
                // the same sizes; the steps after the render make few large blocks.
                const LargeBlockReuse reuse;
                Log(Tr("Fitting photometric correction ... "));
                if (!FitPhotometricCorrection())
                    throw "Photometric fit failed\n";
                Log(Tr(" done\n"));
                SetWorkingScales();

                Log(Tr("Rendering "));
                const int W = static_cast<int>(panoramaRect.width + 1.5);
                const int H = static_cast<int>(panoramaRect.height + 1.5);
                panorama->Resize(W, H);
                panorama->FillRect(0, 0, W - 1, H - 1, RgbSHORT{EMPTY_SAMPLE, EMPTY_SAMPLE, EMPTY_SAMPLE});
                RenderImages(*panorama);
            }
            Log(Tr(" done\n"));

            if (!transitionTree)
                CorrectBrightness(*panorama);
            Status(Tr("Adjusting contrast..."));
            stitch::StretchContrastAndGamma(*panorama, GetDoGammaCorrection() ? GetGamma() : 1.0);
            try {
                stitch::ConvertToOutput(*panorama, stitched);
            } catch (const std::bad_alloc&) {
                throw "Could not allocate memory for the stitch image\n";
            }

            if (Status(Tr("Cropping...")))
                ThrowAborted();
            const stitch::CropRect automatic = stitch::FindCropRectangle(*panorama);
            panorama.reset();
            cropRectangle = {automatic.left, automatic.top, automatic.width, automatic.height};
            if (!CropPanorama(stitched, cropped, cropRectangle))
                throw "Cropping failed.\n";
            Status(Tr("Stitching done"));
            Log(Tr("...stitching done\n"));
            return true;
        },
        nullptr);
}
