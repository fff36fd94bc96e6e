#include "stitching/GradientBlend.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "image/GaussianSmooth.h"
#include "image/ParallelFor.h"
#include "stitching/MixedGradients.h"
#include "stitching/PoissonSolver.h"

namespace stitch {

namespace {

constexpr int kChannels = 3;
// Prepare, forward transform, inverse transform.
constexpr int kStages = 3;

// One channel's way through the blend, in stages that announce nothing themselves.
class ChannelBlend {
public:
    ChannelBlend(const ImgRGBSHORT& A, const ImgRGBSHORT& B, const ImgFLOAT& E, int k, PoissonGrid grid)
        : A_(A), B_(B), E_(E), k_(k), grid_(grid) {}

    void Run(int stage) {
        switch (stage) {
        case 0: Prepare(); break;
        case 1: solver_->Forward(); break;
        default: solver_->Inverse();
        }
    }
    // The solution G of this channel, on the first rows of the solver's grid.
    const SineGrid& Solution() const { return solver_->Grid(); }

private:
    void Prepare() {
        solver_.emplace(B_.width, B_.height, grid_);
        MixedDivergence(A_, B_, k_, E_, solver_->Grid());
    }

    const ImgRGBSHORT& A_;
    const ImgRGBSHORT& B_;
    const ImgFLOAT& E_;
    int k_;
    PoissonGrid grid_;
    std::optional<PoissonSolver> solver_;
};

// On a machine of two or more cores every channel gets its own worker: with one per core, two
// workers would solve the third channel while the other core waits, a third of the blend.
int ThreadCount(int requested) {
    if (requested <= 0)
        requested = std::thread::hardware_concurrency() >= 2 ? kChannels : 1;
    return std::min(requested, kChannels);
}

// Worker threads take whole channels; the calling thread announces each channel's steps as
// soon as that channel has reached them. A throwing announcement cancels the workers, which
// stop at their next stage; it is rethrown once they have ended.
class ParallelChannels {
public:
    ParallelChannels(std::array<std::unique_ptr<ChannelBlend>, kChannels>& channels, int threads)
        : channels_(channels) {
        try {
            for (int t = 0; t < threads; ++t)
                workers_.emplace_back([this] { Work(); });
        } catch (...) {
            Stop();
            throw;
        }
    }
    ~ParallelChannels() { Stop(); }

    void WaitFor(int k, int stages) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return done_[k] >= stages || error_; });
        if (error_)
            std::rethrow_exception(error_);
    }

    void Stop() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            cancelled_ = true;
            changed_.notify_all();
        }
        for (std::thread& t : workers_)
            if (t.joinable())
                t.join();
    }

private:
    void Work() {
        try {
            for (int k = next_++; k < kChannels; k = next_++)
                for (int stage = 0; stage < kStages; ++stage) {
                    {
                        std::lock_guard<std::mutex> lock(mutex_);
                        if (cancelled_)
                            return;
                    }
                    channels_[k]->Run(stage);
                    std::lock_guard<std::mutex> lock(mutex_);
                    done_[k] = stage + 1;
                    changed_.notify_all();
                }
        } catch (...) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!error_)
                error_ = std::current_exception();
            changed_.notify_all();
        }
    }

    std::array<std::unique_ptr<ChannelBlend>, kChannels>& channels_;
    std::vector<std::thread> workers_;
    std::atomic<int> next_{0};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::array<int, kChannels> done_{};
    bool cancelled_ = false;
    std::exception_ptr error_;
};

bool AnySet(const ImgUCHAR& M) {
    for (int y = 0; y < M.height; ++y) {
        const uint8_t* row = M.Row(y);
        for (int x = 0; x < M.width; ++x)
            if (row[x])
                return true;
    }
    return false;
}

void Announce(const StepCallback& announce, int k, int stage) {
    if (announce)
        announce(kFirstBlendStep + 3 * k + stage - 1);
}

}  // namespace

void GradientDomainBlend(const ImgRGBSHORT& A, ImgRGBSHORT& B, const ImgUCHAR& M, const GradientBlendSettings& settings,
                         const StepCallback& announce) {
    int w = B.width, h = B.height;
    if (w <= 0 || h <= 0)
        return;
    if (!AnySet(M)) {
        // The new image owns nothing: its weight is 0 everywhere and B stays as it is.
        for (int k = 0; k < kChannels; ++k)
            for (int stage = 1; stage <= kStages; ++stage)
                Announce(announce, k, stage);
        return;
    }
    ImgFLOAT E(w, h);
    M.CopyTo(E);
    GaussianSmooth(E, 0.01 * std::min(w, h));

    std::array<std::unique_ptr<ChannelBlend>, kChannels> channels;
    for (int k = 0; k < kChannels; ++k)
        channels[k] = std::make_unique<ChannelBlend>(A, B, E, k, settings.grid);
    ImgFLOAT omega;
    int threads = ThreadCount(settings.threads);
    if (threads <= 1) {
        for (int k = 0; k < kChannels; ++k)
            for (int stage = 0; stage < kStages; ++stage) {
                channels[k]->Run(stage);
                Announce(announce, k, stage + 1);
            }
        BlendWeight(M, settings.widthPercent, omega);
    } else {
        // The weight is made here while the workers solve.
        ParallelChannels parallel(channels, threads);
        BlendWeight(M, settings.widthPercent, omega);
        for (int k = 0; k < kChannels; ++k)
            for (int stage = 1; stage <= kStages; ++stage) {
                parallel.WaitFor(k, stage);
                Announce(announce, k, stage);
            }
    }
    // B changes only now that every channel is through: per channel b := G w + (1 - w) b, with
    // b the channel with its two outer pixel rings at 0 (as the divergence saw it), all three
    // channels of a pixel at once.
    ParallelRows(RowBands(h), [&](int, int begin, int end) {
        std::vector<float> rows(3 * static_cast<size_t>(w));
        for (int y = begin; y < end; ++y) {
            float* __restrict b[kChannels];
            const float* __restrict g[kChannels];
            for (int k = 0; k < kChannels; ++k) {
                b[k] = rows.data() + static_cast<size_t>(k) * w;
                RingClearedChannelRow(B, k, y, b[k]);
                g[k] = channels[static_cast<size_t>(k)]->Solution().Row(y);
            }
            const float* __restrict o = omega.Row(y);
            for (int k = 0; k < kChannels; ++k)
                for (int x = 0; x < w; ++x)
                    b[k][x] = g[k][x] * o[x] + (1 - o[x]) * b[k][x];
            RgbSHORT* __restrict out = B.Row(y);
            for (int x = 0; x < w; ++x)
                out[x] = RgbSHORT{ToChannel(b[0][x]), ToChannel(b[1][x]), ToChannel(b[2][x])};
        }
    });
}

}  // namespace stitch
