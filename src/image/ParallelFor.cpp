#include "image/ParallelFor.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

void ParallelFor(int count, const std::function<void(int)>& task) {
    int workers = std::min<int>(count, std::max(1u, std::thread::hardware_concurrency()));
    std::atomic<int> next{0};
    std::exception_ptr failure;
    std::mutex failureLock;
    auto work = [&] {
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
    for (int t = 1; t < workers; ++t)
        threads.emplace_back(work);
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
