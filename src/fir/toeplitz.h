// Levinson solver for a general (not necessarily symmetric) Toeplitz system.
#pragma once

namespace kwsig {

// Solves sum_j r[n-1+i-j] * x[j] = y[i] for i = 0 .. n-1, all indices from 0:
//   r: 2n-1 values, r[n-1] the main diagonal; row 0 of the matrix is
//      r[n-1], r[n-2], ..., r[0] and column 0 is r[n-1], r[n], ..., r[2n-2];
//   y: n values, read;  x: n values, written.
// Returns 0 when the solution has been written; 1 when a pivot is zero or NaN
// (a singular leading principal submatrix): with a zero diagonal nothing is
// written, later x holds the partial solution of the order reached. Returns -1
// with x untouched when the two predictor arrays (n >= 2) cannot be allocated.
// n must be at least 1. A pivot that is merely small is not detected.
int toeplitz_solve(const double *r, double *x, const double *y, int n);

}  // namespace kwsig
