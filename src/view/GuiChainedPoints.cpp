#include "view/GuiChainedPoints.h"

#include <algorithm>
#include <vector>

#include "view/GlDraw.h"
#include "view/ViewTransform.h"

GuiChainedPoints::GuiChainedPoints(const GuiChainedPoints& other) : GuiPoints(other) {}

GuiChainedPoints::~GuiChainedPoints() { Unlink(); }

void GuiChainedPoints::LinkTo(GuiChainedPoints* n) {
    if (n == next || n == this)
        return;
    if (next) {
        next->previous = nullptr;
        next->MarkDirty();
    }
    next = n;
    if (n) {
        if (n->previous)
            n->previous->next = nullptr;
        n->previous = this;
        n->MarkDirty();
    }
    MarkDirty();
}

void GuiChainedPoints::Unlink() {
    if (next) {
        next->previous = nullptr;
        next->MarkDirty();
    }
    if (previous) {
        previous->next = nullptr;
        previous->MarkDirty();
    }
    next = previous = nullptr;
}

void GuiChainedPoints::DrawLinesTo(const GuiChainedPoints* other, const CMatrix& transform) const {
    if (!other || !other->Layer() || !other->HasFlag(kGuiVisible))
        return;
    const int n = std::min(Count(), other->Count());
    if (n <= 0)
        return;
    // Each end through its own layer's transform, so the lines cross from one photograph
    // to the other.
    const CMatrix otherTransform = other->LayerTransform();
    std::vector<PointD> a(n), b(n);
    for (int k = 0; k < n; ++k) {
        a[k] = RoundToPixel(ApplyTransform(transform, Point(k)));
        b[k] = RoundToPixel(ApplyTransform(otherTransform, other->Point(k)));
    }
    GuiColor half = Color();
    half.a *= 0.5f;
    GlDrawSegments(a.data(), b.data(), n, half, 1.0);
}

void GuiChainedPoints::Draw(const CMatrix& transform) {
    DrawMarkers(transform);
    DrawLinesTo(next, transform);
    DrawLinesTo(previous, transform);
}
