#pragma once

// Width and height of a source image in pixels.
struct ImageSize {
    double width = 0;
    double height = 0;
};
