#pragma once

#include "stitching/Blender.h"

namespace stitch {

// What every blender keeps between Prepare, Feed and Finish; Finish checks that both came.
class BlenderBase : public Blender {
public:
    void Prepare(ImgRGBSHORT& background) override { this->background = &background; }
    void Feed(const ImgRGBSHORT& image, const ImgUCHAR& mask) override {
        this->image = &image;
        this->mask = &mask;
    }

protected:
    // Throws when Finish comes before Prepare and Feed or their sizes differ.
    void CheckReady() const;
    void Clear() { background = nullptr, image = nullptr, mask = nullptr; }

    ImgRGBSHORT* background = nullptr;
    const ImgRGBSHORT* image = nullptr;
    const ImgUCHAR* mask = nullptr;
};

}  // namespace stitch
