#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "StitchTestSupport.h"
#include "stitching/CropPanorama.h"
#include "stitching/CropRectangle.h"
#include "stitching/EmptySample.h"

namespace {

ImgRGBSHORT Covered(int w, int h) {
    ImgRGBSHORT P(w, h);
    P.FillRect(0, 0, w - 1, h - 1, RgbSHORT{10, 20, 30});
    return P;
}

// A scene that repeats after one turn of `turn` pixels, the repetition seen 30 levels brighter
// (as by another photograph), with texture in both directions.
ImgRGB TurnScene(int w, int h, int turn, int beyond) {
    ImgRGB img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int s = x % turn;
            int v = 60 + static_cast<int>(50 * std::sin(s * 0.09) + 20 * std::cos(y * 0.3)) + (x >= beyond ? 30 : 0);
            img.At(x, y) = Rgb{uint8_t(v), uint8_t(v + 10), uint8_t(v + 20)};
        }
    return img;
}

}  // namespace

TEST(FindCropRectangle, AFullyCoveredPanoramaIsCroppedWhole) {
    for (auto [w, h] : {std::pair{80, 30}, std::pair{30, 80}, std::pair{25, 25}}) {
        stitch::CropRect r = stitch::FindCropRectangle(stitch::CoverageOf(Covered(w, h)));
        EXPECT_EQ(r.left, 0);
        EXPECT_EQ(r.top, 0);
        EXPECT_EQ(r.width, w);
        EXPECT_EQ(r.height, h);
    }
}

TEST(FindCropRectangle, FindsALargeRectangleWithFilledEdgesInARaggedPanorama) {
    for (auto [w, h] : {std::pair{120, 50}, std::pair{50, 120}}) {
        SCOPED_TRACE(testing::Message() << w << " x " << h);
        // An ellipse of data; its largest inscribed axis-parallel rectangle has half the area.
        ImgRGBSHORT P(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                double u = (x - w / 2.0) / (w / 2.0), v = (y - h / 2.0) / (h / 2.0);
                P.At(x, y) = u * u + v * v < 1 ? RgbSHORT{1, 2, 3} : kEmpty;
            }
        stitch::CropRect r = stitch::FindCropRectangle(stitch::CoverageOf(P));
        int x0 = int(r.left), y0 = int(r.top), x1 = x0 + int(r.width) - 1, y1 = y0 + int(r.height) - 1;
        EXPECT_TRUE(stitch::CropEdgesFilled(stitch::CoverageOf(P), x0, y0, x1, y1));
        EXPECT_GT(r.width * r.height, 0.35 * w * h);
        EXPECT_FALSE(stitch::CropEdgesFilled(stitch::CoverageOf(P), 0, 0, w - 1, h - 1));
    }
}

TEST(FindCropRectangle, EdgesStayCoveredOnRaggedMasksWithHoles) {
    // The search checks only the line an edge moves to while the rectangle's edges are known to
    // be covered, and all of them again once it has narrowed across; on masks with ragged
    // borders and holes every rectangle it returns must still have covered edges.
    unsigned seed = 7;
    auto next = [&](int n) {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<int>((seed >> 8) % static_cast<unsigned>(n));
    };
    for (int trial = 0; trial < 40; ++trial) {
        const int w = 40 + next(80), h = 30 + next(60);
        ImgUCHAR mask(w, h);
        mask.FillRect(0, 0, w - 1, h - 1, 0);
        // A ragged band of coverage, every row starting and ending somewhere else.
        for (int y = 2 + next(4); y < h - 2 - next(4); ++y) {
            const int left = 1 + next(w / 5), right = w - 2 - next(w / 5);
            for (int x = left; x <= right; ++x)
                mask.At(x, y) = 1;
        }
        for (int hole = w * h / 150; hole > 0; --hole)
            mask.At(next(w), next(h)) = 0;
        SCOPED_TRACE(testing::Message() << "trial " << trial << ": " << w << " x " << h);
        const stitch::CropRect r = stitch::FindCropRectangle(mask);
        if (r.width <= 0 || r.height <= 0)
            continue;
        const int x0 = int(r.left), y0 = int(r.top), x1 = x0 + int(r.width) - 1, y1 = y0 + int(r.height) - 1;
        EXPECT_TRUE(stitch::CropEdgesFilled(mask, x0, y0, x1, y1)) << x0 << ", " << y0 << " .. " << x1 << ", " << y1;
    }
}

