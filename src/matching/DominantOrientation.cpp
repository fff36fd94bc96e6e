#include "matching/DominantOrientation.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "matching/VectorOps.h"

namespace {

constexpr int kBins = 100;
constexpr int kPad = 25;
constexpr double kTwoPi = 2 * std::numbers::pi;

}  // namespace

// The histogram bin of the direction (gx, gy): lround of its angle in [0, 2 pi) times kBins / 2 pi,
// kBins taken as 0. The angle comes from a polynomial arctangent (Abramowitz and Stegun 4.4.49,
// within 2e-8 radians) in a fraction of atan2's time; where that leaves the bin in any doubt (the
// angle within 1e-4 of a bin's edge, or a gradient along an axis) std::atan2 decides, so every bin
// is the one atan2 gives.
int GradientDirectionBin(double gx, double gy) {
    const double ax = std::abs(gx), ay = std::abs(gy);
    if (gx != 0 && gy != 0) {
        // The arctangent of the smaller over the larger, then mirrored into its octant by
        // c + s a with c and s from comparisons (0 or 1 times a constant: exact), without the
        // branches that random directions would mispredict.
        const double t = std::min(ax, ay) / std::max(ax, ay), t2 = t * t;
        double a =
            t * (1 + t2 * (-0.3333314528 +
                           t2 * (0.1999355085 +
                                 t2 * (-0.1420889944 +
                                       t2 * (0.1065626393 +
                                             t2 * (-0.0752896400 +
                                                   t2 * (0.0429096138 + t2 * (-0.0161657367 + t2 * 0.0028662257))))))));
        const double steep = ay > ax, left = gx < 0, below = gy < 0;
        a = steep * (std::numbers::pi / 2) + (1 - 2 * steep) * a;
        a = left * std::numbers::pi + (1 - 2 * left) * a;
        a = below * kTwoPi + (1 - 2 * below) * a;
        const double v = a * kBins / kTwoPi;
        const int whole = static_cast<int>(v);
        if (std::abs(v - whole - 0.5) > 1e-4) {
            const int nearest = static_cast<int>(v + 0.5);
            return nearest == kBins ? 0 : nearest;
        }
    }
    double u = std::atan2(gy, gx);
    if (u < 0)
        u += kTwoPi;
    return static_cast<int>(std::lround(u * kBins / kTwoPi)) % kBins;
}

OrientationEstimator::OrientationEstimator(int radius) : R(radius), histogram(kBins + 2 * kPad) {
    for (int i = -R; i <= R; ++i)
        for (int j = -R; j <= R; ++j)
            if (i * i + j * j <= R * R)
                disc.push_back({i, j, std::exp(-(i * i + j * j) / (4.5 * R * R))});
}

void OrientationEstimator::Gradient(const ImgFLOAT& image, int x, int y, double* magnitude, int* bin) {
    uint8_t& known = bins.At(x, y);
    if (known != 255) {
        *magnitude = magnitudes.At(x, y);
        *bin = known;
        return;
    }
    const float* here = image.Row(y);
    double gx = (here[x + 1] - here[x - 1]) / 2.0;
    double gy = (image.Row(y + 1)[x] - image.Row(y - 1)[x]) / 2.0;
    *bin = GradientDirectionBin(gx, gy);
    *magnitude = std::sqrt(gx * gx + gy * gy);
    known = static_cast<uint8_t>(*bin);
    magnitudes.At(x, y) = *magnitude;
}

bool OrientationEstimator::Estimate(const ImgFLOAT& image, int col, int row, double* angle) {
    if (!(col > R && row > R && col + R + 1 <= image.width - 1 && row + R + 1 <= image.height - 1))
        return false;
    if (cachedImage != &image || magnitudes.width != image.width || magnitudes.height != image.height) {
        cachedImage = &image;
        magnitudes.Resize(image.width, image.height);
        bins.Resize(image.width, image.height);
        bins.FillRect(0, 0, image.width - 1, image.height - 1, 255);
    }
    double votes[kBins] = {};
    for (const Offset& o : disc) {
        double magnitude;
        int bin;
        Gradient(image, col + o.dj, row + o.di, &magnitude, &bin);
        votes[bin] += magnitude * o.weight;
    }
    for (int k = 0; k < kBins + 2 * kPad; ++k) {
        // k - kPad lies in -kPad .. kBins + kPad - 1: one turn either way at most.
        const int bin = k - kPad;
        histogram[k] = votes[bin < 0 ? bin + kBins : bin >= kBins ? bin - kBins : bin];
    }
    SmoothVector(histogram, 5);
    int best = -1;
    for (int k = kPad; k < kPad + kBins; ++k)
        if (histogram[k] > histogram[k - 1] && histogram[k] > histogram[k + 1] &&
            (best < 0 || histogram[k] > histogram[best]))
            best = k;
    if (best < 0)
        return false;
    double a = histogram[best - 1], b = histogram[best], c = histogram[best + 1];
    double curvature = a - 2 * b + c;
    if (curvature == 0)
        return false;
    double result = ((a - c) / curvature * 0.5 + (best - kPad)) * kTwoPi / kBins;
    result = std::fmod(result, kTwoPi);
    if (result < 0)
        result += kTwoPi;
    *angle = result;
    return true;
}

bool DominantOrientation(const ImgFLOAT& image, int col, int row, int R, double* angle) {
    OrientationEstimator estimator(R);
    return estimator.Estimate(image, col, row, angle);
}
