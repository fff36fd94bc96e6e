#pragma once

#include <gtest/gtest.h>

#include "image/ImgTypes.h"
#include "linalg/CMatrix.h"
#include "stitching/EmptySample.h"

// A pixel that no photograph covers.
constexpr RgbSHORT kEmpty{EMPTY_SAMPLE, EMPTY_SAMPLE, EMPTY_SAMPLE};

inline void ExpectMatrixNear(const CMatrix& a, const CMatrix& b, double tolerance) {
    ASSERT_EQ(a.rows, b.rows);
    ASSERT_EQ(a.cols, b.cols);
    for (int i = 0; i < a.rows; ++i)
        for (int j = 0; j < a.cols; ++j)
            EXPECT_NEAR(a(i, j), b(i, j), tolerance) << "at " << i << "," << j;
}
