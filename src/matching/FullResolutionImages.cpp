#include "matching/FullResolutionImages.h"

void FullResolutionImages::Touch(int index) {
    recent.remove(index);
    recent.push_front(index);
}

// Makes room for image (never by releasing `protect`) and keeps it; an image larger than the
// whole budget is left with the caller.
void FullResolutionImages::Insert(int index, ImgFLOAT&& image, int protect) {
    const size_t bytes = image.ByteCount();
    if (bytes > budget)
        return;
    for (auto it = recent.rbegin(); used + bytes > budget && it != recent.rend();) {
        const int oldest = *it;
        if (oldest == protect) {
            ++it;
            continue;
        }
        auto found = images.find(oldest);
        used -= found->second.ByteCount();
        images.erase(found);
        it = std::make_reverse_iterator(recent.erase(std::next(it).base()));
    }
    if (used + bytes > budget)
        return;
    used += bytes;
    images.emplace(index, std::move(image));
    Touch(index);
}

void FullResolutionImages::Keep(int index, ImgFLOAT&& image) {
    if (images.count(index) || image.ByteCount() > budget)
        return;
    Insert(index, std::move(image), -1);
}

const ImgFLOAT* FullResolutionImages::Get(int index, int protect, ImgFLOAT& spill) {
    auto it = images.find(index);
    if (it != images.end()) {
        Touch(index);
        return &it->second;
    }
    ImgFLOAT image;
    if (!load(index, image))
        return nullptr;
    Insert(index, std::move(image), protect);
    it = images.find(index);
    if (it != images.end())
        return &it->second;
    spill = std::move(image);
    return &spill;
}

std::pair<const ImgFLOAT*, const ImgFLOAT*> FullResolutionImages::Pair(int a, int b) {
    const ImgFLOAT* first = Get(a, -1, spillA);
    const ImgFLOAT* second = Get(b, a, spillB);
    return {first, second};
}
