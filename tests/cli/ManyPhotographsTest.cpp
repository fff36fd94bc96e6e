// Beyond thirty photographs automatic matching matches only the pairs a quick vote ranks best
// and those their rotations predict to overlap; it must find every pair that matching every
// pair finds.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <set>
#include <string>
#include <utility>

#include "support/RenderedViews.h"
#include "support/RunProgram.h"

namespace {

struct MatchingReport {
    std::set<std::pair<std::string, std::string>> pairs;
    int registered = 0;
};

MatchingReport ReadMatchingReport(const std::string& path) {
    QFile file(QString::fromStdString(path));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path;
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    MatchingReport report;
    for (const QJsonValue& pair : root["pairs"].toArray())
        report.pairs.insert({pair["first"].toString().toStdString(), pair["second"].toString().toStdString()});
    for (const QJsonValue& photograph : root["photographs"].toArray())
        report.registered += photograph["registered"].toBool();
    return report;
}

}  // namespace

TEST(ManyPhotographs, TheLikelyPairsFindEveryPairThatMatchingEveryPairFinds) {
    // Three rows of twelve, 30 degrees apart, and one photograph of the ground that overlaps
    // none of them.
    std::vector<render::ViewSpec> views;
    for (double pitch : {-30.0, 0.0, 30.0})
        for (int k = 0; k < 12; ++k)
            views.push_back(View(30.0 * k, pitch, 0, 300, 400, 300));
    views.push_back(View(0, -90, 0, 300, 400, 300));
    RenderedViews set(views);
    auto stitch = [&](const std::string& name, std::vector<std::string> options) {
        std::vector<std::string> args = {"--preview",
                                         "--seed",
                                         "7",
                                         "--size",
                                         "800",
                                         "-o",
                                         set.Folder() + "/" + name + ".jpg",
                                         "--report",
                                         set.Folder() + "/" + name + ".json"};
        args.insert(args.end(), options.begin(), options.end());
        for (size_t i = 0; i < views.size(); ++i)
            args.push_back(set.Path(i));
        return RunProgram(VEDORA_STITCH, args, set.Folder());
    };
    const RunResult likely = stitch("likely", {});
    const RunResult every = stitch("every", {"--match-all-pairs"});
    // The ground photograph is left out by both and named.
    EXPECT_EQ(likely.status, 3) << likely.err;
    EXPECT_EQ(every.status, 3) << every.err;
    EXPECT_NE(likely.err.find(set.Path(36) + " is left out"), std::string::npos) << likely.err;
    EXPECT_NE(likely.err.find("of 666 pairs matched in full"), std::string::npos) << likely.err;
    EXPECT_EQ(every.err.find("matched in full"), std::string::npos) << every.err;

    const MatchingReport a = ReadMatchingReport(set.Folder() + "/likely.json"),
                         b = ReadMatchingReport(set.Folder() + "/every.json");
    EXPECT_EQ(a.registered, 36);
    EXPECT_EQ(b.registered, 36);
    EXPECT_GT(b.pairs.size(), 100u);
    EXPECT_EQ(a.pairs, b.pairs);
}
