#include "stitching/CameraFitProblem.h"

#include <cstddef>

#include "stitching/Autostraighten.h"
#include "stitching/CameraFitter.h"
#include "stitching/Rotations.h"

namespace {

constexpr int kEdgeParameters = 7;  // f, the child's three angles, the parent's three

}  // namespace

CameraFitProblem::CameraFitProblem(CameraFitter& fitter, const CMatrix& input, const CMatrix& observations)
    : fitter(fitter), input(input), observations(observations) {
    for (const CameraEdge& edge : fitter.Edges()) {
        edgeFirstRows.push_back(mainRows);
        mainRows += static_cast<int>(edge.node->childPoints.size());
    }
    rowIndices.assign(static_cast<size_t>(mainRows) * kEdgeParameters, -1);
    rowEntries.assign(static_cast<size_t>(mainRows) * kEdgeParameters * 2, 0);
}

CVector CameraFitProblem::Residuals(CVector& parameters) {
    model.Resize(observations.rows, observations.cols);
    fitter.CameraResidual(input, parameters, model, nullptr);
    CVector residuals(observations.count);
    for (int k = 0; k < observations.count; ++k)
        residuals[k] = observations.data[k] - model.data[k];
    return residuals;
}

int CameraFitProblem::AngleBlock(bool closing, int camera) const {
    const int mainCount = static_cast<int>(fitter.cameraList.size());
    if (!closing)
        return camera == 0 ? -1 : 1 + 3 * (camera - 1);
    if (camera > 0)
        return 1 + 3 * (mainCount - 1) + 3 * (camera - 1);
    // The closing list's first camera is the main list's camera of the same image.
    const int image = fitter.closingCameraList[0].image;
    for (int k = 1; k < mainCount; ++k)
        if (fitter.cameraList[static_cast<size_t>(k)].image == image)
            return 1 + 3 * (k - 1);
    return -1;
}

void CameraFitProblem::NormalEquations(CVector& parameters, const CVector& residuals, CMatrix& N, CMatrix& g) {
    const std::vector<CameraEdge>& edges = fitter.Edges();
    for (size_t e = 0; e < edges.size(); ++e)
        EdgeJacobian(parameters, e);
    LoopJacobian(parameters);
    Accumulate(parameters.count, residuals, N, g);
}

// Every entry as the dense forward difference makes it: the cameras of the edge with one
// parameter stepped, their matrices rebuilt the way the fitter rebuilds them, the rows of the
// edge transferred again.
void CameraFitProblem::EdgeJacobian(const CVector& parameters, size_t edgeIndex) {
    const CameraEdge& edge = fitter.Edges()[edgeIndex];
    const std::vector<Camera>& list = edge.closing ? fitter.closingCameraList : fitter.cameraList;
    const Camera& child = list[static_cast<size_t>(edge.child)];
    const Camera& parent = list[static_cast<size_t>(edge.parent)];
    const int childBlock = AngleBlock(edge.closing, edge.child);
    const int parentBlock = AngleBlock(edge.closing, edge.parent);
    int indices[kEdgeParameters] = {0, -1, -1, -1, -1, -1, -1};
    for (int a = 0; a < 3; ++a) {
        indices[1 + a] = childBlock < 0 ? -1 : childBlock + a;
        indices[4 + a] = parentBlock < 0 ? -1 : parentBlock + a;
    }
    const int firstRow = edgeFirstRows[edgeIndex];
    const int count = static_cast<int>(edge.node->childPoints.size());
    for (int slot = 0; slot < kEdgeParameters; ++slot) {
        const int index = indices[slot];
        for (int row = firstRow; row < firstRow + count; ++row)
            rowIndices[static_cast<size_t>(row) * kEdgeParameters + slot] = index;
        if (index < 0)
            continue;
        Camera c = child, p = parent;
        const double stepped = parameters[index] + kDifferenceStep;
        if (slot == 0) {
            c.focalLength = p.focalLength = stepped;
        } else {
            Camera& moved = slot < 4 ? c : p;
            double* angles[3] = {&moved.alpha, &moved.beta, &moved.gamma};
            *angles[(slot - 1) % 3] = stepped;
        }
        for (Camera* camera : {&c, &p}) {
            camera->UpdateIntrinsics();
            camera->RotationFromAngles();
        }
        const CMatrix H = ChildToParentTransfer(c, p);
        for (int row = firstRow; row < firstRow + count; ++row) {
            double x = 0, y = 0;
            TransferPoint(H, input(row, 0), input(row, 1), x, y);
            double* entries = &rowEntries[static_cast<size_t>(row) * kEdgeParameters * 2];
            entries[slot] = (x - model(row, 0)) * kInverseDifferenceStep;
            entries[kEdgeParameters + slot] = (y - model(row, 1)) * kInverseDifferenceStep;
        }
    }
}

