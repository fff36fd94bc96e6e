#include "stitching/ChannelRange.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "image/ParallelFor.h"
#include "stitching/EmptySample.h"

namespace {

// The smallest and largest of n channel values, folded into lo and hi.
void ExtendRange(const int16_t* __restrict v, int n, int16_t& lo, int16_t& hi) {
    int16_t l = lo, h = hi;
    for (int i = 0; i < n; ++i) {
        l = std::min(l, v[i]);
        h = std::max(h, v[i]);
    }
    lo = l;
    hi = h;
}

}  // namespace

void ChannelRangeOf(const ImgRGBSHORT& P, int& lo, int& hi) {
    const RowBands bands(P.height);
    std::vector<int> low(static_cast<size_t>(bands.count), lo), high(static_cast<size_t>(bands.count), hi);
    ParallelRows(bands, [&](int band, int begin, int end) {
        int16_t l = INT16_MAX, h = INT16_MIN;
        bool any = false;
        for (int y = begin; y < end; ++y) {
            const RgbSHORT* row = P.Row(y);
            ForEachFilledRun(row, P.width, [&](int first, int last) {
                ExtendRange(ChannelArray(row + first), 3 * (last - first), l, h);
                any = true;
            });
        }
        if (any) {
            low[static_cast<size_t>(band)] = std::min(low[static_cast<size_t>(band)], int(l));
            high[static_cast<size_t>(band)] = std::max(high[static_cast<size_t>(band)], int(h));
        }
    });
    for (int band = 0; band < bands.count; ++band) {
        lo = std::min(lo, low[static_cast<size_t>(band)]);
        hi = std::max(hi, high[static_cast<size_t>(band)]);
    }
}
