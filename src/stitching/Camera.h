#pragma once

// The pinhole camera of one source image in the stitch. Matching fills the image index;
// camera fitting adds the rest.
struct Camera {
    int image = -1;
};
