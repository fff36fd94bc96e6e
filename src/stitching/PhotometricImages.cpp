#include "stitching/PhotometricImages.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "stitching/PhotometricImage.h"

namespace {

// How one photograph ended on its worker.
struct Outcome {
    bool done = false;
    bool unreadable = false;
    std::exception_ptr error;
};

// Decodes and reduces photograph i; whatever goes wrong is kept for the calling thread.
void MakeOne(const PhotometricInput& input, int i, ImgRGB& small, double& scale, Outcome& outcome) {
    try {
        ImgRGB photograph;
        if (!input.load || !input.load(i, photograph) || !photograph.HasPixels()) {
            outcome.unreadable = true;
            return;
        }
        const double loadedWidth = photograph.width;
        scale = MakePhotometricImage(photograph, small);
        const size_t k = static_cast<size_t>(i);
        if (k < input.photographWidths.size() && input.photographWidths[k] > loadedWidth)
            scale *= loadedWidth / input.photographWidths[k];
    } catch (...) {
        outcome.error = std::current_exception();
    }
}

[[noreturn]] void ReportUnreadable(const PhotometricInput& input, int i) {
    if (input.loadFailed)
        input.loadFailed(i);
    throw "\nCould not load a image!\n";
}

// The first failure in list order, rethrown on the calling thread.
void ReportFailures(const PhotometricInput& input, const std::vector<Outcome>& outcomes) {
    for (size_t i = 0; i < outcomes.size(); ++i) {
        if (outcomes[i].error)
            std::rethrow_exception(outcomes[i].error);
        if (outcomes[i].unreadable)
            ReportUnreadable(input, static_cast<int>(i));
    }
}

bool Aborted(const PhotometricInput& input, int i, int count) { return input.blurring && input.blurring(i + 1, count); }

int ThreadCount(int requested, int count) {
    if (requested <= 0)
        requested = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return std::max(1, std::min(requested, count));
}

// Workers take the photographs the calling thread has released, in order. At most as many are
// released as there are workers, so that the announcement of a photograph and an abort come
// just before it starts and never pile up ahead of the work.
class Workers {
public:
    Workers(const PhotometricInput& input, std::vector<ImgRGB>& images, std::vector<double>& scales,
            std::vector<Outcome>& outcomes, int threads)
        : input_(input), images_(images), scales_(scales), outcomes_(outcomes), threads_(threads) {
        try {
            for (int t = 0; t < threads; ++t)
                pool_.emplace_back([this] { Work(); });
        } catch (...) {
            Finish();
            throw;
        }
    }
    ~Workers() { Finish(); }

    // Waits for a free worker; false when a started photograph has failed, so that nothing more
    // is announced after a failure the calling thread is about to report.
    bool WaitForSlot() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return released_ - finished_ < threads_ || failed_; });
        return !failed_;
    }
    void Release() {
        std::lock_guard<std::mutex> lock(mutex_);
        ++released_;
        changed_.notify_all();
    }
    // Lets the released photographs end, then stops the workers.
    void Finish() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closing_ = true;
            changed_.notify_all();
        }
        for (std::thread& t : pool_)
            if (t.joinable())
                t.join();
        pool_.clear();
    }

private:
    void Work() {
        for (;;) {
            int i;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [&] { return taken_ < released_ || closing_; });
                if (taken_ >= released_)
                    return;
                i = taken_++;
            }
            Outcome outcome;
            MakeOne(input_, i, images_[i], scales_[i], outcome);
            std::lock_guard<std::mutex> lock(mutex_);
            outcome.done = true;
            outcomes_[i] = std::move(outcome);
            failed_ = failed_ || outcomes_[i].unreadable || outcomes_[i].error;
            ++finished_;
            changed_.notify_all();
        }
    }

    const PhotometricInput& input_;
    std::vector<ImgRGB>& images_;
    std::vector<double>& scales_;
    std::vector<Outcome>& outcomes_;
    const int threads_;
    std::vector<std::thread> pool_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int released_ = 0;
    int taken_ = 0;
    int finished_ = 0;
    bool failed_ = false;
    bool closing_ = false;
};

bool MakeOnCallingThread(int count, const PhotometricInput& input, std::vector<ImgRGB>& images,
                         std::vector<double>& scales) {
    std::vector<Outcome> outcome(1);
    for (int i = 0; i < count; ++i) {
        if (Aborted(input, i, count))
            return false;
        outcome[0] = Outcome{};
        MakeOne(input, i, images[i], scales[i], outcome[0]);
        if (outcome[0].error)
            std::rethrow_exception(outcome[0].error);
        if (outcome[0].unreadable)
            ReportUnreadable(input, i);
    }
    return true;
}

}  // namespace

bool MakePhotometricImages(int count, const PhotometricInput& input, std::vector<ImgRGB>& images,
                           std::vector<double>& scales) {
    images.clear();
    images.resize(static_cast<size_t>(count));
    scales.assign(static_cast<size_t>(count), 0.0);
    const int threads = ThreadCount(input.threads, count);
    if (threads <= 1)
        return MakeOnCallingThread(count, input, images, scales);

    std::vector<Outcome> outcomes(static_cast<size_t>(count));
    bool aborted = false;
    {
        Workers workers(input, images, scales, outcomes, threads);
        for (int i = 0; i < count; ++i) {
            if (!workers.WaitForSlot())
                break;
            if (Aborted(input, i, count)) {
                aborted = true;
                break;
            }
            workers.Release();
        }
        workers.Finish();
    }
    // A photograph that failed before the abort was asked for would have stopped a run on the
    // calling thread first.
    ReportFailures(input, outcomes);
    return !aborted;
}
