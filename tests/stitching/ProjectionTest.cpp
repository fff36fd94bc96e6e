#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include "StitchTestSupport.h"
#include "stitching/Autostraighten.h"
#include "stitching/CameraTransfer.h"
#include "stitching/InverseMapper.h"
#include "stitching/PanoramaRotations.h"
#include "stitching/Projection.h"
#include "support/SyntheticRig.h"

using rig::Radians;

namespace {

Camera CameraWith(const CMatrix& rotation, int image = 0, double f = 1000) {
    Camera c;
    c.image = image;
    c.Initialise(800, 600);
    c.focalLength = f;
    c.UpdateIntrinsics();
    c.SetRotation(rotation);
    return c;
}

}  // namespace

TEST(PanoramaRotations, LongitudesFollowTheLayoutAcrossTheSeam) {
    std::vector<Camera> cameras = {CameraWith(Ry(0)), CameraWith(Ry(Radians(-170)), 1), CameraWith(Ry(Radians(170)), 2),
                                   CameraWith(Ry(Radians(-170)), 3)};
    std::vector<Camera> closing = {CameraWith(Ry(Radians(-10)), 3), CameraWith(Ry(Radians(20)), 0)};
    // Far to the right, far to the left, and within one image width of the reference.
    std::vector<PointD> layout = {{0, 0}, {5000, 0}, {-5000, 0}, {300, 0}};
    ComputePanoramaRotations(cameras, closing, layout, ProjectionType::Cylindrical, 0);
    EXPECT_NEAR(cameras[0].lonOffset, 0, 1e-12);
    EXPECT_NEAR(cameras[1].lonOffset, Radians(190), 1e-12);
    EXPECT_NEAR(cameras[2].lonOffset, Radians(-190), 1e-12);
    EXPECT_NEAR(cameras[3].lonOffset, Radians(-170), 1e-12);
    // The closing list counts from 0 to a whole turn.
    EXPECT_NEAR(closing[0].lonOffset, Radians(350), 1e-12);
    EXPECT_NEAR(closing[1].lonOffset, Radians(20), 1e-12);
    // A camera turned only sideways looks along longitude 0 of its own frame.
    CMatrix identity;
    identity.Identity(3);
    for (const Camera& c : cameras) {
        ExpectMatrixNear(c.panoRotation, identity, 1e-12);
        EXPECT_NEAR(c.panoRow2[2], 1, 1e-12);
    }
}

TEST(PanoramaRotations, PlanarHomographies) {
    CMatrix identity;
    identity.Identity(3);
    std::vector<Camera> none;
    for (double yaw : {0.0, 0.4}) {
        std::vector<Camera> one = {CameraWith(Ry(yaw))};
        ComputePanoramaRotations(one, none, {{0, 0}}, ProjectionType::Planar, 0);
        ExpectMatrixNear(one[0].toPanorama, identity, 1e-12);
        ExpectMatrixNear(one[0].fromPanorama, identity, 1e-12);
    }
    // Tilting the virtual camera up moves the image's centre down in the panorama plane.
    std::vector<Camera> tilted = {CameraWith(Ry(0))};
    ComputePanoramaRotations(tilted, none, {{0, 0}}, ProjectionType::Planar, Radians(10));
    PointD centre = MapHomogeneous(tilted[0].toPanorama, 400, 300);
    EXPECT_NEAR(centre.x, 400, 1e-9);
    EXPECT_NEAR(centre.y, 300 - 1000 * std::tan(Radians(10)), 1e-9);
    PointD back = MapHomogeneous(tilted[0].fromPanorama, centre.x, centre.y);
    EXPECT_NEAR(back.y, 300, 1e-9);

    // Two cameras: the plane faces the middle of their longitudes, so they land symmetrically.
    std::vector<Camera> pair = {CameraWith(Ry(0)), CameraWith(Ry(Radians(30)), 1)};
    ComputePanoramaRotations(pair, none, {{0, 0}, {500, 0}}, ProjectionType::Planar, 0);
    PointD left = MapHomogeneous(pair[0].toPanorama, 400, 300);
    PointD right = MapHomogeneous(pair[1].toPanorama, 400, 300);
    EXPECT_NEAR((left.x + right.x) / 2, 400, 1e-9);
    EXPECT_NEAR(right.x - left.x, 2 * 1000 * std::tan(Radians(15)), 1e-9);
}

