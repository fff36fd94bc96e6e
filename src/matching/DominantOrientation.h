#pragma once

#include <vector>

#include "image/ImgTypes.h"

// The weighted gradient-direction histogram of the disc of radius R around one point, and
// the peak of its smoothed form. Reuses its buffers between points.
class OrientationEstimator {
public:
    explicit OrientationEstimator(int R);
    bool Estimate(const ImgFLOAT& image, int col, int row, double* angle);

private:
    struct Offset {
        int di, dj;
        double weight;
    };
    // Gradient magnitude and histogram bin of each pixel, computed the first time a disc
    // needs it: neighbouring points share most of their discs.
    void Gradient(const ImgFLOAT& image, int x, int y, double* magnitude, int* bin);

    int R;
    std::vector<Offset> disc;
    std::vector<double> histogram;
    const ImgFLOAT* cachedImage = nullptr;
    ImgDOUBLE magnitudes;
    ImgUCHAR bins;  // 255 until computed
};

// The bin of the direction (gx, gy) among 100 around the circle: lround(angle * 100 / 2 pi) mod
// 100, the angle in [0, 2 pi) from +x toward +y, exactly as std::atan2 gives it.
int GradientDirectionBin(double gx, double gy);

// Dominant gradient direction in [0, 2 pi) around (col, row), measured from +x toward +y.
bool DominantOrientation(const ImgFLOAT& image, int col, int row, int R, double* angle);
