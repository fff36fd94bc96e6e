// The model of the camera fit: every edge's point pairs transferred through the cameras, and
// across a full circle the loop-closing pairs compared in projection coordinates.
#include <cstddef>
#include <vector>

#include "stitching/Autostraighten.h"
#include "stitching/CameraFitter.h"
#include "stitching/PanoramaRotations.h"

void CameraFitter::CameraResidual(const CMatrix& input, const CVector& parameters, CMatrix& output, void* context) {
    WriteParameters(parameters);
    const auto& edgeList = *static_cast<const std::vector<CameraEdge>*>(context);
    const double* xs = input.columns[0];
    const double* ys = input.columns[1];
    double* outX = output.columns[0];
    double* outY = output.columns[1];
    int row = 0;
    for (const CameraEdge& edge : edgeList) {
        const CMatrix& H = edge.node->toParent;
        const double h00 = H(0, 0), h01 = H(0, 1), h02 = H(0, 2), h10 = H(1, 0), h11 = H(1, 1), h12 = H(1, 2);
        const double h20 = H(2, 0), h21 = H(2, 1), h22 = H(2, 2);
        const int end = row + static_cast<int>(edge.node->childPoints.size());
        for (; row < end; ++row) {
            const double x = xs[row], y = ys[row];
            const double w = h20 * x + h21 * y + h22;
            outX[row] = (h00 * x + h01 * y + h02) / w;
            outY[row] = (h10 * x + h11 * y + h12) / w;
        }
    }
    if (HasLoopBlock())
        LoopBlock(input, row, output);
}

// Each transition pair is mapped into projection coordinates with the cameras of the first
// list at both ends. The pair's mean longitude difference is removed (across the seam it is a
// whole turn, give or take the error), so what is matched is the height and the spread of the
// points: the chain of the first list must come back to where it started.
void CameraFitter::LoopBlock(const CMatrix& input, int firstRow, CMatrix& output) {
    Autostraighten(cameraList, closingCameraList, in.layoutPositions);
    ComputePanoramaRotations(cameraList, closingCameraList, in.layoutPositions, in.projectionType,
                             in.verticalCameraRotation);
    const Projection& projection = ProjectionOf(in.projectionType);
    int row = firstRow;
    std::vector<PointD> mapped;
    ForEachPreOrder(transitionTree->firstChild, [&](const HierarchyNode* node) {
        const Camera& c = cameraList[CameraIndex(cameraList, node->image)];
        const Camera& p = cameraList[CameraIndex(cameraList, node->parent->image)];
        const size_t n = node->childPoints.size();
        if (n == 0)
            return;
        mapped.resize(n);
        double meanChild = 0, meanParent = 0;
        for (size_t k = 0; k < n; ++k) {
            mapped[k] =
                projection.ToSurface(c, input(row + static_cast<int>(k), 0), input(row + static_cast<int>(k), 1));
            meanChild += mapped[k].x;
            meanParent += projection.ToSurface(p, node->parentPoints[k].x, node->parentPoints[k].y).x;
        }
        const double shift = (meanParent - meanChild) / static_cast<double>(n);
        for (size_t k = 0; k < n; ++k, ++row) {
            PointD pixel = projection.FromSurface(p, mapped[k].x + shift, mapped[k].y);
            output(row, 0) = pixel.x;
            output(row, 1) = pixel.y;
        }
    });
}
