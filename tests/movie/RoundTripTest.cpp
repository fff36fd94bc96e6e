#include <gtest/gtest.h>

#include "MovieTestSupport.h"
#include "movie/AtomReader.h"
#include "movie/AtomWriter.h"
#include "movie/MovieFile.h"
#include "movie/VrMovieReader.h"
#include "movie/VrMovieWriter.h"
#include "xml/SaveFaults.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <utility>
#include <vector>

namespace {

VrMovieSettings Settings(int tiles, VrQuality quality, int angle = 360, int w = 640, int h = 480) {
    VrMovieSettings s;
    s.tiles = tiles;
    s.quality = quality;
    s.angle = angle;
    s.windowWidth = w;
    s.windowHeight = h;
    return s;
}

bool WriteAndRead(const ImgRGB& panorama, const VrMovieSettings& s, VrMovie* movie, QString* path = nullptr) {
    static QTemporaryDir dir;
    QString file = dir.path() + "/round.mov";
    std::string why;
    if (!WriteVrMovie(panorama, s, file.toStdString(), &why)) {
        ADD_FAILURE() << why;
        return false;
    }
    if (path)
        *path = file;
    if (!ReadVrMovieFile(file.toStdString(), movie, &why)) {
        ADD_FAILURE() << why;
        return false;
    }
    return true;
}

}  // namespace

TEST(VrMovieRoundTrip, HighQualityGivesThePanoramaBackWithTheAskedLayout) {
    ImgRGB panorama = RenderCylindricalPanorama(1440, 240);
    VrMovie movie;
    ASSERT_TRUE(WriteAndRead(panorama, Settings(8, VrQuality::High, 360, 800, 500), &movie));
    ASSERT_EQ(movie.panorama.width, 1440);
    ASSERT_EQ(movie.panorama.height, 240);
    EXPECT_GE(PsnrOf(movie.panorama, panorama), 40.0);
    EXPECT_EQ(movie.tiles, 8);
    EXPECT_EQ(movie.framesX, 1);
    EXPECT_EQ(movie.framesY, 8);
    EXPECT_TRUE(movie.storedTurned);
    EXPECT_EQ(movie.storedWidth, 240);
    EXPECT_EQ(movie.storedHeight, 1440);
    EXPECT_EQ(movie.codec, kCodecJpeg);
    EXPECT_EQ(movie.windowWidth, 800);
    EXPECT_EQ(movie.windowHeight, 500);
    EXPECT_DOUBLE_EQ(movie.angles.maxPan - movie.angles.minPan, 360.0);
    EXPECT_EQ(movie.sceneName, "My Scene");
    EXPECT_EQ(movie.nodeName, "My Node");
    VrAngles expected = AnglesForPanorama(1440, 240, 360, 800, 500);
    EXPECT_NEAR(movie.angles.maxTilt, expected.maxTilt, 1e-4);
    EXPECT_NEAR(movie.angles.minFov, expected.minFov, 1e-4);
    EXPECT_NEAR(movie.angles.defaultPan, expected.defaultPan, 1e-4);
}

TEST(VrMovieRoundTrip, LosslessIsExactAndLowerQualitiesAreSmaller) {
    ImgRGB panorama = RenderCylindricalPanorama(960, 200);
    VrMovie movie;
    QString path;
    ASSERT_TRUE(WriteAndRead(panorama, Settings(4, VrQuality::Lossless), &movie, &path));
    EXPECT_EQ(movie.codec, kCodecPng);
    EXPECT_TRUE(std::isinf(PsnrOf(movie.panorama, panorama)));

    qint64 previousSize = QFileInfo(path).size();
    double previousPsnr = 1e9;
    for (VrQuality q : {VrQuality::High, VrQuality::Normal, VrQuality::Low}) {
        ASSERT_TRUE(WriteAndRead(panorama, Settings(4, q), &movie, &path));
        qint64 size = QFileInfo(path).size();
        double psnr = PsnrOf(movie.panorama, panorama);
        EXPECT_LT(size, previousSize) << static_cast<int>(q);
        EXPECT_LT(psnr, previousPsnr) << static_cast<int>(q);
        EXPECT_GT(psnr, 25.0) << static_cast<int>(q);
        previousSize = size;
        previousPsnr = psnr;
    }
}

