#pragma once

// The sizes one extraction works with, from the photograph's size and the matching parameters.
struct ExtractionGeometry {
    double scale;   // working size / photograph size
    int workWidth;  // (int)(width * scale)
    int workHeight;
    int spacing;  // suppression window, percent of the shorter working side, at least 3
    int radius;   // descriptor radius, percent of the shorter working side, at least 20
    int border;   // radius + 2
};

ExtractionGeometry ExtractionGeometryFor(int width, int height, int imageSize, double spacingPercent,
                                         double radiusPercent);
