#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "linalg/CLevenbergMarquardt.h"
#include "linalg/DifferencedProblem.h"
#include "stitching/CameraFitProblem.h"
#include "stitching/CameraFitter.h"
#include "stitching/FocalLength.h"
#include "support/SyntheticRig.h"

using rig::Radians;

namespace {

CameraFitInput InputOf(rig::Rig& r, ProjectionType type) {
    CameraFitInput input;
    input.mainTree = r.mainTree.get();
    input.transitionTree = r.transitionTree.get();
    input.imageSizes = r.sizes;
    input.layoutPositions = r.Layout();
    input.projectionType = type;
    return input;
}

// Every fitted camera's rotation relative to the root, against the truth (degrees).
double WorstRelativeRotation(const rig::Rig& r, const std::vector<Camera>& cameras) {
    double worst = 0;
    if (cameras.empty())
        return worst;
    const Camera& root = cameras[0];
    for (const Camera& c : cameras) {
        CMatrix fitted = root.rotation.Transpose() * c.rotation;
        CMatrix truth =
            r.rotations[static_cast<size_t>(root.image)].Transpose() * r.rotations[static_cast<size_t>(c.image)];
        worst = std::max(worst, rig::AngleBetween(fitted, truth));
    }
    return worst;
}

void ExpectExactFit(rig::Rig& r, ProjectionType type, size_t cameraCount) {
    // The pair fits' transfers are off by 3 % in f and half a degree, as a start to recover from.
    r.PerturbTransfers(0.03, 0.5);
    CameraFitResult result = FitCameras(InputOf(r, type));
    ASSERT_EQ(result.status, CameraFitStatus::Fitted);
    EXPECT_TRUE(result.outcome);
    ASSERT_EQ(result.cameraList.size(), cameraCount);
    EXPECT_LT(result.residualStdDev, 0.01);
    for (const std::vector<Camera>* list : {&result.cameraList, &result.closingCameraList})
        for (const Camera& c : *list)
            EXPECT_NEAR(c.focalLength, r.f, r.f * 1e-4) << "image " << c.image;
    EXPECT_LT(WorstRelativeRotation(r, result.cameraList), 0.005);
    EXPECT_LT(WorstRelativeRotation(r, result.closingCameraList), 0.005);
}

}  // namespace

TEST(CameraFit, ParameterCountsAndTheFixedRoot) {
    rig::Rig pair;
    pair.AddImage(Rz(0));
    pair.AddImage(Ry(Radians(25)));
    pair.mainTree = rig::Rig::Root(0);
    pair.Link(pair.mainTree.get(), 1);
    CameraFitter two(InputOf(pair, ProjectionType::Cylindrical));
    ASSERT_EQ(two.FitCameras(), CameraFitStatus::Fitted);
    EXPECT_EQ(two.Parameters().Length(), 4);
    EXPECT_EQ(two.cameraList[0].alpha, 0);
    EXPECT_EQ(two.cameraList[0].beta, 0);
    EXPECT_EQ(two.cameraList[0].gamma, 0);
    EXPECT_NEAR(two.cameraList[1].beta, Radians(25), 1e-6);

    // The grid has 9 nodes but 8 distinct images: one camera per image, 3 * 8 - 2 parameters.
    rig::Rig grid = rig::Grid(12);
    CameraFitter fitter(InputOf(grid, ProjectionType::Planar));
    fitter.CollectCameras();
    ASSERT_EQ(fitter.cameraList.size(), 8u);
    EXPECT_EQ(fitter.Parameters().Length(), 3 * 8 - 2);
    EXPECT_EQ(fitter.EdgeCount(), 8);

    // The ring adds the closing list's second camera: 3 * 12 + 3 * 2 - 5.
    rig::Rig ring = rig::Ring(12);
    CameraFitter closing(InputOf(ring, ProjectionType::Cylindrical));
    closing.CollectCameras();
    closing.EstimateMainTree(1000);
    closing.EstimateTransitionTree();
    ASSERT_EQ(closing.closingCameraList.size(), 2u);
    EXPECT_EQ(closing.closingCameraList[0].image, 11);
    EXPECT_EQ(closing.Parameters().Length(), 37);
}

