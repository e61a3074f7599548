// The library's own sine, cosine and natural logarithm.
//
// Each returns the double nearest to the exact value (round to nearest, ties
// to even; a tie never occurs) for every double argument. Correct rounding is
// the one definition that any implementation meets bit for bit, so the
// exports that use these functions give the same bits on every CPU, operating
// system, compiler and optimisation level. The code uses double arithmetic
// (no fused multiply-add, no wider format) and 64-bit integer arithmetic only.
//
// Special values follow C: sin and cos of an infinity or a NaN are NaN,
// sin(-0) = -0, log(+-0) = -inf, log of a negative number is NaN,
// log(+inf) = +inf. errno is never set; the floating-point status flags may
// be raised, nothing else of the floating-point environment is touched.
#pragma once

#include <cstddef>

namespace kwsig {
namespace math {

double sin(double x);
double cos(double x);
double log(double x);

// log of x[0..3] into y[0..3], four side by side, for x86 with AVX2 (call
// only when kernel_isa() says so). Returns the lanes left to log(): bit k is
// set where x[k] is not a positive normal finite double or the fast
// evaluation could not decide the rounding (y[k] is then unspecified); a
// build without the AVX2 kernels leaves every lane.
int log4(const double *x, double *y);
// log of x[0..n-1] into y[0..n-1], each value exactly log()'s, four side by
// side where kernel_isa() says AVX2. y must not overlap x.
void log_each(const double *x, double *y, std::size_t n);
// sin of x[0..3] into y[0..3] in the same way; lanes outside
// 2^-26 <= |x| < 2^10, and near a multiple of pi/2, are left to sin().
int sin4(const double *x, double *y);
// The same for x[0 .. 7] (bit j for lane j).
int sin8(const double *x, double *y);

}  // namespace math
}  // namespace kwsig
