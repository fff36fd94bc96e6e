#pragma once

#include <vector>

#include "image/ImgTypes.h"
#include "stitching/PhotometricFit.h"

// The small copies of the photographs of `count` cameras (MakePhotometricImage), each decoded by
// input.load, made on up to input.threads worker threads. Before each photograph starts, the
// calling thread announces it through input.blurring, in list order; an abort requested there
// starts no further photograph and makes the result false once the started ones have ended.
// A photograph that cannot be decoded is reported from the calling thread through
// input.loadFailed (or the thrown "\nCould not load a image!\n"), and so is anything that load
// throws: the first such photograph in list order, after all workers have stopped, exactly as
// a run on the calling thread alone would report it. The copies are the same for any number
// of threads.
bool MakePhotometricImages(int count, const PhotometricInput& input, std::vector<ImgRGB>& images,
                           std::vector<double>& scales);
