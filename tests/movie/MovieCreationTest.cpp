// The creation steps of the movie dialog, headless: stages and progress, the temporary files,
// the width rule, the proposal and suffix of the movie's name, and every way the procedure stops.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <numeric>

#include "MovieTestSupport.h"
#include "movie/MovieCreation.h"
#include "movie/PanoramaScaling.h"
#include "movie/VrMovieReader.h"

namespace {

struct CreationRun {
    std::vector<int> progress;
    std::vector<std::string> proposals;
    MovieCreationResult result;
};

CreationRun Create(const QString& image, const VrMovieSettings& settings, const QString& answer, const QString& temp) {
    CreationRun run;
    MovieCreationHooks hooks;
    hooks.progress = [&run](int done) { run.progress.push_back(done); };
    hooks.chooseSavePath = [&run, answer](const std::string& proposal) {
        run.proposals.push_back(proposal);
        return answer.toStdString();
    };
    run.result = CreateMovieFromImageFile(image.toStdString(), settings, hooks, temp.toStdString());
    return run;
}

QString SaveImage(const QString& path, int width, int height) {
    EXPECT_TRUE(QImageFromImg(SyntheticPanorama(width, height)).save(path));
    return path;
}

}  // namespace

TEST(MovieCreation, RunsEveryStageAndLeavesOnlyTheMovie) {
    QTemporaryDir work, temp;
    QString image = SaveImage(work.path() + "/hall.view.png", 600, 90);
    VrMovieSettings settings;
    settings.tiles = 5;
    CreationRun run = Create(image, settings, work.path() + "/chosen", temp.path());
    ASSERT_EQ(run.result.status, MovieCreationResult::Status::Written) << run.result.message;
    EXPECT_EQ(MovieCreationSteps(5), 13);
    std::vector<int> expected(13);
    std::iota(expected.begin(), expected.end(), 1);
    EXPECT_EQ(run.progress, expected);
    ASSERT_EQ(run.proposals.size(), 1u);
    EXPECT_EQ(QString::fromStdString(run.proposals[0]), work.path() + "/hall.view.mov");
    EXPECT_EQ(QString::fromStdString(run.result.moviePath), work.path() + "/chosen.mov");
    EXPECT_TRUE(FilesIn(temp.path()).isEmpty()) << FilesIn(temp.path()).join(" ").toStdString();
    EXPECT_EQ(FilesIn(work.path()), QStringList({"chosen.mov", "hall.view.png"}));
    VrMovie movie;
    std::string why;
    ASSERT_TRUE(ReadVrMovieFile(run.result.moviePath, &movie, &why)) << why;
    EXPECT_EQ(movie.tiles, 5);
    EXPECT_EQ(movie.panorama.width, 600);

    EXPECT_EQ(WithMovieSuffix("/a/b.MOV"), "/a/b.MOV");
    EXPECT_EQ(WithMovieSuffix("/a/b.jpg"), "/a/b.jpg.mov");
}

TEST(MovieCreation, WidthBecomesAMultipleOfTheTiles) {
    QTemporaryDir work, temp;
    QString image = SaveImage(work.path() + "/wide.png", 5000, 40);
    for (auto [tiles, width] : {std::pair{4, 5000}, std::pair{6, 4998}}) {
        VrMovieSettings settings;
        settings.tiles = tiles;
        CreationRun run = Create(image, settings, work.path() + "/wide.mov", temp.path());
        ASSERT_EQ(run.result.status, MovieCreationResult::Status::Written) << run.result.message;
        VrMovie movie;
        std::string why;
        ASSERT_TRUE(ReadVrMovieFile(run.result.moviePath, &movie, &why)) << why;
        EXPECT_EQ(movie.panorama.width, width);
        EXPECT_EQ(movie.tiles, tiles);
    }
}

TEST(MovieCreation, CancellingTheSaveLeavesNothingBehind) {
    QTemporaryDir work, temp;
    QString image = SaveImage(work.path() + "/p.png", 400, 60);
    CreationRun run = Create(image, VrMovieSettings{}, QString(), temp.path());
    EXPECT_EQ(run.result.status, MovieCreationResult::Status::Cancelled);
    EXPECT_EQ(run.proposals.size(), 1u);
    EXPECT_TRUE(FilesIn(temp.path()).isEmpty());
    EXPECT_EQ(FilesIn(work.path()), QStringList({"p.png"}));
}

TEST(MovieCreation, FailuresStopWithAMessageAndLeaveNoTemporaryFiles) {
    QTemporaryDir work, temp;
    QString image = SaveImage(work.path() + "/p.png", 400, 60);

    WriteFileBytes(work.path() + "/broken.jpg", {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
    CreationRun broken = Create(work.path() + "/broken.jpg", VrMovieSettings{}, work.path() + "/x", temp.path());
    EXPECT_EQ(broken.result.status, MovieCreationResult::Status::Failed);
    EXPECT_NE(broken.result.message.find("could not be loaded"), std::string::npos) << broken.result.message;
    EXPECT_TRUE(broken.proposals.empty());

    CreationRun noTemp = Create(image, VrMovieSettings{}, work.path() + "/x", work.path() + "/missing");
    EXPECT_EQ(noTemp.result.status, MovieCreationResult::Status::Failed);
    EXPECT_NE(noTemp.result.message.find("temporary files could not be created"), std::string::npos);

    CreationRun badTarget = Create(image, VrMovieSettings{}, work.path() + "/no/such/folder/x", temp.path());
    EXPECT_EQ(badTarget.result.status, MovieCreationResult::Status::Failed);
    EXPECT_NE(badTarget.result.message.find("could not be written"), std::string::npos);

    VrMovieSettings zero;
    zero.angle = 0;
    CreationRun noAngle = Create(image, zero, work.path() + "/x", temp.path());
    EXPECT_EQ(noAngle.result.status, MovieCreationResult::Status::Failed);

    EXPECT_TRUE(FilesIn(temp.path()).isEmpty()) << FilesIn(temp.path()).join(" ").toStdString();
    EXPECT_EQ(FilesIn(work.path()), QStringList({"broken.jpg", "p.png"}));
}

TEST(MovieCreation, AFullTemporaryFolderStopsTheProcedure) {
    QTemporaryDir work, temp;
    QString image = SaveImage(work.path() + "/p.png", 800, 200);
    // A file size limit makes every write beyond 16 kB fail as on a full disk.
    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = previous;
    small.rlim_cur = 16 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    CreationRun run = Create(image, VrMovieSettings{}, work.path() + "/x", temp.path());
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(run.result.status, MovieCreationResult::Status::Failed);
    EXPECT_NE(run.result.message.find("could not be written"), std::string::npos) << run.result.message;
    EXPECT_TRUE(FilesIn(temp.path()).isEmpty());
    EXPECT_EQ(FilesIn(work.path()), QStringList({"p.png"}));
}
