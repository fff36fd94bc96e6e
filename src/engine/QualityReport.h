#pragma once

#include <string>
#include <utility>
#include <vector>

class PanoramaEngine;

// How well a stitch went, photograph by photograph and pair by pair, for a report the user can
// keep beside the panorama: what was registered and how the cameras lie, how closely every
// matched pair's points meet under the fitted cameras, the focal length, the horizon's
// correction, the photometric fit and how long each stage took.
struct QualityReport {
    struct Photograph {
        std::string path;
        bool registered = false;
        double yaw = 0, pitch = 0, roll = 0;  // degrees
        double gain[3] = {1, 1, 1};           // red, green, blue
    };
    struct Pair {
        int first = 0, second = 0;
        std::string firstPath, secondPath;
        int points = 0;
        double rmsPixels = 0, maxPixels = 0;
        double rmsDegrees = 0;  // the rms as an angle at the focal length
    };

    std::string projection;
    std::vector<Photograph> photographs;
    std::vector<Pair> pairs;           // matched pairs whose photographs were both registered
    std::vector<std::string> leftOut;  // photographs the panorama leaves out
    // Pairs the camera fit left out as disagreeing with the others (paths, first and second).
    std::vector<std::pair<std::string, std::string>> pairsLeftOut;
    double focalLengthPixels = 0;
    double focalLength35mm = 0;            // the same field of view on a 36 x 24 mm frame
    double recordedFocalLengthPixels = 0;  // what the reference camera recorded; 0: nothing
    double cameraFitRmsPixels = 0;
    double horizonCorrectionDegrees = 0;
    double photometricResidual = -1;  // 8-bit levels; negative: no photometric fit ran
    std::vector<std::pair<std::string, double>> stageSeconds;
};

// The report of the engine's current cameras and pairs.
QualityReport MakeQualityReport(const PanoramaEngine& engine);

// As JSON (written with Qt's own classes): the report with the run's exit status and any
// further stage times the caller measured (writing the files, the whole run).
std::string QualityReportJson(const QualityReport& report, int exitStatus,
                              const std::vector<std::pair<std::string, double>>& moreStages = {});

// As lines of text for the window's status log.
std::string QualityReportText(const QualityReport& report);
