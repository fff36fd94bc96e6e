#pragma once

#include "linalg/CMatrix.h"

// One row of a Jacobian with at most Capacity non-zero entries, as problems that assemble their
// normal equations from their structure collect it.
template <int Capacity>
struct SparseJacobianRow {
    int index[Capacity];
    double value[Capacity];
    int count = 0;

    void Add(int i, double v) {
        index[count] = i;
        value[count++] = v;
    }
    // N += J^T J and g += J^T r of this row.
    void SumInto(CMatrix& N, CMatrix& g, double residual) const {
        for (int a = 0; a < count; ++a) {
            g.data[index[a]] += value[a] * residual;
            double* column = N.columns[index[a]];
            for (int b = 0; b < count; ++b)
                column[index[b]] += value[a] * value[b];
        }
    }
};
