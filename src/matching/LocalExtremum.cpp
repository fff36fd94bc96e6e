#include "matching/LocalExtremum.h"

bool IsStrictExtremum(const ImgFLOAT& image, int col, int row) {
    const float* above = image.Row(row - 1) + col;
    const float* here = image.Row(row) + col;
    const float* below = image.Row(row + 1) + col;
    float c = here[0];
    const float n[8] = {above[-1], above[0], above[1], here[-1], here[1], below[-1], below[0], below[1]};
    if (c >= 0) {
        for (float v : n)
            if (!(c > v))
                return false;
    } else {
        for (float v : n)
            if (!(c < v))
                return false;
    }
    return true;
}

bool RefineExtremum(const ImgFLOAT& image, int col, int row, double* x, double* y, double maxOffset) {
    const float* above = image.Row(row - 1) + col;
    const float* here = image.Row(row) + col;
    const float* below = image.Row(row + 1) + col;
    double tl = above[-1], t = above[0], tr = above[1];
    double l = here[-1], c = here[0], r = here[1];
    double bl = below[-1], b = below[0], br = below[1];
    double A = (tl + l + bl + tr + r + br) / 6 - (t + c + b) / 3;
    double B = (tl + t + tr + bl + b + br) / 6 - (l + c + r) / 3;
    double C = (tl - tr - bl + br) / 4;
    double D = (tr + r + br - tl - l - bl) / 6;
    double E = (bl + b + br - tl - t - tr) / 6;
    double v = C * C - 4 * A * B;
    if (v == 0)
        return false;
    double dx = (2 * B * D - C * E) / v;
    double dy = (2 * A * E - C * D) / v;
    if (!(dx * dx + dy * dy <= maxOffset * maxOffset))
        return false;
    double px = col + dx, py = row + dy;
    int cx = static_cast<int>(px), cy = static_cast<int>(py);
    if (!(cx > 0 && cy > 0 && cx < image.width - 1 && cy < image.height - 1))
        return false;
    *x = px;
    *y = py;
    return true;
}
