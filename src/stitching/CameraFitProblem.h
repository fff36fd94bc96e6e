#pragma once

#include <cstddef>
#include <vector>

#include "linalg/CMatrix.h"
#include "linalg/LeastSquaresProblem.h"
#include "linalg/SparseJacobianRow.h"

class CameraFitter;

// The camera fit's normal equations assembled from their structure. A point pair of a tree
// edge depends on the shared focal length and on the angles of the edge's two cameras only,
// so its rows of the Jacobian have at most seven entries: each edge's difference quotients are
// taken on its own two cameras, and J^T J is summed seven by seven. Only the rows that close a
// full circle depend on every camera (through the straightening) and are differenced over the
// whole model. The numbers are the dense forward difference's, summed in the same order.
class CameraFitProblem : public LeastSquaresProblem {
public:
    CameraFitProblem(CameraFitter& fitter, const CMatrix& input, const CMatrix& observations);

    CVector Residuals(CVector& parameters) override;
    void NormalEquations(CVector& parameters, const CVector& residuals, CMatrix& N, CMatrix& g) override;

private:
    // The first of a camera's three angle parameters, or -1 for a camera that keeps its angles.
    int AngleBlock(bool closing, int camera) const;
    void EdgeJacobian(const CVector& parameters, size_t edge);
    void LoopJacobian(CVector& parameters);
    struct LoopNode {
        const HierarchyNode* node;
        int firstRow;
        int rows;
    };
    const std::vector<LoopNode>& LoopNodesOf(size_t cameraIndex);
    void Accumulate(int parameterCount, const CVector& residuals, CMatrix& N, CMatrix& g) const;

    CameraFitter& fitter;
    const CMatrix& input;
    const CMatrix& observations;
    int mainRows = 0;  // rows of the tree edges; the loop block's follow
    std::vector<int> edgeFirstRows;
    CMatrix model;
    CMatrix perturbed;
    // Per tree-edge row and coordinate: the parameter indices (-1 unused) and their entries.
    std::vector<int> rowIndices;     // 7 per row
    std::vector<double> rowEntries;  // 7 per row and coordinate: x entries, then y entries
    // The loop rows' Jacobian (x rows, then y rows): each row's direct quotients (the focal
    // length and the cameras of its pair), its quotients in a small turn about each axis after
    // the straightening (x, y of axis 0, then 1, then 2, row by row), and the straightening
    // turn's quotient in every parameter as a small rotation (three per parameter).
    using LoopDirect = SparseJacobianRow<7>;
    std::vector<LoopDirect> loopDirect;
    std::vector<double> loopByAxis;
    std::vector<double> turnByParameter;
    mutable std::vector<double> directByTurn;
    std::vector<std::vector<LoopNode>> loopNodesByCamera;  // by the main list's camera index
};
