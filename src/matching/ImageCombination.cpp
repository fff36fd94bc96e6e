#include "matching/ImageCombination.h"

ImageCombination::ImageCombination() {
    forward.Identity(3);
    backward.Identity(3);
}