TEST(VrMovieRoundTrip, PartialPanoramaIsFittedToTheTilesAndKeepsItsAngle) {
    ImgRGB panorama = RenderCylindricalPanorama(1000, 300, 120);
    VrMovie movie;
    ASSERT_TRUE(WriteAndRead(panorama, Settings(6, VrQuality::High, 120), &movie));
    EXPECT_EQ(movie.panorama.width, 996);
    EXPECT_EQ(movie.panorama.height, 299);
    EXPECT_EQ(movie.tiles, 6);
    EXPECT_DOUBLE_EQ(movie.angles.minPan, 0);
    EXPECT_DOUBLE_EQ(movie.angles.maxPan, 120);
    // The narrower picture still shows the same world: compare with the panorama made at that size.
    EXPECT_GE(PsnrOf(movie.panorama, RenderCylindricalPanorama(996, 299, 120)), 30.0);
}

TEST(VrMovieRoundTrip, FileIsFlattenedWithTheMovieAtomFirst) {
    ImgRGB panorama = SyntheticPanorama(640, 100);
    VrMovie movie;
    QString path;
    ASSERT_TRUE(WriteAndRead(panorama, Settings(4, VrQuality::Normal), &movie, &path));
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    std::vector<AtomSpan> top;
    std::string why;
    ASSERT_TRUE(ListAtoms(bytes, 0, bytes.size(), false, &top, &why)) << why;
    ASSERT_EQ(top.size(), 3u);
    EXPECT_EQ(top[0].type, FourCC("ftyp"));
    EXPECT_EQ(top[1].type, FourCC("moov"));
    EXPECT_EQ(top[2].type, FourCC("mdat"));
    MovieInfo info;
    ASSERT_TRUE(ReadMovie(bytes, &info, &why)) << why;
    EXPECT_EQ(info.controllerType, FourCC("qtvr"));
    ASSERT_EQ(info.tracks.size(), 3u);
    EXPECT_EQ(info.tracks[0].handler, FourCC("qtvr"));
    EXPECT_EQ(info.tracks[1].handler, FourCC("pano"));
    EXPECT_EQ(info.tracks[2].handler, FourCC("vide"));
    EXPECT_EQ(info.tracks[1].imageTrackReferences, std::vector<uint32_t>{3});
    EXPECT_EQ(info.tracks[2].samples.size(), 4u);
    for (const auto& track : info.tracks)
        for (auto sample : track.samples)
            EXPECT_GE(sample.data(), bytes.data() + top[2].payload);  // every sample inside the media data
}

namespace {

// A movie as another authoring tool might write it: upright stored image ('hcyl'), frames side
// by side, uncompressed 24-bit tiles, atom containers without their 12-byte header, built here
// independently of the program's writer.
std::vector<uint8_t> UprightRawMovie(const ImgRGB& panorama, int tiles) {
    const int tw = panorama.width / tiles, th = panorama.height;
    MovieTrackSpec qtvr, pano, image;
    qtvr.id = 1;
    std::copy_n("qtvr", 5, qtvr.handler);
    qtvr.width = 320;
    qtvr.height = 240;
    AtomWriter d;
    d.U32(0);
    d.FourCC("qtvr");
    d.Zeros(6);
    d.U16(1);
    size_t root = d.BeginQt("sean", 1, 0);
    d.EndQt(root);
    d.PatchU32(0, static_cast<uint32_t>(d.Size()));
    qtvr.sampleDescription = d.Take();
    AtomWriter node;
    root = node.BeginQt("sean", 1, 1);
    size_t ndhd = node.BeginQt("ndhd", 1, 0);
    node.U32(0x00020000);
    node.FourCC("pano");
    node.U32(7);
    node.Zeros(16);
    node.EndQt(ndhd);
    node.EndQt(root);
    qtvr.samples = {node.Take()};

    pano.id = 2;
    std::copy_n("pano", 5, pano.handler);
    AtomWriter placeholder;
    placeholder.U32(16);
    placeholder.FourCC("pano");
    placeholder.Zeros(6);
    placeholder.U16(1);
    pano.sampleDescription = placeholder.Take();
    AtomWriter p;
    root = p.BeginQt("sean", 1, 1);
    size_t pdat = p.BeginQt("pdat", 1, 0);
    p.U32(0x00020000);
    p.U32(1);
    p.U32(0);
    for (float v : {-90.f, 90.f, -20.f, 20.f, 10.f, 40.f, 0.f, 0.f, 40.f})
        p.F32(v);
    p.U32(panorama.width);
    p.U32(panorama.height);
    p.U16(static_cast<uint16_t>(tiles));
    p.U16(1);
    p.Zeros(12);
    p.U32(0);
    p.FourCC("hcyl");
    p.U32(0);
    p.EndQt(pdat);
    p.EndQt(root);
    pano.samples = {p.Take()};
    pano.imageTrackReference = 5;

    image.id = 5;
    image.sampleDescription = VideoSampleDescription(kCodecRaw, tw, th, 0x400, "None");
    for (int k = 0; k < tiles; ++k) {
        std::vector<uint8_t> raw;
        for (int y = 0; y < th; ++y)
            for (int x = 0; x < tw; ++x) {
                const Rgb& px = panorama.At(k * tw + x, y);
                raw.insert(raw.end(), {px.r, px.g, px.b});
            }
        image.samples.push_back(std::move(raw));
    }
    return BuildMovieFile({qtvr, pano, image}, true);
}

}  // namespace

