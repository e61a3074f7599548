// The spectra's linear passes over `count` items, in AVX2 or SSE2 lanes as
// kernel_isa() says, every value formed in double and rounded once to T as
// the plain loop does:
//   window_real     out[i] = a[i] b[i]                      (a record, b window)
//   window_complex  out[2i + j] = a[2i + j] b[i], j = 0, 1
//   powers          out[i] = a[2i]^2 + a[2i+1]^2             (a spectrum)
//   magnitudes      out[i] = sqrt(T(a[2i]^2 + a[2i+1]^2))    (the power rounded to T
//                   first, as if stored, then its root: one pass for both)
//   decibels        out[i] = ln(a[i]) k, or -500 where a[i] is zero or NaN
//                   (the logarithm correctly rounded, math::log; b unused)
#pragma once

#include <cstddef>

namespace kwsig {

enum class BinsPass { window_real, window_complex, powers, magnitudes, decibels };

void bins_pass(BinsPass pass, const float *a, const float *b, float *out, std::size_t count,
               double k = 0.0);
void bins_pass(BinsPass pass, const double *a, const double *b, double *out, std::size_t count,
               double k = 0.0);

}  // namespace kwsig
