#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "linalg/CMatrix.h"
#include "linalg/PointD.h"
#include "matching/HierarchyNode.h"
#include "stage/StageResult.h"
#include "stitching/Camera.h"
#include "stitching/ImageSize.h"
#include "stitching/Projection.h"

// What the camera fit reads. The fit works on copies of the trees and hands them back
// refreshed (CameraFitResult): the caller decides whether to keep them.
struct CameraFitInput {
    const HierarchyNode* mainTree = nullptr;
    const HierarchyNode* transitionTree = nullptr;  // null unless the images close a full circle
    std::vector<ImageSize> imageSizes;              // by image index
    // One position per cameraList entry, that is per distinct image of mainTree in pre-order.
    std::vector<PointD> layoutPositions;
    ProjectionType projectionType = ProjectionType::Planar;
    double verticalCameraRotation = 0;  // radians
    // Take the Jacobian by differences over the whole model and solve each step by the inverse,
    // as the fit first did: far slower past a few dozen photographs, kept to compare with.
    bool denseJacobian = false;
    // The focal length the reference photograph's camera recorded, in pixels of imageSizes; 0
    // where it recorded none. The fit starts from it where the matched pairs agree with it
    // (within kRecordedFocalAgreement); where they do not, the pairs win.
    double recordedFocalLength = 0;
    // The hierarchy holds every matched pair as an edge, a photograph reached again where a
    // second pair reaches it; the fit meets them all, so that a chain of pairs does not add up
    // its errors, and leaves out a pair whose residual stays far above the others' where its
    // photographs stay joined through other pairs. True: only the edge that first reaches each
    // photograph of the main tree, one pair per photograph, and nothing left out.
    bool spanningEdgesOnly = false;
};

// A pair is left out when its rms after the fit is above this many times the median of all
// pairs' rms, and above kPairLeftOutFloor pixels.
constexpr double kPairLeftOutRatio = 5;
constexpr double kPairLeftOutFloor = 2;
// The most pairs one fit leaves out, each with a fit of its own.
constexpr int kMostPairsLeftOut = 10;

// How far, as a fraction, the recorded focal length may lie from the matched pairs' own for the
// fit to start from it.
constexpr double kRecordedFocalAgreement = 0.05;

enum class CameraFitStatus {
    Fitted,
    NoTreeNodes,  // no mainTree
    NoOverlap,    // no edge, or no edge that tells a focal length
    Diverged,     // the optimiser ended on parameters that are not finite, or a focal length <= 0
};

struct CameraFitResult {
    CameraFitStatus status = CameraFitStatus::NoTreeNodes;
    // Done, or the failure with the text to log: NoOverlap "Could not fit cameras, no
    // overlapping images.", Diverged "The camera fit did not converge.".
    StageResult outcome;
    // Fitted, straightened cameras with their panorama rotations; empty unless fitted.
    std::vector<Camera> cameraList;
    std::vector<Camera> closingCameraList;
    double residualStdDev = 0;  // pixels; the fit's quality
    int iterations = 0;
    // The focal length the matched pairs gave the start, and whether the recorded one was
    // started from instead.
    double pairsFocalLength = 0;
    bool startedFromRecordedFocalLength = false;
    // The pairs the fit left out (child image, parent image) as disagreeing with the others.
    std::vector<std::pair<int, int>> pairsLeftOut;
    // The turn that levelled the fitted cameras' horizon, radians; 0 when none was applied.
    double horizonCorrection = 0;
    // The input's trees with every edge's transfers (toParent, fromParent) and the nodes'
    // absolute rotations (workMatrix) refreshed from the fitted cameras; null unless fitted.
    std::unique_ptr<HierarchyNode> mainTree;
    std::unique_ptr<HierarchyNode> transitionTree;
};

// The whole camera fit on plain data.
CameraFitResult FitCameras(const CameraFitInput& input);

// The transfer of a tree edge: a pixel of the child's camera to the pixel of the parent's
// camera that sees the same ray (K_p R_p^T R_c K_c^-1).
CMatrix ChildToParentTransfer(const Camera& child, const Camera& parent);

// A pixel through a 3x3 homography.
inline void TransferPoint(const CMatrix& H, double x, double y, double& outX, double& outY) {
    const double w = H(2, 0) * x + H(2, 1) * y + H(2, 2);
    outX = (H(0, 0) * x + H(0, 1) * y + H(0, 2)) / w;
    outY = (H(1, 0) * x + H(1, 1) * y + H(1, 2)) / w;
}

