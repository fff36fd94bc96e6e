#pragma once

#include <cstdint>

// The largest panorama a movie may hold, for the writer and the reader alike (about 1.6 GB of
// pixels once decoded): the writer refuses to make what the reader would refuse to open.
constexpr uint64_t kMaxMoviePanoramaPixels = uint64_t(1) << 29;
// The largest movie file read: the largest panorama stored without compression, and the
// movie's own atoms.
constexpr uint64_t kMaxMovieFileBytes = kMaxMoviePanoramaPixels * 4 + (uint64_t(64) << 20);
