#include "stitching/SineTransform.h"

#include <fftw3.h>

#include <algorithm>
#include <functional>
#include <map>
#include <mutex>
#include <new>
#include <thread>
#include <tuple>
#include <vector>

namespace stitch {

namespace {

// The plans of every row-batch shape met so far. FFTW's planner is not thread-safe, so
// planning happens under the lock; executing a plan on new arrays is, so the lock is not held
// while transforming. Plans use FFTW_ESTIMATE: the same plan (and so the same arithmetic) on
// every run, and no time spent measuring candidate algorithms for each new image size.
class PlanCache {
public:
    ~PlanCache() {
        for (auto& entry : plans_)
            fftwf_destroy_plan(entry.second);
    }

    // RODFT00 of size n - 1 on elements 1 .. n-1 of `count` rows, `stride` floats apart, the
    // first of them starting one row into a grid.
    fftwf_plan RowsPlan(int n, int count, int stride) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto key = std::make_tuple(n, count, stride);
        auto found = plans_.find(key);
        if (found != plans_.end())
            return found->second;
        // Planned on a grid laid out as every later one, so the alignment FFTW plans for holds.
        SineGrid shape(n, count + 1);
        float* first = shape.Row(1) + 1;
        int size = n - 1;
        fftwf_r2r_kind kind = FFTW_RODFT00;
        fftwf_plan plan = fftwf_plan_many_r2r(1, &size, count, first, nullptr, 1, stride, first, nullptr, 1, stride,
                                              &kind, FFTW_ESTIMATE);
        if (!plan)
            throw std::bad_alloc();
        plans_.emplace(key, plan);
        return plan;
    }

private:
    std::mutex mutex_;
    std::map<std::tuple<int, int, int>, fftwf_plan> plans_;
};

PlanCache& Plans() {
    static PlanCache cache;
    return cache;
}

// Row 0 and column 0 of the result: the transform's fixed zero.
void ClearBoundary(SineGrid& grid) {
    float* top = grid.Row(0);
    for (int x = 0; x < grid.Width(); ++x)
        top[x] = 0.0f;
    for (int y = 1; y < grid.Height(); ++y)
        grid.Row(y)[0] = 0.0f;
}

// Rows then columns: the column pass runs on the transposed grid, which the scale of the
// two transpositions brings back to the wanted factor.
void Transform2D(SineGrid& grid, float rowScale, float columnScale, int threads) {
    OddTransformRows(grid, threads);
    SineGrid transposed(grid.Height(), grid.Width());
    TransposeScaled(grid, transposed, rowScale);
    OddTransformRows(transposed, threads);
    TransposeScaled(transposed, grid, columnScale);
}

// RODFT00 of rows first .. first + count - 1 (first >= 1). Row starts are all aligned alike,
// so the plan made for `count` rows one row into a grid fits any such run.
void TransformRowRange(SineGrid& grid, int first, int count) {
    fftwf_plan plan = Plans().RowsPlan(grid.Width(), count, grid.Stride());
    float* start = grid.Row(first) + 1;
    fftwf_execute_r2r(plan, start, start);
}

}  // namespace

void OddTransformRows(SineGrid& grid, int threads) {
    int n = grid.Width(), count = grid.Height() - 1;
    if (n < 2 || count < 1) {
        grid.Fill(0.0f);
        return;
    }
    threads = std::clamp(threads, 1, count);
    std::vector<std::thread> helpers;
    int first = 1;
    try {
        for (int t = 0; t < threads - 1; ++t) {
            int rows = count / threads;
            helpers.emplace_back(TransformRowRange, std::ref(grid), first, rows);
            first += rows;
        }
    } catch (...) {
        for (std::thread& h : helpers)
            h.join();
        throw;
    }
    TransformRowRange(grid, first, count - (first - 1));
    for (std::thread& h : helpers)
        h.join();
    ClearBoundary(grid);
}

void SineTransform2D(SineGrid& grid, int threads) {
    // RODFT00 is twice the sine sum in each direction.
    Transform2D(grid, 0.5f, 0.5f, threads);
}

void InverseSineTransform2D(SineGrid& grid, int threads) {
    // (2 / n) times the sine sum is (1 / n) times RODFT00.
    Transform2D(grid, 1.0f / static_cast<float>(grid.Width()), 1.0f / static_cast<float>(grid.Height()), threads);
}

}  // namespace stitch
