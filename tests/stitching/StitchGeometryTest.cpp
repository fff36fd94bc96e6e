#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "stitching/PanoramaRotations.h"
#include "stitching/StitchGeometry.h"
#include "support/SyntheticRig.h"

using rig::Radians;

namespace {

Camera CameraWith(const CMatrix& rotation, int image, ImageSize size, double f = 1000) {
    Camera c;
    c.image = image;
    c.Initialise(size.width, size.height);
    c.focalLength = f;
    c.UpdateIntrinsics();
    c.SetRotation(rotation);
    return c;
}

StitchGeometryParameters Parameters(ProjectionType type, int size, double rotation = 0, bool crop360 = false) {
    StitchGeometryParameters p;
    p.projectionType = type;
    p.size = size;
    p.panoramaImageRotation = rotation;
    p.doCrop360Degrees = crop360;
    return p;
}

// Two cylindrical cameras a whole turn apart in longitude and a transition pair whose parent
// points lie 100 pixels above the child points: the chain climbs 0.1 per turn.
struct Loop {
    std::vector<Camera> cameras;
    std::unique_ptr<HierarchyNode> transition;
    Loop() {
        cameras = {CameraWith(Ry(0), 0, {800, 600}), CameraWith(Ry(0), 1, {800, 600})};
        std::vector<Camera> none;
        ComputePanoramaRotations(cameras, none, {{0, 0}, {0, 0}}, ProjectionType::Cylindrical, 0);
        cameras[1].lonOffset = 2 * std::numbers::pi;
        transition = rig::Rig::Root(1);
        auto child = std::make_unique<HierarchyNode>();
        child->image = 0;
        for (int k = 0; k < 3; ++k) {
            child->childPoints.push_back({400, 300.0 + 10 * k});
            child->parentPoints.push_back({400, 200.0 + 10 * k});
        }
        transition->AppendChild(std::move(child));
    }
};

// The angle that panoramaTransform turns by.
double TurnOf(const CMatrix& T) { return std::atan2(T(1, 0), T(0, 0)); }

}  // namespace

TEST(StitchGeometry, OutlineWalksTheBorderOnce) {
    Camera c = CameraWith(Ry(0), 0, {4, 3});
    std::vector<PointD> walk = ProjectionOf(ProjectionType::Planar).OutlinePoints(c);
    const std::vector<PointD> expected = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {3, 1}, {3, 2},
                                          {2, 2}, {1, 2}, {0, 2}, {0, 1}, {0, 0}};
    ASSERT_EQ(walk.size(), expected.size());
    for (size_t k = 0; k < walk.size(); ++k) {
        EXPECT_EQ(walk[k].x, expected[k].x) << k;
        EXPECT_EQ(walk[k].y, expected[k].y) << k;
    }
    RectD box = ProjectionOf(ProjectionType::Planar).Outline(c);
    EXPECT_EQ(box.width, 3);
    EXPECT_EQ(box.height, 2);
    RectD empty = ProjectionOf(ProjectionType::Planar).Outline(CameraWith(Ry(0), 0, {0, 0}));
    EXPECT_EQ(empty.left, 0);
    EXPECT_EQ(empty.width, 10);
    EXPECT_EQ(empty.height, 10);
}

TEST(StitchGeometry, TheLongerSideIsTheRequestedSize) {
    // One planar image whose border spans 2000 x 1000 pixels.
    std::vector<Camera> cameras = {CameraWith(Ry(0), 0, {2001, 1001})};
    std::vector<Camera> none;
    ComputePanoramaRotations(cameras, none, {{0, 0}}, ProjectionType::Planar, 0);
    StitchGeometry g = InitStitchGeometry(cameras, nullptr, Parameters(ProjectionType::Planar, 1024));
    ASSERT_TRUE(g.Valid());
    EXPECT_EQ(g.PanoramaWidth(), 1024);
    EXPECT_NEAR(g.PanoramaHeight(), 512, 1);
    EXPECT_NEAR(g.panoramaRect.left, 0, 1e-9);
    EXPECT_NEAR(g.panoramaRect.top, 0, 1e-9);
    // toPanorama now reaches panorama pixels directly.
    PointD corner = ProjectionOf(ProjectionType::Planar).ForwardMap(cameras[0], g.panoramaTransform, 2000, 1000);
    EXPECT_NEAR(corner.x, 1023, 1e-9);
    EXPECT_NEAR(corner.y, 511.5, 1e-9);
    ASSERT_EQ(g.imageRects.size(), 1u);
    EXPECT_NEAR(g.imageRects[0].width, 1023, 1e-9);

    // Turned by 90 degrees the panorama stands upright.
    std::vector<Camera> turned = {CameraWith(Ry(0), 0, {2001, 1001})};
    ComputePanoramaRotations(turned, none, {{0, 0}}, ProjectionType::Planar, 0);
    StitchGeometry upright =
        InitStitchGeometry(turned, nullptr, Parameters(ProjectionType::Planar, 1024, std::numbers::pi / 2));
    EXPECT_NEAR(upright.PanoramaWidth(), 512, 1);
    EXPECT_EQ(upright.PanoramaHeight(), 1024);
    EXPECT_NEAR(upright.panoramaRect.left, 0, 1e-9);

    // Nothing to place, or no room to place it in.
    std::vector<Camera> empty;
    EXPECT_FALSE(InitStitchGeometry(empty, nullptr, Parameters(ProjectionType::Planar, 1024)).Valid());
    EXPECT_FALSE(InitStitchGeometry(turned, nullptr, Parameters(ProjectionType::Planar, 1)).Valid());
}

