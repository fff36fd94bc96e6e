// The wide rows that 16-bit files are written from: the same panorama as the 8-bit output, with
// the precision the canvas holds, through the plain copy, the enlargement and the blend of a
// closed turn alike.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <set>

#include "stitching/OutputConversion.h"
#include "stitching/PanoramaCanvas.h"
#include "stitching/PanoramaOutput.h"

namespace {

using stitch::CropFrame;
using stitch::OutputRange;
using stitch::PanoramaOutput;

// A smooth ramp over 0 .. 30000 with an empty corner: more levels than 8 bits can hold.
void FillRamp(PanoramaCanvas& canvas) {
    ImgRGBSHORT image(canvas.Width(), canvas.Height());
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const int v = (x * 30000) / (image.width - 1);
            image.At(x, y) = RgbSHORT{static_cast<int16_t>(v), static_cast<int16_t>(30000 - v),
                                      static_cast<int16_t>((y * 30000) / (image.height - 1))};
        }
    ImgUCHAR mask(image.width, image.height);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            mask.At(x, y) = x < 10 && y < 10 ? 0 : 1;
    canvas.Write(0, 0, image, &mask);
}

CanvasSettings Settings(const std::string& folder) {
    CanvasSettings settings;
    settings.tileSize = 32;
    settings.budgetBytes = size_t(1) << 24;
    settings.scratchFolder = folder;
    return settings;
}

// The largest difference, in 8-bit levels, between the 8-bit rows and the wide rows of the same
// output, and the number of distinct wide values of the first channel.
struct Agreement {
    double worst = 0;
    size_t wideLevels = 0;
};

Agreement Compare(PanoramaCanvas& canvas, const CropFrame& frame, double scale) {
    OutputRange range{0, 30000};
    PanoramaOutput narrow(canvas, range, frame, scale, 8);
    PanoramaOutput wide(canvas, range, frame, scale, 16);
    EXPECT_FALSE(narrow.WideOutput());
    EXPECT_TRUE(wide.WideOutput());
    Agreement result;
    std::set<int> levels;
    for (int y = 0; y < narrow.Height();) {
        const int count = narrow.BandHeight(y);
        EXPECT_EQ(count, std::min(count, wide.Height() - y));
        ImgRGB a;
        ImgRGBSHORT b;
        narrow.ReadRows(y, count, a);
        wide.ReadRows(y, count, b);
        for (int row = 0; row < count; ++row)
            for (int x = 0; x < a.width; ++x) {
                const Rgb p = a.Row(row)[x];
                const RgbSHORT q = b.Row(row)[x];
                for (auto [n, w] : {std::pair<int, int>{p.b, q.b}, {p.g, q.g}, {p.r, q.r}}) {
                    EXPECT_GE(w, 0);
                    EXPECT_LE(w, stitch::kWideOutputMax);
                    result.worst = std::max(result.worst, std::abs(n - w * 255.0 / stitch::kWideOutputMax));
                }
                levels.insert(q.b);
            }
        y += count;
    }
    result.wideLevels = levels.size();
    return result;
}

}  // namespace

TEST(WideOutput, HoldsThePanoramaOfTheEightBitOutputWithItsFullPrecision) {
    QTemporaryDir dir;
    PanoramaCanvas canvas(900, 60, Settings(dir.path().toStdString()));
    FillRamp(canvas);

    // The whole panorama: the wide rows round to the 8-bit ones, and the 900 columns of the ramp
    // keep about 900 levels where 8 bits keep 256.
    const Agreement whole = Compare(canvas, CropFrame{0, 0, 900, 60, 0}, 1);
    EXPECT_LE(whole.worst, 0.51);
    EXPECT_GT(whole.wideLevels, 800u);

    // An enlarged canvas and a crop whose first columns blend with those one turn later.
    EXPECT_LE(Compare(canvas, CropFrame{0, 0, 1700, 110, 0}, 0.5).worst, 1.01);
    // The blend of the turn works on 8-bit values there and truncates its result: up to one and a
    // half levels apart.
    const Agreement turn = Compare(canvas, CropFrame{20, 5, 800, 50, 60}, 1);
    EXPECT_LE(turn.worst, 1.6);
    EXPECT_GT(turn.wideLevels, 700u);

    // The file samples span 0 .. 65535.
    EXPECT_EQ(stitch::SixteenBitSample(0), 0);
    EXPECT_EQ(stitch::SixteenBitSample(stitch::kWideOutputMax), 65535);
    EXPECT_NEAR(stitch::SixteenBitSample(stitch::kWideOutputMax / 2), 32767, 1);
    for (int v = 1; v <= stitch::kWideOutputMax; ++v)
        ASSERT_GT(stitch::SixteenBitSample(static_cast<int16_t>(v)),
                  stitch::SixteenBitSample(static_cast<int16_t>(v - 1)));
}

TEST(WideOutput, ReadingTheOtherDepthIsRefused) {
    QTemporaryDir dir;
    PanoramaCanvas canvas(64, 64, Settings(dir.path().toStdString()));
    FillRamp(canvas);
    PanoramaOutput narrow(canvas, OutputRange{0, 30000}, CropFrame{0, 0, 64, 64, 0}, 1, 8);
    ImgRGBSHORT wideRows;
    EXPECT_THROW(narrow.ReadRows(0, 8, wideRows), std::logic_error);
}
