#include "stitching/CameraFitter.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <utility>

#include "linalg/CLevenbergMarquardt.h"
#include "stitching/Autostraighten.h"
#include "stitching/CameraFitProblem.h"
#include "stitching/FocalLength.h"
#include "stitching/PanoramaRotations.h"

namespace {

const char* const kNoOverlap = "Could not fit cameras, no overlapping images.";
const char* const kDiverged = "The camera fit did not converge.";

int NonRootNodes(const HierarchyNode* tree) { return tree ? tree->CountNodes() - 1 : 0; }

void AppendPairs(const HierarchyNode* node, CMatrix& input, CMatrix& observations, int& row) {
    if (node->parentPoints.size() != node->childPoints.size())
        throw "CameraFitter: an edge with unequal point lists";
    for (size_t k = 0; k < node->childPoints.size(); ++k, ++row) {
        input(row, 0) = node->childPoints[k].x;
        input(row, 1) = node->childPoints[k].y;
        observations(row, 0) = node->parentPoints[k].x;
        observations(row, 1) = node->parentPoints[k].y;
    }
}

int PairCount(const HierarchyNode* tree) {
    int n = 0;
    if (tree)
        ForEachPreOrder(tree->firstChild,
                        [&](const HierarchyNode* node) { n += static_cast<int>(node->childPoints.size()); });
    return n;
}

bool AllFinite(const CVector& v) {
    for (int k = 0; k < v.count; ++k)
        if (!std::isfinite(v[k]))
            return false;
    return true;
}

}  // namespace

CameraFitResult FitCameras(const CameraFitInput& input) {
    CameraFitter fitter(input);
    CameraFitResult result;
    result.status = fitter.FitCameras();
    result.outcome = fitter.Outcome();
    result.residualStdDev = fitter.residualStdDev;
    result.iterations = fitter.iterations;
    result.pairsFocalLength = fitter.pairsFocalLength;
    result.horizonCorrection = fitter.horizonCorrection;
    result.pairsLeftOut = fitter.pairsLeftOut;
    result.startedFromRecordedFocalLength = fitter.startedFromRecordedFocalLength;
    if (result.status == CameraFitStatus::Fitted) {
        result.cameraList = std::move(fitter.cameraList);
        result.closingCameraList = std::move(fitter.closingCameraList);
        result.mainTree = fitter.TakeMainTree();
        result.transitionTree = fitter.TakeTransitionTree();
    }
    return result;
}

CameraFitter::CameraFitter(CameraFitInput input)
    : in(std::move(input)), mainTree(in.mainTree ? in.mainTree->CloneSubtree() : nullptr),
      transitionTree(in.transitionTree ? in.transitionTree->CloneSubtree() : nullptr) {}

StageResult CameraFitter::Outcome() const {
    switch (status) {
    case CameraFitStatus::Fitted: return StageResult();
    case CameraFitStatus::NoTreeNodes:
    case CameraFitStatus::NoOverlap: return StageResult::Failure(StageFailure::NoOverlap, kNoOverlap);
    case CameraFitStatus::Diverged: return StageResult::Failure(kDiverged);
    }
    return StageResult::Failure(kDiverged);
}