TEST(StitchGeometry, LoopSlopeAndTheRotationOfAClosedCircle) {
    Loop loop;
    const double slope = std::atan(-0.1 / (2 * std::numbers::pi));
    EXPECT_NEAR(LoopSlope(ProjectionOf(ProjectionType::Cylindrical), loop.cameras, loop.transition.get()), slope,
                1e-12);
    EXPECT_EQ(LoopSlope(ProjectionOf(ProjectionType::Cylindrical), loop.cameras, nullptr), 0);

    // Cropped to 360 degrees: the user's rotation is ignored, the slope is taken out.
    StitchGeometry cropped = InitStitchGeometry(loop.cameras, loop.transition.get(),
                                                Parameters(ProjectionType::Cylindrical, 1000, 0.3, true));
    ASSERT_TRUE(cropped.Valid());
    EXPECT_NEAR(TurnOf(cropped.panoramaTransform), -slope, 1e-12);
    // Not cropped: the user's rotation minus the slope.
    Loop again;
    StitchGeometry free = InitStitchGeometry(again.cameras, again.transition.get(),
                                             Parameters(ProjectionType::Cylindrical, 1000, 0.3, false));
    EXPECT_NEAR(TurnOf(free.panoramaTransform), 0.3 - slope, 1e-12);
    // Without a transition tree the user's rotation applies even when cropping to 360 degrees.
    Loop open;
    StitchGeometry plain =
        InitStitchGeometry(open.cameras, nullptr, Parameters(ProjectionType::Cylindrical, 1000, 0.3, true));
    EXPECT_NEAR(TurnOf(plain.panoramaTransform), 0.3, 1e-12);
}

TEST(StitchGeometry, ForwardAndInverseMappingsRoundTripInEveryProjection) {
    rig::Rig grid = rig::Grid(5);
    for (ProjectionType type : {ProjectionType::Planar, ProjectionType::Cylindrical, ProjectionType::Spherical}) {
        std::vector<Camera> cameras, none;
        for (int image : grid.mainTree->DistinctImages())
            cameras.push_back(CameraWith(grid.rotations[static_cast<size_t>(image)], image, {800, 600}));
        ComputePanoramaRotations(cameras, none, grid.Layout(), type, Radians(3));
        StitchGeometry g = InitStitchGeometry(cameras, nullptr, Parameters(type, 2000, 0.2));
        ASSERT_TRUE(g.Valid());
        EXPECT_NEAR(std::max(g.PanoramaWidth(), g.PanoramaHeight()), 2000, 1);
        for (size_t i = 0; i < cameras.size(); ++i) {
            const RectD& r = g.imageRects[i];
            EXPECT_GE(r.left, g.panoramaRect.left - 1e-6);
            EXPECT_LE(r.Right(), g.panoramaRect.Right() + 1e-6);
            for (double y : {0.0, 150.5, 599.0})
                for (double x : {0.0, 333.3, 799.0}) {
                    PointD u = ProjectionOf(type).ForwardMap(cameras[i], g.panoramaTransform, x, y);
                    EXPECT_GE(u.x, r.left - 1e-6);
                    EXPECT_LE(u.y, r.Bottom() + 1e-6);
                    PointD back = ProjectionOf(type).InverseMap(cameras[i], g.panoramaTransformInverse, u.x, u.y);
                    EXPECT_NEAR(back.x, x, 1e-7) << static_cast<int>(type);
                    EXPECT_NEAR(back.y, y, 1e-7) << static_cast<int>(type);
                }
        }
        // Where two neighbours overlap, one panorama pixel shows the same world point in both.
        const Camera& left = cameras[0];
        const Camera& right = cameras[1];
        CMatrix transfer = grid.TrueTransfer(right.image, left.image, grid.f);
        PointD inRight{150, 320};
        PointD inLeft = MapHomogeneous(transfer, inRight.x, inRight.y);
        PointD a = ProjectionOf(type).ForwardMap(right, g.panoramaTransform, inRight.x, inRight.y);
        PointD b = ProjectionOf(type).ForwardMap(left, g.panoramaTransform, inLeft.x, inLeft.y);
        EXPECT_NEAR(a.x, b.x, 1e-7);
        EXPECT_NEAR(a.y, b.y, 1e-7);
    }
}

// The cylinder and the sphere enlarge a photograph most at its centre, where the native size
// puts one panorama pixel per source pixel: the working copies' resolution follows from it.
TEST(StitchGeometry, TheLargestMagnificationIsAtTheImageCentres) {
    for (ProjectionType type : {ProjectionType::Cylindrical, ProjectionType::Spherical}) {
        const Projection& projection = ProjectionOf(type);
        std::vector<Camera> cameras = {CameraWith(Ry(0), 0, {800, 600}), CameraWith(Ry(0.5), 1, {800, 600})};
        std::vector<Camera> none;
        ComputePanoramaRotations(cameras, none, {{0, 0}, {400, 0}}, type, 0);
        StitchGeometry g = InitStitchGeometry(cameras, nullptr, Parameters(type, 1000));
        ASSERT_TRUE(g.Valid());
        const double pixelsPerUnit = std::hypot(g.panoramaTransform(0, 0), g.panoramaTransform(1, 0));
        const double centre = pixelsPerUnit / projection.PixelsPerUnit(cameras[0].focalLength);
        for (const Camera& c : cameras) {
            const double most = LargestMagnification(projection, c, g.panoramaTransform);
            // The centre is where the surface enlarges a photograph most.
            EXPECT_NEAR(most, centre, 0.01 * centre) << projection.Name();
        }
    }
}
