#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "StitchTestSupport.h"
#include "stitching/BrightnessGradient.h"
#include "stitching/ChannelRange.h"
#include "stitching/Contrast.h"
#include "stitching/EmptySample.h"
#include "stitching/OutputConversion.h"

namespace {

RgbSHORT Gray(int v) { return RgbSHORT{short(v), short(v), short(v)}; }

ImgRGBSHORT Filled(int w, int h, RgbSHORT p) {
    ImgRGBSHORT img(w, h);
    img.FillRect(0, 0, w - 1, h - 1, p);
    return img;
}

// Three cameras in a row 100 layout units apart (images 50 wide), centres at P's x 10, 30,
// 50 and y 5, 20, 35, their black and white levels rising by 10 per camera.
stitch::BrightnessGradientInput ThreeCameras() {
    stitch::BrightnessGradientInput in;
    for (int i = 0; i < 3; ++i) {
        in.cameras.push_back({PointD{10.0 + 20 * i, 5.0 + 15 * i}, 10.0 * i, 200.0 + 10 * i});
        in.layoutPositions.push_back(PointD{100.0 * i, 100.0 * i});
    }
    in.firstImageWidth = 50;
    in.firstImageHeight = 50;
    return in;
}

bool RowsUniform(const ImgRGBSHORT& P) {
    for (int y = 0; y < P.height; ++y)
        for (int x = 1; x < P.width; ++x)
            if (P.At(x, y).g != P.At(0, y).g)
                return false;
    return true;
}

bool ColumnsUniform(const ImgRGBSHORT& P) {
    for (int x = 0; x < P.width; ++x)
        for (int y = 1; y < P.height; ++y)
            if (P.At(x, y).g != P.At(x, 0).g)
                return false;
    return true;
}

}  // namespace

TEST(AdjustContrast, RescalesWideSpansShiftsNegativeOnesAndLeavesTheRest) {
    ImgRGBSHORT wide(3, 2);
    wide.At(0, 0) = Gray(-20000);
    wide.At(1, 0) = Gray(20000);
    wide.At(2, 0) = RgbSHORT{0, 10000, -10000};
    wide.At(0, 1) = wide.At(1, 1) = Gray(5);
    wide.At(2, 1) = kEmpty;
    EXPECT_EQ(stitch::AdjustContrast(wide), 32767);
    EXPECT_EQ(wide.At(0, 0).b, 0);
    EXPECT_EQ(wide.At(1, 0).r, 32767);
    EXPECT_EQ(wide.At(2, 0).b, 16384);  // trunc(20000 * 32767 / 40000 + 0.5)
    EXPECT_EQ(wide.At(2, 0).g, 24575);
    EXPECT_EQ(wide.At(2, 0).r, 8192);
    EXPECT_EQ(wide.At(2, 1).b, EMPTY_SAMPLE);

    ImgRGBSHORT negative = Filled(2, 2, Gray(500));
    negative.At(0, 0) = RgbSHORT{-100, 0, 7};
    negative.At(1, 1) = kEmpty;
    EXPECT_EQ(stitch::AdjustContrast(negative), 600);
    EXPECT_EQ(negative.At(0, 0).b, 0);
    EXPECT_EQ(negative.At(0, 0).r, 107);
    EXPECT_EQ(negative.At(1, 0).g, 600);
    EXPECT_EQ(negative.At(1, 1).b, EMPTY_SAMPLE);

    ImgRGBSHORT plain = Filled(2, 1, Gray(10));
    plain.At(1, 0) = Gray(300);
    EXPECT_EQ(stitch::AdjustContrast(plain), 300);
    EXPECT_EQ(plain.At(0, 0).g, 10);
    EXPECT_EQ(plain.At(1, 0).g, 300);

    ImgRGBSHORT none = Filled(2, 2, kEmpty);
    EXPECT_EQ(stitch::AdjustContrast(none), 0);
}

