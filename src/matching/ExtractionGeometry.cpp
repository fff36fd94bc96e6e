#include "matching/ExtractionGeometry.h"

#include <algorithm>

ExtractionGeometry ExtractionGeometryFor(int width, int height, int imageSize, double spacingPercent,
                                         double radiusPercent) {
    ExtractionGeometry g;
    // Photographs larger than the working size are reduced to it; smaller ones are matched at
    // their own size, since enlarging adds no detail and only blurs the points apart.
    g.scale = std::min(1.0, static_cast<double>(imageSize) / std::min(width, height));
    g.workWidth = g.scale == 1 ? width : static_cast<int>(width * g.scale);
    g.workHeight = g.scale == 1 ? height : static_cast<int>(height * g.scale);
    const int m = std::min(g.workWidth, g.workHeight);
    g.spacing = std::max(static_cast<int>(m * spacingPercent * 0.01), 3);
    g.radius = std::max(static_cast<int>(m * radiusPercent * 0.01), 20);
    g.border = g.radius + 2;
    return g;
}