TEST(Projection, ARayAQuarterTurnFromTheAxisLiesAtTheLongitudeOffsetPlusOrMinusNinetyDegrees) {
    const double yaw = Radians(40), pitch = Radians(60);
    std::vector<Camera> cameras = {CameraWith(Ry(yaw) * Rx(pitch))};
    std::vector<Camera> none;
    ComputePanoramaRotations(cameras, none, {{0, 0}}, ProjectionType::Cylindrical, 0);
    const Camera& c = cameras[0];
    ASSERT_NEAR(c.lonOffset, yaw, 1e-12);
    // The camera looks 60 degrees up (y points down); along this row of its image the rays are
    // horizontal in the camera's panorama frame: Z = 0 there.
    const double y = c.principalY - c.focalLength / std::tan(pitch);
    PointD right = ProjectionOf(ProjectionType::Cylindrical).ToSurface(c, c.principalX + 100, y);
    PointD left = ProjectionOf(ProjectionType::Cylindrical).ToSurface(c, c.principalX - 100, y);
    EXPECT_NEAR(right.x, c.lonOffset + std::numbers::pi / 2, 1e-9);
    EXPECT_NEAR(left.x, c.lonOffset - std::numbers::pi / 2, 1e-9);
    // The centre of the image lies at its own longitude, 60 degrees above the horizon.
    PointD centre = ProjectionOf(ProjectionType::Spherical).ToSurface(c, c.principalX, c.principalY);
    EXPECT_NEAR(centre.x, yaw, 1e-12);
    EXPECT_NEAR(centre.y, -pitch, 1e-12);
    PointD onCylinder = ProjectionOf(ProjectionType::Cylindrical).ToSurface(c, c.principalX, c.principalY);
    EXPECT_NEAR(onCylinder.y, -std::tan(pitch), 1e-12);
}

// Every surface by its code and by the name the project file and the command line use; a code
// or name of no surface is an error, never another surface.
TEST(Projection, EverySurfaceIsFoundByCodeAndNameAndAnUnknownOneIsAnError) {
    const char* const names[] = {"planar", "cylindrical", "spherical"};
    ASSERT_EQ(ProjectionNames().size(), 3u);
    for (int code = 0; code < 3; ++code) {
        EXPECT_STREQ(ProjectionNames()[size_t(code)], names[code]);
        const Projection* byCode = FindProjection(code);
        ASSERT_NE(byCode, nullptr);
        EXPECT_EQ(static_cast<int>(byCode->Type()), code);
        EXPECT_EQ(FindProjection(names[code]), byCode);
        EXPECT_EQ(&ProjectionOf(static_cast<ProjectionType>(code)), byCode);
    }
    EXPECT_EQ(FindProjection(3), nullptr);
    EXPECT_EQ(FindProjection(-1), nullptr);
    EXPECT_EQ(FindProjection("mercator"), nullptr);
    EXPECT_EQ(FindProjection(nullptr), nullptr);
    EXPECT_THROW(ProjectionOf(static_cast<ProjectionType>(3)), const char*);
    // Only the surfaces round the camera close a turn.
    EXPECT_FALSE(ProjectionOf(ProjectionType::Planar).Wraps());
    EXPECT_TRUE(ProjectionOf(ProjectionType::Cylindrical).Wraps());
    EXPECT_TRUE(ProjectionOf(ProjectionType::Spherical).Wraps());
}

// The way onto each curved surface and back off it returns to the same source pixel, for pixels
// all over a camera that looks up and to the side.
TEST(Projection, EverySurfaceMapsBackToTheSourcePixel) {
    std::vector<Camera> cameras = {CameraWith(Ry(Radians(-50)) * Rx(Radians(25)))};
    std::vector<Camera> none;
    ComputePanoramaRotations(cameras, none, {{0, 0}}, ProjectionType::Spherical, 0);
    for (ProjectionType type : {ProjectionType::Cylindrical, ProjectionType::Spherical}) {
        const Projection& projection = ProjectionOf(type);
        for (double x : {0.0, 123.5, 400.0, 799.0})
            for (double y : {0.0, 300.0, 599.0}) {
                const PointD surface = projection.ToSurface(cameras[0], x, y);
                const PointD back = projection.FromSurface(cameras[0], surface.x, surface.y);
                EXPECT_NEAR(back.x, x, 1e-7) << projection.Name();
                EXPECT_NEAR(back.y, y, 1e-7) << projection.Name();
            }
    }
}

