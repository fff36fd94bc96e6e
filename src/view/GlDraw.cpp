#include "view/GlDraw.h"

#include <chrono>

#include <GL/gl.h>

#include "view/ViewTransform.h"

std::array<PointD, 4> ScreenQuad(const std::array<PointD, 4>& corners, const CMatrix& transform) {
    std::array<PointD, 4> out;
    for (int i = 0; i < 4; ++i)
        out[i] = RoundToPixel(ApplyTransform(transform, corners[i]));
    return out;
}

namespace {

void SetColour(const GuiColor& c) { glColor4f(c.r, c.g, c.b, c.a); }

void BeginBlend(const GuiColor& c) {
    if (c.a < 1.0f) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    }
}

void Quad(const std::array<PointD, 4>& q) {
    glBegin(GL_QUADS);
    for (const PointD& p : q)
        glVertex2d(p.x, p.y);
    glEnd();
}

}  // namespace

void GlDrawOutline(const std::array<PointD, 4>& screen, const GuiColor& colour, double lineWidth) {
    glPushAttrib(GL_ENABLE_BIT | GL_POLYGON_BIT | GL_LINE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT);
    glDisable(GL_TEXTURE_2D);
    BeginBlend(colour);
    glLineWidth(static_cast<GLfloat>(lineWidth));
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    SetColour(colour);
    Quad(screen);
    glPopAttrib();
}

void GlDrawStippledOutline(const std::array<PointD, 4>& screen, const GuiColor& colour, double lineWidth,
                           unsigned short pattern) {
    glPushAttrib(GL_ENABLE_BIT | GL_POLYGON_BIT | GL_LINE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT);
    glDisable(GL_TEXTURE_2D);
    BeginBlend(colour);
    glLineWidth(static_cast<GLfloat>(lineWidth));
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(1, pattern);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    SetColour(colour);
    Quad(screen);
    glPopAttrib();
}

void GlFillRect(const RectD& r, const GuiColor& colour) {
    glPushAttrib(GL_ENABLE_BIT | GL_POLYGON_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    SetColour(colour);
    Quad({PointD{r.left, r.top}, PointD{r.Right(), r.top}, PointD{r.Right(), r.Bottom()}, PointD{r.left, r.Bottom()}});
    glPopAttrib();
}

void GlDrawSegments(const PointD* a, const PointD* b, int count, const GuiColor& colour, double lineWidth) {
    if (count <= 0)
        return;
    glPushAttrib(GL_ENABLE_BIT | GL_LINE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glLineWidth(static_cast<GLfloat>(lineWidth));
    SetColour(colour);
    glBegin(GL_LINES);
    for (int k = 0; k < count; ++k) {
        glVertex2d(a[k].x, a[k].y);
        glVertex2d(b[k].x, b[k].y);
    }
    glEnd();
    glPopAttrib();
}

unsigned short SelectionStipplePattern(int k) {
    const unsigned long long bits = 0x00FF00FFull << (k & 15);
    return static_cast<unsigned short>((bits >> 16) & 0xFFFF);
}

// The outline moves by the clock, one step per 33 ms, however often the view is drawn.
int NextSelectionStippleStep() {
    static const auto start = std::chrono::steady_clock::now();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    return static_cast<int>((ms.count() / 33) % 16);
}

void GlDrawHandles(const GuiHandles& handles, bool rotatable, bool resizable) {
    const GuiColor fill{1.0f, 0.0f, 0.0f, 0.6f};
    for (int i = 0; i < handles.count; ++i) {
        const RectD& h = handles.rects[i];
        const bool edge = i < 4;
        if (edge && rotatable) {
            // A small square marks where the edge can be turned.
            const double cx = h.left + h.width / 2, cy = h.top + h.height / 2;
            GlFillRect({cx - 2, cy - 2, 4, 4}, fill);
        }
        if (resizable && (!edge || !rotatable))
            GlFillRect(h, fill);
    }
}
