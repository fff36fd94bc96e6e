#pragma once

#include "view/GuiPoints.h"

// A point set linked to a partner set: point k of one corresponds to point k of the other,
// and a line joins each such pair across the two layers (the two photographs of a pair).
class GuiChainedPoints : public GuiPoints {
public:
    GuiChainedPoints() = default;
    // The copy is not linked.
    GuiChainedPoints(const GuiChainedPoints& other);
    ~GuiChainedPoints() override;

    GuiObj* Clone() const override { return new GuiChainedPoints(*this); }
    void Draw(const CMatrix& transform) override;
    void ReleaseGLResources() override {}

    // This set's next becomes `next`, and next's previous becomes this set; former partners
    // are unlinked. Null unlinks the next set.
    void LinkTo(GuiChainedPoints* next);
    void Unlink();
    GuiChainedPoints* Next() const { return next; }
    GuiChainedPoints* Previous() const { return previous; }

private:
    void DrawLinesTo(const GuiChainedPoints* other, const CMatrix& transform) const;

    GuiChainedPoints* next = nullptr;
    GuiChainedPoints* previous = nullptr;
};