TEST(CameraFit, InitialEstimateChainsTheEdgesAndRefreshRewritesThem) {
    rig::Rig r = rig::Row(12);
    CameraFitter fitter(InputOf(r, ProjectionType::Cylindrical));
    fitter.CollectCameras();
    fitter.EstimateMainTree(r.f);
    // Exact transfers chain into exact rotations relative to the root.
    EXPECT_LT(WorstRelativeRotation(r, fitter.cameraList), 1e-6);
    for (const Camera& c : fitter.cameraList)
        EXPECT_EQ(c.estimated, 0);
    // The refresh wrote every edge's transfers from the cameras: toParent = K_p R_p^T R_c K_c^-1.
    const HierarchyNode* third = fitter.MainTree()->firstChild->firstChild;
    CMatrix expected = r.TrueTransfer(2, 1, r.f);
    for (int k = 0; k < 9; ++k)
        EXPECT_NEAR(third->toParent.data[k] / third->toParent(2, 2), expected.data[k] / expected(2, 2), 1e-9);
    CMatrix product = third->toParent * third->fromParent;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(product(i, j), i == j ? 1 : 0, 1e-9);
}

TEST(CameraFit, RowRingAndGridRecoverTheTrueCameras) {
    rig::Rig row = rig::Row();
    ExpectExactFit(row, ProjectionType::Cylindrical, 5);
    rig::Rig ring = rig::Ring();
    ExpectExactFit(ring, ProjectionType::Cylindrical, 12);
    rig::Rig sphericalRing = rig::Ring();
    ExpectExactFit(sphericalRing, ProjectionType::Spherical, 12);
    rig::Rig grid = rig::Grid();
    ExpectExactFit(grid, ProjectionType::Spherical, 8);
}

TEST(CameraFit, TheLoopBlockMeasuresWhetherTheRingCloses) {
    rig::Rig r = rig::Ring(20);
    CameraFitter fitter(InputOf(r, ProjectionType::Cylindrical));
    ASSERT_EQ(fitter.FitCameras(), CameraFitStatus::Fitted);
    ASSERT_TRUE(fitter.HasLoopBlock());
    fitter.BuildEdgeList();
    CMatrix input, observations;
    fitter.BuildObservations(input, observations);
    const int loopRows = static_cast<int>(r.transitionTree->firstChild->childPoints.size());
    const int firstLoopRow = input.rows - loopRows;
    ASSERT_EQ(loopRows, 20);

    auto worstLoopError = [&](const CVector& p) {
        CMatrix output(observations.rows, 2);
        const std::vector<CameraEdge>& edges = fitter.Edges();
        fitter.CameraResidual(input, p, output, const_cast<std::vector<CameraEdge>*>(&edges));
        double worst = 0;
        for (int k = firstLoopRow; k < input.rows; ++k)
            worst = std::max(worst, std::hypot(output(k, 0) - observations(k, 0), output(k, 1) - observations(k, 1)));
        return worst;
    };
    CVector fitted = fitter.Parameters();
    EXPECT_LT(worstLoopError(fitted), 0.01);
    // Tilting the last image of the chain opens the loop: the transition pair no longer meets
    // in height, though the transition tree's own cameras are untouched.
    CVector tilted = fitted;
    tilted[1 + 3 * 10] += Radians(0.5);
    EXPECT_GT(worstLoopError(tilted), 3.0);
}

