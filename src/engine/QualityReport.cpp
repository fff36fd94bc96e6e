#include "engine/QualityReport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "engine/PanoramaEngine.h"
#include "stitching/CameraAngles.h"
#include "stitching/CameraFitter.h"
#include "xml/Chars.h"

namespace {

constexpr double kDegree = 180 / std::numbers::pi;

QualityReport::Photograph PhotographOf(const PanoramaEngine& engine, int index) {
    QualityReport::Photograph out;
    out.path = engine.Image(index).path.c_str();
    const Camera* camera = FindCameraOf(engine.CameraList(), index);
    if (!camera)
        return out;
    out.registered = true;
    const CameraAngles angles = AnglesOf(camera->rotation);
    out.yaw = angles.yaw;
    out.pitch = angles.pitch;
    out.roll = angles.roll;
    // The cameras keep colour channels in the images' order, blue first.
    out.gain[0] = camera->gains[2];
    out.gain[1] = camera->gains[1];
    out.gain[2] = camera->gains[0];
    return out;
}

// How far each of the pair's points in the first photograph lands, through the fitted cameras,
// from its match in the second.
bool PairOf(const PanoramaEngine& engine, const ImageCombination& combination, QualityReport::Pair& out) {
    const Camera* first = FindCameraOf(engine.CameraList(), combination.first);
    const Camera* second = FindCameraOf(engine.CameraList(), combination.second);
    if (!combination.matched || !first || !second || combination.P.empty() ||
        combination.P.size() != combination.Q.size())
        return false;
    const CMatrix H = ChildToParentTransfer(*first, *second);
    double sum = 0, worst = 0;
    for (size_t k = 0; k < combination.P.size(); ++k) {
        double x = 0, y = 0;
        TransferPoint(H, combination.P[k].x, combination.P[k].y, x, y);
        const double d = std::hypot(x - combination.Q[k].x, y - combination.Q[k].y);
        sum += d * d;
        worst = std::max(worst, d);
    }
    out.first = combination.first;
    out.second = combination.second;
    out.firstPath = engine.Image(combination.first).path.c_str();
    out.secondPath = engine.Image(combination.second).path.c_str();
    out.points = static_cast<int>(combination.P.size());
    out.rmsPixels = std::sqrt(sum / static_cast<double>(combination.P.size()));
    out.maxPixels = worst;
    out.rmsDegrees = std::atan(out.rmsPixels / first->focalLength) * kDegree;
    return true;
}

QJsonValue Finite(double v) { return std::isfinite(v) ? v : 0.0; }

QJsonObject PhotographJson(const QualityReport::Photograph& p) {
    QJsonObject out{{"path", QString::fromStdString(p.path)}, {"registered", p.registered}};
    if (p.registered) {
        out["yaw_deg"] = Finite(p.yaw);
        out["pitch_deg"] = Finite(p.pitch);
        out["roll_deg"] = Finite(p.roll);
        out["gain"] = QJsonArray{Finite(p.gain[0]), Finite(p.gain[1]), Finite(p.gain[2])};
    }
    return out;
}

QJsonObject PairJson(const QualityReport::Pair& p) {
    return {{"first", QString::fromStdString(p.firstPath)},
            {"second", QString::fromStdString(p.secondPath)},
            {"points", p.points},
            {"rms_px", Finite(p.rmsPixels)},
            {"max_px", Finite(p.maxPixels)},
            {"rms_deg", Finite(p.rmsDegrees)}};
}

}  // namespace

QualityReport MakeQualityReport(const PanoramaEngine& engine) {
    QualityReport report;
    report.projection = engine.GetProjection().Name();
    for (int i = 0; i < engine.ImageCount(); ++i)
        report.photographs.push_back(PhotographOf(engine, i));
    for (const ImageCombination& combination : engine.Combinations()) {
        QualityReport::Pair pair;
        if (PairOf(engine, combination, pair))
            report.pairs.push_back(pair);
    }
    for (int image : engine.PhotographsLeftOut())
        report.leftOut.push_back(engine.Image(image).path.c_str());
    for (const auto& [a, b] : engine.FitPairsLeftOut())
        report.pairsLeftOut.emplace_back(engine.Image(std::min(a, b)).path.c_str(),
                                         engine.Image(std::max(a, b)).path.c_str());
    const std::vector<Camera>& cameras = engine.CameraList();
    if (!cameras.empty()) {
        const Camera& reference = cameras[0];
        report.focalLengthPixels = reference.focalLength;
        const ImageRecord& image = engine.Image(reference.image);
        report.focalLength35mm = reference.focalLength * std::hypot(36.0, 24.0) / std::hypot(image.width, image.height);
        report.recordedFocalLengthPixels = engine.RecordedFocalLength(reference.image);
    }
    report.cameraFitRmsPixels = engine.CameraFitResidual();
    report.horizonCorrectionDegrees = engine.HorizonCorrection() * kDegree;
    report.photometricResidual = engine.PhotometricResidual();
    report.stageSeconds = engine.Stages().Entries();
    return report;
}

