#pragma once

#include "linalg/CMatrix.h"

// A matrix of one column; a negative size -n gives a row vector of 1 x n instead. Element k
// is data[k] in both shapes.
class CVector : public CMatrix {
public:
    CVector() = default;
    explicit CVector(int size) { Size(size); }
    // Copies all elements of m, whatever its shape, into a column vector.
    explicit CVector(const CMatrix& m);
    CVector(const CVector& other) = default;
    CVector(CVector&& other) noexcept = default;
    CVector& operator=(const CVector& other) = default;
    CVector& operator=(CVector&& other) noexcept = default;

    void Size(int size);
    int Length() const { return count; }
    void Fill(double x);
    double& operator[](int k) { return data[k]; }
    double operator[](int k) const { return data[k]; }

    double Mean() const;
    // Sample standard deviation (divides by n - 1).
    double StdDev() const;
};
