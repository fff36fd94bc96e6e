// Samples the working image on rays (small radii) and smoothed rings (large radii) around
// each point, turned by the point's orientation, and reduces the samples to 64 values.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "image/ParallelFor.h"
#include "matching/DominantOrientation.h"
#include "matching/FeatureExtractor.h"
#include "matching/VectorOps.h"

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kRingSigmaFactor = 0.2222222;

// Everything about the sampling pattern that depends only on R, computed once per call.
struct SamplingPattern {
    explicit SamplingPattern(int R);

    int R;
    int firstRing;  // radii below it are sampled on rays
    std::vector<float> radialWeight;
    struct Ring {
        int count;
        int halfWidth;
        double scale;  // radial weight times the kernel's normalising factor
        double stepCos, stepSin;
        std::vector<float> kernel;
    };
    std::vector<Ring> rings;  // index r - firstRing
};

SamplingPattern::SamplingPattern(int radius) : R(radius), firstRing(radius + 1) {
    radialWeight.resize(static_cast<size_t>(R) + 1);
    for (int r = 0; r <= R; ++r)
        radialWeight[r] = std::exp(static_cast<float>(-(r * r) / (2 * 1.44 * R * R)));
    for (int r = 1; r <= R; ++r)
        if (RingSampleCount(r) / 16 >= 3) {
            firstRing = r;
            break;
        }
    for (int r = firstRing; r <= R; ++r) {
        Ring ring;
        ring.count = RingSampleCount(r);
        ring.halfWidth = ring.count / 16;
        int h = ring.halfWidth;
        ring.scale = radialWeight[r] / std::sqrt(kRingSigmaFactor * kPi * h * h);
        ring.stepCos = std::cos(-2 * kPi / ring.count);
        ring.stepSin = std::sin(-2 * kPi / ring.count);
        for (int j = -h; j <= h; ++j)
            ring.kernel.push_back(std::exp(static_cast<float>(-(j * j) / (kRingSigmaFactor * h * h))));
        rings.push_back(std::move(ring));
    }
}

inline bool Inside(const ImgFLOAT& image, double x, double y) {
    if (!(x > -1 && y > -1 && x < image.width && y < image.height))
        return false;
    int c = static_cast<int>(x), r = static_cast<int>(y);
    return c >= 1 && r >= 1 && c <= image.width - 2 && r <= image.height - 2;
}

// The image's bilinear sample, written out so that the hot loop needs no virtual call; the
// formula and its order of operations are those of ImgT::Interpolate.
inline float Sample(const ImgFLOAT& image, double x, double y) {
    const int col = static_cast<int>(x), row = static_cast<int>(y);
    const double fx = x - col, fy = y - row;
    const float* top = image.Row(row) + col;
    const float* bottom = image.Row(row + 1) + col;
    double upper = top[0] * (1 - fx) + top[1] * fx;
    double lower = bottom[0] * (1 - fx) + bottom[1] * fx;
    return static_cast<float>(upper * (1 - fy) + lower * fy);
}

// The raw values of one point, direction-major; false when a sample leaves the image.
bool SamplePoint(const ImgFLOAT& image, const SamplingPattern& p, double x, double y, double theta,
                 std::vector<float>& raw, std::vector<float>& ring) {
    const int stride = p.R + 1;
    for (int o = 0; o < 8; ++o) {
        double c = std::cos(theta - o * kPi / 8), s = std::sin(theta - o * kPi / 8);
        for (int r = 0; r < p.firstRing; ++r) {
            double sx = x + r * c, sy = y + r * s;
            if (!Inside(image, sx, sy))
                return false;
            raw[o * stride + r] = p.radialWeight[r] * Sample(image, sx, sy);
        }
    }
    bool valid = true;
    for (size_t k = 0; k < p.rings.size(); ++k) {
        const SamplingPattern::Ring& rg = p.rings[k];
        const int r = p.firstRing + static_cast<int>(k);
        ring.resize(static_cast<size_t>(rg.count));
        double ox = r * std::cos(theta), oy = r * std::sin(theta);
        for (int m = 0; m < rg.count; ++m) {
            double sx = x + ox, sy = y + oy;
            if (Inside(image, sx, sy)) {
                ring[m] = Sample(image, sx, sy);
            } else {
                ring[m] = 0;
                valid = false;
            }
            double nx = ox * rg.stepCos - oy * rg.stepSin;
            oy = ox * rg.stepSin + oy * rg.stepCos;
            ox = nx;
        }
        if (!valid)
            return false;
        const int h = rg.halfWidth;
        for (int o = 0; o < 8; ++o) {
            int centre = o * rg.count / 8;
            double sum = 0;
            // The window (h is a sixteenth of the ring) wraps round the ring's start at most once.
            for (int j = -h; j <= h; ++j) {
                int at = centre + j;
                at += at < 0 ? rg.count : at >= rg.count ? -rg.count : 0;
                sum += rg.kernel[j + h] * ring[at];
            }
            raw[o * stride + r] = static_cast<float>(rg.scale * sum);
        }
    }
    return true;
}

}  // namespace

