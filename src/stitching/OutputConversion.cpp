#include "stitching/OutputConversion.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

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

// The channels of out's pixel type as one array, as ChannelArray gives them for the 16-bit pixels.
inline uint8_t* OutChannels(Rgb* row) { return &row->b; }
inline int16_t* OutChannels(RgbSHORT* row) { return &row->b; }

// Every channel v of part's pixels holding data through convert(v) into out's pixel type,
// empty pixels 0; convert runs over whole runs of channels (in, out, count).
template <class OutImage, class Convert>
void ConvertRuns(const ImgRGBSHORT& part, OutImage& out, Convert convert) {
    using Out = typename OutImage::Pixel;
    ParallelRows(RowBands(part.height), [&](int, int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const RgbSHORT* in = part.Row(y);
            Out* o = out.Row(y);
            int done = 0;
            ForEachFilledRun(in, part.width, [&](int first, int last) {
                std::fill(o + done, o + first, Out{0, 0, 0});
                convert(ChannelArray(in + first), OutChannels(o + first), 3 * (last - first));
                done = last;
            });
            std::fill(o + done, o + part.width, Out{0, 0, 0});
        }
    });
}

// Every channel through the element-wise f, whole runs at a time (a loop that vectorises).
template <class In, class Out, class F>
auto Elementwise(F f) {
    return [f](const In* __restrict in, Out* __restrict out, int n) {
        for (int i = 0; i < n; ++i)
            out[i] = f(in[i]);
    };
}

}  // namespace

void ConvertToOutput(const ImgRGBSHORT& part, const OutputRange& range, ImgRGB& out) {
    if (range.plain) {
        part.CopyTo(out);
        return;
    }
    // Rounded values of 0 .. 255 (or the clamp of a flat panorama's only level): truncated by the
    // conversion as by std::trunc, in a form that vectorises.
    const int m = range.lo;
    const double span = range.hi - m;
    if (range.hi <= m)
        ConvertRuns(part, out, Elementwise<int16_t, uint8_t>([](int16_t v) {
                        return static_cast<uint8_t>(static_cast<int>(std::clamp(double(v), 0.0, 255.0)));
                    }));
    else
        ConvertRuns(part, out, Elementwise<int16_t, uint8_t>([m, span](int16_t v) {
                        return static_cast<uint8_t>(static_cast<int>((v - m) * 255.0 / span + 0.5));
                    }));
}

void ConvertToWideOutput(const ImgRGBSHORT& part, const OutputRange& range, ImgRGBSHORT& out) {
    if (range.plain) {
        ConvertRuns(part, out, Elementwise<int16_t, int16_t>([](int16_t v) {
                        const int byte = static_cast<uint8_t>(v);
                        return static_cast<int16_t>((byte * kWideOutputMax + 127) / 255);
                    }));
        return;
    }
    const int m = range.lo;
    const double span = range.hi - m;
    if (range.hi <= m)
        ConvertRuns(part, out, Elementwise<int16_t, int16_t>([](int16_t v) {
                        return static_cast<int16_t>(
                            static_cast<int>(std::clamp(double(v), 0.0, 255.0) * kWideOutputMax / 255.0));
                    }));
    else
        ConvertRuns(part, out, Elementwise<int16_t, int16_t>([m, span](int16_t v) {
                        return static_cast<int16_t>(static_cast<int>((v - m) * double(kWideOutputMax) / span + 0.5));
                    }));
}

}  // namespace stitch
