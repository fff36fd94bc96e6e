#include "image/ParallelFor.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// How deep the calling thread is inside tasks of ParallelFor: a pass that a task runs (a tile's
// rows inside a pass over tiles) goes on the task's own thread, instead of starting threads of
// its own for every task. The results are the same either way.
thread_local int taskDepth = 0;

struct InsideTask {
    InsideTask() { ++taskDepth; }
    ~InsideTask() { --taskDepth; }
};

std::atomic<int> startsLeftBeforeFailure{-1};

// Starts one more worker; false when the system (or a test) refuses.
bool StartWorker(std::vector<std::thread>& threads, const std::function<void()>& work) {
    int left = startsLeftBeforeFailure.load();
    while (left >= 0) {
        if (left == 0)
            return false;
        if (startsLeftBeforeFailure.compare_exchange_weak(left, left - 1))
            break;
    }
    try {
        threads.emplace_back(work);
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

}  // namespace

void FailThreadStartsAfter(int started) { startsLeftBeforeFailure = started; }

void ParallelFor(int count, const std::function<void(int)>& task) {
    if (taskDepth > 0) {
        for (int i = 0; i < count; ++i)
            task(i);
        return;
    }
    int workers = std::min<int>(count, std::max(1u, std::thread::hardware_concurrency()));
    std::atomic<int> next{0};
    std::exception_ptr failure;
    std::mutex failureLock;
    auto work = [&] {
        const InsideTask inside;
        for (int i = next++; i < count; i = next++) {
            try {
                task(i);
            } catch (...) {
                std::lock_guard<std::mutex> lock(failureLock);
                if (!failure)
                    failure = std::current_exception();
                next = count;
            }
        }
    };
    std::vector<std::thread> threads;
    threads.reserve(static_cast<size_t>(workers));
    for (int t = 1; t < workers; ++t)
        if (!StartWorker(threads, work))
            break;
    work();
    for (std::thread& thread : threads)
        thread.join();
    if (failure)
        std::rethrow_exception(failure);
}

// Several bands per core even out the cores' speeds; very short images stay in one band.
RowBands::RowBands(int height) : height(std::max(height, 0)), count(std::clamp(height / 64, 1, kMaxBands)) {}

void ParallelRows(const RowBands& bands, const std::function<void(int band, int begin, int end)>& task) {
    ParallelFor(bands.count, [&](int band) { task(band, bands.Begin(band), bands.End(band)); });
}
