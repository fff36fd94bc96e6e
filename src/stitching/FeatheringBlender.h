#pragma once

#include "stitching/BlenderBase.h"

namespace stitch {

// Plain feathering (FeatherBlend): the photograph faded into the background with the blend
// weight of its seam mask. Quicker than the gradient-domain blend, and it shows exposure steps.
class FeatheringBlender : public BlenderBase {
public:
    explicit FeatheringBlender(int widthPercent) : widthPercent(widthPercent) {}
    const char* Name() const override { return "feathering"; }
    void Finish(const StepCallback& announce) override;

private:
    int widthPercent;
};

}  // namespace stitch