TEST(CropPanorama, CopiesTheFrameAndTakesTheWholePanoramaForFramesOfTenPixelsOrLess) {
    ImgRGB source = TurnScene(120, 60, 1000, 1000), target;
    ASSERT_TRUE(stitch::CropPanorama(source, target, {5.7, 8.2, 40.9, 30.0}, {}));
    EXPECT_EQ(target.width, 40);
    EXPECT_EQ(target.height, 30);
    EXPECT_EQ(target.At(0, 0).g, source.At(5, 8).g);
    EXPECT_EQ(target.At(39, 29).r, source.At(44, 37).r);

    for (stitch::CropRect tiny : {stitch::CropRect{3, 4, 10, 50}, stitch::CropRect{3, 4, 50, 10}}) {
        ASSERT_TRUE(stitch::CropPanorama(source, target, tiny, {}));
        EXPECT_EQ(target.width, 120);
        EXPECT_EQ(target.height, 60);
        EXPECT_EQ(target.At(77, 33).b, source.At(77, 33).b);
    }
    // The same with the 360-degree blend on and a tiny turn: still the whole panorama, plainly.
    ASSERT_TRUE(stitch::CropPanorama(source, target, {0, 0, 100, 50}, {true, 8}));
    EXPECT_EQ(target.width, 120);
    EXPECT_EQ(std::memcmp(target.Row(30), source.Row(30), 3 * 120), 0);
}

TEST(CropPanorama, A360DegreeCropIsOneTurnWideAndItsStartContinuesItsEnd) {
    int turn = 200, x0 = 20, y0 = 5, h = 50;
    ImgRGB source = TurnScene(300, 60, turn, x0 + turn);
    ImgRGB target;
    stitch::CropRect frame{double(x0), double(y0), 260, double(h)};
    ASSERT_TRUE(stitch::CropPanorama(source, target, frame, {true, turn}));
    EXPECT_EQ(target.width, turn);
    EXPECT_EQ(target.height, h);
    int g = 60;
    for (int y = 0; y < h; ++y) {
        // The first column shows the scene one turn on (what follows the last column)...
        EXPECT_NEAR(target.At(0, y).g, source.At(x0 + turn, y0 + y).g, 2) << y;
        // ...the strip's last column meets the unchanged crop beside it...
        EXPECT_NEAR(target.At(g - 1, y).g, source.At(x0 + g - 1, y0 + y).g, 3) << y;
        EXPECT_EQ(target.At(g + 5, y).g, source.At(x0 + g + 5, y0 + y).g);
        // ...and the last column is the crop's own.
        EXPECT_EQ(target.At(turn - 1, y).r, source.At(x0 + turn - 1, y0 + y).r);
    }
    // Without the blend (or with a frame narrower than a turn) the crop is a plain copy.
    ASSERT_TRUE(stitch::CropPanorama(source, target, frame, {false, turn}));
    EXPECT_EQ(target.width, 260);
    EXPECT_EQ(target.At(0, 10).g, source.At(x0, y0 + 10).g);
    ASSERT_TRUE(stitch::CropPanorama(source, target, {double(x0), double(y0), 150, double(h)}, {true, turn}));
    EXPECT_EQ(target.width, 150);
    EXPECT_EQ(target.At(0, 10).g, source.At(x0, y0 + 10).g);
}

TEST(CropPanorama, ReportsAnImpossibleCropImageInsteadOfCrashing) {
    ImgRGB source = TurnScene(50, 40, 1000, 1000), target(5, 5);
    const StageResult result = stitch::CropPanorama(source, target, {0, 0, 1e8, 1e8}, {});
    EXPECT_FALSE(result);
    EXPECT_EQ(result.Kind(), StageFailure::OutOfMemory);
    EXPECT_EQ(result.Reason(), "\nCould not allocate memory for the crop image\n");
    EXPECT_FALSE(target.HasPixels());
}
