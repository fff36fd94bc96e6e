#include "stitching/GradientDomainBlender.h"

#include "stitching/GradientBlend.h"

namespace stitch {

void GradientDomainBlender::Finish(const StepCallback& announce) {
    CheckReady();
    GradientBlendSettings settings;
    settings.widthPercent = widthPercent;
    GradientDomainBlend(*image, *background, *mask, settings, announce);
    Clear();
}

}  // namespace stitch
