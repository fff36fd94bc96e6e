#include "linalg/CMatrix.h"

#include <cstring>
#include <new>

namespace {

const char* const kMultShape = "CMatrix::Mult(): matrices do not have common size";
const char* const kProductShape = "CMatrix::operator*(): matrices do not have common size";
// The sum reports itself with the product's text; it is a constant of its own.
const char* const kSumShape = "CMatrix::operator*(): matrices do not have common size";
const char* const kVectorShape = "CMatrix::operator CVector(): not a row or column vector";

}  // namespace

CMatrix::CMatrix() : columns(nullptr), data(nullptr), rows(0), cols(0), count(0) {}

CMatrix::CMatrix(int rowCount, int colCount) : CMatrix() { Allocate(rowCount, colCount); }

CMatrix::CMatrix(int rowCount, int colCount, const double* rowMajor) : CMatrix() {
    Allocate(rowCount, colCount);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j)
            columns[j][i] = rowMajor[i * cols + j];
}

CMatrix::CMatrix(const CMatrix& other) : CMatrix() {
    Allocate(other.rows, other.cols);
    if (count > 0)
        std::memcpy(data, other.data, sizeof(double) * static_cast<size_t>(count));
}

CMatrix::CMatrix(CMatrix&& other) noexcept
    : columns(other.columns), data(other.data), rows(other.rows), cols(other.cols), count(other.count) {
    other.columns = nullptr;
    other.data = nullptr;
    other.rows = other.cols = other.count = 0;
}

CMatrix::~CMatrix() { Release(); }

CMatrix& CMatrix::operator=(const CMatrix& other) {
    if (this == &other)
        return *this;
    Resize(other.rows, other.cols);
    if (count > 0)
        std::memcpy(data, other.data, sizeof(double) * static_cast<size_t>(count));
    return *this;
}

CMatrix& CMatrix::operator=(CMatrix&& other) noexcept {
    if (this == &other)
        return *this;
    Release();
    columns = other.columns;
    data = other.data;
    rows = other.rows;
    cols = other.cols;
    count = other.count;
    other.columns = nullptr;
    other.data = nullptr;
    other.rows = other.cols = other.count = 0;
    return *this;
}

// One block: the column-pointer array followed by the elements.
void CMatrix::Allocate(int rowCount, int colCount) {
    if (rowCount <= 0 || colCount <= 0) {
        rows = cols = count = 0;
        columns = nullptr;
        data = nullptr;
        return;
    }
    size_t elements = static_cast<size_t>(rowCount) * static_cast<size_t>(colCount);
    if (elements > 0x7FFFFFFFu)
        throw std::bad_alloc();
    void* block = ::operator new(sizeof(double*) * static_cast<size_t>(colCount) + sizeof(double) * elements);
    columns = static_cast<double**>(block);
    data = reinterpret_cast<double*>(columns + colCount);
    rows = rowCount;
    cols = colCount;
    count = static_cast<int>(elements);
    for (int j = 0; j < cols; ++j)
        columns[j] = data + static_cast<size_t>(j) * static_cast<size_t>(rows);
}

void CMatrix::Release() {
    ::operator delete(columns);
    columns = nullptr;
    data = nullptr;
    rows = cols = count = 0;
}

void CMatrix::Resize(int rowCount, int colCount) {
    if (rowCount == rows && colCount == cols)
        return;
    Release();
    Allocate(rowCount, colCount);
}

void CMatrix::Mult(const CMatrix& A, const CMatrix& B) {
    if (A.cols != B.rows)
        throw kMultShape;
    Resize(A.rows, B.cols);
    for (int j = 0; j < B.cols; ++j) {
        const double* b = B.columns[j];
        double* out = columns[j];
        for (int i = 0; i < A.rows; ++i) {
            double sum = 0;
            for (int k = 0; k < A.cols; ++k)
                sum += A.columns[k][i] * b[k];
            out[i] = sum;
        }
    }
}

CMatrix CMatrix::operator*(const CMatrix& B) const {
    if (cols != B.rows)
        throw kProductShape;
    CMatrix result;
    result.Mult(*this, B);
    return result;
}

CMatrix CMatrix::operator+(const CMatrix& B) const {
    if (rows != B.rows || cols != B.cols)
        throw kSumShape;
    CMatrix result(rows, cols);
    for (int k = 0; k < count; ++k)
        result.data[k] = data[k] + B.data[k];
    return result;
}

CMatrix CMatrix::operator*(double s) const {
    CMatrix result(rows, cols);
    for (int k = 0; k < count; ++k)
        result.data[k] = data[k] * s;
    return result;
}

CMatrix CMatrix::Transpose() const {
    CMatrix result(cols, rows);
    for (int j = 0; j < cols; ++j)
        for (int i = 0; i < rows; ++i)
            result.columns[i][j] = columns[j][i];
    return result;
}

void CMatrix::Identity(int n) {
    Resize(n, n);
    if (count > 0)
        std::memset(data, 0, sizeof(double) * static_cast<size_t>(count));
    for (int i = 0; i < n; ++i)
        columns[i][i] = 1;
}

CMatrix::operator CVector() const {
    if (rows != 1 && cols != 1)
        throw kVectorShape;
    return CVector(*this);
}
