#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "image/GaussianSmooth.h"
#include "image/MaxFilter.h"
#include "matching/BoundedSortedList.h"
#include "matching/ExtractionGeometry.h"
#include "matching/FeatureExtractor.h"
#include "matching/LocalExtremum.h"

namespace {

// Gaussian blobs of the given heights on a gray background, on a coarse grid.
ImgFLOAT Blobs(int w, int h, const std::vector<float>& heights, int pitch) {
    ImgFLOAT img(w, h);
    img.FillRect(0, 0, w - 1, h - 1, 50.0f);
    int perRow = (w - pitch) / pitch;
    for (size_t k = 0; k < heights.size(); ++k) {
        double cx = pitch + (k % perRow) * pitch + 0.3, cy = pitch + (k / perRow) * pitch - 0.2;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                double d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
                img.At(x, y) += static_cast<float>(heights[k] * std::exp(-d2 / (2 * 3.0 * 3.0)));
            }
    }
    return img;
}

// The detector's response map, built here from the same smoothing steps.
ImgFLOAT Response(const ImgFLOAT& image) {
    ImgFLOAT a(image), b(image);
    GaussianSmooth(a, 1.8);
    GaussianSmooth(b, 3.6);
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            float d = a.At(x, y) - b.At(x, y);
            a.At(x, y) = d * d;
        }
    GaussianSmooth(a, 1.0);
    return a;
}

float ResponseNear(const ImgFLOAT& response, const FeaturePoint& p) {
    float best = 0;
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx)
            best = std::max(best, response.At(p.ix + dx, p.iy + dy));
    return best;
}

}  // namespace

TEST(Detection, ExtractionGeometryArithmetic) {
    ExtractionGeometry g = ExtractionGeometryFor(3000, 2000, 600, 1.0, 3.0);
    EXPECT_DOUBLE_EQ(g.scale, 0.3);
    EXPECT_EQ(g.workWidth, 900);
    EXPECT_EQ(g.workHeight, 600);
    EXPECT_EQ(g.spacing, 6);
    EXPECT_EQ(g.radius, 20);  // 18, raised to 20
    EXPECT_EQ(g.border, 22);
    EXPECT_EQ(ExtractionGeometryFor(3000, 2000, 600, 0.3, 3.0).spacing, 3);  // 1.8 -> 1 -> 3
    ExtractionGeometry portrait = ExtractionGeometryFor(1200, 1600, 600, 3.0, 6.0);
    EXPECT_EQ(portrait.workWidth, 600);
    EXPECT_EQ(portrait.workHeight, 800);
    EXPECT_EQ(portrait.spacing, 18);
    EXPECT_EQ(portrait.radius, 36);

    // A spacing of 6 makes a 5 x 5 maximum filter; 4 makes 3 x 3.
    ImgFLOAT impulse(15, 15);
    impulse.FillRect(0, 0, 14, 14, 0);
    impulse.At(7, 7) = 1;
    ImgFLOAT max6, max4;
    MaxFilter(impulse, max6, 6, 6);
    MaxFilter(impulse, max4, 4, 4);
    EXPECT_EQ(max6.At(9, 9), 1);
    EXPECT_EQ(max6.At(10, 7), 0);
    EXPECT_EQ(max4.At(8, 8), 1);
    EXPECT_EQ(max4.At(9, 7), 0);
    ImgFLOAT untouched(15, 15);
    untouched.FillRect(0, 0, 14, 14, -3);
    MaxFilter(impulse, untouched, 2, 2);  // below 3: nothing written
    EXPECT_EQ(untouched.At(7, 7), -3);
}

