#include "stitching/SineTransform.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <numbers>
#include <thread>
#include <vector>

namespace stitch {

namespace {

// The odd transform of one row length n, computed from a real-to-complex FFT of length n with
// the classic folding: y(j) = sin(pi j / n) (f(j) + f(n-j)) + (f(j) - f(n-j)) / 2 turns the sine
// sum into the FFT's imaginary parts (even k) and a running sum of its real parts (odd k).
// FFTW's own real-to-real odd kernels are not vectorised; its real-to-complex ones are, and this
// road is three times faster on a 2048-point row at the same single precision.
class OddTransform {
public:
    explicit OddTransform(int n) : n_(n), sines_(static_cast<size_t>(n / 2 + 1)) {
        for (int j = 0; j <= n / 2; ++j)
            sines_[j] = static_cast<float>(std::sin(std::numbers::pi * j / n));
        Scratch scratch(n);
        // FFTW_ESTIMATE: the same plan (and so the same arithmetic) on every run, and no time
        // spent measuring candidate algorithms for each new image size.
        plan_ = fftwf_plan_dft_r2c_1d(n, scratch.real, scratch.spectrum, FFTW_ESTIMATE);
        if (!plan_)
            throw std::bad_alloc();
    }
    ~OddTransform() { fftwf_destroy_plan(plan_); }
    OddTransform(const OddTransform&) = delete;
    OddTransform& operator=(const OddTransform&) = delete;

    // Buffers of one transforming thread, with the alignment the plan was made for.
    struct Scratch {
        explicit Scratch(int n)
            : real(fftwf_alloc_real(static_cast<size_t>(n))),
              spectrum(fftwf_alloc_complex(static_cast<size_t>(n / 2 + 1))) {
            if (!real || !spectrum) {
                fftwf_free(real);
                fftwf_free(spectrum);
                throw std::bad_alloc();
            }
        }
        ~Scratch() {
            fftwf_free(real);
            fftwf_free(spectrum);
        }
        Scratch(const Scratch&) = delete;
        Scratch& operator=(const Scratch&) = delete;
        float* real;
        fftwf_complex* spectrum;
    };

    // row(k) := 2 * sum over j = 1 .. n-1 of row(j) sin(pi j k / n) for k = 1 .. n-1; row(0) := 0.
    void Run(float* row, Scratch& scratch) const {
        const int half = n_ / 2;
        float* y = scratch.real;
        y[0] = 0.0f;
        for (int j = 1; j <= half; ++j) {
            float front = row[j], back = row[n_ - j];
            float even = sines_[j] * (front + back), odd = 0.5f * (front - back);
            y[j] = even + odd;
            y[n_ - j] = even - odd;
        }
        fftwf_execute_dft_r2c(plan_, y, scratch.spectrum);
        const fftwf_complex* spectrum = scratch.spectrum;
        // The odd outputs are a running sum: kept in double so that its rounding does not grow
        // along the row.
        double oddSum = 0.5 * spectrum[0][0];
        row[0] = 0.0f;
        row[1] = static_cast<float>(2.0 * oddSum);
        for (int k = 1; k < half; ++k) {
            row[2 * k] = -2.0f * spectrum[k][1];
            oddSum += spectrum[k][0];
            row[2 * k + 1] = static_cast<float>(2.0 * oddSum);
        }
    }

private:
    int n_;
    std::vector<float> sines_;
    fftwf_plan plan_ = nullptr;
};

// The transforms of every row length met so far. FFTW's planner is not thread-safe, so planning
// happens under the lock; executing a plan on new arrays is, so the lock is not held while
// transforming.
class PlanCache {
public:
    const OddTransform& For(int n) {
        std::lock_guard<std::mutex> lock(mutex_);
        std::unique_ptr<OddTransform>& entry = transforms_[n];
        if (!entry)
            entry = std::make_unique<OddTransform>(n);
        return *entry;
    }

private:
    std::mutex mutex_;
    std::map<int, std::unique_ptr<OddTransform>> transforms_;
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
    SineGrid transposed(grid.Height(), grid.Width(), SineGrid::Uninitialised{});
    TransposeScaled(grid, transposed, rowScale);
    OddTransformRows(transposed, threads);
    TransposeScaled(transposed, grid, columnScale);
}

// The odd transform of rows first .. first + count - 1 (first >= 1). Runs on a helper thread,
// so what it throws (no memory for its buffers) is handed back instead of ending the program.
void TransformRowRange(const OddTransform& transform, SineGrid& grid, int first, int count,
                       std::exception_ptr& failure) {
    try {
        OddTransform::Scratch scratch(grid.Width());
        for (int y = first; y < first + count; ++y)
            transform.Run(grid.Row(y), scratch);
    } catch (...) {
        failure = std::current_exception();
    }
}

}  // namespace

void OddTransformRows(SineGrid& grid, int threads, int rows) {
    int n = grid.Width(), count = std::min(rows < 0 ? grid.Height() : rows, grid.Height()) - 1;
    if (n < 2 || count < 1) {
        grid.Fill(0.0f);
        return;
    }
    const OddTransform& transform = Plans().For(n);
    threads = std::clamp(threads, 1, count);
    std::vector<std::exception_ptr> failures(static_cast<size_t>(threads));
    std::vector<std::thread> helpers;
    int first = 1;
    try {
        for (int t = 0; t < threads - 1; ++t) {
            int rows = count / threads;
            helpers.emplace_back(TransformRowRange, std::cref(transform), std::ref(grid), first, rows,
                                 std::ref(failures[t]));
            first += rows;
        }
    } catch (...) {
        for (std::thread& h : helpers)
            h.join();
        throw;
    }
    TransformRowRange(transform, grid, first, count - (first - 1), failures.back());
    for (std::thread& h : helpers)
        h.join();
    for (const std::exception_ptr& failure : failures)
        if (failure)
            std::rethrow_exception(failure);
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
