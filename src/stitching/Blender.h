#pragma once

#include <functional>
#include <memory>

#include "image/ImgTypes.h"

namespace stitch {

// Announces a step of a long blend to whoever runs it; may throw to abort.
using StepCallback = std::function<void(int step)>;

// How one photograph joins what the panorama already holds over its rectangle. The render
// prepares the rectangle with the panorama's pixels there (the background), feeds the
// photograph warped into it with its seam mask, and finishing blends the photograph into the
// background in place. One method per class: a new way of blending is a new Blender.
class Blender {
public:
    virtual ~Blender() = default;

    virtual const char* Name() const = 0;
    // The background of the next blend: the panorama's pixels over the photograph's rectangle
    // (the photograph's own where the panorama is empty). It receives the result.
    virtual void Prepare(ImgRGBSHORT& background) = 0;
    // The photograph over the same rectangle and its seam mask, 1 where it owns the panorama.
    // Both must live until Finish.
    virtual void Feed(const ImgRGBSHORT& image, const ImgUCHAR& mask) = 0;
    // Blends the photograph into the background. A mask without set pixels leaves the
    // background as it was; when announce throws, the background is left unchanged.
    virtual void Finish(const StepCallback& announce) = 0;
};

enum class BlendMethod { GradientDomain, Feathering };

// The blender of a method; widthPercent is the fade's width in percent of the rectangle's
// smaller side.
std::unique_ptr<Blender> MakeBlender(BlendMethod method, int widthPercent);

}  // namespace stitch
