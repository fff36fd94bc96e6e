#pragma once

#include <functional>

// Runs task(0) ... task(count - 1) on up to the machine's number of cores. Tasks must be
// independent; each index runs exactly once. Exceptions thrown by a task are rethrown here
// (the first one) after every worker has stopped.
void ParallelFor(int count, const std::function<void(int)>& task);

// Rows 0 .. height-1 cut into consecutive bands of about equal height for ParallelFor.
// Passes over an image run task(band, begin, end) for rows [begin, end) of each band; a pass
// that sums or compares keeps one partial result per band and joins them in band order.
struct RowBands {
    static constexpr int kMaxBands = 16;
    explicit RowBands(int height);
    int Begin(int band) const { return static_cast<int>(static_cast<long long>(height) * band / count); }
    int End(int band) const { return Begin(band + 1); }
    int height;
    int count;
};
void ParallelRows(const RowBands& bands, const std::function<void(int band, int begin, int end)>& task);
