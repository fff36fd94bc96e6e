#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "linalg/CMatrix.h"
#include "linalg/CVector.h"
#include "linalg/Cholesky.h"
#include "linalg/NearestRotation.h"

namespace {

double NormOf(const CVector& x) {
    double s = 0;
    for (int i = 0; i < x.count; ++i)
        s += x[i] * x[i];
    return std::sqrt(s);
}

void ExpectReconstructs(const CMatrix& A, const CVector& s, const CMatrix& U, const CMatrix& V) {
    int n = A.cols;
    for (int i = 0; i < A.rows; ++i)
        for (int j = 0; j < n; ++j) {
            double sum = 0;
            for (int k = 0; k < n && k < U.cols; ++k)
                sum += U(i, k) * s[k] * V(j, k);
            EXPECT_NEAR(sum, A(i, j), 1e-10);
        }
}

}  // namespace

TEST(Svd, SortedDiagonalPermutesColumnsAlike) {
    const double d[] = {1, 0, 0, 0, 3, 0, 0, 0, 2};
    CMatrix A(3, 3, d);
    CVector s;
    CMatrix U, V;
    SvdSorted(A, s, U, V);
    ASSERT_EQ(s.count, 3);
    EXPECT_NEAR(s[0], 3, 1e-14);
    EXPECT_NEAR(s[1], 2, 1e-14);
    EXPECT_NEAR(s[2], 1, 1e-14);
    // The value 3 belongs to axis 1, 2 to axis 2, 1 to axis 0, in U and V alike.
    EXPECT_NEAR(std::fabs(U(1, 0)), 1, 1e-14);
    EXPECT_NEAR(std::fabs(V(1, 0)), 1, 1e-14);
    EXPECT_NEAR(std::fabs(U(2, 1)), 1, 1e-14);
    EXPECT_NEAR(std::fabs(V(2, 1)), 1, 1e-14);
    EXPECT_NEAR(std::fabs(U(0, 2)), 1, 1e-14);
    EXPECT_NEAR(std::fabs(V(0, 2)), 1, 1e-14);
    ExpectReconstructs(A, s, U, V);
}

TEST(Svd, RandomMatricesReconstructAndAreOrthogonal) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(-5, 5);
    for (int trial = 0; trial < 20; ++trial) {
        int rows = 3 + trial % 6, cols = 1 + trial % 4;
        if (cols > rows)
            cols = rows;
        CMatrix A(rows, cols);
        for (int k = 0; k < A.count; ++k)
            A.data[k] = value(random);
        CVector s;
        CMatrix U, V;
        SvdSorted(A, s, U, V);
        EXPECT_EQ(U.rows, rows);
        EXPECT_EQ(U.cols, rows);
        EXPECT_EQ(V.rows, cols);
        for (int k = 1; k < s.count; ++k)
            EXPECT_GE(s[k - 1], s[k]);
        ExpectReconstructs(A, s, U, V);
        CMatrix VtV = V.Transpose() * V;
        for (int i = 0; i < cols; ++i)
            for (int j = 0; j < cols; ++j)
                EXPECT_NEAR(VtV(i, j), i == j ? 1 : 0, 1e-12);
    }
}

TEST(Svd, NullVectorSpansTheNullSpace) {
    const double one[] = {1, 0, 0};
    CVector x = NullVector(CMatrix(1, 3, one));
    ASSERT_EQ(x.count, 3);
    EXPECT_NEAR(NormOf(x), 1, 1e-12);
    EXPECT_NEAR(x[0], 0, 1e-12);

    // Rank 2: the third row is the sum of the first two; the null space is (1, 1, -1)/sqrt(3).
    const double rank2[] = {1, 0, 1, 0, 1, 1, 1, 1, 2};
    CVector n = NullVector(CMatrix(3, 3, rank2));
    double k = 1 / std::sqrt(3.0);
    double sign = n[0] > 0 ? 1 : -1;
    EXPECT_NEAR(n[0] * sign, k, 1e-12);
    EXPECT_NEAR(n[1] * sign, k, 1e-12);
    EXPECT_NEAR(n[2] * sign, -k, 1e-12);

    // Rank 1 in 3-D: the null vector must be orthogonal to the one row direction.
    const double rank1[] = {1, 2, 3, 2, 4, 6};
    CVector m = NullVector(CMatrix(2, 3, rank1));
    EXPECT_NEAR(m[0] + 2 * m[1] + 3 * m[2], 0, 1e-12);
    EXPECT_NEAR(NormOf(m), 1, 1e-12);

    CVector s;
    CMatrix V;
    SingularValues(CMatrix(2, 3, rank1), s, V);
    EXPECT_EQ(s.count, 3);
    EXPECT_NEAR(s[0], std::sqrt(5.0 * 14.0), 1e-12);
    EXPECT_NEAR(s[2], 0, 1e-12);
}

