#pragma once

// One detected point of a working image.
struct FeaturePoint {
    int ix = 0;  // (int)(x + 0.5)
    int iy = 0;  // (int)(y + 0.5)
    float x = 0;
    float y = 0;
    float orientation = 0;  // dominant gradient direction, [0, 2 pi)
};
