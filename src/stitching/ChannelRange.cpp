#include "stitching/ChannelRange.h"

#include <algorithm>
#include <vector>

#include "image/ParallelFor.h"
#include "stitching/EmptySample.h"

void ChannelRangeOf(const ImgRGBSHORT& P, int& lo, int& hi) {
    const RowBands bands(P.height);
    std::vector<int> low(static_cast<size_t>(bands.count), lo), high(static_cast<size_t>(bands.count), hi);
    ParallelRows(bands, [&](int band, int begin, int end) {
        int l = low[static_cast<size_t>(band)], h = high[static_cast<size_t>(band)];
        for (int y = begin; y < end; ++y) {
            const RgbSHORT* row = P.Row(y);
            for (int x = 0; x < P.width; ++x) {
                if (IsEmptySample(row[x]))
                    continue;
                l = std::min({l, int(row[x].b), int(row[x].g), int(row[x].r)});
                h = std::max({h, int(row[x].b), int(row[x].g), int(row[x].r)});
            }
        }
        low[static_cast<size_t>(band)] = l;
        high[static_cast<size_t>(band)] = h;
    });
    for (int band = 0; band < bands.count; ++band) {
        lo = std::min(lo, low[static_cast<size_t>(band)]);
        hi = std::max(hi, high[static_cast<size_t>(band)]);
    }
}