TEST(SolveLeastSquares, MatchesNormalEquationsAndDetectsRankDeficiency) {
    std::mt19937 random(3);
    std::uniform_real_distribution<double> value(-1, 1);
    CMatrix A(12, 4);
    CVector b(12);
    for (int k = 0; k < A.count; ++k)
        A.data[k] = value(random);
    for (int k = 0; k < 12; ++k)
        b[k] = value(random);
    CVector x;
    ASSERT_TRUE(SolveLeastSquares(A, b, x));
    ASSERT_EQ(x.count, 4);
    CMatrix At = A.Transpose();
    CVector normal = (At * A).Inverse() * (At * b);
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(x[i], normal[i], 1e-12);

    // Exact system: y = 2 - 3 t.
    CMatrix line(5, 2);
    CVector y(5);
    for (int i = 0; i < 5; ++i) {
        line(i, 0) = 1;
        line(i, 1) = i;
        y[i] = 2 - 3.0 * i;
    }
    ASSERT_TRUE(SolveLeastSquares(line, y, x));
    EXPECT_NEAR(x[0], 2, 1e-12);
    EXPECT_NEAR(x[1], -3, 1e-12);

    CMatrix dependent(4, 3);
    for (int i = 0; i < 4; ++i) {
        dependent(i, 0) = 0.1 * (i + 1);
        dependent(i, 1) = std::sin(i + 0.3);
        dependent(i, 2) = 3 * dependent(i, 0) - 0.7 * dependent(i, 1);
    }
    CVector keep(3);
    keep.Fill(42);
    CVector rhs(4);
    rhs.Fill(1);
    EXPECT_FALSE(SolveLeastSquares(dependent, rhs, keep));
    EXPECT_EQ(keep[0], 42);
}

// The Cholesky solve agrees with the inverse on a positive definite system whose unknowns
// differ in scale by six orders (a focal length beside angles), and refuses what it cannot
// factor instead of returning garbage.
TEST(Cholesky, SolvesBadlyScaledSystemsAndRefusesIndefiniteOnes) {
    const int n = 7;
    CMatrix A(12, n);
    for (int i = 0; i < A.rows; ++i)
        for (int j = 0; j < n; ++j)
            A(i, j) = std::sin((0.5 + 0.37 * j) * i + 0.1 * j) * (j == 0 ? 1e-3 : 1e3);
    const CMatrix N = A.Transpose() * A;
    CVector truth(n);
    for (int j = 0; j < n; ++j)
        truth[j] = j == 0 ? 1000.0 + j : 0.01 * (j - 3);
    const CVector b(N * truth);
    CVector x;
    ASSERT_TRUE(SolveCholesky(N, b, x));
    ASSERT_EQ(x.count, n);
    for (int j = 0; j < n; ++j)
        EXPECT_NEAR(x[j], truth[j], 1e-7 * std::fabs(truth[j]) + 1e-9) << j;

    CMatrix indefinite(2, 2);
    indefinite(0, 0) = 1;
    indefinite(0, 1) = indefinite(1, 0) = 2;
    indefinite(1, 1) = 1;
    CVector rhs(2);
    rhs.Fill(1);
    CVector untouched(1);
    untouched[0] = 42;
    EXPECT_FALSE(SolveCholesky(indefinite, rhs, untouched));
    EXPECT_EQ(untouched[0], 42);
    CMatrix singular(2, 2);
    for (int k = 0; k < 4; ++k)
        singular.data[k] = 1;
    EXPECT_FALSE(SolveCholesky(singular, rhs, untouched));
    EXPECT_FALSE(SolveCholesky(N, rhs, untouched));  // sizes that do not match
}

TEST(NearestRotation, EqualsTheDecompositionsProperFactor) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> value(-1, 1);
    for (int trial = 0; trial < 300; ++trial) {
        double m[9];
        for (double& e : m)
            e = value(random);
        if (trial % 3 == 1)  // near a rotation, as a pair's K^-1 H K is near the right f
            for (int i = 0; i < 3; ++i)
                m[4 * i] += 3;
        if (trial % 5 == 2)
            for (double& e : m)
                e *= -40;  // a negative determinant and another scale
        // U diag(1, 1, det(U V^T)) V^T from the decomposition, singular values descending.
        const CMatrix M(3, 3, m);
        CVector s;
        CMatrix U, V;
        SvdSorted(M, s, U, V);
        CMatrix R = U * V.Transpose();
        if (R.Determinant() < 0) {
            const double flip[9] = {1, 0, 0, 0, 1, 0, 0, 0, -1};
            R = U * CMatrix(3, 3, flip) * V.Transpose();
        }
        double r[9];
        NearestRotation(m, r);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                ASSERT_NEAR(r[3 * i + j], R(i, j), 1e-9) << "trial " << trial << " entry " << i << "," << j;
    }
    // A rotation is its own nearest.
    const double c = std::cos(0.3), s = std::sin(0.3);
    const double turn[9] = {c, 0, s, 0, 1, 0, -s, 0, c};
    double r[9];
    NearestRotation(turn, r);
    for (int k = 0; k < 9; ++k)
        EXPECT_NEAR(r[k], turn[k], 1e-15);
}