CameraFitStatus CameraFitter::FitCameras() {
    cameraList.clear();
    closingCameraList.clear();
    edges.clear();
    if (!mainTree)
        return status = CameraFitStatus::NoTreeNodes;
    CollectCameras();
    if (in.layoutPositions.size() < cameraList.size())
        throw "CameraFitter: fewer layout positions than cameras";
    // Without an edge, or without an edge that tells a focal length, there is nothing to fit:
    // cameras with f = 0 would make every K^-1 infinite.
    pairsFocalLength = InitialFocalLength(mainTree.get(), transitionTree.get(), in.imageSizes);
    if (EdgeCount() == 0 || !(pairsFocalLength > 0) || !std::isfinite(pairsFocalLength)) {
        cameraList.clear();
        return status = CameraFitStatus::NoOverlap;
    }
    const double recorded = in.recordedFocalLength;
    startedFromRecordedFocalLength =
        recorded > 0 && std::isfinite(recorded) && std::abs(recorded / pairsFocalLength - 1) <= kRecordedFocalAgreement;
    const double f0 = startedFromRecordedFocalLength ? recorded : pairsFocalLength;
    EstimateMainTree(f0);
    EstimateTransitionTree();
    BuildEdgeList();

    CVector parameters = Parameters();
    Optimise(parameters);
    // One stray pair bends its neighbours too: the worst goes first, and the fit is made again
    // before the next is judged.
    for (int k = 0; k < kMostPairsLeftOut && !in.spanningEdgesOnly && AllFinite(parameters) && DropStrayEdge(); ++k)
        Optimise(parameters);
    // The optimiser itself always reports success; a fit that ran off to NaN or infinity, or to
    // a focal length that looks backwards, is a failure.
    if (!AllFinite(parameters) || !(parameters[0] > 0) || !std::isfinite(residualStdDev)) {
        cameraList.clear();
        closingCameraList.clear();
        return status = CameraFitStatus::Diverged;
    }
    WriteParameters(parameters);
    FinishCameras();
    return status = CameraFitStatus::Fitted;
}

void CameraFitter::CollectCameras() {
    cameraList.clear();
    closingCameraList.clear();
    if (!mainTree)
        return;
    for (int image : mainTree->DistinctImages()) {
        Camera camera;
        camera.image = image;
        const ImageSize& size = in.imageSizes.at(static_cast<size_t>(image));
        camera.Initialise(size.width, size.height);
        cameraList.push_back(camera);
    }
}

int CameraFitter::EdgeCount() const { return NonRootNodes(mainTree.get()) + NonRootNodes(transitionTree.get()); }

size_t CameraFitter::CameraIndex(const std::vector<Camera>& list, int image) const {
    for (size_t k = 0; k < list.size(); ++k)
        if (list[k].image == image)
            return static_cast<int>(k);
    throw "CameraFitter: a tree image without a camera";
}

void CameraFitter::BuildEdgeList() {
    edges.clear();
    auto add = [&](HierarchyNode* tree, bool closing) {
        if (!tree)
            return;
        const std::vector<Camera>& list = closing ? closingCameraList : cameraList;
        std::set<int> reached = {tree->image};
        ForEachPreOrder(tree->firstChild, [&](const HierarchyNode* node) {
            // One edge per photograph: the one that first reaches it.
            if (in.spanningEdgesOnly && !closing && !reached.insert(node->image).second)
                return;
            edges.push_back({const_cast<HierarchyNode*>(node), closing,
                             static_cast<int>(CameraIndex(list, node->image)),
                             static_cast<int>(CameraIndex(list, node->parent->image))});
        });
    };
    add(mainTree.get(), false);
    add(transitionTree.get(), true);
}

void CameraFitter::Optimise(CVector& parameters) {
    CMatrix input, observations;
    BuildObservations(input, observations);
    CLevenbergMarquardt optimiser;
    if (in.denseJacobian) {
        optimiser.Fit(input, observations, parameters, CLevenbergMarquardt::Bind(this, &CameraFitter::CameraResidual));
    } else {
        CameraFitProblem problem(*this, input, observations);
        optimiser.solveByCholesky = true;
        optimiser.Minimise(problem, parameters);
    }
    residualStdDev = optimiser.residualStdDev;
    iterations += optimiser.iterations;
}

namespace {

// The rms distance of the edge's child points, through its transfer, from their matches.
double EdgeRms(const HierarchyNode& node) {
    double sum = 0;
    for (size_t k = 0; k < node.childPoints.size(); ++k) {
        double x = 0, y = 0;
        TransferPoint(node.toParent, node.childPoints[k].x, node.childPoints[k].y, x, y);
        sum += (x - node.parentPoints[k].x) * (x - node.parentPoints[k].x) +
               (y - node.parentPoints[k].y) * (y - node.parentPoints[k].y);
    }
    return node.childPoints.empty() ? 0 : std::sqrt(sum / static_cast<double>(node.childPoints.size()));
}

// Whether the main list's edges, but for the left-out ones, join all `count` cameras.
bool JoinsAll(const std::vector<CameraEdge>& edges, const std::vector<bool>& out, size_t count) {
    std::vector<size_t> root(count);
    for (size_t k = 0; k < count; ++k)
        root[k] = k;
    auto find = [&](size_t k) {
        while (root[k] != k)
            k = root[k] = root[root[k]];
        return k;
    };
    size_t groups = count;
    for (size_t e = 0; e < edges.size(); ++e) {
        if (out[e] || edges[e].closing)
            continue;
        const size_t a = find(static_cast<size_t>(edges[e].child)), b = find(static_cast<size_t>(edges[e].parent));
        if (a != b) {
            root[a] = b;
            --groups;
        }
    }
    return groups <= 1;
}

}  // namespace

