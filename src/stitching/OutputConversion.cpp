#include "stitching/OutputConversion.h"

#include <algorithm>
#include <cmath>

#include "image/ParallelFor.h"
#include "stitching/ChannelRange.h"
#include "stitching/EmptySample.h"

namespace stitch {

void ConvertToOutput(const ImgRGBSHORT& P, ImgRGB& out) {
    out.Resize(P.width, P.height);
    int m = 32767, M0 = -32768;
    ChannelRangeOf(P, m, M0);
    bool flat = M0 <= m;
    double span = M0 - m;
    auto convert = [&](short v) {
        double t = flat ? std::clamp(double(v), 0.0, 255.0) : std::trunc((v - m) * 255.0 / span + 0.5);
        return static_cast<uint8_t>(t);
    };
    ParallelRows(RowBands(P.height), [&](int, int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const RgbSHORT* in = P.Row(y);
            Rgb* o = out.Row(y);
            for (int x = 0; x < P.width; ++x) {
                if (IsEmptySample(in[x])) {
                    o[x] = Rgb{0, 0, 0};
                    continue;
                }
                o[x] = Rgb{convert(in[x].b), convert(in[x].g), convert(in[x].r)};
            }
        }
    });
}

}  // namespace stitch
