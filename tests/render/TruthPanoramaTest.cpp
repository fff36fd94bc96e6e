// Ground-truth panoramas against photographs rendered with the same cameras: every panorama
// pixel is carried into the photographs by the test's own geometry and the colours compared.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "Turn.h"
#include "render/CamerasFile.h"
#include "render/TruthPanorama.h"
#include "support/RenderedViews.h"

using render::Mat3;
using render::Vec3;

namespace {

constexpr double kDeg = std::numbers::pi / 180;

std::string MatrixJson(const Mat3& m) {
    char text[512];
    std::snprintf(text, sizeof text, "[[%.17g, %.17g, %.17g], [%.17g, %.17g, %.17g], [%.17g, %.17g, %.17g]]", m[0],
                  m[1], m[2], m[3], m[4], m[5], m[6], m[7], m[8]);
    return text;
}

// Three photographs 30 degrees apart, one of them rolled.
std::vector<render::RenderedView> Views() {
    std::vector<render::RenderedView> views;
    const double yaw[] = {-30, 0, 30}, roll[] = {0, 0, 4};
    for (int i = 0; i < 3; ++i)
        views.push_back({"view0" + std::to_string(i + 1) + ".jpg", View(yaw[i], 3, roll[i], 300, 320, 240)});
    return views;
}

// The panorama frame the test's stitcher "chose": an arbitrary turn of the world.
const Mat3 kWorldFromPanorama = Turn(5, 2, -1);

// A cameras file written from the true rotations: rotation_i = panorama from camera i.
std::string CamerasJson(const std::vector<render::RenderedView>& views, const std::string& projection,
                        const Mat3& transform, int width, int height, const std::string& extra = "",
                        const std::vector<std::string>& imageExtras = {}) {
    std::string s = "{\"projection\": \"" + projection + "\", \"panorama\": {\"width\": " + std::to_string(width) +
                    ", \"height\": " + std::to_string(height) + ", \"transform\": " + MatrixJson(transform) + "}" +
                    extra + ", \"images\": [";
    for (size_t i = 0; i < views.size(); ++i) {
        Mat3 rotation =
            render::Multiply(render::Transposed(kWorldFromPanorama), render::WorldFromCamera(views[i].spec));
        s += std::string(i ? ", " : "") + "{\"path\": \"/photos/" + views[i].file +
             "\", \"width\": " + std::to_string(views[i].spec.width) +
             ", \"height\": " + std::to_string(views[i].spec.height) + ", \"rotation\": " + MatrixJson(rotation) +
             (i < imageExtras.size() ? imageExtras[i] : "") + "}";
    }
    return s + "]}";
}

// Projection coordinates -> panorama pixels: scale s, turned by a few degrees, shifted.
Mat3 Transform(double s, double degrees, double tx, double ty) {
    double c = std::cos(degrees * kDeg), n = std::sin(degrees * kDeg);
    return {s * c, -s * n, tx, s * n, s * c, ty, 0, 0, 1};
}

struct Agreement {
    int compared = 0, maskErrors = 0;
    double meanAbsDifference = 0;
};

// Walks every panorama pixel; rayOf gives the test's own panorama-frame ray of (u, v). Where a
// photograph sees the ray within 0.05 pixel of one of its pixel centres, that pixel's colour
// (a point sample of the world in the same direction) is compared with the panorama's. The
// coverage mask is compared with what the photographs see, leaving out pixels within one
// pixel of a photograph's border.
Agreement Compare(const render::TruthPanorama& pano, const std::vector<render::RenderedView>& views,
                  const std::vector<ImgRGB>& photos, const std::function<Vec3(double, double)>& rayOf,
                  const Mat3& worldFromPanorama) {
    Agreement a;
    double sum = 0;
    for (int v = 0; v < pano.image.height; ++v)
        for (int u = 0; u < pano.image.width; ++u) {
            Vec3 d = render::Apply(worldFromPanorama, rayOf(u, v));
            bool inside = false, nearby = false;
            const Rgb* seen = nullptr;
            for (size_t i = 0; i < views.size(); ++i) {
                const render::ViewSpec& s = views[i].spec;
                Vec3 c = render::Apply(render::Transposed(render::WorldFromCamera(s)), d);
                if (c.z <= 0)
                    continue;
                double x = s.width / 2.0 + s.focal * c.x / c.z, y = s.height / 2.0 + s.focal * c.y / c.z;
                nearby = nearby || (x > -1 && y > -1 && x < s.width && y < s.height);
                if (x < 1 || y < 1 || x > s.width - 2 || y > s.height - 2)
                    continue;
                inside = true;
                double cx = std::round(x), cy = std::round(y);
                if (std::fabs(x - cx) < 0.05 && std::fabs(y - cy) < 0.05)
                    seen = &photos[i].At(static_cast<int>(cx), static_cast<int>(cy));
            }
            bool covered = pano.mask.At(u, v) != 0;
            if ((inside && !covered) || (!nearby && covered))
                ++a.maskErrors;
            if (!seen || !covered)
                continue;
            const Rgb& p = pano.image.At(u, v);
            sum += std::abs(p.r - seen->r) + std::abs(p.g - seen->g) + std::abs(p.b - seen->b);
            ++a.compared;
        }
    a.meanAbsDifference = a.compared ? sum / (3.0 * a.compared) : 1e9;
    return a;
}

std::vector<ImgRGB> Photos(const std::vector<render::RenderedView>& views) {
    std::vector<ImgRGB> photos;
    for (const auto& v : views)
        photos.push_back(render::RenderView(TestWorld(), v.spec));
    return photos;
}

}  // namespace

