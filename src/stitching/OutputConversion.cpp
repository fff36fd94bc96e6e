#include "stitching/OutputConversion.h"

#include <algorithm>
#include <cmath>

#include "image/ParallelFor.h"
#include "stitching/ChannelRange.h"
#include "stitching/EmptySample.h"

namespace stitch {

void ConvertToOutput(const ImgRGBSHORT& P, ImgRGB& out) {
    out.Resize(P.width, P.height);
    OutputRange range;
    ChannelRangeOf(P, range.lo, range.hi);
    ConvertToOutput(P, range, out);
}

namespace {

// Every non-empty channel v of part through convert(v) into out's pixel type, empty pixels 0.
template <class OutImage, class Convert>
void ConvertRows(const ImgRGBSHORT& part, OutImage& out, Convert convert) {
    using Out = typename OutImage::Pixel;
    ParallelRows(RowBands(part.height), [&](int, int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const RgbSHORT* in = part.Row(y);
            Out* o = out.Row(y);
            for (int x = 0; x < part.width; ++x) {
                if (IsEmptySample(in[x])) {
                    o[x] = Out{0, 0, 0};
                    continue;
                }
                o[x] = Out{convert(in[x].b), convert(in[x].g), convert(in[x].r)};
            }
        }
    });
}

}  // namespace

void ConvertToOutput(const ImgRGBSHORT& part, const OutputRange& range, ImgRGB& out) {
    if (range.plain) {
        part.CopyTo(out);
        return;
    }
    const int m = range.lo;
    const bool flat = range.hi <= m;
    const double span = range.hi - m;
    ConvertRows(part, out, [&](short v) {
        double t = flat ? std::clamp(double(v), 0.0, 255.0) : std::trunc((v - m) * 255.0 / span + 0.5);
        return static_cast<uint8_t>(t);
    });
}

void ConvertToWideOutput(const ImgRGBSHORT& part, const OutputRange& range, ImgRGBSHORT& out) {
    if (range.plain) {
        ConvertRows(part, out, [](short v) {
            const int byte = static_cast<uint8_t>(v);
            return static_cast<int16_t>((byte * kWideOutputMax + 127) / 255);
        });
        return;
    }
    const int m = range.lo;
    const bool flat = range.hi <= m;
    const double span = range.hi - m;
    ConvertRows(part, out, [&](short v) {
        double t = flat ? std::clamp(double(v), 0.0, 255.0) * kWideOutputMax / 255.0
                        : std::trunc((v - m) * double(kWideOutputMax) / span + 0.5);
        return static_cast<int16_t>(t);
    });
}

}  // namespace stitch
