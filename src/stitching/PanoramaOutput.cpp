#include "stitching/PanoramaOutput.h"

#include <algorithm>
#include <vector>

namespace stitch {

namespace {

// The most an output band may hold (8-bit rows): bands follow the canvas's tile rows, but a very
// wide panorama gets shorter bands.
constexpr size_t kBandBytes = size_t(64) << 20;

// The canvas over r converted to 8 bits into out (resized to r's size), one tile column at a
// time so that the 16-bit pixels in memory stay one tile wide; what lies outside the canvas
// comes out black, as empty pixels do.
void ReadConverted(PanoramaCanvas& canvas, const OutputRange& range, const PixelRect& r, ImgRGBSHORT& wide,
                   ImgRGB& out) {
    out.Resize(r.width, r.height);
    ImgRGB part;
    for (int left = 0; left < r.width; left += canvas.TileSize()) {
        const int width = std::min(canvas.TileSize(), r.width - left);
        canvas.Read(PixelRect{r.left + left, r.top, width, r.height}, wide);
        part.Resize(width, r.height);
        ConvertToOutput(wide, range, part);
        part.CopyRect(0, 0, width - 1, r.height - 1, out, left, 0);
    }
}

}  // namespace

PanoramaOutput::PanoramaOutput(PanoramaCanvas& canvas, const OutputRange& range, const CropFrame& frame)
    : canvas(canvas), range(range), frame(frame) {
    if (frame.strip <= 0)
        return;
    // The blend of the turn strip needs both strips whole; they are a few hundred columns wide.
    ImgRGB beyond;
    ReadConverted(canvas, range, PixelRect{frame.x0, frame.y0, frame.strip, frame.height}, wide, blendedStrip);
    ReadConverted(canvas, range, PixelRect{frame.x0 + frame.width, frame.y0, frame.strip, frame.height}, wide, beyond);
    BlendTurnStrip(blendedStrip, beyond);
}

int PanoramaOutput::BandHeight(int y) const {
    const int tile = canvas.TileSize();
    const int canvasRow = frame.y0 + y;
    // Rows above the canvas are black and cost nothing; below, bands end where tile rows do.
    int end = canvasRow < 0 ? std::min(0, frame.y0 + frame.height) : (canvasRow / tile + 1) * tile;
    end = std::min(end, frame.y0 + frame.height);
    const int most = static_cast<int>(std::max<size_t>(8, kBandBytes / (3 * static_cast<size_t>(frame.width) + 1)));
    return std::clamp(end - canvasRow, 1, most);
}

void PanoramaOutput::ReadRows(int y, int count, ImgRGB& band) {
    ReadConverted(canvas, range, PixelRect{frame.x0, frame.y0 + y, frame.width, count}, wide, band);
    if (frame.strip <= 0)
        return;
    for (int row = 0; row < count; ++row) {
        const Rgb* from = blendedStrip.Row(y + row);
        std::copy(from, from + frame.strip, band.Row(row));
    }
}

void PanoramaOutput::ReadAll(ImgRGB& image) {
    image.Resize(frame.width, frame.height);
    ImgRGB band;
    for (int y = 0; y < frame.height;) {
        const int count = BandHeight(y);
        ReadRows(y, count, band);
        band.CopyRect(0, 0, band.width - 1, count - 1, image, 0, y);
        y += count;
    }
}

void PanoramaOutput::ReadReduced(int maxSide, ImgRGB& image) {
    const int longer = std::max(frame.width, frame.height);
    const int factor = maxSide > 0 ? std::max(1, (longer + maxSide - 1) / maxSide) : 1;
    if (factor == 1) {
        ReadAll(image);
        return;
    }
    const int w = std::max(1, frame.width / factor), h = std::max(1, frame.height / factor);
    image.Resize(w, h);
    const unsigned block = static_cast<unsigned>(factor) * static_cast<unsigned>(factor);
    std::vector<unsigned> sums(static_cast<size_t>(w) * 3, 0u);
    ImgRGB band;
    // Bands that follow the tile rows read every tile once; each frame row adds into the sums of
    // its output row, which is written when its last frame row has come.
    for (int y = 0; y < h * factor;) {
        const int count = std::min(BandHeight(y), h * factor - y);
        ReadRows(y, count, band);
        for (int row = 0; row < count; ++row) {
            const Rgb* in = band.Row(row);
            for (int x = 0; x < w * factor; ++x) {
                unsigned* sum = &sums[static_cast<size_t>(x / factor) * 3];
                sum[0] += in[x].b;
                sum[1] += in[x].g;
                sum[2] += in[x].r;
            }
            if ((y + row) % factor != factor - 1)
                continue;
            Rgb* o = image.Row((y + row) / factor);
            for (int x = 0; x < w; ++x) {
                const unsigned* sum = &sums[static_cast<size_t>(x) * 3];
                o[x] = Rgb{static_cast<uint8_t>((sum[0] + block / 2) / block),
                           static_cast<uint8_t>((sum[1] + block / 2) / block),
                           static_cast<uint8_t>((sum[2] + block / 2) / block)};
            }
            std::fill(sums.begin(), sums.end(), 0u);
        }
        y += count;
    }
}

StageResult WritePanorama(PanoramaOutput& output, const std::string& path, const RowWriterOptions& options,
                          const std::function<bool()>& keep) {
    std::string why;
    std::unique_ptr<RowImageWriter> writer = RowImageWriter::Open(path, output.Width(), output.Height(), options, &why);
    if (!writer)
        return StageResult::Failure(why);
    ImgRGB band;
    for (int y = 0; y < output.Height();) {
        if (keep && !keep())
            return StageResult::Failure(StageFailure::Aborted, "interrupted");
        const int count = output.BandHeight(y);
        output.ReadRows(y, count, band);
        if (!writer->WriteRows(band.Row(0), count, band.rowStride))
            return StageResult::Failure(writer->Error());
        y += count;
    }
    if (!writer->Finish(keep, &why))
        return StageResult::Failure(why == "interrupted" ? StageFailure::Aborted : StageFailure::Failed, why);
    return StageResult();
}

}  // namespace stitch
