// The tiled panorama: rectangles in and out across tile borders, tiles beyond the budget in the
// tile file and back, passes over the tiles, and the failures of the tile file.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>

#include <csignal>
#include <string>

#include "stage/StageResult.h"
#include "stitching/EmptySample.h"
#include "stitching/PanoramaCanvas.h"

namespace {

// A value of its own for every pixel and channel of a panorama of this size.
RgbSHORT Pattern(int x, int y) {
    return RgbSHORT{static_cast<int16_t>((x * 7 + y * 3) % 30000), static_cast<int16_t>((x + 2 * y) % 1000 - 500),
                    static_cast<int16_t>((x ^ y) & 0x3fff)};
}

ImgRGBSHORT PatternRect(const PixelRect& r) {
    ImgRGBSHORT image(r.width, r.height);
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x)
            image.At(x, y) = Pattern(r.left + x, r.top + y);
    return image;
}

bool Same(const RgbSHORT& a, const RgbSHORT& b) { return a.b == b.b && a.g == b.g && a.r == b.r; }

CanvasSettings Small(size_t tiles, const std::string& folder, int tileSize = 32) {
    CanvasSettings settings;
    settings.tileSize = tileSize;
    settings.budgetBytes = tiles * tileSize * tileSize * sizeof(RgbSHORT);
    settings.scratchFolder = folder;
    return settings;
}

int FilesIn(const QString& folder) {
    return static_cast<int>(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot).size());
}

}  // namespace

TEST(PanoramaCanvas, RectanglesCrossTileBordersAndWhatWasNeverWrittenIsEmpty) {
    QTemporaryDir dir;
    PanoramaCanvas canvas(100, 70, Small(64, dir.path().toStdString()));
    EXPECT_EQ(canvas.TilesAcross(), 4);
    EXPECT_EQ(canvas.TilesDown(), 3);
    EXPECT_EQ(canvas.TileRect(11).width, 4);  // the last column of tiles is 100 - 96 wide
    EXPECT_EQ(canvas.TileRect(11).height, 6);

    ImgRGBSHORT out;
    canvas.Read({10, 10, 50, 40}, out);
    ASSERT_EQ(out.width, 50);
    EXPECT_TRUE(IsEmptySample(out.At(0, 0)));
    EXPECT_TRUE(IsEmptySample(out.At(49, 39)));
    for (int index = 0; index < 12; ++index)
        EXPECT_FALSE(canvas.TileWritten(index));

    // A rectangle reaching past the canvas: the part inside lands, the rest is skipped.
    const PixelRect r{-5, 40, 90, 60};
    canvas.Write(r.left, r.top, PatternRect(r));
    canvas.Read({-3, 0, 106, 75}, out);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            const int u = x - 3, v = y;
            const bool written = u >= 0 && u < 85 && v >= 40 && v < 70;
            ASSERT_EQ(IsEmptySample(out.At(x, y)), !written) << u << ", " << v;
            if (written) {
                ASSERT_TRUE(Same(out.At(x, y), Pattern(u, v))) << u << ", " << v;
            }
        }
    EXPECT_FALSE(canvas.TileWritten(0));  // rows 0 .. 39 were never touched
    EXPECT_TRUE(canvas.TileWritten(4));

    // Through a mask only the set pixels change; a tile the mask leaves alone is not made.
    ImgRGBSHORT flat(40, 20);
    flat.FillRect(0, 0, 39, 19, RgbSHORT{1, 2, 3});
    ImgUCHAR mask(40, 20);
    mask.FillRect(0, 0, 39, 19, 0);
    mask.At(35, 5) = 1;
    canvas.Write(40, 0, flat, &mask);
    EXPECT_FALSE(canvas.TileWritten(1));
    EXPECT_TRUE(canvas.TileWritten(2));
    canvas.Read({0, 0, 100, 70}, out);
    EXPECT_TRUE(Same(out.At(75, 5), RgbSHORT{1, 2, 3}));
    EXPECT_TRUE(IsEmptySample(out.At(74, 5)));
    EXPECT_TRUE(Same(out.At(50, 50), Pattern(50, 50)));
}

