#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

// How long each stage of the work took, seconds, in the order the stages first ran; a stage
// that runs again (every preview fits the cameras) adds to its time.
class StageTimes {
public:
    void Add(const std::string& stage, double seconds) {
        for (auto& entry : entries)
            if (entry.first == stage) {
                entry.second += seconds;
                return;
            }
        entries.emplace_back(stage, seconds);
    }
    void Clear() { entries.clear(); }
    const std::vector<std::pair<std::string, double>>& Entries() const { return entries; }

private:
    std::vector<std::pair<std::string, double>> entries;
};

// Adds the time from its making to its end to one stage, however the stage ends.
class StageClock {
public:
    StageClock(StageTimes& times, std::string stage)
        : times(times), stage(std::move(stage)), start(std::chrono::steady_clock::now()) {}
    ~StageClock() { times.Add(stage, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()); }
    StageClock(const StageClock&) = delete;
    StageClock& operator=(const StageClock&) = delete;

private:
    StageTimes& times;
    std::string stage;
    std::chrono::steady_clock::time_point start;
};
