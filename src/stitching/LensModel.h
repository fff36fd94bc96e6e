#pragma once

// Radial and tangential lens distortion about the image centre. The cameras of the stitch keep
// every coefficient at 0: the distortion and its inverse are then the identity, and all
// mappings of the stitch work on plain pixel coordinates.
struct LensModel {
    double width = 0;
    double height = 0;
    double centreX = 0;
    double centreY = 0;
    double radial[3] = {0, 0, 0};  // of r^2, r^4, r^6
    double tangential[2] = {0, 0};
    // Whether the inverse mapping is the identity; RecomputeInverse() keeps it current.
    bool inverseIsIdentity = true;

    void Initialise(double imageWidth, double imageHeight) {
        *this = LensModel{};
        width = imageWidth;
        height = imageHeight;
        centreX = imageWidth / 2;
        centreY = imageHeight / 2;
    }

    // Run after every fit. Only zero coefficients are supported, whose inverse is the
    // identity; nothing in the system sets others, so a non-zero one is a broken contract.
    void RecomputeInverse() {
        for (double k : radial)
            if (k != 0)
                throw "LensModel::RecomputeInverse(): non-zero distortion is not supported";
        for (double p : tangential)
            if (p != 0)
                throw "LensModel::RecomputeInverse(): non-zero distortion is not supported";
        inverseIsIdentity = true;
    }
};
