#include "linalg/CVector.h"

#include <cmath>
#include <cstring>

CVector::CVector(const CMatrix& m) {
    Size(m.count);
    if (count > 0)
        std::memcpy(data, m.data, sizeof(double) * static_cast<size_t>(count));
}

void CVector::Size(int size) {
    if (size < 0)
        Resize(1, -size);
    else
        Resize(size, 1);
}

void CVector::Fill(double x) {
    for (int k = 0; k < count; ++k)
        data[k] = x;
}

double CVector::Mean() const {
    if (count == 0)
        return 0;
    double sum = 0;
    for (int k = 0; k < count; ++k)
        sum += data[k];
    return sum / count;
}

double CVector::StdDev() const {
    if (count == 0)
        return 0;
    double mean = Mean();
    double sum = 0;
    for (int k = 0; k < count; ++k)
        sum += (data[k] - mean) * (data[k] - mean);
    return std::sqrt(sum / (count - 1));
}
