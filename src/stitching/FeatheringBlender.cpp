#include "stitching/FeatheringBlender.h"

#include "stitching/BlendWeight.h"

namespace stitch {

void FeatheringBlender::Finish(const StepCallback&) {
    CheckReady();
    FeatherBlend(*image, *background, *mask, widthPercent);
    Clear();
}

}  // namespace stitch
