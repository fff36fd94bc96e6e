#pragma once

#include <vector>

#include "linalg/CMatrix.h"
#include "linalg/PointD.h"

// One unordered image pair: corresponding points P (in image first) and Q (in image second),
// the fitted pure rotation from first to second and the transforms between the two images.
struct ImageCombination {
    ImageCombination();

    int first = 0;
    int second = 0;
    bool matched = false;
    std::vector<PointD> P;
    std::vector<PointD> Q;
    CMatrix forward;
    CMatrix backward;
    double error = 0;
    double f = 0;
    double omega = 0;
    double phi = 0;
    double kappa = 0;
};
