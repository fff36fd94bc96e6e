#include <algorithm>

#include "image/GaussianSmooth.h"
#include "image/MaxFilter.h"
#include "matching/BoundedSortedList.h"
#include "matching/FeatureExtractor.h"
#include "matching/LocalExtremum.h"

void FeatureExtractor::DetectFeatures(const ImgFLOAT& image, int maxPoints, int border, int spacing, double sigma,
                                      double threshold) {
    points.clear();
    descriptors.clear();
    const int n = image.width, f = image.height;
    if (!image.HasPixels() || n < border || f < border || n < spacing || f < spacing)
        return;
    ImgFLOAT A(image), B(image);
    GaussianSmooth(A, sigma);
    GaussianSmooth(B, 2 * sigma);
    for (int y = 0; y < f; ++y) {
        float* a = A.Row(y);
        const float* b = B.Row(y);
        for (int x = 0; x < n; ++x) {
            float d = a[x] - b[x];
            a[x] = d * d;
        }
    }
    GaussianSmooth(A, 1.0);
    MaxFilter(A, B, spacing, spacing);

    const int margin = std::max(spacing / 2, border);
    auto qualifies = [&](int x, int y, float v, double* rx, double* ry) {
        return v == B.Row(y)[x] && IsStrictExtremum(A, x, y) && RefineExtremum(A, x, y, rx, ry, 1.5);
    };
    BoundedSortedList strongest(maxPoints);
    double rx, ry;
    for (int y = margin; y < f - margin - 1; ++y) {
        const float* row = A.Row(y);
        for (int x = margin; x < n - margin - 1; ++x)
            if (row[x] > threshold && qualifies(x, y, row[x], &rx, &ry))
                strongest.Insert(row[x]);
    }
    if (strongest.Empty())
        return;
    const float level = strongest.Last();
    for (int y = margin; y < f - margin - 1; ++y) {
        const float* row = A.Row(y);
        for (int x = margin; x < n - margin - 1; ++x)
            if (row[x] >= level && qualifies(x, y, row[x], &rx, &ry)) {
                FeaturePoint p;
                p.x = static_cast<float>(rx);
                p.y = static_cast<float>(ry);
                p.ix = static_cast<int>(p.x + 0.5f);
                p.iy = static_cast<int>(p.y + 0.5f);
                points.push_back(p);
            }
    }
}
