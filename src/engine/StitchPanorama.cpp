// The final stitch: camera fit and geometry at the panorama size, the photometric fit, then
// image after image a corrected working copy warped into the 16-bit panorama and blended in
// across its seam; then the tonal steps, the 8-bit output and the automatic crop.
#include <algorithm>
#include <cmath>
#include <deque>
#include <future>
#include <memory>
#include <string>

#include "engine/EngineText.h"
#include "engine/PanoramaEngine.h"
#include "engine/StitchedPanorama.h"
#include "image/ImageFile.h"
#include "image/LargeBlocks.h"
#include "stitching/Blender.h"
#include "stitching/BrightnessGradient.h"
#include "stitching/CanvasTones.h"
#include "stitching/Contrast.h"
#include "stitching/CropRectangle.h"
#include "stitching/EmptySample.h"
#include "stitching/OutputConversion.h"
#include "stitching/PanoramaCanvas.h"
#include "stitching/PanoramaRender.h"
#include "stitching/PhotometricFit.h"
#include "stitching/RenderMasks.h"
#include "stitching/StitchGeometry.h"

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
    MakeWorkingCopy(std::move(corrected), scale, workWidth, workHeight, copy);
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
        // The working copy takes the resolution the panorama gives the image where it enlarges
        // it most (its rectangle's average would soften the image's centre), never more than
        // its own and never less than 256 pixels across.
        const double most = LargestMagnification(GetProjection(), camera, panoramaTransform);
        double N = std::min(most > 0 ? most : rw / w, 1.0);
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

void PanoramaEngine::RenderImages(PanoramaCanvas& canvas) {
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
        {
            ImgRGBSHORT background;
            canvas.Read(r, background);
            WarpIntoRectangle(copy, InverseMapper(projection, camera, panoramaTransformInverse), seam, r, background,
                              canvas.Width(), canvas.Height(), A, B, C, M);
        }
        copy.image.Resize(0, 0);
        seam.Resize(0, 0);

        RenderStep(5, a + 1, count);
        if (a == 0) {
            canvas.Write(r.left, r.top, A, &C);
            continue;
        }
        stitch::ErodeCoverage(C);
        RenderStep(6, a + 1, count);
        blender->Prepare(B);
        blender->Feed(A, M);
        blender->Finish([&](int step) { RenderStep(step, a + 1, count); });
        canvas.Write(r.left, r.top, B, &C);
    }
}

stitch::BrightnessGradientInput PanoramaEngine::BrightnessInput() const {
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
    return input;
}

int PanoramaEngine::RenderSize(int size) const {
    const int native = NativeSizeOfGeometry(size);
    return native > 0 && size > native ? native : size;
}

// The pixels of an enlarged panorama whose every sample lies inside a crop of the canvas it is
// enlarged from (scale: canvas pixels per panorama pixel).
RectD PanoramaEngine::EnlargedCrop(const RectD& crop, double scale) {
    if (crop.width <= 0 || crop.height <= 0)
        return crop;
    const double left = std::ceil(crop.left / scale), top = std::ceil(crop.top / scale);
    const double right = std::floor((crop.left + crop.width - 1) / scale);
    const double bottom = std::floor((crop.top + crop.height - 1) / scale);
    return {left, top, std::max(0.0, right - left + 1), std::max(0.0, bottom - top + 1)};
}

bool PanoramaEngine::StitchPanorama() {
    stitchedPanorama.reset();
    OperationTexts texts;
    return RunOperation(
        texts,
        [&] {
            Log(Tr("Stitching panorama...\n"));
            const int size = GetPanoramaImageSize();
            if (!InitStitchGeometry(size))
                throw "...failed (Could not initialize)\n";
            auto stitched = std::make_unique<StitchedPanorama>();
            stitched->width = static_cast<int>(panoramaRect.width + 1.5);
            stitched->height = static_cast<int>(panoramaRect.height + 1.5);
            const int renderSize = RenderSize(size);
            if (renderSize != size && !SetStitchGeometry(renderSize))
                throw "...failed (Could not initialize)\n";
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
                const StageClock clock(stageTimes, "render");
                CanvasSettings settings;
                // Half of the budget holds tiles; the photograph being blended takes the rest.
                settings.budgetBytes = memoryBudget / 2;
                settings.scratchFolder = scratchFolder;
                stitched->canvas = std::make_unique<PanoramaCanvas>(
                    static_cast<int>(panoramaRect.width + 1.5), static_cast<int>(panoramaRect.height + 1.5), settings);
                RenderImages(*stitched->canvas);
            }
            Log(Tr(" done\n"));

            const StageClock clock(stageTimes, "tones_and_crop");
            stitch::TonalSteps steps;
            if (!transitionTree) {
                const stitch::BrightnessGradientInput input = BrightnessInput();
                const int W = stitched->canvas->Width(), H = stitched->canvas->Height();
                steps.horizontal = stitch::PlanBrightnessGradient(input, true, W, H);
                steps.vertical = stitch::PlanBrightnessGradient(input, false, W, H);
            }
            Status(Tr("Adjusting contrast..."));
            steps.gamma = GetDoGammaCorrection() ? GetGamma() : 1.0;
            stitch::TonedCanvas toned = stitch::ApplyTonalSteps(*stitched->canvas, steps);
            stitched->range = toned.range;

            if (Status(Tr("Cropping...")))
                ThrowAborted();
            const stitch::CropRect found = stitch::FindCropRectangle(toned.coverage);
            const double k = toned.coverageScale;
            stitched->automaticCrop = {found.left * k, found.top * k, found.width * k, found.height * k};
            if (renderSize != size) {
                // Back to the panorama's own geometry, for the crop's turn and for whoever reads
                // the geometry after the stitch; the crop moves onto the enlarged panorama.
                if (!SetStitchGeometry(size))
                    throw "...failed (Could not initialize)\n";
                stitched->scale = double(renderSize - 1) / (size - 1);
                stitched->automaticCrop = EnlargedCrop(stitched->automaticCrop, stitched->scale);
            }
            PlaceOnSphere(*stitched);
            stitched->closesTurn = transitionTree != nullptr;
            stitched->turnWidth = transitionTree ? Width360() : 0;
            stitchedPanorama = std::move(stitched);
            Status(Tr("Stitching done"));
            Log(Tr("...stitching done\n"));
            const std::string leftOut = LeftOutMessage();
            if (!leftOut.empty())
                Log(leftOut + "\n");
            return true;
        },
        [this] { stitchedPanorama.reset(); });
}

bool PanoramaEngine::StitchPanorama(ImgRGB& stitched, ImgRGB& cropped, RectD& cropRectangle) {
    stitched.Resize(0, 0);
    cropped.Resize(0, 0);
    if (!StitchPanorama())
        return false;
    cropRectangle = AutomaticCrop();
    try {
        if (PanoramaImage({0, 0, 0, 0}, 0, stitched) && PanoramaImage(cropRectangle, 0, cropped))
            return true;
    } catch (const std::bad_alloc&) {
        RecordFailure(EngineFailure::OutOfMemory, "not enough memory for the stitch image");
        Log(Tr("Could not allocate memory for the stitch image\n"));
    }
    stitched.Resize(0, 0);
    cropped.Resize(0, 0);
    return false;
}