TEST(StretchContrastAndGamma, GammaTwoDoublesAQuarterLuminanceAndKeepsTheHue) {
    // A ramp 0 .. 4000 makes the stretch nearly the identity (M = 4000).
    int M = 4000;
    ImgRGBSHORT P(M + 1, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x <= M; ++x)
            P.At(x, y) = Gray(x);
    P.At(10, 3) = Gray(M / 4);
    P.At(11, 3) = RgbSHORT{1300, 900, 728};  // luminance 0.299 b + 0.587 g + 0.114 r = 1000
    P.At(12, 3) = RgbSHORT{2500, 500, 600};  // doubled blue would exceed M
    P.At(13, 3) = Gray(0);
    P.At(14, 3) = kEmpty;
    stitch::StretchContrastAndGamma(P, 2.0);
    EXPECT_NEAR(P.At(10, 3).g, M / 2, 3);
    EXPECT_NEAR(P.At(11, 3).b, 2 * 1300, 4);
    EXPECT_NEAR(P.At(11, 3).g, 2 * 900, 4);
    EXPECT_NEAR(P.At(11, 3).r, 2 * 728, 4);
    EXPECT_EQ(P.At(12, 3).b, M);
    EXPECT_NEAR(P.At(12, 3).g, 500 * 1.9, 10);  // the ratio of a luminance of about 1109
    EXPECT_LE(P.At(13, 3).g, 1);                // black stays (nearly) black: no 0 / 0
    EXPECT_EQ(P.At(14, 3).b, EMPTY_SAMPLE);
    EXPECT_EQ(P.At(M, 0).g, M);
}

