#include "stitching/BrightnessGradient.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "image/ParallelFor.h"
#include "linalg/CMatrix.h"
#include "linalg/CVector.h"
#include "stitching/EmptySample.h"

namespace stitch {

namespace {

struct Line {
    double offset = 0;
    double slope = 0;
    double At(double t, double origin) const { return offset + slope * (t - origin); }
};

// Least-squares line through (c_i, value_i), parameterised from c_0; false when the centres
// do not determine it.
bool FitLine(const std::vector<double>& c, const std::vector<double>& value, Line& line) {
    int n = static_cast<int>(c.size());
    CMatrix A(n, 2);
    CVector b(n);
    for (int i = 0; i < n; ++i) {
        A(i, 0) = 1.0;
        A(i, 1) = c[i] - c[0];
        b[i] = value[i];
    }
    CVector x(2);
    if (!SolveLeastSquares(A, b, x))
        return false;
    line.offset = x[0];
    line.slope = x[1];
    return true;
}

bool SkipCorrection(const BrightnessGradientInput& in, bool horizontal) {
    size_t count = horizontal ? in.cameras.size() : in.layoutPositions.size();
    if (count < 3 || in.cameras.size() < 2 || in.layoutPositions.empty())
        return true;
    auto coordinate = [&](const PointD& p) { return horizontal ? p.x : p.y; };
    auto [lo, hi] =
        std::minmax_element(in.layoutPositions.begin(), in.layoutPositions.end(),
                            [&](const PointD& a, const PointD& b) { return coordinate(a) < coordinate(b); });
    double spread = coordinate(*hi) - coordinate(*lo);
    return !(spread > (horizontal ? in.firstImageWidth : in.firstImageHeight));
}

// (v - lo) scale rounded and kept within the 16-bit range, every channel of a run of pixels;
// clamped before the conversion truncates, which for these whole bounds is truncating first.
void LevelChannels(int16_t* __restrict v, int n, const double* __restrict lo, const double* __restrict scale) {
    for (int i = 0; i < n; ++i)
        v[i] = static_cast<int16_t>(static_cast<int>(std::clamp((v[i] - lo[i]) * scale[i] + 0.5, -32767.0, 32767.0)));
}

void LevelChannels(int16_t* __restrict v, int n, double lo, double scale) {
    for (int i = 0; i < n; ++i)
        v[i] = static_cast<int16_t>(static_cast<int>(std::clamp((v[i] - lo) * scale + 0.5, -32767.0, 32767.0)));
}

// A line's offset and scale repeated for each channel of the part's columns left .. left + width - 1.
void PerChannel(const std::vector<double>& perLine, int left, int width, std::vector<double>& out) {
    out.resize(3 * static_cast<size_t>(width));
    for (int x = 0; x < width; ++x)
        for (int k = 0; k < 3; ++k)
            out[3 * static_cast<size_t>(x) + k] = perLine[static_cast<size_t>(left + x)];
}

}  // namespace

bool QuarterTurned(double rotation) {
    double r = std::abs(rotation);
    const double q = std::numbers::pi / 4;
    return (r > q && r < 3 * q) || (r > 5 * q && r < 7 * q);
}

BrightnessLevels PlanBrightnessGradient(const BrightnessGradientInput& input, bool horizontal, int width, int height) {
    BrightnessLevels levels;
    if (SkipCorrection(input, horizontal))
        return levels;
    const bool alongX = horizontal != QuarterTurned(input.rotation);
    std::vector<double> c, minima, maxima;
    for (const GradientCamera& camera : input.cameras) {
        c.push_back(alongX ? camera.centre.x : camera.centre.y);
        minima.push_back(camera.minimum);
        maxima.push_back(camera.maximum);
    }
    Line lo, hi;
    if (!FitLine(c, minima, lo) || !FitLine(c, maxima, hi))
        return levels;
    // Per line t of the panorama: the offset and the scale that bring lo(t) .. hi(t) onto 0 .. 255.
    const int lines = alongX ? width : height;
    levels.active = true;
    levels.alongX = alongX;
    levels.offset.resize(static_cast<size_t>(lines));
    levels.scale.resize(static_cast<size_t>(lines));
    for (int t = 0; t < lines; ++t) {
        double l = lo.At(t, c[0]), span = hi.At(t, c[0]) - l;
        levels.offset[static_cast<size_t>(t)] = l;
        levels.scale[static_cast<size_t>(t)] = span > 0 ? 255.0 / span : 1.0;
    }
    return levels;
}

void ApplyBrightnessGradient(const BrightnessLevels& levels, ImgRGBSHORT& part, int left, int top) {
    if (!levels.active)
        return;
    std::vector<double> offsets, scales;
    if (levels.alongX) {
        PerChannel(levels.offset, left, part.width, offsets);
        PerChannel(levels.scale, left, part.width, scales);
    }
    ParallelRows(RowBands(part.height), [&](int, int begin, int end) {
        for (int y = begin; y < end; ++y) {
            RgbSHORT* row = part.Row(y);
            const size_t t = static_cast<size_t>(top + y);
            ForEachFilledRun(row, part.width, [&](int first, int last) {
                int16_t* v = ChannelArray(row + first);
                const int n = 3 * (last - first);
                if (levels.alongX)
                    LevelChannels(v, n, offsets.data() + 3 * first, scales.data() + 3 * first);
                else
                    LevelChannels(v, n, levels.offset[t], levels.scale[t]);
            });
        }
    });
}

void CorrectBrightnessGradient(ImgRGBSHORT& P, const BrightnessGradientInput& input, bool horizontal) {
    ApplyBrightnessGradient(PlanBrightnessGradient(input, horizontal, P.width, P.height), P, 0, 0);
}

}  // namespace stitch
