#pragma once

#include <chrono>
#include <string>

class PanoramaEngine;

// The time since it was made, for the report's whole run.
class RunTimer {
public:
    double Seconds() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); }

private:
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

// Writes the engine's quality report as JSON into path (whole or not at all), with the run's
// exit status and its whole time; false with the reason when it cannot be written.
bool WriteReport(const PanoramaEngine& engine, const std::string& path, int exitStatus, double runSeconds,
                 std::string* why);
