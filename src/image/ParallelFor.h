#pragma once

#include <functional>

// Runs task(0) ... task(count - 1) on up to the machine's number of cores. Tasks must be
// independent; each index runs exactly once. Exceptions thrown by a task are rethrown here
// (the first one) after every worker has stopped.
// A thread the system refuses to start (no resources, a process limit) leaves the work to the
// threads already running and to the caller's: fewer workers, the same results.
void ParallelFor(int count, const std::function<void(int)>& task);

// For fault injection in tests: starting a thread fails, as when the system refuses, once
// `started` threads have been started from now on (-1: never, the default).
void FailThreadStartsAfter(int started);

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
