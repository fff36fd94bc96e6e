#include <gtest/gtest.h>

#include "MovieTestSupport.h"
#include "movie/CylinderView.h"

namespace {

// The view worked out one pixel at a time in double precision: the ray through the pixel
// centre, turned up by the tilt, meets the cylinder at an angle (pan) and a height.
ImgRGB ReferenceView(const ImgRGB& pano, double angle, const ViewAngles& v, int w, int h) {
    const double deg = M_PI / 180, radius = pano.width / (angle * deg);
    const double focal = h / 2.0 / std::tan(v.fov * deg / 2);
    ImgRGB out(w, h);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            double x = i + 0.5 - w / 2.0, y = -(j + 0.5 - h / 2.0), z = focal;
            double yt = y * std::cos(v.tilt * deg) + z * std::sin(v.tilt * deg);
            double zt = -y * std::sin(v.tilt * deg) + z * std::cos(v.tilt * deg);
            double panHere = v.pan - std::atan2(x, zt) / deg;  // pan grows to the left
            double u = (angle - panHere) / angle * pano.width - 0.5;
            double t = pano.height / 2.0 - radius * yt / std::hypot(x, zt) - 0.5;
            u = std::fmod(std::fmod(u, pano.width) + pano.width, pano.width);
            int u0 = int(std::floor(u)), t0 = std::clamp(int(std::floor(t)), 0, pano.height - 2);
            double fu = u - u0, ft = std::clamp(t - t0, 0.0, 1.0);
            int u1 = (u0 + 1) % pano.width;
            auto mix = [&](auto channel) {
                return (1 - ft) * ((1 - fu) * channel(pano.At(u0, t0)) + fu * channel(pano.At(u1, t0))) +
                       ft * ((1 - fu) * channel(pano.At(u0, t0 + 1)) + fu * channel(pano.At(u1, t0 + 1)));
            };
            out.At(i, j) =
                Rgb{uint8_t(mix([](Rgb p) { return p.b; }) + 0.5), uint8_t(mix([](Rgb p) { return p.g; }) + 0.5),
                    uint8_t(mix([](Rgb p) { return p.r; }) + 0.5)};
        }
    return out;
}

}  // namespace

TEST(CylinderView, MatchesTheDirectPerspectiveOfTheCylinder) {
    ImgRGB pano = RenderCylindricalPanorama(2048, 400);
    VrAngles a = AnglesForPanorama(2048, 400, 360, 320, 240);
    Cylinder cylinder = CylinderOf(2048, 400, a);
    for (ViewAngles v : {ViewAngles{a.defaultPan, 0, a.defaultFov}, ViewAngles{20, 8, 25}, ViewAngles{355, -5, 30}}) {
        ImgRGB view(320, 240);
        RenderCylinderView(pano, cylinder, v, view);
        EXPECT_GE(PsnrOf(view, ReferenceView(pano, 360, v, 320, 240)), 40.0) << v.pan << " " << v.tilt;
    }
}

TEST(CylinderView, AClosedCircleHasNoSeam) {
    // Rolling the panorama by half its width and turning the view by 180 degrees shows the same.
    ImgRGB pano = SyntheticPanorama(720, 120);
    ImgRGB rolled(720, 120);
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 720; ++x)
            rolled.At((x + 360) % 720, y) = pano.At(x, y);
    VrAngles a = AnglesForPanorama(720, 120, 360, 200, 150);
    Cylinder cylinder = CylinderOf(720, 120, a);
    ImgRGB atSeam(200, 150), turned(200, 150);
    RenderCylinderView(pano, cylinder, {0.0, 0, a.maxFov}, atSeam);
    RenderCylinderView(rolled, cylinder, {180.0, 0, a.maxFov}, turned);
    EXPECT_GE(PsnrOf(atSeam, turned), 50.0);
    int black = 0;
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 200; ++x)
            black += atSeam.At(x, y).r + atSeam.At(x, y).g + atSeam.At(x, y).b == 0;
    EXPECT_EQ(black, 0);

    // A partial panorama shows black beyond its ends.
    VrAngles partial = AnglesForPanorama(720, 120, 90, 200, 150);
    ImgRGB beyond(200, 150);
    RenderCylinderView(pano, CylinderOf(720, 120, partial), {-20, 0, partial.maxFov}, beyond);
    EXPECT_EQ(beyond.At(100, 75).r + beyond.At(100, 75).g + beyond.At(100, 75).b, 0);
}
