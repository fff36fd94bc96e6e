#include "stitching/PixelRect.h"

#include <algorithm>

PixelRect PixelRectOf(const RectD& rect) {
    PixelRect r;
    r.left = static_cast<int>(rect.left);
    r.top = static_cast<int>(rect.top);
    r.width = static_cast<int>(rect.Right()) - r.left + 1;
    r.height = static_cast<int>(rect.Bottom()) - r.top + 1;
    return r;
}

PixelRect Intersection(const PixelRect& a, const PixelRect& b) {
    const int left = std::max(a.left, b.left), top = std::max(a.top, b.top);
    const int right = std::min(a.Right(), b.Right()), bottom = std::min(a.Bottom(), b.Bottom());
    if (right <= left || bottom <= top)
        return PixelRect{left, top, 0, 0};
    return PixelRect{left, top, right - left, bottom - top};
}
