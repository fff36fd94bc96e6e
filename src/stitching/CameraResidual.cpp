// The model of the camera fit: every edge's point pairs transferred through the cameras, and
// across a full circle the loop-closing pairs compared in projection coordinates.
#include <cstddef>
#include <vector>

#include "stitching/Autostraighten.h"
#include "stitching/CameraFitter.h"
#include "stitching/PanoramaRotations.h"

void CameraFitter::CameraResidual(const CMatrix& input, const CVector& parameters, CMatrix& output, void*) {
    WriteParameters(parameters);
    const double* xs = input.columns[0];
    const double* ys = input.columns[1];
    double* outX = output.columns[0];
    double* outY = output.columns[1];
    int row = 0;
    for (const CameraEdge& edge : edges) {
        const CMatrix& H = edge.node->toParent;
        const int end = row + static_cast<int>(edge.node->childPoints.size());
        for (; row < end; ++row)
            TransferPoint(H, xs[row], ys[row], outX[row], outY[row]);
    }
    if (HasLoopBlock())
        LoopBlock(input, row, output);
}

// Each transition pair is mapped into projection coordinates with the cameras of the first
// list at both ends. The pair's mean longitude difference is removed (across the seam it is a
// whole turn, give or take the error), so what is matched is the height and the spread of the
// points: the chain of the first list must come back to where it started.
void CameraFitter::LoopBlock(const CMatrix& input, int firstRow, CMatrix& output) {
    CMatrix straighten;
    const bool straightens = StraighteningRotation(cameraList, closingCameraList, in.layoutPositions, straighten);
    LoopRows(input, firstRow, output, straightens ? &straighten : nullptr, 0);
}

// The cameras as straightening and the panorama rotations would leave them, made for the
// loop's images only: the rows read nothing else, and the difference quotients of the fit make
// them once for every parameter.
Camera CameraFitter::LoopCamera(size_t index, const CMatrix* straighten, double focalLength) const {
    Camera camera = cameraList[index];
    if (focalLength > 0) {
        camera.focalLength = focalLength;
        camera.UpdateIntrinsics();
    }
    if (straighten)
        camera.SetRotation(*straighten * camera.rotation);
    SetPanoramaLongitude(camera, in.layoutPositions[index].x, in.layoutPositions[0].x, cameraList[0].lens.width);
    return camera;
}

void CameraFitter::LoopRows(const CMatrix& input, int firstRow, CMatrix& output, const CMatrix* straighten,
                            double focalLength) const {
    int row = firstRow;
    ForEachPreOrder(transitionTree->firstChild, [&](const HierarchyNode* node) {
        row = LoopNodeRows(node, input, row, output, straighten, focalLength);
    });
}

int CameraFitter::LoopNodeRows(const HierarchyNode* node, const CMatrix& input, int row, CMatrix& output,
                               const CMatrix* straighten, double focalLength) const {
    const size_t n = node->childPoints.size();
    if (n == 0)
        return row;
    const Projection& projection = ProjectionOf(in.projectionType);
    const Camera c = LoopCamera(CameraIndex(cameraList, node->image), straighten, focalLength);
    const Camera p = LoopCamera(CameraIndex(cameraList, node->parent->image), straighten, focalLength);
    std::vector<PointD> mapped(n);
    double meanChild = 0, meanParent = 0;
    for (size_t k = 0; k < n; ++k) {
        mapped[k] = projection.ToSurface(c, input(row + static_cast<int>(k), 0), input(row + static_cast<int>(k), 1));
        meanChild += mapped[k].x;
        meanParent += projection.ToSurface(p, node->parentPoints[k].x, node->parentPoints[k].y).x;
    }
    const double shift = (meanParent - meanChild) / static_cast<double>(n);
    for (size_t k = 0; k < n; ++k, ++row) {
        PointD pixel = projection.FromSurface(p, mapped[k].x + shift, mapped[k].y);
        output(row, 0) = pixel.x;
        output(row, 1) = pixel.y;
    }
    return row;
}