TEST(CameraFit, PlanarProjectionLeavesTheLoopBlockOut) {
    rig::Rig r = rig::Ring(15);
    CameraFitter fitter(InputOf(r, ProjectionType::Planar));
    ASSERT_EQ(fitter.FitCameras(), CameraFitStatus::Fitted);
    EXPECT_FALSE(fitter.HasLoopBlock());
    CMatrix input, observations;
    fitter.BuildObservations(input, observations);
    EXPECT_EQ(input.rows, 12 * 15);  // 11 + 1 edges of block 1, nothing more
    EXPECT_LT(fitter.residualStdDev, 0.01);
}

TEST(CameraFit, FailuresAreReportedAsFailures) {
    // No tree at all.
    EXPECT_EQ(FitCameras(CameraFitInput{}).status, CameraFitStatus::NoTreeNodes);

    // A lone root: no edge.
    rig::Rig lone;
    lone.AddImage(Rz(0));
    lone.mainTree = rig::Rig::Root(0);
    CameraFitResult alone = FitCameras(InputOf(lone, ProjectionType::Cylindrical));
    EXPECT_EQ(alone.status, CameraFitStatus::NoOverlap);
    EXPECT_EQ(alone.outcome.Reason(), "Could not fit cameras, no overlapping images.");
    EXPECT_EQ(alone.outcome.Kind(), StageFailure::NoOverlap);

    // Edges whose transfers tell no focal length (a shift and a rotation about the optical
    // axis) end on the same path instead of fitting cameras with f = 0.
    rig::Rig flat = rig::Row(10);
    const double shift[9] = {1, 0, 120, 0, 1, 0, 0, 0, 1};
    int n = 0;
    ForEachPreOrder(flat.mainTree->firstChild, [&](const HierarchyNode* node) {
        const_cast<HierarchyNode*>(node)->toParent = (n++ % 2) ? CMatrix(3, 3, shift) : Rz(0.1);
    });
    CameraFitResult noFocal = FitCameras(InputOf(flat, ProjectionType::Cylindrical));
    EXPECT_EQ(noFocal.status, CameraFitStatus::NoOverlap);
    EXPECT_EQ(noFocal.outcome.Reason(), "Could not fit cameras, no overlapping images.");
    EXPECT_TRUE(noFocal.cameraList.empty());

    // A point that is not a number drives the optimiser to NaN: reported, never a success.
    rig::Rig broken = rig::Row(10);
    broken.mainTree->firstChild->firstChild->childPoints[3].x = std::numeric_limits<double>::quiet_NaN();
    CameraFitResult diverged = FitCameras(InputOf(broken, ProjectionType::Cylindrical));
    EXPECT_EQ(diverged.status, CameraFitStatus::Diverged);
    EXPECT_EQ(diverged.outcome.Reason(), "The camera fit did not converge.");
    EXPECT_EQ(diverged.outcome.Kind(), StageFailure::Failed);
    EXPECT_TRUE(diverged.cameraList.empty());
}

TEST(FocalLength, FromHomographyAndTheBestEdge) {
    Camera camera;
    camera.Initialise(800, 600);
    for (CMatrix R : {Ry(0.5), Rx(-0.3) * Ry(0.2), Rz(0.2) * Rx(0.25)}) {
        CMatrix H = rig::Intrinsics(1250, {800, 600}) * R * rig::IntrinsicsInverse(1250, {800, 600});
        ASSERT_TRUE(FocalFromHomography(H * -0.01, camera));
        EXPECT_NEAR(camera.focalLength, 1250, 1e-6);
    }
    // A rotation about the optical axis and a shift say nothing about f.
    EXPECT_FALSE(FocalFromHomography(Rz(0.3), camera));
    const double shift[9] = {1, 0, 50, 0, 1, 0, 0, 0, 1};
    EXPECT_FALSE(FocalFromHomography(CMatrix(3, 3, shift), camera));

    // Of two edges the one whose rotation model transfers its points best wins.
    rig::Rig r = rig::Row(10);
    ForEachPreOrder(r.mainTree->firstChild, [&](const HierarchyNode* n) {
        if (n->image != 2)
            const_cast<HierarchyNode*>(n)->toParent = r.TrueTransfer(n->image, n->parent->image, 1400);
    });
    EXPECT_NEAR(InitialFocalLength(r.mainTree.get(), nullptr, r.sizes), r.f, 1e-6);
    // Without a usable edge the result is 0.
    ForEachPreOrder(r.mainTree->firstChild,
                    [&](const HierarchyNode* n) { const_cast<HierarchyNode*>(n)->toParent = Rz(0.2); });
    EXPECT_EQ(InitialFocalLength(r.mainTree.get(), nullptr, r.sizes), 0);
}

