#pragma once

#include "stitching/SineGrid.h"

namespace stitch {

// The discrete sine transform on n points (n even, best a NextTransformSize), element 0 being the
// fixed zero:
//     F(k) = sum over j = 1 .. n-1 of f(j) * sin(pi * j * k / n),   F(0) = 0.
// It is its own inverse up to the factor 2 / n. Computed as twice this sum (the odd
// real-to-real transform RODFT00 of the n - 1 inner points) from FFTW's single-precision
// real-to-complex transform of length n; plans are made once per size (under a lock, FFTW's
// planner is not thread-safe) and then run on any grid of that size from any thread.

// The two-dimensional transform of a grid in place: the one-dimensional one over each row,
// then over each column. Row 0 and column 0 are ignored and come out zero.
// `threads` > 1 splits each pass's rows between that many threads (same result).
void SineTransform2D(SineGrid& grid, int threads = 1);
// Its inverse: the same transform scaled by (2 / width) * (2 / height).
void InverseSineTransform2D(SineGrid& grid, int threads = 1);

// Building blocks for callers that keep the coefficients transposed between a forward and an
// inverse transform (saving two transpositions):
// RODFT00 over elements 1 .. width-1 of rows 1 .. height-1, in place (twice the sine sum);
// element 0 of those rows and all of row 0 come out zero. With `rows` >= 0 only rows below
// `rows` are transformed: the rows from there on are all zero (their transform is zero too)
// or not wanted; their element 0 is still set to zero.
void OddTransformRows(SineGrid& grid, int threads = 1, int rows = -1);

}  // namespace stitch
