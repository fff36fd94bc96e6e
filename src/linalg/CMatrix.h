#pragma once

class CVector;

// Dense rows x cols matrix of doubles, stored column after column. columns[j] points at the
// first element of column j, so element (i, j) is columns[j][i] == data[j * rows + i].
// Shape errors throw a const char* naming the operation.
class CMatrix {
public:
    CMatrix();
    CMatrix(int rowCount, int colCount);
    // rowCount x colCount values given row by row.
    CMatrix(int rowCount, int colCount, const double* rowMajor);
    CMatrix(const CMatrix& other);
    CMatrix(CMatrix&& other) noexcept;
    ~CMatrix();

    CMatrix& operator=(const CMatrix& other);
    CMatrix& operator=(CMatrix&& other) noexcept;

    // Reallocates when the size differs; element values are then unspecified.
    void Resize(int rowCount, int colCount);

    double& operator()(int i, int j) { return columns[j][i]; }
    double operator()(int i, int j) const { return columns[j][i]; }

    // this := A * B; the receiver must not be an operand.
    void Mult(const CMatrix& A, const CMatrix& B);
    CMatrix operator*(const CMatrix& B) const;
    CMatrix operator+(const CMatrix& B) const;
    CMatrix operator*(double s) const;
    CMatrix Transpose() const;
    void Identity(int n);
    CMatrix Inverse() const;
    double Determinant() const;

    operator CVector() const;  // NOLINT: the library converts implicitly

    double** columns;
    double* data;
    int rows;
    int cols;
    int count;

private:
    void Allocate(int rowCount, int colCount);
    void Release();
};

// Singular value decomposition A = U * diag(s) * V^T (Golub-Reinsch). Values come out
// non-negative and unsorted; false when a value needs more than 30 sweeps.
bool Svd(const CMatrix& A, CVector& s, CMatrix* U, CMatrix* V);
// Values in descending order with the columns of U (rows x rows) and V (cols x cols) alike.
void SvdSorted(const CMatrix& A, CVector& s, CMatrix& U, CMatrix& V);
void SingularValues(const CMatrix& A, CVector& s, CMatrix& V);
// The unit vector x minimising |A x|: the column of V of the smallest singular value.
CVector NullVector(const CMatrix& A);

// Least squares A x ~ b by Householder triangularisation with column pivoting; false (x left
// unchanged) when A is rank deficient.
bool SolveLeastSquares(const CMatrix& A, const CVector& b, CVector& x);

#include "linalg/CVector.h"
