#pragma once

#include "stitching/BlenderBase.h"

namespace stitch {

// The Poisson blend across the seam (GradientDomainBlend): the photograph's gradients where it
// owns the panorama, the background's elsewhere, the solution faded into the background.
class GradientDomainBlender : public BlenderBase {
public:
    explicit GradientDomainBlender(int widthPercent) : widthPercent(widthPercent) {}
    const char* Name() const override { return "gradient-domain"; }
    void Finish(const StepCallback& announce) override;

private:
    int widthPercent;
};

}  // namespace stitch
