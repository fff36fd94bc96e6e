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
    return ResidualsOf(observations, model);
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

// The loop rows depend on every camera, but on most only through the straightening turn, a
// rotation of three degrees of freedom. Their quotients in those three are taken once; each
// camera parameter's quotient of the turn itself is cheap (one recomputation of the turn), and
// the chain rule gives the rows' quotients from both. Only the rows of the transition pairs
// that hold the stepped camera itself are transferred again with it. The focal length moves
// every row directly and is stepped through all of them.
void CameraFitProblem::LoopJacobian(CVector& parameters) {
    const int loopRows = observations.rows - mainRows;
    if (loopRows == 0)
        return;
    fitter.WriteParameters(parameters);
    const int P = parameters.count;
    loopDirect.assign(static_cast<size_t>(2 * loopRows), LoopDirect{});
    loopByAxis.assign(static_cast<size_t>(6) * loopRows, 0);
    turnByParameter.assign(static_cast<size_t>(3) * P, 0);
    perturbed.Resize(observations.rows, observations.cols);
    const std::vector<PointD>& layout = fitter.in.layoutPositions;
    auto quotient = [&](int row, int coordinate) {
        return (perturbed(row, coordinate) - model(row, coordinate)) * kInverseDifferenceStep;
    };
    auto direct = [&](int k, int i, double dx, double dy) {
        loopDirect[static_cast<size_t>(k)].Add(i, dx);
        loopDirect[static_cast<size_t>(loopRows + k)].Add(i, dy);
    };

    CMatrix turn;
    const bool straightens = StraighteningRotation(fitter.cameraList, fitter.closingCameraList, layout, turn);
    // f: every row, directly and through nothing else.
    fitter.LoopRows(input, mainRows, perturbed, straightens ? &turn : nullptr, parameters[0] + kDifferenceStep);
    for (int k = 0; k < loopRows; ++k)
        direct(k, 0, quotient(mainRows + k, 0), quotient(mainRows + k, 1));

    // The rows' quotients in a small turn about each axis, applied after the straightening.
    std::vector<double>& byAxis = loopByAxis;
    if (straightens)
        for (int axis = 0; axis < 3; ++axis) {
            const CMatrix stepped = (axis == 0   ? Rx(kDifferenceStep)
                                     : axis == 1 ? Ry(kDifferenceStep)
                                                 : Rz(kDifferenceStep)) *
                                    turn;
            fitter.LoopRows(input, mainRows, perturbed, &stepped, 0);
            for (int k = 0; k < loopRows; ++k) {
                byAxis[static_cast<size_t>(6 * k + 2 * axis)] = quotient(mainRows + k, 0);
                byAxis[static_cast<size_t>(6 * k + 2 * axis + 1)] = quotient(mainRows + k, 1);
            }
        }

    const int mainAngles = 3 * (static_cast<int>(fitter.cameraList.size()) - 1);
    CMatrix steppedTurn;
    for (int i = 1; i < P; ++i) {
        const bool closing = i - 1 >= mainAngles;
        std::vector<Camera>& list = closing ? fitter.closingCameraList : fitter.cameraList;
        const int offset = closing ? i - 1 - mainAngles : i - 1;
        const size_t cameraIndex = static_cast<size_t>(1 + offset / 3);
        Camera& camera = list[cameraIndex];
        double angles[3] = {camera.alpha, camera.beta, camera.gamma};
        angles[offset % 3] = parameters[i] + kDifferenceStep;
        const CMatrix saved = camera.rotation;
        camera.SetRotation(Rz(angles[2]) * Ry(angles[1]) * Rx(angles[0]));
        const bool stepStraightens =
            StraighteningRotation(fitter.cameraList, fitter.closingCameraList, layout, steppedTurn);
        // The turn's own quotient as a small rotation w: stepped = (I + [w h]x) turn.
        double* w = &turnByParameter[static_cast<size_t>(3 * i)];
        if (straightens && stepStraightens) {
            const CMatrix D = steppedTurn * turn.Transpose();
            w[0] = (D(2, 1) - D(1, 2)) / 2 * kInverseDifferenceStep;
            w[1] = (D(0, 2) - D(2, 0)) / 2 * kInverseDifferenceStep;
            w[2] = (D(1, 0) - D(0, 1)) / 2 * kInverseDifferenceStep;
        }
        // The rows of the pairs that hold this camera move with it directly as well: what their
        // whole quotient has beyond the part through the turn.
        if (!closing)
            for (const LoopNode& node : LoopNodesOf(cameraIndex)) {
                fitter.LoopNodeRows(node.node, input, node.firstRow, perturbed,
                                    stepStraightens ? &steppedTurn : nullptr, 0);
                for (int row = node.firstRow; row < node.firstRow + node.rows; ++row) {
                    const double* q = &byAxis[static_cast<size_t>(6 * (row - mainRows))];
                    direct(row - mainRows, i, quotient(row, 0) - (q[0] * w[0] + q[2] * w[1] + q[4] * w[2]),
                           quotient(row, 1) - (q[1] * w[0] + q[3] * w[1] + q[5] * w[2]));
                }
            }
        camera.SetRotation(saved);
    }
}

