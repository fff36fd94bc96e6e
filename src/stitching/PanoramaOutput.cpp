#include "stitching/PanoramaOutput.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "stitching/EmptySample.h"

namespace stitch {

namespace {

// The most an output band may hold (8-bit rows): bands follow the canvas's tile rows, but a very
// wide panorama gets shorter bands.
constexpr size_t kBandBytes = size_t(64) << 20;

// The conversion of canvas samples into each output image: 8 bits, or the wide output of
// 16-bit files.
void Convert(const ImgRGBSHORT& part, const OutputRange& range, ImgRGB& out) { ConvertToOutput(part, range, out); }
void Convert(const ImgRGBSHORT& part, const OutputRange& range, ImgRGBSHORT& out) {
    ConvertToWideOutput(part, range, out);
}

// The canvas over r converted into out (resized to r's size), one tile column at a time so that
// the 16-bit pixels in memory stay one tile wide; what lies outside the canvas comes out black,
// as empty pixels do. Where `empty` is given it is set where the canvas holds no data.
template <class Image>
void ReadConverted(PanoramaCanvas& canvas, const OutputRange& range, const PixelRect& r, ImgRGBSHORT& wide, Image& out,
                   ImgUCHAR* empty = nullptr) {
    out.Resize(r.width, r.height);
    if (empty)
        empty->Resize(r.width, r.height);
    Image part;
    for (int left = 0; left < r.width; left += canvas.TileSize()) {
        const int width = std::min(canvas.TileSize(), r.width - left);
        canvas.Read(PixelRect{r.left + left, r.top, width, r.height}, wide);
        part.Resize(width, r.height);
        Convert(wide, range, part);
        part.CopyRect(0, 0, width - 1, r.height - 1, out, left, 0);
        if (!empty)
            continue;
        for (int y = 0; y < r.height; ++y) {
            const RgbSHORT* in = wide.Row(y);
            uint8_t* e = empty->Row(y) + left;
            for (int x = 0; x < width; ++x)
                e[x] = IsEmptySample(in[x]) ? 1 : 0;
        }
    }
}

// One coordinate of the enlargement: panorama pixel p samples the canvas at p * scale, between
// canvas pixels `low` and low + 1 with weight `t` on the second.
struct Sample {
    int low;
    float t;
};

Sample SampleAt(int p, double scale) {
    const double c = p * scale;
    const int low = static_cast<int>(std::floor(c));
    return {low, static_cast<float>(c - low)};
}

// A band of wide output as 16-bit file samples, blue, green, red, row after row.
void SixteenBitSamples(const ImgRGBSHORT& band, std::vector<uint16_t>& samples) {
    samples.resize(size_t(3) * band.width * band.height);
    uint16_t* out = samples.data();
    for (int y = 0; y < band.height; ++y) {
        const RgbSHORT* in = band.Row(y);
        for (int x = 0; x < band.width; ++x) {
            *out++ = SixteenBitSample(in[x].b);
            *out++ = SixteenBitSample(in[x].g);
            *out++ = SixteenBitSample(in[x].r);
        }
    }
}

}  // namespace

PanoramaOutput::PanoramaOutput(PanoramaCanvas& canvas, const OutputRange& range, const CropFrame& frame, double scale,
                               int bitsPerChannel)
    : canvas(canvas), range(range), frame(frame), scale(scale > 0 && scale < 1 ? scale : 1),
      wideOutput(bitsPerChannel > 8) {
    if (frame.strip <= 0)
        return;
    if (wideOutput)
        BlendStrip(blendedStripWide);
    else
        BlendStrip(blendedStrip);
}

// The blend of the turn strip needs both strips whole; they are a few hundred columns wide.
template <class Image>
void PanoramaOutput::BlendStrip(Image& strip) {
    Image beyond;
    ReadPanorama(PixelRect{frame.x0, frame.y0, frame.strip, frame.height}, strip);
    ReadPanorama(PixelRect{frame.x0 + frame.width, frame.y0, frame.strip, frame.height}, beyond);
    BlendTurnStrip(strip, beyond);
}

template <class Image>
void PanoramaOutput::ReadPanorama(const PixelRect& r, Image& out) {
    if (scale == 1) {
        ReadConverted(canvas, range, r, wide, out);
        return;
    }
    ReadEnlarged(r, out);
}

// Bilinear between the four canvas pixels round each sample, over those that hold data (an
// edge of the panorama stays sharp instead of fading into black); black where none does.
template <class Image>
void PanoramaOutput::ReadEnlarged(const PixelRect& r, Image& out) {
    using Pixel = typename Image::Pixel;
    using Channel = decltype(Pixel{}.b);
    out.Resize(r.width, r.height);
    if (r.Empty())
        return;
    const Sample first = SampleAt(r.left, scale), last = SampleAt(r.Right() - 1, scale);
    const Sample top = SampleAt(r.top, scale), bottom = SampleAt(r.Bottom() - 1, scale);
    const PixelRect source{first.low, top.low, last.low - first.low + 2, bottom.low - top.low + 2};
    Image pixels;
    ImgUCHAR empty;
    ReadConverted(canvas, range, source, wide, pixels, &empty);
    std::vector<Sample> columns(static_cast<size_t>(r.width));
    for (int x = 0; x < r.width; ++x) {
        columns[static_cast<size_t>(x)] = SampleAt(r.left + x, scale);
        columns[static_cast<size_t>(x)].low -= source.left;
    }
    for (int y = 0; y < r.height; ++y) {
        const Sample row = SampleAt(r.top + y, scale);
        const int j = row.low - source.top;
        const Pixel* a = pixels.Row(j);
        const Pixel* b = pixels.Row(j + 1);
        const uint8_t* ea = empty.Row(j);
        const uint8_t* eb = empty.Row(j + 1);
        Pixel* o = out.Row(y);
        for (int x = 0; x < r.width; ++x) {
            const Sample& c = columns[static_cast<size_t>(x)];
            const int i = c.low;
            const float w[4] = {ea[i] ? 0 : (1 - c.t) * (1 - row.t), ea[i + 1] ? 0 : c.t * (1 - row.t),
                                eb[i] ? 0 : (1 - c.t) * row.t, eb[i + 1] ? 0 : c.t * row.t};
            const float sum = w[0] + w[1] + w[2] + w[3];
            if (!(sum > 0)) {
                o[x] = Pixel{0, 0, 0};
                continue;
            }
            const Pixel* p[4] = {&a[i], &a[i + 1], &b[i], &b[i + 1]};
            float channel[3] = {0, 0, 0};
            for (int k = 0; k < 4; ++k) {
                channel[0] += w[k] * p[k]->b;
                channel[1] += w[k] * p[k]->g;
                channel[2] += w[k] * p[k]->r;
            }
            o[x] = Pixel{static_cast<Channel>(channel[0] / sum + 0.5f), static_cast<Channel>(channel[1] / sum + 0.5f),
                         static_cast<Channel>(channel[2] / sum + 0.5f)};
        }
    }
}

int PanoramaOutput::BandHeight(int y) const {
    const size_t pixelBytes = wideOutput ? sizeof(RgbSHORT) : sizeof(Rgb);
    const int most = static_cast<int>(std::max<size_t>(8, kBandBytes / (pixelBytes * frame.width + 1)));
    const int left = frame.height - y;
    if (scale != 1)
        return std::clamp(static_cast<int>(canvas.TileSize() / scale), 1, std::min(most, left));
    const int tile = canvas.TileSize();
    const int canvasRow = frame.y0 + y;
    // Rows above the canvas are black and cost nothing; below, bands end where tile rows do.
    int end = canvasRow < 0 ? std::min(0, frame.y0 + frame.height) : (canvasRow / tile + 1) * tile;
    end = std::min(end, frame.y0 + frame.height);
    return std::clamp(end - canvasRow, 1, most);
}

template <class Image>
void PanoramaOutput::ReadRowsWithStrip(int y, int count, const Image& strip, Image& band) {
    ReadPanorama(PixelRect{frame.x0, frame.y0 + y, frame.width, count}, band);
    if (frame.strip <= 0)
        return;
    for (int row = 0; row < count; ++row) {
        const auto* from = strip.Row(y + row);
        std::copy(from, from + frame.strip, band.Row(row));
    }
}

void PanoramaOutput::ReadRows(int y, int count, ImgRGB& band) {
    if (wideOutput)
        throw std::logic_error("8-bit rows of an output opened for 16 bits");
    ReadRowsWithStrip(y, count, blendedStrip, band);
}

void PanoramaOutput::ReadRows(int y, int count, ImgRGBSHORT& band) {
    if (!wideOutput)
        throw std::logic_error("16-bit rows of an output opened for 8 bits");
    ReadRowsWithStrip(y, count, blendedStripWide, band);
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
    ImgRGBSHORT wideBand;
    std::vector<uint16_t> samples;
    for (int y = 0; y < output.Height();) {
        if (keep && !keep())
            return StageResult::Failure(StageFailure::Aborted, "interrupted");
        const int count = output.BandHeight(y);
        bool written = false;
        if (output.WideOutput()) {
            output.ReadRows(y, count, wideBand);
            SixteenBitSamples(wideBand, samples);
            written = writer->WriteRows16(samples.data(), count, ptrdiff_t(3 * sizeof(uint16_t)) * wideBand.width);
        } else {
            output.ReadRows(y, count, band);
            written = writer->WriteRows(band.Row(0), count, band.rowStride);
        }
        if (!written)
            return StageResult::Failure(writer->Error());
        y += count;
    }
    if (!writer->Finish(keep, &why))
        return StageResult::Failure(why == "interrupted" ? StageFailure::Aborted : StageFailure::Failed, why);
    return StageResult();
}

}  // namespace stitch