// One edge of the fit: a non-root tree node with the cameras of its image and of its parent's
// image, both indices into the list named by `closing`.
struct CameraEdge {
    HierarchyNode* node = nullptr;
    bool closing = false;  // a transitionTree node: cameras of closingCameraList
    int child = 0;
    int parent = 0;
};

// Fits one focal length shared by all cameras and three angles per camera (the roots keep
// theirs) to the corresponding points of all tree edges with Levenberg-Marquardt. The steps
// are public so that each can be checked on its own; FitCameras() runs them in order.
// Images outside imageSizes and layoutPositions shorter than cameraList throw const char*.
class CameraFitter {
public:
    // Copies the input's trees; every step works on the copies.
    explicit CameraFitter(CameraFitInput input);

    CameraFitStatus FitCameras();
    // Done, or the last failure with the text for the log.
    StageResult Outcome() const;

    // Cameras of the distinct images of each tree in pre-order, freshly initialised; the
    // closing list only after EstimateTransitionTree().
    void CollectCameras();
    int EdgeCount() const;
    // Chains the edge homographies from the root outward (two passes) into first rotations.
    void EstimateMainTree(double focalLength);
    void EstimateTransitionTree();
    // K, K^-1 and rotations from the angles, then every edge's transfers from its cameras.
    void RefreshCameras();
    void BuildEdgeList();
    const std::vector<CameraEdge>& Edges() const { return edges; }
    // Block 1: one row per point pair of every edge (input: child point, observation: parent
    // point). Block 2, for cylindrical and spherical projection with a transitionTree: its
    // point pairs again, matched across the loop (see CameraResidual).
    void BuildObservations(CMatrix& input, CMatrix& observations) const;
    bool HasLoopBlock() const;
    // [f, angles of cameraList entries 1..., angles of closingCameraList entries 1...].
    CVector Parameters() const;
    // The parameters into the cameras, then RefreshCameras().
    void WriteParameters(const CVector& parameters);
    // The model of the fit over the edge list; context is not used.
    void CameraResidual(const CMatrix& input, const CVector& parameters, CMatrix& output, void* context);
    // After the fit: straighten, panorama rotations and planar homographies, lens inverses.
    void FinishCameras();

    // The fitter's copies of the trees, as the steps have left them.
    const HierarchyNode* MainTree() const { return mainTree.get(); }
    const HierarchyNode* TransitionTree() const { return transitionTree.get(); }
    // Hands the copies over (FitCameras() does, once it has fitted).
    std::unique_ptr<HierarchyNode> TakeMainTree() { return std::move(mainTree); }
    std::unique_ptr<HierarchyNode> TakeTransitionTree() { return std::move(transitionTree); }

    std::vector<Camera> cameraList;
    std::vector<Camera> closingCameraList;
    double residualStdDev = 0;
    int iterations = 0;
    double pairsFocalLength = 0;
    bool startedFromRecordedFocalLength = false;
    double horizonCorrection = 0;
    std::vector<std::pair<int, int>> pairsLeftOut;

private:
    // Leaves out the main tree's edge whose rms under the current cameras is the worst of those
    // far above the others', where the remaining edges still join every camera; true when one.
    bool DropStrayEdge();
    void Optimise(CVector& parameters);

    friend class CameraFitProblem;

    size_t CameraIndex(const std::vector<Camera>& list, int image) const;
    void EstimatePass(bool closing, double focalLength);
    void RefreshTree(HierarchyNode* tree, std::vector<Camera>& list);
    void LoopBlock(const CMatrix& input, int firstRow, CMatrix& output);
    // The loop rows with the given straightening turn (null: none) and, where focalLength > 0,
    // that focal length in place of the cameras' own.
    void LoopRows(const CMatrix& input, int firstRow, CMatrix& output, const CMatrix* straighten,
                  double focalLength) const;
    // The rows of one transition node from row on; returns the row after them.
    int LoopNodeRows(const HierarchyNode* node, const CMatrix& input, int row, CMatrix& output,
                     const CMatrix* straighten, double focalLength) const;
    Camera LoopCamera(size_t index, const CMatrix* straighten, double focalLength) const;

    CameraFitInput in;
    std::unique_ptr<HierarchyNode> mainTree;
    std::unique_ptr<HierarchyNode> transitionTree;
    std::vector<CameraEdge> edges;
    CameraFitStatus status = CameraFitStatus::NoTreeNodes;
};
