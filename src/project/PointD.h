#pragma once

// A point in image pixels: x to the right, y downwards.
struct PointD {
    double x = 0;
    double y = 0;
};