TEST(VrMovieReader, ReadsUprightUncompressedMoviesOfOtherTools) {
    ImgRGB panorama = SyntheticPanorama(300, 80);
    std::vector<uint8_t> bytes = UprightRawMovie(panorama, 5);
    VrMovie movie;
    std::string why;
    ASSERT_TRUE(ReadVrMovie(bytes, &movie, &why)) << why;
    EXPECT_FALSE(movie.storedTurned);
    EXPECT_EQ(movie.codec, kCodecRaw);
    EXPECT_EQ(movie.tiles, 5);
    EXPECT_EQ(movie.windowWidth, 320);
    EXPECT_EQ(movie.windowHeight, 240);
    EXPECT_DOUBLE_EQ(movie.angles.minPan, -90);
    EXPECT_DOUBLE_EQ(movie.angles.maxPan, 90);
    EXPECT_TRUE(std::isinf(PsnrOf(movie.panorama, panorama)));
}

namespace {

int FailStep(Zelvo::SaveStep step, void* context) {
    auto* counter = static_cast<std::pair<int, int>*>(context);  // (step to fail, steps seen)
    return ++counter->second == counter->first ? (step == Zelvo::SaveStep::Write ? ENOSPC : EIO) : 0;
}

}  // namespace

// The movie's bytes are replaced by the rules of every output: a failure at any step, the
// flush included, keeps the old movie and names its cause; a link is written through.
TEST(VrMovieWriter, AFailedWriteKeepsTheOldMovieAndSaysWhy) {
    QTemporaryDir dir;
    const std::string path = (dir.path() + "/pano.mov").toStdString();
    const std::vector<uint8_t> old = {1, 2, 3, 4};
    std::string why;
    ASSERT_TRUE(WriteMovieFile(path, old, &why)) << why;
    const std::vector<uint8_t> movie(70000, 7);
    int failed = 0;
    for (int at = 1; at < 50; ++at) {
        std::pair<int, int> counter{at, 0};
        Zelvo::SetSaveFaultHook(FailStep, &counter);
        const bool written = WriteMovieFile(path, movie, &why);
        Zelvo::SetSaveFaultHook(nullptr, nullptr);
        if (counter.second < at)
            break;
        ++failed;
        QFile file(QString::fromStdString(path));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        if (written) {  // only the folder's flush, after the rename, may fail without harm
            EXPECT_EQ(bytes.size(), 70000) << at;
            ASSERT_TRUE(WriteMovieFile(path, old, &why)) << why;
            continue;
        }
        EXPECT_EQ(bytes, QByteArray("\x01\x02\x03\x04", 4)) << at;
        EXPECT_NE(why.find("The movie " + path + " could not be written: "), std::string::npos) << why;
        EXPECT_EQ(why.find("canceled"), std::string::npos) << why;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1) << at;
    }
    EXPECT_GE(failed, 5);
    std::pair<int, int> full{3, 0};  // the first write (after creation, owner and mode): a full disk
    Zelvo::SetSaveFaultHook(FailStep, &full);
    EXPECT_FALSE(WriteMovieFile(path, movie, &why));
    Zelvo::SetSaveFaultHook(nullptr, nullptr);
    EXPECT_NE(why.find("the disk is full"), std::string::npos) << why;
}

// One limit for the writer and the reader: the writer refuses what the reader would not open,
// by name and before any work.
TEST(VrMovieWriter, APanoramaLargerThanTheReaderOpensIsRefusedBeforeTheWork) {
    EXPECT_EQ(MovieSizeProblem(20000, 20000), "");  // 400 megapixels
    EXPECT_EQ(MovieSizeProblem(1, 1), "");
    const std::string problem = MovieSizeProblem(30000, 30000);
    EXPECT_NE(problem.find("30000 x 30000 pixels is larger than a movie holds (at most 536 megapixels)"),
              std::string::npos)
        << problem;
    EXPECT_NE(MovieSizeProblem(int64_t(1) << 20, 513), "");
}
