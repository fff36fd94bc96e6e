// The rendered photographs stand in for a camera's: each pixel the world its area sees.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "render/ViewRenderer.h"
#include "support/RenderedViews.h"

namespace {

// Mean absolute difference per channel between a and the 3 x 3 box reduction of b, a view of the
// same camera with three times the focal length and size: a's pixel (x, y) is b's pixels
// 3x - 1 .. 3x + 1 and 3y - 1 .. 3y + 1 (both principal points at the image centres). The outer
// ring of a has no whole block in b.
double DifferenceToReduced(const ImgRGB& a, const ImgRGB& b) {
    constexpr int k = 3;
    double sum = 0;
    int count = 0;
    for (int y = 1; y < a.height - 1; ++y)
        for (int x = 1; x < a.width - 1; ++x) {
            double r = 0, g = 0, bl = 0;
            for (int j = 0; j < k; ++j)
                for (int i = 0; i < k; ++i) {
                    const Rgb& p = b.At(k * x + i - 1, k * y + j - 1);
                    r += p.r;
                    g += p.g;
                    bl += p.b;
                }
            const Rgb& q = a.At(x, y);
            sum += std::fabs(q.r - r / (k * k)) + std::fabs(q.g - g / (k * k)) + std::fabs(q.b - bl / (k * k));
            ++count;
        }
    return sum / (3.0 * count);
}

}  // namespace

// A photograph whose pixels each span two or more texels of the world matches the same view
// taken at three times the resolution and reduced by averaging 3 x 3 pixels; one ray per pixel
// (what a photograph of a long focal length still takes) would sample the world's finer detail
// instead. The number of rays follows the texels per pixel at the image centre.
TEST(ViewRenderer, PixelsAverageTheWorldTheirAreaSees) {
    EXPECT_EQ(render::RaysPerSide(0.5), 1);
    EXPECT_EQ(render::RaysPerSide(1.05), 1);
    EXPECT_EQ(render::RaysPerSide(1.3), 2);
    EXPECT_EQ(render::RaysPerSide(2.17), 3);
    EXPECT_EQ(render::RaysPerSide(9.0), 4);

    const render::World& world = TestWorld();
    const render::ViewSpec small = View(20, 10, 0, 200, 160, 120);  // 3.3 texels per pixel
    const render::ViewSpec fine = View(20, 10, 0, 600, 480, 360);   // 1.1: one ray per pixel
    ASSERT_EQ(render::RaysPerSide(world.Width() / (2 * 3.14159265358979 * fine.focal)), 1);
    const ImgRGB photo = render::RenderView(world, small);
    const ImgRGB reference = render::RenderView(world, fine);
    const double averaged = DifferenceToReduced(photo, reference);

    // The same small view by one ray per pixel: the centre pixel of each 3 x 3 block of the
    // fine view is exactly that ray.
    ImgRGB single(small.width, small.height);
    for (int y = 0; y < small.height; ++y)
        for (int x = 0; x < small.width; ++x)
            single.At(x, y) = reference.At(3 * x, 3 * y);
    const double pointSampled = DifferenceToReduced(single, reference);
    EXPECT_LT(averaged, 2.0);
    EXPECT_LT(averaged, 0.5 * pointSampled) << averaged << " against " << pointSampled;
}