// The transition nodes whose child or parent image is the main list's camera index.
const std::vector<CameraFitProblem::LoopNode>& CameraFitProblem::LoopNodesOf(size_t cameraIndex) {
    if (loopNodesByCamera.empty()) {
        loopNodesByCamera.resize(fitter.cameraList.size());
        int row = mainRows;
        ForEachPreOrder(fitter.transitionTree->firstChild, [&](const HierarchyNode* node) {
            const int count = static_cast<int>(node->childPoints.size());
            if (count == 0)
                return;
            const LoopNode entry{node, row, count};
            const size_t child = fitter.CameraIndex(fitter.cameraList, node->image);
            const size_t parent = fitter.CameraIndex(fitter.cameraList, node->parent->image);
            loopNodesByCamera[child].push_back(entry);
            if (parent != child)
                loopNodesByCamera[parent].push_back(entry);
            row += count;
        });
    }
    return loopNodesByCamera[cameraIndex];
}

// The tree edges' rows in the residual vector's order (every x, then every y), so each of their
// sums of J^T J and J^T r adds the same products in the same order as the dense product does
// (the products of the zeros it leaves out add nothing); the loop rows through their structure.
void CameraFitProblem::Accumulate(int parameterCount, const CVector& residuals, CMatrix& N, CMatrix& g) const {
    ClearNormalEquations(parameterCount, N, g);
    const int rows = observations.rows;
    const int loopRows = rows - mainRows;
    directByTurn.assign(static_cast<size_t>(3) * parameterCount, 0);
    double turnByTurn[9] = {}, turnResidual[3] = {};
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
        // A loop row's quotients are its direct ones plus q W, q its three quotients in the
        // straightening turn and W the turn's quotients in every parameter: J^T J of the block
        // is summed as D^T D + D^T Q W + (D^T Q W)^T + W^T (Q^T Q) W.
        for (int k = 0; k < loopRows; ++k) {
            const LoopDirect& d = loopDirect[static_cast<size_t>(coordinate * loopRows + k)];
            const double* q = &loopByAxis[static_cast<size_t>(6 * k + coordinate)];
            const double qk[3] = {q[0], q[2], q[4]};
            const double r = residuals[coordinate * rows + mainRows + k];
            d.SumInto(N, g, r);
            for (int a = 0; a < d.count; ++a)
                for (int j = 0; j < 3; ++j)
                    directByTurn[static_cast<size_t>(3 * d.index[a] + j)] += d.value[a] * qk[j];
            for (int j = 0; j < 3; ++j) {
                turnResidual[j] += qk[j] * r;
                for (int l = 0; l < 3; ++l)
                    turnByTurn[3 * j + l] += qk[j] * qk[l];
            }
        }
    }
    if (loopRows > 0) {
        const double* W = turnByParameter.data();
        for (int a = 0; a < parameterCount; ++a) {
            const double* A = &directByTurn[static_cast<size_t>(3 * a)];
            const double* wa = W + 3 * a;
            double turnA[3];  // (Q^T Q) w_a
            for (int j = 0; j < 3; ++j)
                turnA[j] = turnByTurn[3 * j] * wa[0] + turnByTurn[3 * j + 1] * wa[1] + turnByTurn[3 * j + 2] * wa[2];
            double* column = N.columns[a];
            for (int b = 0; b < parameterCount; ++b) {
                const double* wb = W + 3 * b;
                const double* B = &directByTurn[static_cast<size_t>(3 * b)];
                column[b] += A[0] * wb[0] + A[1] * wb[1] + A[2] * wb[2] + B[0] * wa[0] + B[1] * wa[1] + B[2] * wa[2] +
                             turnA[0] * wb[0] + turnA[1] * wb[1] + turnA[2] * wb[2];
            }
            g.data[a] += wa[0] * turnResidual[0] + wa[1] * turnResidual[1] + wa[2] * turnResidual[2];
        }
    }
}
