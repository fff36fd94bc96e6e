#include <gtest/gtest.h>

#include <cmath>

#include "linalg/RectD.h"

TEST(RectD, CornersUnionAndTransformation) {
    RectD r{10, 20, 30, 40};
    EXPECT_EQ(r.Right(), 40);
    EXPECT_EQ(r.Bottom(), 60);
    auto corners = r.Corners();
    EXPECT_EQ(corners[1].x, 40);
    EXPECT_EQ(corners[1].y, 20);
    EXPECT_EQ(corners[3].x, 10);
    EXPECT_EQ(corners[3].y, 60);

    RectD u = r.United({-5, 50, 10, 30});
    EXPECT_EQ(u.left, -5);
    EXPECT_EQ(u.top, 20);
    EXPECT_EQ(u.Right(), 40);
    EXPECT_EQ(u.Bottom(), 80);

    RectD box = RectD::BoundingBox({{3, -1}, {-2, 4}, {0, 0}});
    EXPECT_EQ(box.left, -2);
    EXPECT_EQ(box.top, -1);
    EXPECT_EQ(box.width, 5);
    EXPECT_EQ(box.height, 5);
    EXPECT_EQ(RectD::BoundingBox({}).width, 0);

    // A quarter turn about the origin: (x, y) -> (-y, x).
    const double turn[9] = {0, -1, 0, 1, 0, 0, 0, 0, 1};
    RectD turned = r.Transformed(CMatrix(3, 3, turn));
    EXPECT_NEAR(turned.left, -60, 1e-12);
    EXPECT_NEAR(turned.top, 10, 1e-12);
    EXPECT_NEAR(turned.width, 40, 1e-12);
    EXPECT_NEAR(turned.height, 30, 1e-12);
    // The homogeneous division: a matrix scaled as a whole maps alike.
    const double scaled[9] = {0, -2, 0, 2, 0, 0, 0, 0, 2};
    RectD same = r.Transformed(CMatrix(3, 3, scaled));
    EXPECT_NEAR(same.left, -60, 1e-12);
    EXPECT_NEAR(same.height, 30, 1e-12);
    // A perspective row bends the corners: (x, y) -> (x, y) / (1 + x / 100).
    const double perspective[9] = {1, 0, 0, 0, 1, 0, 0.01, 0, 1};
    RectD bent = r.Transformed(CMatrix(3, 3, perspective));
    EXPECT_NEAR(bent.left, 10 / 1.1, 1e-12);
    EXPECT_NEAR(bent.Right(), 40 / 1.4, 1e-12);
    EXPECT_NEAR(bent.Bottom(), 60 / 1.1, 1e-12);
}
