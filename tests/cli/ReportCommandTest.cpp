// The quality report of a run: every photograph and whether it was registered, every fitted
// pair's residual under the fitted cameras, the focal length, the stages' times and the exit
// status, as JSON that any reader takes.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <string>

#include "support/RenderedViews.h"
#include "support/RunProgram.h"

namespace {

QJsonObject ReadReport(const std::string& path) {
    QFile file(QString::fromStdString(path));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path;
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    return document.object();
}

}  // namespace

TEST(ReportCommand, ListsEveryPhotographAndFittedPairWithItsResidual) {
    // Three photographs of a row at f = 500 and one looking the other way.
    RenderedViews set({View(0, 0, 0, 500, 320, 240), View(25, 0, 0, 500, 320, 240), View(50, 0, 0, 500, 320, 240),
                       View(180, 0, 0, 500, 320, 240)});
    const std::string dir = set.Folder();
    RunResult run = RunProgram(VEDORA_STITCH,
                               {"-q", "--seed", "3", "--size", "600", "-o", dir + "/p.jpg", "--report", dir + "/r.json",
                                set.Path(0), set.Path(1), set.Path(2), set.Path(3)},
                               dir);
    ASSERT_EQ(run.status, 3) << run.err;
    const QJsonObject report = ReadReport(dir + "/r.json");
    EXPECT_EQ(report["exit_status"].toInt(), 3);

    const QJsonArray photographs = report["photographs"].toArray();
    ASSERT_EQ(photographs.size(), 4);
    for (int i = 0; i < 3; ++i) {
        const QJsonObject p = photographs[i].toObject();
        EXPECT_EQ(p["path"].toString().toStdString(), set.Path(size_t(i)));
        EXPECT_TRUE(p["registered"].toBool());
        EXPECT_EQ(p["gain"].toArray().size(), 3);
    }
    // Yaw between neighbours as rendered; the row level.
    const double yaw0 = photographs[0].toObject()["yaw_deg"].toDouble();
    EXPECT_NEAR(photographs[1].toObject()["yaw_deg"].toDouble() - yaw0, 25, 0.1);
    EXPECT_NEAR(photographs[2].toObject()["yaw_deg"].toDouble() - yaw0, 50, 0.1);
    EXPECT_NEAR(photographs[1].toObject()["pitch_deg"].toDouble(), 0, 0.2);
    EXPECT_FALSE(photographs[3].toObject()["registered"].toBool());
    ASSERT_EQ(report["left_out"].toArray().size(), 1);
    EXPECT_EQ(report["left_out"].toArray()[0].toString().toStdString(), set.Path(3));

    // The two neighbouring pairs, each with its points and residual in pixels and degrees.
    const QJsonArray pairs = report["pairs"].toArray();
    ASSERT_GE(pairs.size(), 2);
    for (const QJsonValue& value : pairs) {
        const QJsonObject pair = value.toObject();
        EXPECT_NE(pair["first"].toString(), pair["second"].toString());
        EXPECT_GT(pair["points"].toInt(), 20);
        const double rms = pair["rms_px"].toDouble(), worst = pair["max_px"].toDouble();
        EXPECT_GT(rms, 0);
        EXPECT_LT(rms, 0.5);
        EXPECT_GE(worst, rms);
        EXPECT_NEAR(pair["rms_deg"].toDouble(), std::atan(rms / 500) * 180 / M_PI, 1e-3);
    }
    const QJsonObject focal = report["focal_length"].toObject();
    EXPECT_NEAR(focal["pixels"].toDouble(), 500, 5);
    EXPECT_NEAR(focal["equivalent_35mm"].toDouble(), 500 * std::hypot(36, 24) / 400, 0.6);
    EXPECT_GE(report["camera_fit_rms_px"].toDouble(), 0);
    EXPECT_LT(std::abs(report["horizon_correction_deg"].toDouble()), 5);
    EXPECT_TRUE(report["photometric_residual"].isDouble());

    const QJsonObject stages = report["stage_seconds"].toObject();
    double parts = 0;
    for (const char* stage : {"features", "pair_matching", "camera_fit", "photometric_fit", "render", "write"}) {
        ASSERT_TRUE(stages[stage].isDouble()) << stage;
        EXPECT_GE(stages[stage].toDouble(), 0) << stage;
        parts += stages[stage].toDouble();
    }
    EXPECT_GE(stages["total"].toDouble(), parts);

    // A report that cannot be written is refused before any work: nothing else is written.
    RunResult nowhere =
        RunProgram(VEDORA_STITCH,
                   {"-q", "-o", dir + "/q.jpg", "--report", dir + "/missing/r.json", set.Path(0), set.Path(1)}, dir);
    EXPECT_EQ(nowhere.status, 2);
    EXPECT_EQ(nowhere.err, "vedora-stitch: cannot write the report: the folder " + dir + "/missing does not exist\n");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir + "/q.jpg")));
}
