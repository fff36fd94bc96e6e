// Damaged, foreign and hostile files: the reader refuses them with a message and never
// crashes, over-reads or allocates by a damaged count (the sanitizer build runs these too).
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstring>
#include <random>

#include "MovieTestSupport.h"
#include "movie/AtomReader.h"
#include "movie/AtomWriter.h"
#include "movie/VrMovieReader.h"
#include "movie/VrMovieWriter.h"

namespace {

std::vector<uint8_t> SmallMovie(VrQuality quality = VrQuality::Normal) {
    ImgRGB panorama = SyntheticPanorama(256, 48);
    MovieTiles tiles;
    std::string why;
    EXPECT_TRUE(EncodeTiles(panorama, 4, quality, &tiles, &why)) << why;
    VrMovieDescription d;
    d.panoramaWidth = 256;
    d.panoramaHeight = 48;
    d.angles = AnglesForPanorama(256, 48, 360, 640, 480);
    return BuildVrMovie(tiles, d);
}

// The reader's verdict: a refusal must say why; an acceptance must hold a whole panorama.
bool Read(const std::vector<uint8_t>& bytes, std::string* why) {
    VrMovie movie;
    why->clear();
    bool ok = ReadVrMovie(bytes, &movie, why);
    if (ok) {
        EXPECT_TRUE(movie.panorama.HasPixels());
        EXPECT_GT(movie.windowWidth, 0);
    } else {
        EXPECT_FALSE(why->empty());
    }
    return ok;
}

// Offset of the first occurrence of the bytes (an atom's type field, a marker) at or after from.
size_t Find(const std::vector<uint8_t>& bytes, const char* type, size_t from = 0) {
    const size_t n = std::strlen(type);
    for (size_t i = from; i + n <= bytes.size(); ++i)
        if (std::equal(type, type + n, bytes.begin() + i, [](char a, uint8_t b) { return uint8_t(a) == b; }))
            return i;
    ADD_FAILURE() << "no " << type;
    return 0;
}

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

}  // namespace

TEST(VrMovieReaderRobustness, RefusesWhatIsNotACylindricalVrMovieWithAClearMessage) {
    std::string why;
    EXPECT_FALSE(Read({}, &why));
    EXPECT_EQ(why, "the file is empty");

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    EXPECT_FALSE(Read(png, &why));

    std::vector<uint8_t> movie = SmallMovie();
    ASSERT_TRUE(Read(movie, &why)) << why;

    // A plain QuickTime movie (the tile movie) has no QTVR track.
    MovieTiles tiles;
    ASSERT_TRUE(ReadTileMovie(BuildTileMovie([&] {
                                  MovieTiles t;
                                  EncodeTiles(SyntheticPanorama(64, 16), 4, VrQuality::Low, &t, &why);
                                  return t;
                              }()),
                              &tiles, &why));
    EXPECT_FALSE(Read(BuildTileMovie(tiles), &why));
    EXPECT_NE(why.find("not a QuickTime VR movie"), std::string::npos) << why;

    std::vector<uint8_t> cube = movie;
    size_t pdat = Find(cube, "pdat");
    // The pano type is the second-to-last field of the 84-byte panorama sample atom.
    size_t panoType = pdat - 4 + 20 + 84 - 8;
    std::copy_n("cube", 4, cube.begin() + panoType);
    EXPECT_FALSE(Read(cube, &why));
    EXPECT_NE(why.find("cube"), std::string::npos) << why;

    std::vector<uint8_t> object = movie;
    size_t ndhd = Find(object, "ndhd");
    std::copy_n("obje", 4, object.begin() + ndhd - 4 + 20 + 4);
    EXPECT_FALSE(Read(object, &why));
    EXPECT_NE(why.find("object"), std::string::npos) << why;

    std::vector<uint8_t> cut(movie.begin(), movie.begin() + movie.size() / 2);
    EXPECT_FALSE(Read(cut, &why));
    EXPECT_NE(why.find("outside"), std::string::npos) << why;
}

