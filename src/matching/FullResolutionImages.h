#pragma once

#include <cstddef>
#include <functional>
#include <list>
#include <map>
#include <utility>

#include "image/ImgTypes.h"

// The photographs at full resolution as gray values, kept while a matching operation runs so
// that each pair's points can be refined on them. Extraction hands its decoded image over;
// beyond a memory budget the least recently used image is released and decoded again when a
// pair needs it.
class FullResolutionImages {
public:
    // load(index, image) decodes photograph index; false when it cannot.
    using Loader = std::function<bool(int index, ImgFLOAT& image)>;

    FullResolutionImages(size_t budgetBytes, Loader loader) : budget(budgetBytes), load(std::move(loader)) {}

    // Keeps a photograph that has just been decoded.
    void Keep(int index, ImgFLOAT&& image);
    // The two photographs of a pair, decoded again where they were released; a null entry
    // when one cannot be read. Both stay valid until the next call.
    std::pair<const ImgFLOAT*, const ImgFLOAT*> Pair(int a, int b);
    size_t BytesKept() const { return used; }

private:
    const ImgFLOAT* Get(int index, int protect, ImgFLOAT& spill);
    void Insert(int index, ImgFLOAT&& image, int protect);
    void Touch(int index);

    size_t budget;
    Loader load;
    size_t used = 0;
    std::map<int, ImgFLOAT> images;
    std::list<int> recent;  // most recently used first
    // Photographs larger than the whole budget, held for one pair only.
    ImgFLOAT spillA, spillB;
};