TEST(Detection, LocalTests) {
    ImgFLOAT img(5, 5);
    img.FillRect(0, 0, 4, 4, 0);
    img.At(2, 2) = 4;
    img.At(3, 2) = 2;
    img.At(1, 2) = 1;
    EXPECT_TRUE(IsStrictExtremum(img, 2, 2));
    double x, y;
    ASSERT_TRUE(RefineExtremum(img, 2, 2, &x, &y, 1.5));
    EXPECT_GT(x, 2.0);  // pulled toward the larger right neighbour
    EXPECT_NEAR(y, 2.0, 1e-12);
    img.At(2, 1) = 4;  // a tie with a neighbour is no strict extremum
    EXPECT_FALSE(IsStrictExtremum(img, 2, 2));
    img.FillRect(0, 0, 4, 4, -1);
    img.At(2, 2) = -5;
    EXPECT_TRUE(IsStrictExtremum(img, 2, 2));
    img.FillRect(0, 0, 4, 4, 1);  // flat: degenerate fit
    EXPECT_FALSE(RefineExtremum(img, 2, 2, &x, &y, 1.5));
    // A ridge whose fitted extremum lies far away is discarded.
    for (int yy = 0; yy < 5; ++yy)
        for (int xx = 0; xx < 5; ++xx)
            img.At(xx, yy) = float(10 * xx - 0.5 * (xx - 2) * (xx - 2) * 0.1 - (yy - 2) * (yy - 2));
    EXPECT_FALSE(RefineExtremum(img, 2, 2, &x, &y, 1.5));
}

TEST(Detection, BoundedSortedListKeepsTheLargest) {
    BoundedSortedList list(3);
    for (float v : {5.f, 1.f, 9.f, 7.f, 7.f, 3.f})
        list.Insert(v);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.At(0), 9);
    EXPECT_EQ(list.At(1), 7);
    EXPECT_EQ(list.At(2), 7);
    list.Insert(7);  // not strictly greater than the smallest kept: dropped
    EXPECT_EQ(list.Last(), 7);
    list.Insert(8);
    EXPECT_EQ(list.At(1), 8);
    EXPECT_EQ(list.Last(), 7);
}

TEST(Detection, UniformImagesAndSmallImagesGiveNothing) {
    FeatureExtractor fx;
    ImgFLOAT flat(200, 150);
    flat.FillRect(0, 0, 199, 149, 128);
    fx.DetectFeatures(flat, 1000, 22, 6, 1.8, 10.0);
    EXPECT_TRUE(fx.points.empty());
    ImgFLOAT tiny = Blobs(20, 20, {200}, 10);
    fx.DetectFeatures(tiny, 1000, 22, 6, 1.8, 10.0);
    EXPECT_TRUE(fx.points.empty());
}

TEST(Detection, StrongestResponsesAreKept) {
    std::vector<float> heights;
    for (int k = 0; k < 24; ++k)
        heights.push_back(40.0f + 9.0f * ((k * 7) % 24));  // all different
    ImgFLOAT img = Blobs(300, 200, heights, 40);
    FeatureExtractor all, few;
    all.DetectFeatures(img, 1000, 10, 6, 1.8, 10.0);
    ASSERT_GE(all.points.size(), 20u);
    few.DetectFeatures(img, 5, 10, 6, 1.8, 10.0);
    ASSERT_GE(few.points.size(), 5u);
    EXPECT_LE(few.points.size(), 6u);
    ImgFLOAT response = Response(img);
    std::vector<float> strengths;
    for (const FeaturePoint& p : all.points)
        strengths.push_back(ResponseNear(response, p));
    std::vector<float> sorted = strengths;
    std::sort(sorted.rbegin(), sorted.rend());
    float fifth = sorted[4];
    for (const FeaturePoint& p : few.points)
        EXPECT_GE(ResponseNear(response, p), fifth * 0.9999f);
    // The few are among the many, found the same way.
    for (const FeaturePoint& p : few.points) {
        bool found = false;
        for (const FeaturePoint& q : all.points)
            found = found || (p.x == q.x && p.y == q.y);
        EXPECT_TRUE(found);
    }
    // Every point sits on a blob, refined near its centre.
    for (const FeaturePoint& p : all.points) {
        EXPECT_EQ(p.ix, static_cast<int>(p.x + 0.5f));
        EXPECT_EQ(p.iy, static_cast<int>(p.y + 0.5f));
    }
}