TEST(CameraFit, TheRootKeepsItsRotationWhenItsImageAppearsAgainAndContractsAreChecked) {
    // A windowed tree may reach the root's image once more (0 -> 1 -> 0); that node's estimate
    // must not replace the root's identity, which no parameter could repair later.
    rig::Rig r;
    r.AddImage(Rz(0));
    r.AddImage(Ry(Radians(25)));
    r.mainTree = rig::Rig::Root(0);
    r.Link(r.Link(r.mainTree.get(), 1), 0);
    r.PerturbTransfers(0.03, 0.5);
    CameraFitter fitter(InputOf(r, ProjectionType::Cylindrical));
    fitter.CollectCameras();
    fitter.EstimateMainTree(1000);
    ASSERT_EQ(fitter.cameraList.size(), 2u);
    EXPECT_EQ(fitter.cameraList[0].alpha, 0);
    EXPECT_EQ(fitter.cameraList[0].beta, 0);
    EXPECT_EQ(fitter.cameraList[0].gamma, 0);

    // One layout position per camera, and equal point lists on every edge, are contracts.
    rig::Rig row = rig::Row(8);
    CameraFitInput shortLayout = InputOf(row, ProjectionType::Cylindrical);
    shortLayout.layoutPositions.pop_back();
    EXPECT_THROW(FitCameras(shortLayout), const char*);
    row.mainTree->firstChild->parentPoints.pop_back();
    EXPECT_THROW(FitCameras(InputOf(row, ProjectionType::Cylindrical)), const char*);
}

