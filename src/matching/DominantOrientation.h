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

// Dominant gradient direction in [0, 2 pi) around (col, row), measured from +x toward +y.
bool DominantOrientation(const ImgFLOAT& image, int col, int row, int R, double* angle);
