#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "linalg/CMatrix.h"

namespace {

template <class F>
std::string MessageOf(F&& f) {
    try {
        f();
    } catch (const char* message) {
        return message;
    }
    return "no exception";
}

}  // namespace

TEST(CMatrix, LayoutAndConstruction) {
    const double values[] = {1, 2, 3, 4, 5, 6};
    CMatrix m(2, 3, values);
    EXPECT_EQ(m.rows, 2);
    EXPECT_EQ(m.cols, 3);
    EXPECT_EQ(m.count, 6);
    // Column-major: column 1 holds 2 and 5.
    EXPECT_EQ(m.data[2], 2);
    EXPECT_EQ(m.data[3], 5);
    EXPECT_EQ(m.columns[2], m.data + 4);
    EXPECT_EQ(m(1, 2), 6);

    CMatrix copy(m);
    copy(0, 0) = 9;
    EXPECT_EQ(m(0, 0), 1);
    const CMatrix& alias = copy;
    copy = alias;  // onto itself
    EXPECT_EQ(copy(0, 0), 9);
    CMatrix other(5, 5);
    other = m;
    EXPECT_EQ(other.rows, 2);
    EXPECT_EQ(other(1, 0), 4);

    CMatrix empty;
    EXPECT_EQ(empty.data, nullptr);
    EXPECT_EQ(empty.columns, nullptr);

    CVector row(-4), column(4);
    EXPECT_EQ(row.rows, 1);
    EXPECT_EQ(row.cols, 4);
    EXPECT_EQ(column.rows, 4);
    EXPECT_EQ(column.cols, 1);
    column.Fill(2.5);
    EXPECT_EQ(column[3], 2.5);
}

TEST(CMatrix, ProductsTransposeIdentityAndShapeErrors) {
    const double a[] = {1, 2, 3, 4, 5, 6};
    const double b[] = {7, 8, 9, 10, 11, 12};
    CMatrix A(2, 3, a), B(3, 2, b);
    CMatrix C = A * B;
    EXPECT_EQ(C.rows, 2);
    EXPECT_EQ(C.cols, 2);
    EXPECT_EQ(C(0, 0), 58);
    EXPECT_EQ(C(0, 1), 64);
    EXPECT_EQ(C(1, 0), 139);
    EXPECT_EQ(C(1, 1), 154);
    CMatrix D;
    D.Mult(A, B);
    EXPECT_EQ(D(1, 1), 154);
    CMatrix S = A + A;
    EXPECT_EQ(S(1, 2), 12);
    CMatrix T = A.Transpose();
    EXPECT_EQ(T.rows, 3);
    EXPECT_EQ(T(2, 1), 6);
    CMatrix H = A * 0.5;
    EXPECT_EQ(H(1, 1), 2.5);
    CMatrix I;
    I.Identity(3);
    CMatrix AI = A * I;
    EXPECT_EQ(std::memcmp(AI.data, A.data, sizeof(double) * 6), 0);

    CMatrix A2(2, 3, a);
    CMatrix R;
    EXPECT_EQ(MessageOf([&] { R.Mult(A, A2); }), "CMatrix::Mult(): matrices do not have common size");
    EXPECT_EQ(MessageOf([&] { (void)(A * A2); }), "CMatrix::operator*(): matrices do not have common size");
    EXPECT_EQ(MessageOf([&] { (void)(A + B); }), "CMatrix::operator*(): matrices do not have common size");
    CMatrix square(3, 3);
    EXPECT_EQ(MessageOf([&] {
                  CVector v = square;
                  (void)v;
              }),
              "CMatrix::operator CVector(): not a row or column vector");
    CMatrix rowMatrix(1, 3, a);
    CVector v = rowMatrix;
    EXPECT_EQ(v.count, 3);
    EXPECT_EQ(v[2], 3);
}

TEST(CMatrix, InverseAndDeterminant) {
    const double m[] = {4, 7, 2, 3, 6, 1, 2, 5, 3};
    CMatrix A(3, 3, m);
    CMatrix inverse = A.Inverse();
    CMatrix product = A * inverse;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(product(i, j), i == j ? 1 : 0, 1e-12);
    EXPECT_NEAR(A.Determinant(), 4 * (18 - 5) - 7 * (9 - 2) + 2 * (15 - 12), 1e-12);

    const double swap[] = {0, 1, 1, 0};
    EXPECT_DOUBLE_EQ(CMatrix(2, 2, swap).Determinant(), -1);
    EXPECT_EQ(CMatrix(2, 3).Determinant(), 0);
    const double zeroRow[] = {1, 2, 0, 0};
    EXPECT_EQ(CMatrix(2, 2, zeroRow).Determinant(), 0);
    const double singular[] = {1, 2, 2, 4};
    EXPECT_NEAR(CMatrix(2, 2, singular).Determinant(), 0, 1e-300);

    // A singular matrix does not throw; the partly eliminated result comes back.
    CMatrix partial = CMatrix(2, 2, singular).Inverse();
    EXPECT_EQ(partial.rows, 2);
}

TEST(CVector, MeanAndStdDev) {
    CVector v(4);
    const double values[] = {2, 4, 4, 6};
    for (int i = 0; i < 4; ++i)
        v[i] = values[i];
    EXPECT_DOUBLE_EQ(v.Mean(), 4);
    EXPECT_DOUBLE_EQ(v.StdDev(), std::sqrt(8.0 / 3.0));
    CVector empty;
    EXPECT_EQ(empty.Mean(), 0);
    EXPECT_EQ(empty.StdDev(), 0);
}