namespace {

// Adds a fixed pseudo-random offset of up to `pixels` to every parent point, so that the fit
// ends on a residual that is not zero.
void JitterPoints(rig::Rig& r, double pixels) {
    unsigned state = 12345;
    auto next = [&] {
        state = state * 1103515245u + 12345u;
        return (static_cast<double>((state >> 8) & 0xffff) / 65535.0 - 0.5) * 2 * pixels;
    };
    for (HierarchyNode* tree : {r.mainTree.get(), r.transitionTree.get()})
        if (tree)
            ForEachPreOrder(tree->firstChild, [&](const HierarchyNode* constNode) {
                for (PointD& p : const_cast<HierarchyNode*>(constNode)->parentPoints) {
                    p.x += next();
                    p.y += next();
                }
            });
}

// The normal equations of the first step, both ways: bit for bit where every row is a tree
// edge's; where rows close a turn, their quotients through the straightening turn come by the
// chain rule, equal to the whole model's within the quotients' own rounding.
void ExpectTheSameNormalEquations(rig::Rig& r, ProjectionType type) {
    CameraFitter fitter(InputOf(r, type));
    fitter.CollectCameras();
    fitter.EstimateMainTree(r.f * 1.03);
    fitter.EstimateTransitionTree();
    fitter.BuildEdgeList();
    CMatrix input, observations;
    fitter.BuildObservations(input, observations);
    CVector p = fitter.Parameters();
    DifferencedProblem dense(input, observations, CLevenbergMarquardt::Bind(&fitter, &CameraFitter::CameraResidual),
                             nullptr);
    CameraFitProblem structured(fitter, input, observations);
    CMatrix denseN, denseG, structuredN, structuredG;
    CVector p1 = p, p2 = p;
    const CVector denseR = dense.Residuals(p1);
    dense.NormalEquations(p1, denseR, denseN, denseG);
    const CVector structuredR = structured.Residuals(p2);
    structured.NormalEquations(p2, structuredR, structuredN, structuredG);
    ASSERT_EQ(denseN.rows, structuredN.rows);
    ASSERT_EQ(denseN.cols, p.count);
    const bool closes = fitter.HasLoopBlock();
    int differing = 0;
    for (int i = 0; i < denseN.rows; ++i) {
        for (int j = 0; j < denseN.cols; ++j) {
            const double scale = std::sqrt((std::fabs(denseN(i, i)) + 1) * (std::fabs(denseN(j, j)) + 1));
            differing +=
                closes ? std::fabs(denseN(i, j) - structuredN(i, j)) > 1e-5 * scale : denseN(i, j) != structuredN(i, j);
        }
        const double scale = std::sqrt(std::fabs(denseN(i, i)) + 1) * denseR.Length();
        differing += closes ? std::fabs(denseG.data[i] - structuredG.data[i]) > 1e-5 * scale
                            : denseG.data[i] != structuredG.data[i];
    }
    EXPECT_EQ(differing, 0) << (closes ? "closing" : "open");
    int nonZero = 0;
    for (int k = 0; k < denseN.count; ++k)
        nonZero += denseN.data[k] != 0;
    EXPECT_GT(nonZero, denseN.rows);  // a real system, not an empty one
}

void ExpectDenseAndStructuredAgree(rig::Rig& r, ProjectionType type) {
    r.PerturbTransfers(0.03, 0.5);
    JitterPoints(r, 0.7);
    ExpectTheSameNormalEquations(r, type);
    CameraFitInput input = InputOf(r, type);
    input.denseJacobian = true;
    const CameraFitResult dense = FitCameras(input);
    input.denseJacobian = false;
    const CameraFitResult structured = FitCameras(input);
    ASSERT_EQ(dense.status, CameraFitStatus::Fitted);
    ASSERT_EQ(structured.status, CameraFitStatus::Fitted);
    EXPECT_GT(structured.residualStdDev, 0.1);
    // Both stop once a step improves the spread by less than 1e-4 px: where they stop on so
    // flat a minimum depends on the rounding of the solve, which differs.
    EXPECT_NEAR(structured.residualStdDev, dense.residualStdDev, 1e-4);
    for (auto lists : {std::make_pair(&dense.cameraList, &structured.cameraList),
                       std::make_pair(&dense.closingCameraList, &structured.closingCameraList)}) {
        ASSERT_EQ(lists.first->size(), lists.second->size());
        for (size_t k = 0; k < lists.first->size(); ++k) {
            const Camera& a = (*lists.first)[k];
            const Camera& b = (*lists.second)[k];
            EXPECT_NEAR(a.focalLength, b.focalLength, 2e-4 * a.focalLength);
            EXPECT_LT(rig::AngleBetween(a.rotation, b.rotation), 0.05) << "camera " << k;
        }
    }
}

}  // namespace

// The normal equations summed edge by edge are those of the whole model's difference
// quotients: to the bit on a row and on a grid whose tree visits an image twice, within the
// quotients' rounding on rings that close (whose loop rows depend on every camera). The fits
// then agree within where the stopping rule leaves them.
TEST(CameraFit, StructuredNormalEquationsAreTheDenseJacobiansOnes) {
    rig::Rig row = rig::Row();
    ExpectDenseAndStructuredAgree(row, ProjectionType::Cylindrical);
    rig::Rig ring = rig::Ring();
    ExpectDenseAndStructuredAgree(ring, ProjectionType::Cylindrical);
    rig::Rig sphericalRing = rig::Ring(16);
    ExpectDenseAndStructuredAgree(sphericalRing, ProjectionType::Spherical);
    rig::Rig grid = rig::Grid();
    ExpectDenseAndStructuredAgree(grid, ProjectionType::Planar);
}