TEST(StretchContrastAndGamma, ClipsOnlyAboutATenThousandthOfTheMassAtEachEnd) {
    // 100 000 pixels spread over 100 .. 899, with 15 outliers at each end: 15 / 100 000 is
    // below 0.2 / M (M = 990), so exactly the outliers (and the edge bins' own values) clip.
    int w = 1000, h = 100;
    ImgRGBSHORT P(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            P.At(x, y) = Gray(100 + (y * w + x) % 800);
    for (int i = 0; i < 15; ++i) {
        P.At(i, 0) = Gray(20);
        P.At(i, 1) = Gray(990);
    }
    stitch::StretchContrastAndGamma(P, 1.0);
    int atZero = 0, atTop = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            atZero += P.At(x, y).g == 0;
            atTop += P.At(x, y).g == 990;
        }
    EXPECT_EQ(P.At(0, 0).g, 0);
    EXPECT_EQ(P.At(0, 1).g, 990);
    // The outliers plus at most the one value in each edge bin: a 1 % clip would take 1000.
    EXPECT_LE(atZero, 15 + 2 * 125);
    EXPECT_LE(atTop, 15 + 2 * 125);
    // In between the mapping is linear from about 100 .. 899 onto 0 .. 990.
    EXPECT_NEAR(P.At(400, 2).g, (100 + (2 * w + 400) % 800 - 100) * 990.0 / 799, 3);

    // 30 outliers (above 0.2 / M of the mass) are not clipped: they become the ends.
    ImgRGBSHORT Q(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            Q.At(x, y) = Gray(100 + (y * w + x) % 800);
    for (int i = 0; i < 30; ++i)
        Q.At(i, 0) = Gray(20);
    stitch::StretchContrastAndGamma(Q, 1.0);
    EXPECT_GT(Q.At(100 + 0, 50).g, 60);  // 100 lies well above the new low end 20
}

TEST(StretchContrastAndGamma, AFlatPanoramaIsNotTurnedOver) {
    ImgRGBSHORT P = Filled(20, 10, Gray(700));
    P.At(0, 0) = kEmpty;
    stitch::StretchContrastAndGamma(P, 1.0);
    EXPECT_EQ(P.At(5, 5).g, 700);
    EXPECT_EQ(P.At(0, 0).b, EMPTY_SAMPLE);
}

TEST(BrightnessGradient, LevelsAlongColumnsOrAlongRowsWhenQuarterTurned) {
    stitch::BrightnessGradientInput in = ThreeCameras();
    ImgRGBSHORT P = Filled(60, 40, Gray(150));
    stitch::CorrectBrightnessGradient(P, in, true);
    EXPECT_TRUE(ColumnsUniform(P));
    EXPECT_FALSE(RowsUniform(P));
    // At camera 1's centre (x = 30): lo = 10, hi = 210, so 150 -> trunc(140 * 255 / 200 + 0.5).
    EXPECT_NEAR(P.At(30, 0).g, 179, 1);

    in.rotation = std::numbers::pi / 2;
    EXPECT_TRUE(stitch::QuarterTurned(in.rotation));
    EXPECT_TRUE(stitch::QuarterTurned(-3 * std::numbers::pi / 2));
    EXPECT_FALSE(stitch::QuarterTurned(std::numbers::pi));
    ImgRGBSHORT R = Filled(60, 40, Gray(150));
    R.At(3, 3) = kEmpty;
    stitch::CorrectBrightnessGradient(R, in, true);
    R.At(3, 3) = R.At(4, 3);
    EXPECT_TRUE(RowsUniform(R));
    EXPECT_FALSE(ColumnsUniform(R));
    EXPECT_NEAR(R.At(0, 20).g, 179, 1);  // camera 1's centre row

    // The vertical correction of an unturned panorama also runs along the rows.
    ImgRGBSHORT V = Filled(60, 40, Gray(150));
    in.rotation = 0;
    stitch::CorrectBrightnessGradient(V, in, false);
    EXPECT_TRUE(RowsUniform(V));
}

TEST(BrightnessGradient, NeedsThreeCamerasAndALayoutSpreadLargerThanAnImage) {
    ImgRGBSHORT P = Filled(60, 40, Gray(150));
    stitch::BrightnessGradientInput two = ThreeCameras();
    two.cameras.pop_back();
    two.layoutPositions.pop_back();
    stitch::CorrectBrightnessGradient(P, two, true);
    stitch::CorrectBrightnessGradient(P, two, false);
    EXPECT_EQ(P.At(30, 20).g, 150);

    stitch::BrightnessGradientInput close = ThreeCameras();
    close.firstImageWidth = 200;  // spread 200 is not larger
    stitch::CorrectBrightnessGradient(P, close, true);
    EXPECT_EQ(P.At(30, 20).g, 150);
    close.firstImageHeight = 250;
    stitch::CorrectBrightnessGradient(P, close, false);
    EXPECT_EQ(P.At(30, 20).g, 150);

    // Vertical counts layout positions: two of them are too few even with three cameras.
    stitch::BrightnessGradientInput fewPositions = ThreeCameras();
    fewPositions.layoutPositions.pop_back();
    stitch::CorrectBrightnessGradient(P, fewPositions, false);
    EXPECT_EQ(P.At(30, 20).g, 150);

    // Cameras whose centres coincide do not determine the lines.
    stitch::BrightnessGradientInput stacked = ThreeCameras();
    for (auto& c : stacked.cameras)
        c.centre = PointD{30, 20};
    stitch::CorrectBrightnessGradient(P, stacked, true);
    EXPECT_EQ(P.At(30, 20).g, 150);
}

TEST(BrightnessGradient, EqualOrCrossedLevelsShiftInsteadOfDividingByZero) {
    stitch::BrightnessGradientInput in = ThreeCameras();
    for (auto& c : in.cameras)
        c.minimum = c.maximum = 40;
    ImgRGBSHORT P = Filled(60, 40, Gray(150));
    stitch::CorrectBrightnessGradient(P, in, true);
    EXPECT_EQ(P.At(10, 10).g, 110);
    EXPECT_EQ(P.At(59, 39).g, 110);

    // Minima rising steeply past the maxima: beyond the crossing lines are shifted only.
    in = ThreeCameras();
    in.cameras[2].minimum = 400;
    ImgRGBSHORT Q = Filled(60, 40, Gray(150));
    stitch::CorrectBrightnessGradient(Q, in, true);
    // At x = 59 lo(t) is about 427 and hi(t) about 225: 150 is shifted to about -277, not
    // mapped through a negative scale.
    EXPECT_NEAR(Q.At(59, 0).g, -276, 1);
    // Where the span is still positive the scale applies (x = 10: lo -63, hi 200).
    EXPECT_EQ(Q.At(10, 0).g, static_cast<int>((150 + 63.333333) * 255 / (200 + 63.333333) + 0.5));
}

TEST(TonalSteps, EmptyPixelsStayEmptyThroughEveryStepAndComeOutBlack) {
    ImgRGBSHORT P(60, 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x)
            P.At(x, y) = (x + y) % 7 == 0 ? kEmpty : RgbSHORT{short(x * 3), short(y * 5), short(x + y)};
    stitch::CorrectBrightnessGradient(P, ThreeCameras(), true);
    stitch::CorrectBrightnessGradient(P, ThreeCameras(), false);
    stitch::StretchContrastAndGamma(P, 0.7);
    ImgRGB out;
    stitch::ConvertToOutput(P, out);
    ASSERT_EQ(out.width, 60);
    ASSERT_EQ(out.height, 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x) {
            bool empty = (x + y) % 7 == 0;
            ASSERT_EQ(P.At(x, y).b == EMPTY_SAMPLE, empty) << x << ", " << y;
            if (empty) {
                EXPECT_EQ(P.At(x, y).g, EMPTY_SAMPLE);
                EXPECT_EQ(out.At(x, y).b + out.At(x, y).g + out.At(x, y).r, 0);
            }
        }
}

TEST(ConvertToOutput, SpreadsTheRangeOntoBytesAndKeepsAFlatPanoramasLevel) {
    ImgRGBSHORT P(3, 1);
    P.At(0, 0) = Gray(100);
    P.At(1, 0) = RgbSHORT{300, 200, 100};
    P.At(2, 0) = kEmpty;
    ImgRGB out;
    stitch::ConvertToOutput(P, out);
    EXPECT_EQ(out.At(0, 0).g, 0);
    EXPECT_EQ(out.At(1, 0).b, 255);
    EXPECT_EQ(out.At(1, 0).g, 128);  // trunc(100 * 255 / 200 + 0.5)
    EXPECT_EQ(out.At(2, 0).r, 0);

    ImgRGBSHORT flat = Filled(4, 4, Gray(120));
    flat.At(0, 0) = kEmpty;
    stitch::ConvertToOutput(flat, out);
    EXPECT_EQ(out.At(2, 2).g, 120);
    EXPECT_EQ(out.At(0, 0).g, 0);
}

TEST(ChannelRange, CoversEveryRunOfPixelsHoldingDataAndNothingOfTheEmptyOnes) {
    // Runs touching either end of a row, a one-pixel run, a row without data; the empty pixels'
    // other channels hold values beyond every real one and must not count.
    ImgRGBSHORT P(9, 3);
    const RgbSHORT strayEmpty{EMPTY_SAMPLE, 32767, -32767};
    P.FillRect(0, 0, 8, 2, strayEmpty);
    const int filled[][2] = {{0, 0}, {1, 0}, {4, 0}, {8, 0}, {7, 2}, {8, 2}};
    for (const auto& at : filled)
        P.At(at[0], at[1]) = RgbSHORT{short(10 + at[0]), short(-5 * at[0]), short(100 + at[1])};
    std::vector<std::pair<int, int>> runs;
    ForEachFilledRun(P.Row(0), P.width, [&](int first, int last) { runs.emplace_back(first, last); });
    EXPECT_EQ(runs, (std::vector<std::pair<int, int>>{{0, 2}, {4, 5}, {8, 9}}));
    runs.clear();
    ForEachFilledRun(P.Row(1), P.width, [&](int first, int last) { runs.emplace_back(first, last); });
    EXPECT_TRUE(runs.empty());

    int lo = 1000, hi = -1000;
    ChannelRangeOf(P, lo, hi);
    EXPECT_EQ(lo, -40);  // green of (8, 0) and (8, 2)
    EXPECT_EQ(hi, 102);  // red of the last row
    int emptyLo = 7, emptyHi = 7;
    ImgRGBSHORT empty(5, 4);
    empty.FillRect(0, 0, 4, 3, strayEmpty);
    ChannelRangeOf(empty, emptyLo, emptyHi);
    EXPECT_EQ(emptyLo, 7);
    EXPECT_EQ(emptyHi, 7);
}