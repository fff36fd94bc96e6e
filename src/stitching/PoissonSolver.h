#pragma once

#include "stitching/SineGrid.h"

namespace stitch {

// How large the grid round a w x h rectangle is: the powers of two that hold it, or the smallest
// lengths the transforms run fast at (a third of the work for most rectangles; the solution
// differs slightly, the zero boundary lying nearer).
enum class PoissonGrid { PowerOfTwo, Padded };

// Solves the discrete Poisson equation (five-point Laplacian of G = d) for a w x h rectangle
// on a grid that holds it (PoissonGrid), by the two-dimensional sine transform: transform d,
// divide every coefficient (row r, column c) by
//     2 cos(pi c / (W - 1)) + 2 cos(pi r / (H - 1)) - 4 + 2.220446049250313e-16,
// transform back. G is zero on row 0 and column 0 and beyond the grid. The two halves are
// separate calls so that a caller can report progress between them.
class PoissonSolver {
public:
    PoissonSolver(int w, int h, PoissonGrid sizing = PoissonGrid::PowerOfTwo);

    // The right-hand side goes here before Forward, on the first h rows (the grid is
    // zero-filled at construction and the rows below must stay so); after Inverse the first h
    // rows hold G, and what the rows below hold is not defined.
    SineGrid& Grid() { return grid_; }
    const SineGrid& Grid() const { return grid_; }

    void Forward();
    // The division and the inverse transform.
    void Inverse();
    void Solve() {
        Forward();
        Inverse();
    }

private:
    int height_;
    SineGrid grid_;
    // The coefficients between the two transforms, transposed (row c holds column c); they exist
    // only from Forward to the end of Inverse.
    SineGrid coefficients_;
};

}  // namespace stitch
