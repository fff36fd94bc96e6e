// The engine's kept panorama: its size and automatic crop, and what leaves it, an image of a crop
// for the window or a file written band by band.
#include <new>

#include "engine/EngineText.h"
#include "engine/PanoramaEngine.h"
#include "engine/StitchedPanorama.h"
#include "stitching/PanoramaOutput.h"

int PanoramaEngine::PanoramaWidth() const { return stitchedPanorama ? stitchedPanorama->width : 0; }

int PanoramaEngine::PanoramaHeight() const { return stitchedPanorama ? stitchedPanorama->height : 0; }

RectD PanoramaEngine::AutomaticCrop() const { return stitchedPanorama ? stitchedPanorama->automaticCrop : RectD{}; }

stitch::CropFrame PanoramaEngine::PanoramaFrame(const RectD& rect) const {
    if (!stitchedPanorama)
        return stitch::CropFrame{};
    const stitch::CropRect crop{rect.left, rect.top, rect.width, rect.height};
    // The 360-degree blend follows the setting as it is now, as the crop of a picture did.
    stitch::Crop360 crop360;
    crop360.enabled = stitchedPanorama->closesTurn && GetDoCrop360Degrees();
    crop360.turnWidth = crop360.enabled ? stitchedPanorama->turnWidth : 0;
    return stitch::CropFrameOf(crop, crop360, PanoramaWidth(), PanoramaHeight());
}

bool PanoramaEngine::WithOutput(const RectD& rect, int bitsPerChannel,
                                const std::function<void(stitch::PanoramaOutput&)>& body) {
    ClearFailure();
    if (!stitchedPanorama) {
        RecordFailure(EngineFailure::Failed, "there is no stitched panorama");
        return false;
    }
    try {
        stitch::PanoramaOutput output(*stitchedPanorama->canvas, stitchedPanorama->range, PanoramaFrame(rect),
                                      stitchedPanorama->scale, bitsPerChannel);
        body(output);
        return true;
    } catch (const StageError& error) {
        RecordFailure(EngineFailureOf(error.kind), error.reason);
    } catch (const std::bad_alloc&) {
        RecordFailure(EngineFailure::OutOfMemory, "not enough memory for the panorama image");
    }
    return false;
}

bool PanoramaEngine::PanoramaImage(const RectD& rect, int maxSide, ImgRGB& image) {
    if (WithOutput(rect, 8, [&](stitch::PanoramaOutput& output) { output.ReadReduced(maxSide, image); }))
        return true;
    image.Resize(0, 0);
    return false;
}

bool PanoramaEngine::SavePanorama(const std::string& path, const RectD& rect, const RowWriterOptions& options,
                                  const std::function<bool()>& keep) {
    const StageClock clock(stageTimes, "write");
    StageResult written;
    saveNotes.clear();
    if (!WithOutput(rect, options.bitsPerChannel, [&](stitch::PanoramaOutput& output) {
            RowWriterOptions withMetadata = options;
            withMetadata.metadata = FileMetadata(path, output.Frame());
            written = stitch::WritePanorama(output, path, withMetadata, keep);
        }))
        return false;
    if (written)
        return true;
    RecordFailure(written);
    return false;
}

void PanoramaEngine::DropPanorama() { stitchedPanorama.reset(); }