std::string QualityReportJson(const QualityReport& report, int exitStatus,
                              const std::vector<std::pair<std::string, double>>& moreStages) {
    QJsonArray photographs, pairs, leftOut, pairsLeftOut;
    for (const std::string& path : report.leftOut)
        leftOut.append(QString::fromStdString(path));
    for (const auto& [first, second] : report.pairsLeftOut)
        pairsLeftOut.append(
            QJsonObject{{"first", QString::fromStdString(first)}, {"second", QString::fromStdString(second)}});
    for (const QualityReport::Photograph& p : report.photographs)
        photographs.append(PhotographJson(p));
    for (const QualityReport::Pair& p : report.pairs)
        pairs.append(PairJson(p));
    QJsonObject stages;
    for (const auto& list : {report.stageSeconds, moreStages})
        for (const auto& [stage, seconds] : list)
            stages[QString::fromStdString(stage)] = Finite(seconds);
    QJsonObject focal{{"pixels", Finite(report.focalLengthPixels)},
                      {"equivalent_35mm", Finite(report.focalLength35mm)}};
    if (report.recordedFocalLengthPixels > 0)
        focal["recorded_pixels"] = Finite(report.recordedFocalLengthPixels);
    QJsonObject root{{"exit_status", exitStatus},
                     {"projection", QString::fromStdString(report.projection)},
                     {"photographs", photographs},
                     {"pairs", pairs},
                     {"left_out", leftOut},
                     {"pairs_left_out", pairsLeftOut},
                     {"focal_length", focal},
                     {"camera_fit_rms_px", Finite(report.cameraFitRmsPixels)},
                     {"horizon_correction_deg", Finite(report.horizonCorrectionDegrees)},
                     {"stage_seconds", stages}};
    root["photometric_residual"] =
        report.photometricResidual >= 0 ? QJsonValue(report.photometricResidual) : QJsonValue(QJsonValue::Null);
    return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}

std::string QualityReportText(const QualityReport& report) {
    using Zelvo::Chars;
    std::string text = "Quality report\n";
    int registered = 0;
    for (const QualityReport::Photograph& p : report.photographs)
        registered += p.registered ? 1 : 0;
    text += Chars::Format("  %d of %d photographs registered; focal length %.1f px (%.1f mm on 35 mm)\n", registered,
                          static_cast<int>(report.photographs.size()), report.focalLengthPixels, report.focalLength35mm)
                .c_str();
    text += Chars::Format("  camera fit %.3f px rms; horizon corrected by %.2f degrees\n", report.cameraFitRmsPixels,
                          report.horizonCorrectionDegrees)
                .c_str();
    if (report.photometricResidual >= 0)
        text += Chars::Format("  photometric fit %.2f levels rms\n", report.photometricResidual).c_str();
    for (const QualityReport::Photograph& p : report.photographs)
        text += p.registered ? Chars::Format("  %s: yaw %.2f, pitch %.2f, roll %.2f degrees, gain %.3f %.3f %.3f\n",
                                             p.path.c_str(), p.yaw, p.pitch, p.roll, p.gain[0], p.gain[1], p.gain[2])
                                   .c_str()
                             : "  " + p.path + ": not registered\n";
    for (const QualityReport::Pair& p : report.pairs)
        text += Chars::Format("  %d-%d: %d points, %.3f px rms (%.4f degrees), %.3f px at most\n", p.first, p.second,
                              p.points, p.rmsPixels, p.rmsDegrees, p.maxPixels)
                    .c_str();
    for (const std::string& path : report.leftOut)
        text += "  left out: " + path + "\n";
    for (const auto& [first, second] : report.pairsLeftOut)
        text += "  pair left out of the fit: " + first + " - " + second + "\n";
    for (const auto& [stage, seconds] : report.stageSeconds)
        text += Chars::Format("  %s: %.2f s\n", stage.c_str(), seconds).c_str();
    return text;
}