int RingSampleCount(int r) { return 4 * static_cast<int>(kPi / 2 / std::asin(1.0 / r) + 0.5) - 3; }

namespace {

// The orientation and descriptor of one point; false when it has none.
bool Describe(const ImgFLOAT& image, const SamplingPattern& pattern, OrientationEstimator& orientation,
              const FeaturePoint& point, int length, std::vector<float>& raw, std::vector<float>& ring,
              std::vector<float>& reduced, double& theta, Descriptor& d) {
    if (!orientation.Estimate(image, point.ix, point.iy, &theta))
        return false;
    if (!SamplePoint(image, pattern, point.x, point.y, theta, raw, ring))
        return false;
    ResampleVector(raw, reduced, length, 0.7355);
    float lo = reduced[0], hi = reduced[0];
    for (float v : reduced) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    // A flat descriptor carries nothing to match on.
    if (!(hi > lo))
        return false;
    d.count = std::min(length, Descriptor::kLength);
    for (int k = 0; k < d.count; ++k)
        d.values[k] = (reduced[k] - lo) / (hi - lo);
    return true;
}

// From this many points on the description is shared between two threads: a photograph whose
// extraction runs alone (the last of a set) then has both cores.
constexpr size_t kParallelPoints = 256;

}  // namespace

void FeatureExtractor::ComputeDescriptors(const ImgFLOAT& image, int R, int directions, int length) {
    (void)directions;  // the sampling pattern is built for 8 directions
    const SamplingPattern pattern(R);
    const size_t n = points.size();
    // The points in the order of their rows, split in two halves of the image: each half's
    // orientation estimator keeps the gradients its discs share, and few discs reach across.
    std::vector<size_t> byRow(n);
    for (size_t i = 0; i < n; ++i)
        byRow[i] = i;
    std::stable_sort(byRow.begin(), byRow.end(), [&](size_t a, size_t b) { return points[a].iy < points[b].iy; });
    std::vector<Descriptor> described(n);
    std::vector<double> angles(n);
    std::vector<char> valid(n, 0);
    const int parts = n >= kParallelPoints ? 2 : 1;
    ParallelFor(parts, [&](int part) {
        OrientationEstimator orientation(R);
        std::vector<float> raw(static_cast<size_t>(8 * (R + 1))), ring, reduced;
        for (size_t j = n * part / parts; j < n * (part + 1) / parts; ++j) {
            const size_t i = byRow[j];
            valid[i] =
                Describe(image, pattern, orientation, points[i], length, raw, ring, reduced, angles[i], described[i]);
        }
    });
    // Kept in the points' own order, whichever thread described them.
    std::vector<FeaturePoint> kept;
    std::vector<Descriptor> descriptorsKept;
    for (size_t i = 0; i < n; ++i) {
        if (!valid[i])
            continue;
        FeaturePoint withOrientation = points[i];
        withOrientation.orientation = static_cast<float>(angles[i]);
        kept.push_back(withOrientation);
        descriptorsKept.push_back(described[i]);
    }
    points = std::move(kept);
    descriptors = std::move(descriptorsKept);
}