// The loop rows depend on every camera, but on most only through the straightening turn: each
// parameter's quotient turns the one camera it moves (its rotation rebuilt as from its angles)
// and recomputes the turn and the loop's rows, not the whole model.
void CameraFitProblem::LoopJacobian(CVector& parameters) {
    const int loopRows = observations.rows - mainRows;
    if (loopRows == 0)
        return;
    fitter.WriteParameters(parameters);
    loopRowsByParameter.assign(static_cast<size_t>(2 * loopRows) * parameters.count, 0);
    perturbed.Resize(observations.rows, observations.cols);
    const std::vector<PointD>& layout = fitter.in.layoutPositions;
    CMatrix straighten;
    for (int i = 0; i < parameters.count; ++i) {
        const double stepped = parameters[i] + kDifferenceStep;
        if (i == 0) {
            const bool straightens =
                StraighteningRotation(fitter.cameraList, fitter.closingCameraList, layout, straighten);
            fitter.LoopRows(input, mainRows, perturbed, straightens ? &straighten : nullptr, stepped);
        } else {
            const int mainAngles = 3 * (static_cast<int>(fitter.cameraList.size()) - 1);
            const bool closing = i - 1 >= mainAngles;
            std::vector<Camera>& list = closing ? fitter.closingCameraList : fitter.cameraList;
            const int offset = closing ? i - 1 - mainAngles : i - 1;
            Camera& camera = list[static_cast<size_t>(1 + offset / 3)];
            double angles[3] = {camera.alpha, camera.beta, camera.gamma};
            angles[offset % 3] = stepped;
            const CMatrix saved = camera.rotation;
            camera.SetRotation(Rz(angles[2]) * Ry(angles[1]) * Rx(angles[0]));
            const bool straightens =
                StraighteningRotation(fitter.cameraList, fitter.closingCameraList, layout, straighten);
            fitter.LoopRows(input, mainRows, perturbed, straightens ? &straighten : nullptr, 0);
            camera.SetRotation(saved);
        }
        for (int k = 0; k < loopRows; ++k) {
            const int row = mainRows + k;
            const size_t x = static_cast<size_t>(k) * parameters.count + i;
            const size_t y = static_cast<size_t>(loopRows + k) * parameters.count + i;
            loopRowsByParameter[x] = (perturbed(row, 0) - model(row, 0)) * kInverseDifferenceStep;
            loopRowsByParameter[y] = (perturbed(row, 1) - model(row, 1)) * kInverseDifferenceStep;
        }
    }
}

// Row by row in the residual vector's order (every x, then every y), so each sum of J^T J and
// J^T r adds the same products in the same order as the dense product does; the products of
// the zeros it leaves out add nothing.
void CameraFitProblem::Accumulate(int parameterCount, const CVector& residuals, CMatrix& N, CMatrix& g) const {
    N.Resize(parameterCount, parameterCount);
    g.Resize(parameterCount, 1);
    for (int k = 0; k < N.count; ++k)
        N.data[k] = 0;
    for (int k = 0; k < g.count; ++k)
        g.data[k] = 0;
    const int rows = observations.rows;
    const int loopRows = rows - mainRows;
    for (int coordinate = 0; coordinate < 2; ++coordinate) {
        for (int row = 0; row < mainRows; ++row) {
            const int* indices = &rowIndices[static_cast<size_t>(row) * kEdgeParameters];
            const double* entries =
                &rowEntries[static_cast<size_t>(row) * kEdgeParameters * 2 + coordinate * kEdgeParameters];
            const double r = residuals[coordinate * rows + row];
            for (int a = 0; a < kEdgeParameters; ++a) {
                if (indices[a] < 0)
                    continue;
                double* column = N.columns[indices[a]];
                for (int b = 0; b < kEdgeParameters; ++b)
                    if (indices[b] >= 0)
                        column[indices[b]] += entries[b] * entries[a];
                g.data[indices[a]] += entries[a] * r;
            }
        }
        for (int k = 0; k < loopRows; ++k) {
            const int jacobianRow = coordinate * loopRows + k;
            const double* J = &loopRowsByParameter[static_cast<size_t>(jacobianRow) * parameterCount];
            const double r = residuals[coordinate * rows + mainRows + k];
            // The lower triangle only; the sums are symmetric product for product.
            for (int a = 0; a < parameterCount; ++a) {
                const double ja = J[a];
                double* column = N.columns[a];
                for (int b = a; b < parameterCount; ++b)
                    column[b] += J[b] * ja;
                g.data[a] += ja * r;
            }
        }
    }
    if (loopRows > 0)
        for (int a = 0; a < parameterCount; ++a)
            for (int b = a + 1; b < parameterCount; ++b)
                N.columns[b][a] = N.columns[a][b];
}