TEST(TruthPanorama, EveryProjectionShowsWhatThePhotographsShow) {
    const auto views = Views();
    const auto photos = Photos(views);
    const Mat3 T = Transform(250, 3, 350, 180), P = Transform(1, -2, 420, 200);
    double ti[4] = {std::cos(3 * kDeg) / 250, std::sin(3 * kDeg) / 250, 350, 180};
    // Panorama pixel -> projection coordinates for the transforms above, written out by hand.
    auto cylinderOrSphere = [&](double u, double v, double* a, double* b) {
        *a = ti[0] * (u - ti[2]) + ti[1] * (v - ti[3]);
        *b = -ti[1] * (u - ti[2]) + ti[0] * (v - ti[3]);
    };
    // The planar virtual camera: f = 280, looking 10 degrees right and 4 degrees down of the
    // panorama frame's axis, so that K * R * d is the projection point.
    const Mat3 K = {280, 0, 0, 0, 280, 0, 0, 0, 1}, R = render::Transposed(Turn(10, -4, 0));
    struct Case {
        const char* name;
        Mat3 transform;
        std::string extra;
        std::function<Vec3(double, double)> ray;
    } cases[] = {
        {"cylindrical", T, "",
         [&](double u, double v) {
             double a, b;
             cylinderOrSphere(u, v, &a, &b);
             return Vec3{std::sin(a), b, std::cos(a)};
         }},
        {"spherical", T, "",
         [&](double u, double v) {
             double a, b;
             cylinderOrSphere(u, v, &a, &b);
             return Vec3{std::sin(a) * std::cos(b), std::sin(b), std::cos(a) * std::cos(b)};
         }},
        {"planar", P, ", \"planar\": {\"K\": " + MatrixJson(K) + ", \"R\": " + MatrixJson(R) + "}",
         [&](double u, double v) {
             double c = std::cos(2 * kDeg), n = std::sin(2 * kDeg);
             double x = c * (u - 420) - n * (v - 200), y = n * (u - 420) + c * (v - 200);
             return render::Apply(Turn(10, -4, 0), Vec3{x / 280, y / 280, 1});
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        render::CamerasFile cameras =
            render::ParseCamerasFile(CamerasJson(views, c.name, c.transform, 700, 400, c.extra));
        render::TruthPanorama pano = render::RenderGroundTruthPanorama(TestWorld(), views, cameras);
        ASSERT_EQ(pano.image.width, 700);
        ASSERT_EQ(pano.image.height, 400);
        EXPECT_EQ(pano.registeredImages, 3);
        EXPECT_LT(pano.spreadDegrees, 1e-6);
        EXPECT_LT(render::AngleBetweenRotations(pano.worldFromPanorama, kWorldFromPanorama), 1e-6);
        Agreement good = Compare(pano, views, photos, c.ray, kWorldFromPanorama);
        EXPECT_GT(good.compared, 500);
        EXPECT_EQ(good.maskErrors, 0);
        // The photographs (f 300) and the panorama (250 pixels per radian) each average their
        // own pixels' areas of a world finer than both (652 texels per radian), so they agree
        // to within a few levels, not exactly.
        EXPECT_LT(good.meanAbsDifference, 2.5);
        // The comparison notices a panorama frame off by half a degree.
        Agreement off = Compare(pano, views, photos, c.ray, render::Multiply(Turn(0.5, 0, 0), kWorldFromPanorama));
        EXPECT_GT(off.meanAbsDifference, 6 * good.meanAbsDifference);
        EXPECT_GT(off.maskErrors, 200);
        // Uncovered pixels are black.
        int blackUncovered = 0, uncovered = 0;
        for (int v = 0; v < 400; ++v)
            for (int u = 0; u < 700; ++u)
                if (!pano.mask.At(u, v)) {
                    ++uncovered;
                    const Rgb& p = pano.image.At(u, v);
                    blackUncovered += p.r == 0 && p.g == 0 && p.b == 0;
                }
        EXPECT_GT(uncovered, 1000);
        EXPECT_EQ(blackUncovered, uncovered);
    }
}

TEST(TruthPanorama, FrameIsTheCompromiseOfTheImagesEstimates) {
    auto views = Views();
    render::CamerasFile cameras =
        render::ParseCamerasFile(CamerasJson(views, "cylindrical", Transform(250, 0, 350, 180), 700, 400));
    // The stitcher got image 3 wrong by 0.9 degrees about the vertical: the frame moves by a
    // third of that, and the spread shows the two thirds left on image 3.
    cameras.images[2].rotation = render::Multiply(Turn(0.9, 0, 0), cameras.images[2].rotation);
    render::TruthPanorama pano = render::RenderGroundTruthPanorama(TestWorld(), views, cameras);
    EXPECT_NEAR(render::AngleBetweenRotations(pano.worldFromPanorama, kWorldFromPanorama), 0.3, 0.005);
    EXPECT_NEAR(pano.spreadDegrees, 0.6, 0.005);
    // Estimates that point every way define no frame.
    cameras.images[0].rotation = render::Multiply(Turn(180, 0, 0), cameras.images[0].rotation);
    cameras.images[1].rotation = render::Multiply(Turn(0, 0, 180), cameras.images[1].rotation);
    cameras.images[2].rotation = render::Multiply(Turn(0, 180, 0), cameras.images[2].rotation);
    EXPECT_THROW(render::RenderGroundTruthPanorama(TestWorld(), views, cameras), render::TruthError);
}

TEST(TruthPanorama, ExposureCropMarginAndRegistration) {
    auto views = Views();
    views[0].spec.gain = 1.25;
    views[0].spec.offset = 4;
    views[2].spec.gain = 0.8;
    const Mat3 T = Transform(250, 0, 350, 180);
    // The stitch's corrections bring images 1 and 3 to image 2's exposure.
    std::string text = CamerasJson(views, "cylindrical", T, 700, 400,
                                   ", \"crop\": {\"left\": 100, \"top\": 60, \"width\": 450, \"height\": 250}",
                                   {", \"gain\": 0.8, \"offset\": -3.2", "", ", \"gain\": [1.25, 1.25, 1.25]"});
    render::CamerasFile cameras = render::ParseCamerasFile(text);
    render::TruthPanorama full = render::RenderGroundTruthPanorama(TestWorld(), views, cameras);
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(full.gain[c], 1, 1e-12);
        EXPECT_NEAR(full.offset[c], 0, 1e-12);
    }
    // Without corrections the panorama takes the images' mean exposure.
    std::string plain = CamerasJson(views, "cylindrical", T, 700, 400);
    render::TruthPanorama mean = render::RenderGroundTruthPanorama(TestWorld(), views, render::ParseCamerasFile(plain));
    EXPECT_NEAR(mean.gain[1], (1.25 + 1 + 0.8) / 3, 1e-12);
    EXPECT_NEAR(mean.offset[1], 4.0 / 3, 1e-12);

    // The crop is the same pixels, cut out.
    render::TruthPanorama crop = render::RenderGroundTruthPanorama(TestWorld(), views, cameras, {.crop = true});
    ASSERT_EQ(crop.image.width, 450);
    ASSERT_EQ(crop.image.height, 250);
    int differing = 0;
    for (int y = 0; y < 250; ++y)
        for (int x = 0; x < 450; ++x) {
            const Rgb &a = crop.image.At(x, y), &b = full.image.At(x + 100, y + 60);
            differing += a.r != b.r || a.g != b.g || a.b != b.b || crop.mask.At(x, y) != full.mask.At(x + 100, y + 60);
        }
    EXPECT_EQ(differing, 0);

    // An unregistered photograph covers nothing; a margin shrinks what the others cover.
    auto countCovered = [](const render::TruthPanorama& p) {
        long n = 0;
        for (int y = 0; y < p.mask.height; ++y)
            for (int x = 0; x < p.mask.width; ++x)
                n += p.mask.At(x, y) != 0;
        return n;
    };
    long all = countCovered(full);
    cameras.images[2].registered = false;
    render::TruthPanorama two = render::RenderGroundTruthPanorama(TestWorld(), views, cameras);
    EXPECT_EQ(two.registeredImages, 2);
    EXPECT_LT(countCovered(two), all * 0.85);
    render::TruthPanorama inner = render::RenderGroundTruthPanorama(TestWorld(), views, cameras, {.margin = 10});
    EXPECT_LT(countCovered(inner), countCovered(two));
    EXPECT_GT(countCovered(inner), countCovered(two) * 0.8);
}

TEST(TruthPanorama, RefusesFilesThatDoNotFitTheTruth) {
    auto views = Views();
    const Mat3 T = Transform(250, 0, 350, 180);
    auto errorOf = [&](const render::CamerasFile& cameras, const render::TruthOptions& options = {}) {
        try {
            render::RenderGroundTruthPanorama(TestWorld(), views, cameras, options);
        } catch (const render::TruthError& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    render::CamerasFile good = render::ParseCamerasFile(CamerasJson(views, "cylindrical", T, 700, 400));
    EXPECT_EQ(errorOf(good), "");
    EXPECT_EQ(errorOf(good, {.crop = true}), "the cameras file has no crop window");
    render::CamerasFile c = good;
    c.crop = render::CropWindow{600, 0, 101, 10};
    EXPECT_EQ(errorOf(c, {.crop = true}), "the crop window reaches outside the panorama");
    c = good;
    c.images[1].path = "elsewhere/other.jpg";
    EXPECT_EQ(errorOf(c), "image elsewhere/other.jpg is not among the ground-truth views");
    c = good;
    c.images[1].width = 640;
    EXPECT_EQ(errorOf(c), "image /photos/view02.jpg has another size than its ground-truth view");
    c = good;
    for (auto& image : c.images)
        image.registered = false;
    EXPECT_EQ(errorOf(c), "the cameras file has no registered image");
    c = good;
    c.transform = {1, 2, 0, 2, 4, 0, 0, 0, 1};
    EXPECT_EQ(errorOf(c), "the panorama transform is singular");
    auto twice = views;
    twice.push_back({"other/view02.jpg", twice[1].spec});
    EXPECT_EQ(
        [&] {
            try {
                render::RenderGroundTruthPanorama(TestWorld(), twice, good);
            } catch (const render::TruthError& e) {
                return std::string(e.what());
            }
            return std::string();
        }(),
        "two ground-truth views are named view02.jpg");
}