TEST(PanoramaCanvas, TilesBeyondTheBudgetGoToTheFileAndComeBackWhole) {
    QTemporaryDir dir;
    const int W = 333, H = 200;  // 11 x 7 tiles of 32
    PanoramaCanvas canvas(W, H, Small(5, dir.path().toStdString()));
    const size_t budget = 5 * 32 * 32 * sizeof(RgbSHORT);
    // Written in bands, as a render writes photographs, so tiles are made, sent off and taken back.
    for (int top = 0; top < H; top += 45) {
        const PixelRect band{0, top, W, std::min(45, H - top)};
        canvas.Write(band.left, band.top, PatternRect(band));
        EXPECT_LE(canvas.BytesInMemory(), budget);
    }
    EXPECT_GT(canvas.TilesSpilled(), 0);
    // The file is never seen in the folder: it is unlinked as soon as it is made.
    EXPECT_EQ(FilesIn(dir.path()), 0);

    ImgRGBSHORT out;
    canvas.Read({0, 0, W, H}, out);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            ASSERT_TRUE(Same(out.At(x, y), Pattern(x, y))) << x << ", " << y;
    EXPECT_LE(canvas.BytesInMemory(), budget);

    // A pass that changes every pixel, and one that measures: every written tile once, the
    // changes kept through the file, the per-tile sums joined in tile order.
    std::vector<long long> sums(static_cast<size_t>(canvas.TilesAcross() * canvas.TilesDown()), -1);
    canvas.ForEachTile(
        [](int, const PixelRect&, ImgRGBSHORT& pixels) {
            for (int y = 0; y < pixels.height; ++y)
                for (int x = 0; x < pixels.width; ++x)
                    pixels.At(x, y).r = static_cast<int16_t>(pixels.At(x, y).r + 1);
        },
        true);
    canvas.ForEachTile(
        [&](int index, const PixelRect& rect, ImgRGBSHORT& pixels) {
            long long sum = 0;
            for (int y = 0; y < pixels.height; ++y)
                for (int x = 0; x < pixels.width; ++x) {
                    EXPECT_EQ(pixels.At(x, y).r, Pattern(rect.left + x, rect.top + y).r + 1);
                    sum += pixels.At(x, y).r;
                }
            sums[static_cast<size_t>(index)] = sum;
        },
        false);
    for (long long sum : sums)
        EXPECT_GT(sum, 0);
    canvas.Read({100, 100, 10, 10}, out);
    EXPECT_EQ(out.At(3, 4).r, Pattern(103, 104).r + 1);
}

TEST(PanoramaCanvas, ABudgetBelowOneTileAndATileFileThatCannotBeWrittenAreErrors) {
    try {
        PanoramaCanvas canvas(1000, 1000, Small(0, ""));
        FAIL() << "accepted";
    } catch (const StageError& error) {
        EXPECT_NE(error.reason.find("below one tile"), std::string::npos) << error.reason;
    }

    // No folder for the tile file: the first tile sent off fails by name, the canvas survives.
    PanoramaCanvas nowhere(200, 200, Small(1, "/nonexistent/folder"));
    ImgRGBSHORT image = PatternRect({0, 0, 200, 200});
    try {
        nowhere.Write(0, 0, image);
        FAIL() << "no failure";
    } catch (const StageError& error) {
        EXPECT_NE(error.reason.find("/nonexistent/folder"), std::string::npos) << error.reason;
    }

    // A write past the file size limit, as on a full disk, in a child process that may take
    // the limit: reported with its cause instead of ending the process.
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64 << 10, 64 << 10};
        setrlimit(RLIMIT_FSIZE, &limit);
        int status = 1;
        try {
            PanoramaCanvas canvas(400, 400, Small(1, folder));
            canvas.Write(0, 0, PatternRect({0, 0, 400, 400}));
        } catch (const StageError& error) {
            status = error.reason.find("cannot write the panorama's tile file") != std::string::npos ? 0 : 2;
        }
        _exit(status);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(FilesIn(dir.path()), 0);
}