TEST(VrMovieReaderRobustness, RefusesSizesAndOffsetsThatPointOutsideOrLoop) {
    std::vector<uint8_t> movie = SmallMovie();
    std::string why;

    std::vector<uint8_t> bigAtom = movie;
    Put32(bigAtom, Find(bigAtom, "trak") - 4, 0x7fffffff);
    EXPECT_FALSE(Read(bigAtom, &why));
    EXPECT_NE(why.find("outside"), std::string::npos) << why;

    // An atom of size 4 would make a naive walker stand still for ever.
    std::vector<uint8_t> stuck = movie;
    Put32(stuck, Find(stuck, "mvhd") - 4, 4);
    EXPECT_FALSE(Read(stuck, &why));

    std::vector<uint8_t> offset = movie;
    size_t stco = Find(offset, "stco");
    Put32(offset, stco + 12, static_cast<uint32_t>(offset.size() - 10));
    EXPECT_FALSE(Read(offset, &why));
    EXPECT_NE(why.find("outside"), std::string::npos) << why;

    std::vector<uint8_t> count = movie;
    size_t stsz = Find(count, "stsz", Find(count, "vide"));
    Put32(count, stsz + 12, 0xffffffff);
    EXPECT_FALSE(Read(count, &why));

    // A QT atom whose child count promises more than it holds, and one nested in itself.
    std::vector<uint8_t> children = movie;
    size_t sean = Find(children, "sean");
    children[sean + 4 + 6] = 0xff;
    EXPECT_FALSE(Read(children, &why));
}

TEST(VrMovieReaderRobustness, RefusesATileThatDoesNotDecode) {
    std::vector<uint8_t> movie = SmallMovie();
    std::string why;
    // The second tile's JPEG data (after its start-of-image marker) overwritten.
    size_t first = Find(movie, "\xff\xd8\xff", Find(movie, "mdat"));
    size_t second = Find(movie, "\xff\xd8\xff", first + 3);
    std::vector<uint8_t> broken = movie;
    std::fill(broken.begin() + second + 2, broken.begin() + second + 200, 0x00);
    EXPECT_FALSE(Read(broken, &why));
    EXPECT_NE(why.find("tile 2"), std::string::npos) << why;
}

TEST(VrMovieReaderRobustness, HundredsOfRandomlyDamagedFilesNeverCrash) {
    std::mt19937 random(20240517);
    const std::vector<uint8_t> originals[] = {SmallMovie(), SmallMovie(VrQuality::Lossless)};
    int refused = 0, accepted = 0;
    std::string why;
    for (int round = 0; round < 400; ++round) {
        std::vector<uint8_t> bytes = originals[round % 2];
        const size_t moovEnd = Find(bytes, "mdat");
        switch (round % 4) {
        case 0:  // cut short anywhere
            bytes.resize(random() % bytes.size());
            break;
        case 1:  // a few random bytes of the structure changed
            for (int i = 0, n = 1 + random() % 4; i < n; ++i)
                bytes[random() % moovEnd] = static_cast<uint8_t>(random());
            break;
        case 2: {  // a size field of some atom replaced
            size_t at = (random() % (moovEnd / 4)) * 4;
            Put32(bytes, at, random() % 2 ? static_cast<uint32_t>(random()) : static_cast<uint32_t>(random() % 64));
            break;
        }
        default:  // damage anywhere, tiles included
            for (int i = 0, n = 1 + random() % 16; i < n; ++i)
                bytes[random() % bytes.size()] ^= static_cast<uint8_t>(1 + random() % 255);
        }
        (Read(bytes, &why) ? accepted : refused)++;
    }
    EXPECT_GT(refused, 100);
    EXPECT_GT(accepted, 0);  // damage in unused fields is harmless
}

