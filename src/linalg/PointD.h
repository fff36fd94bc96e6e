#pragma once

#include <vector>

// A point in image pixels: x to the right, y downwards.
struct PointD {
    double x = 0;
    double y = 0;
};

inline PointD operator+(const PointD& a, const PointD& b) { return {a.x + b.x, a.y + b.y}; }
inline PointD operator-(const PointD& a, const PointD& b) { return {a.x - b.x, a.y - b.y}; }
inline PointD operator*(const PointD& a, double s) { return {a.x * s, a.y * s}; }
// Exact comparison: points are equal only when both coordinates are.
inline bool operator==(const PointD& a, const PointD& b) { return a.x == b.x && a.y == b.y; }

// The mean of the points; (0, 0) for none.
inline PointD Centroid(const std::vector<PointD>& points) {
    PointD c;
    for (const PointD& p : points) {
        c.x += p.x;
        c.y += p.y;
    }
    if (!points.empty()) {
        c.x /= static_cast<double>(points.size());
        c.y /= static_cast<double>(points.size());
    }
    return c;
}
