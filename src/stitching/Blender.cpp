#include "stitching/Blender.h"

#include "stitching/FeatheringBlender.h"
#include "stitching/GradientDomainBlender.h"

namespace stitch {

void BlenderBase::CheckReady() const {
    if (!background || !image || !mask)
        throw "A blend finished before its rectangle was prepared and fed";
    if (image->width != background->width || image->height != background->height || mask->width != image->width ||
        mask->height != image->height)
        throw "A blend's images differ in size";
}

std::unique_ptr<Blender> MakeBlender(BlendMethod method, int widthPercent) {
    switch (method) {
    case BlendMethod::GradientDomain: return std::make_unique<GradientDomainBlender>(widthPercent);
    case BlendMethod::Feathering: return std::make_unique<FeatheringBlender>(widthPercent);
    }
    throw "Unknown blend method";
}

}  // namespace stitch
