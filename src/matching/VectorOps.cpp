#include "matching/VectorOps.h"

#include "image/GaussianSmooth.h"

#include <algorithm>
#include <cmath>

void SmoothVector(std::vector<double>& x, double sigma) {
    const int n = static_cast<int>(x.size());
    if (n < 4)
        return;
    const GaussianCoefficientsExact k = GaussianCoefficientsExactFor(sigma);
    const double a1 = k.a1, a2 = k.a2, a3 = k.a3, g = k.g, B = k.B;
    std::vector<double> w(x.size());
    w[0] = (g + B) * x[0];
    w[1] = B * x[1] + g * x[0];
    w[2] = B * x[2] + g * x[0];
    for (int i = 3; i < n; ++i)
        w[i] = B * x[i] + a1 * w[i - 1] + a2 * w[i - 2] + a3 * w[i - 3];
    x[n - 1] = (g + B) * w[n - 1];
    x[n - 2] = B * w[n - 2] + g * w[n - 1];
    x[n - 3] = B * w[n - 3] + g * w[n - 1];
    for (int i = n - 4; i >= 0; --i)
        x[i] = B * w[i] + a1 * x[i + 1] + a2 * x[i + 2] + a3 * x[i + 3];
}

void ResampleVector(const std::vector<float>& in, std::vector<float>& out, int L, double factor) {
    const int n = static_cast<int>(in.size());
    out.assign(static_cast<size_t>(std::max(L, 0)), 0.0f);
    if (n == 0 || L <= 0)
        return;
    if (n == L) {
        out = in;
        return;
    }
    std::vector<double> v(in.begin(), in.end());
    if (n > L)
        SmoothVector(v, factor * std::log2(static_cast<double>(n) / L));
    if (L == 1) {
        out[0] = static_cast<float>(v[0]);
        return;
    }
    const double step = (n - 1.0001) / (L - 1);
    for (int j = 0; j < L; ++j) {
        double t = step * j;
        int i = static_cast<int>(t);
        out[j] = static_cast<float>(i < n - 1 ? v[i] + (v[i + 1] - v[i]) * (t - i) : v[n - 1]);
    }
}

double SquaredCorrelation(const Descriptor& a, const Descriptor& b) {
    const int m = std::min(a.count, b.count);
    double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    for (int i = 0; i < m; ++i) {
        double x = a.values[i], y = b.values[i];
        sa += x;
        sb += y;
        saa += x * x;
        sbb += y * y;
        sab += x * y;
    }
    double N = m * sab - sa * sb;
    if (N == 0)
        return 0;
    return N * N / ((m * sbb - sb * sb) * (m * saa - sa * sa));
}