bool CameraFitter::DropStrayEdge() {
    WriteParameters(Parameters());
    std::vector<double> rms;
    for (const CameraEdge& edge : edges)
        rms.push_back(EdgeRms(*edge.node));
    if (rms.size() < 3)
        return false;
    std::vector<double> sorted = rms;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(sorted.size() / 2), sorted.end());
    const double limit = std::max(kPairLeftOutFloor, kPairLeftOutRatio * sorted[sorted.size() / 2]);
    std::vector<size_t> order;
    for (size_t e = 0; e < edges.size(); ++e)
        if (!edges[e].closing && rms[e] > limit)
            order.push_back(e);
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return rms[a] > rms[b]; });
    std::vector<bool> out(edges.size(), false);
    for (size_t e : order) {
        out[e] = true;
        if (JoinsAll(edges, out, cameraList.size())) {
            pairsLeftOut.emplace_back(edges[e].node->image, edges[e].node->parent->image);
            edges.erase(edges.begin() + static_cast<long>(e));
            return true;
        }
        out[e] = false;
    }
    return false;
}

bool CameraFitter::HasLoopBlock() const { return transitionTree && ProjectionOf(in.projectionType).Wraps(); }

void CameraFitter::BuildObservations(CMatrix& input, CMatrix& observations) const {
    int rows = 0;
    for (const CameraEdge& edge : edges)
        rows += static_cast<int>(edge.node->childPoints.size());
    // Planar projection has no longitude to close the loop with: block 2 is left out.
    if (HasLoopBlock())
        rows += PairCount(transitionTree.get());
    input.Resize(rows, 2);
    observations.Resize(rows, 2);
    int row = 0;
    for (const CameraEdge& edge : edges)
        AppendPairs(edge.node, input, observations, row);
    if (HasLoopBlock())
        ForEachPreOrder(transitionTree->firstChild,
                        [&](const HierarchyNode* node) { AppendPairs(node, input, observations, row); });
}

CVector CameraFitter::Parameters() const {
    const int n1 = std::max<int>(1, static_cast<int>(cameraList.size()));
    const int n2 = std::max<int>(1, static_cast<int>(closingCameraList.size()));
    CVector p(3 * n1 + 3 * n2 - 5);
    p[0] = cameraList.empty() ? 0 : cameraList[0].focalLength;
    int k = 1;
    for (const std::vector<Camera>* list : {&cameraList, &closingCameraList})
        for (size_t i = 1; i < list->size(); ++i) {
            p[k++] = (*list)[i].alpha;
            p[k++] = (*list)[i].beta;
            p[k++] = (*list)[i].gamma;
        }
    return p;
}

void CameraFitter::WriteParameters(const CVector& p) {
    int k = 1;
    for (std::vector<Camera>* list : {&cameraList, &closingCameraList})
        for (size_t i = 0; i < list->size(); ++i) {
            Camera& camera = (*list)[i];
            camera.focalLength = p[0];
            if (i == 0)
                continue;
            camera.alpha = p[k++];
            camera.beta = p[k++];
            camera.gamma = p[k++];
        }
    RefreshCameras();
}

void CameraFitter::FinishCameras() {
    horizonCorrection = Autostraighten(cameraList, closingCameraList, in.layoutPositions);
    ComputePanoramaRotations(cameraList, closingCameraList, in.layoutPositions, in.projectionType,
                             in.verticalCameraRotation);
    for (std::vector<Camera>* list : {&cameraList, &closingCameraList})
        for (Camera& camera : *list)
            camera.lens.RecomputeInverse();
}