namespace {

// Rewrites the frame size in a JPEG's start-of-frame header.
void ClaimFrameSize(std::vector<uint8_t>& jpeg, int width, int height) {
    for (size_t k = 0; k + 8 < jpeg.size(); ++k)
        if (jpeg[k] == 0xFF && (jpeg[k + 1] == 0xC0 || jpeg[k + 1] == 0xC1 || jpeg[k + 1] == 0xC2)) {
            jpeg[k + 5] = uint8_t(height >> 8);
            jpeg[k + 6] = uint8_t(height);
            jpeg[k + 7] = uint8_t(width >> 8);
            jpeg[k + 8] = uint8_t(width);
            return;
        }
    ADD_FAILURE() << "no frame header";
}

}  // namespace

// A few kilobytes whose panorama header and tile frame headers claim a panorama of 1.2 GB: the
// tiles cannot hold it, and the reader must find that out before it takes the memory. Run in a
// child whose address space is too small for the claim.
TEST(VrMovieReaderRobustness, ATinyMovieClaimingAHugePanoramaIsRefusedBeforeItsMemoryIsTaken) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit";
#else
    ImgRGB panorama = SyntheticPanorama(256, 48);
    MovieTiles tiles;
    std::string why;
    ASSERT_TRUE(EncodeTiles(panorama, 4, VrQuality::Normal, &tiles, &why)) << why;
    const int width = 20000, height = 20000;
    tiles.tileWidth = height;
    tiles.tileHeight = width / 4;
    for (std::vector<uint8_t>& sample : tiles.samples)
        ClaimFrameSize(sample, tiles.tileWidth, tiles.tileHeight);
    VrMovieDescription d;
    d.panoramaWidth = width;
    d.panoramaHeight = height;
    d.angles = AnglesForPanorama(width, height, 360, 640, 480);
    const std::vector<uint8_t> movie = BuildVrMovie(tiles, d);
    EXPECT_LT(movie.size(), 20000u);
    int channel[2];
    ASSERT_EQ(pipe(channel), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        const rlimit limit{rlim_t(800) << 20, rlim_t(800) << 20};
        setrlimit(RLIMIT_AS, &limit);
        VrMovie read;
        std::string said;
        const bool accepted = ReadVrMovie(movie, &read, &said);
        ssize_t ignored = write(channel[1], said.data(), said.size());
        (void)ignored;
        _exit(accepted ? 1 : 0);
    }
    close(channel[1]);
    std::string said;
    char buffer[512];
    for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, size_t(n));
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(said.find("a tile does not decode"), std::string::npos) << said;
#endif
}

// Read from a file, what is not a movie is refused from its first atom's header, and a file
// whose atoms run past its end from theirs, without reading the rest.
TEST(VrMovieReaderRobustness, AFileIsJudgedByItsAtomHeadersBeforeItIsRead) {
    QTemporaryDir dir;
    auto refusal = [&](const QByteArray& bytes) {
        const QString path = dir.filePath("m.mov");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        VrMovie movie;
        std::string why;
        EXPECT_FALSE(ReadVrMovieFile(path.toStdString(), &movie, &why));
        return why;
    };
    EXPECT_EQ(refusal(QByteArray(1 << 20, 'x')), "the file is not a QuickTime movie");
    const std::vector<uint8_t> small = SmallMovie();
    QByteArray cut(reinterpret_cast<const char*>(small.data()), qsizetype(small.size()) - 10);
    EXPECT_NE(refusal(cut).find("runs past the end of the file"), std::string::npos);
    EXPECT_NE(refusal(QByteArray("\0\0\0\x10"
                                 "free"
                                 "12345678",
                                 16))
                  .find("no movie atom"),
              std::string::npos);
    // A whole movie still reads.
    const QString path = dir.filePath("whole.mov");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(small.data()), qsizetype(small.size()));
    file.close();
    VrMovie movie;
    std::string why;
    EXPECT_TRUE(ReadVrMovieFile(path.toStdString(), &movie, &why)) << why;
}