TEST(Autostraighten, LevelsATiltedRigAndLeavesLevelOrNarrowOnesAlone) {
    std::vector<Camera> closing;
    const std::vector<PointD> wide = {{0, 0}, {600, 0}, {1200, 0}};
    // Turned only about the vertical axis: nothing changes.
    std::vector<Camera> level = {CameraWith(Ry(0)), CameraWith(Ry(0.6), 1), CameraWith(Ry(1.2), 2)};
    Autostraighten(level, closing, wide);
    for (int k = 0; k < 3; ++k)
        ExpectMatrixNear(level[k].rotation, Ry(0.6 * k), 1e-12);

    // A rig tilted 10 degrees about x comes back level; the angles are left alone.
    auto tiltedRig = [] {
        std::vector<Camera> cameras;
        for (int k = 0; k < 3; ++k) {
            cameras.push_back(CameraWith(Rx(Radians(10)) * Ry(0.6 * k), k));
            cameras.back().alpha = 0.25;
        }
        return cameras;
    };
    std::vector<Camera> tilted = tiltedRig();
    std::vector<Camera> tiltedClosing = {tilted[2], CameraWith(Rx(Radians(10)) * Ry(1.8), 0)};
    Autostraighten(tilted, tiltedClosing, wide);
    for (int k = 0; k < 3; ++k) {
        ExpectMatrixNear(tilted[k].rotation, Ry(0.6 * k), 1e-9);
        ExpectMatrixNear(tilted[k].rotationTransposed, tilted[k].rotation.Transpose(), 0);
        EXPECT_EQ(tilted[k].alpha, 0.25);
    }
    ExpectMatrixNear(tiltedClosing[1].rotation, Ry(1.8), 1e-9);

    // Spread less than a quarter of the reference width (800): too narrow to tell the axis.
    std::vector<Camera> narrow = tiltedRig();
    Autostraighten(narrow, closing, {{0, 0}, {150, 40}, {199, -30}});
    for (int k = 0; k < 3; ++k)
        ExpectMatrixNear(narrow[k].rotation, Rx(Radians(10)) * Ry(0.6 * k), 0);
}

// A row shot with the camera pitched up and rolled by hand, each photograph a little
// differently: no horizontal axis is perpendicular to the vertical, the optical axes all keep
// one angle to it. The row comes back level with pitch and rolls as shot; so do two level rows
// at different pitches; a vertical column, which does not tell the axis, is left as it was.
TEST(Autostraighten, LevelsAPitchedAndRolledRowAndTwoRows) {
    const CMatrix tilt = Rx(Radians(7)) * Rz(Radians(-4));
    auto shot = [](double yaw, double pitch, double roll) {
        return Ry(Radians(yaw)) * Rx(Radians(pitch)) * Rz(Radians(roll));
    };
    auto expectLevel = [](const std::vector<Camera>& cameras, const std::vector<CMatrix>& truth) {
        for (size_t k = 0; k < cameras.size(); ++k) {
            // What is left between the levelled camera and the one shot is a turn about the vertical.
            const CMatrix left = cameras[k].rotation * truth[k].Transpose();
            EXPECT_NEAR(std::acos(std::clamp(left(1, 1), -1.0, 1.0)), 0, Radians(0.01)) << k;
        }
    };
    std::vector<Camera> row;
    std::vector<CMatrix> rowTruth;
    std::vector<PointD> layout;
    const double rolls[5] = {6, 7, 8, 5, 6};
    for (int k = 0; k < 5; ++k) {
        rowTruth.push_back(shot(25.0 * k, 25, rolls[k]));
        row.push_back(CameraWith(tilt * rowTruth.back(), k));
        layout.push_back({600.0 * k, 0});
    }
    std::vector<Camera> closing;
    EXPECT_GT(Autostraighten(row, closing, layout), Radians(5));
    expectLevel(row, rowTruth);

    // Two level rows, 30 degrees up and down: the optical axes lie on two planes, the horizontal
    // axes are perpendicular to the vertical.
    std::vector<Camera> rows;
    std::vector<CMatrix> rowsTruth;
    std::vector<PointD> rowsLayout;
    for (int k = 0; k < 8; ++k) {
        rowsTruth.push_back(shot(40.0 * (k / 2), k % 2 ? 30 : -30, 0));
        rows.push_back(CameraWith(tilt * rowsTruth.back(), k));
        rowsLayout.push_back({700.0 * (k / 2), k % 2 ? -500.0 : 500.0});
    }
    Autostraighten(rows, closing, rowsLayout);
    expectLevel(rows, rowsTruth);

    // The cameras of one column, one above the other: nothing tells the panning axis.
    std::vector<Camera> column;
    for (int k = 0; k < 3; ++k)
        column.push_back(CameraWith(tilt * Rx(Radians(-30.0 + 30 * k)), k));
    const std::vector<Camera> before = column;
    Autostraighten(column, closing, {{0, 0}, {0, 600}, {0, 1200}});
    for (int k = 0; k < 3; ++k)
        ExpectMatrixNear(column[k].rotation, before[k].rotation, 0);
}

// The row mapping of the render loops against the single-pixel one, on a panorama transform
// with a turn (the loop slope) and across many pixels of one row: same answers where a pixel
// maps, to rounding, and the same pixels refused (behind the camera on the sphere and cylinder).
TEST(InverseMapper, RowsAgreeWithSinglePixels) {
    const double turn = 0.05, k = 1.0 / 900;
    const double m[] = {
        k * std::cos(turn), -k * std::sin(turn), -0.9, k * std::sin(turn), k * std::cos(turn), -0.4, 0, 0, 1};
    const CMatrix inverse(3, 3, m);
    std::vector<Camera> none;
    for (ProjectionType type : {ProjectionType::Cylindrical, ProjectionType::Spherical, ProjectionType::Planar}) {
        std::vector<Camera> cameras = {CameraWith(Ry(Radians(30)) * Rx(Radians(10)))};
        ComputePanoramaRotations(cameras, none, {{0, 0}}, type, 0);
        const InverseMapper mapper(ProjectionOf(type), cameras[0], inverse);
        const int count = 3000;
        std::vector<double> xs(count), ys(count);
        std::unique_ptr<bool[]> ok(new bool[count]);
        int mapped = 0, refused = 0;
        for (int v : {-200, 0, 450, 1200}) {
            mapper.SourceRow(-700, v, count, xs.data(), ys.data(), ok.get());
            for (int j = 0; j < count; ++j) {
                double x = 0, y = 0;
                const bool single = mapper.Source(-700 + j, v, &x, &y);
                ASSERT_EQ(ok[j], single) << int(type) << " at " << j << ", " << v;
                if (!single) {
                    ++refused;
                    continue;
                }
                ++mapped;
                EXPECT_NEAR(xs[j], x, 1e-9 * std::max(1.0, std::abs(x)));
                EXPECT_NEAR(ys[j], y, 1e-9 * std::max(1.0, std::abs(y)));
            }
        }
        EXPECT_GT(mapped, 1000) << int(type);
        if (type != ProjectionType::Planar) {
            EXPECT_GT(refused, 1000) << int(type);
        }
    }
}

// The direct camera-to-camera transfer of the seam masks against the way through the panorama
// (forward into panorama pixels, back out through the other camera): the same positions to
// rounding and the same points refused, for pairs side by side, far apart (much behind the
// other camera) and across the longitude seam, on every surface.
TEST(CameraTransfer, AgreesWithTheWayThroughThePanorama) {
    const double k = 900;
    const double m[] = {
        k * std::cos(0.05), -k * std::sin(0.05), 800, k * std::sin(0.05), k * std::cos(0.05), 300, 0, 0, 1};
    const CMatrix transform(3, 3, m);
    const CMatrix inverse = transform.Inverse();
    std::vector<Camera> none;
    const double fromScale = 0.75, toScale = 0.5;
    for (ProjectionType type : {ProjectionType::Cylindrical, ProjectionType::Spherical, ProjectionType::Planar}) {
        std::vector<Camera> cameras = {
            CameraWith(Ry(Radians(20)) * Rx(Radians(8))), CameraWith(Ry(Radians(55)) * Rx(Radians(-5)), 1),
            CameraWith(Ry(Radians(170)) * Rx(Radians(30)), 2), CameraWith(Ry(Radians(-165)), 3)};
        ComputePanoramaRotations(cameras, none, {{0, 0}, {600, 0}, {2500, 0}, {2900, 0}}, type, 0);
        for (Camera& camera : cameras)
            if (type == ProjectionType::Planar)
                camera.toPanorama = transform * camera.toPanorama, camera.fromPanorama = camera.fromPanorama * inverse;
        int mapped = 0, refused = 0;
        for (auto [a, b] : {std::pair{0, 1}, std::pair{1, 0}, std::pair{0, 2}, std::pair{2, 3}, std::pair{3, 2}}) {
            const CameraTransfer transfer(ProjectionOf(type), cameras[size_t(a)], cameras[size_t(b)]);
            const InverseMapper back(ProjectionOf(type), cameras[size_t(b)], inverse);
            const int width = 600;
            std::vector<double> xs(width), ys(width);
            for (int i = 0; i < 450; i += 7) {
                transfer.WorkingRow(i, width, fromScale, toScale, xs.data(), ys.data());
                for (int j = 0; j < width; ++j) {
                    const PointD p =
                        ProjectionOf(type).ForwardMap(cameras[size_t(a)], transform, j / fromScale, i / fromScale);
                    double x = 0, y = 0;
                    const bool single = std::isfinite(p.x) && std::isfinite(p.y) && back.Source(p.x, p.y, &x, &y);
                    ASSERT_EQ(std::isfinite(xs[size_t(j)]), single)
                        << int(type) << " " << a << "->" << b << " at " << j << ", " << i;
                    ASSERT_EQ(std::isfinite(ys[size_t(j)]), single);
                    if (!single) {
                        ++refused;
                        continue;
                    }
                    ++mapped;
                    EXPECT_NEAR(xs[size_t(j)], x * toScale, 1e-7 * std::max(1.0, std::abs(x)));
                    EXPECT_NEAR(ys[size_t(j)], y * toScale, 1e-7 * std::max(1.0, std::abs(y)));
                }
            }
        }
        EXPECT_GT(mapped, 10000) << int(type);
        EXPECT_GT(refused, 1000) << int(type);
    }
}
