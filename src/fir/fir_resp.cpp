// Complex frequency response of a coefficient set,
//   H(f) = sum_k c[k] e^(+i 2 pi f (ntaps - 1 - k)),
// on npoints frequencies evenly spaced from start_freq to stop_freq.
//
// Arithmetic, exactly (every named value a double):
//   a = kTwoPi * start_freq;  rotation (C, S) starts at (cos(a), sin(a))
//   c = ((stop_freq - start_freq) * kPi) / (npoints - 1), the half step
//   step 2c seeded from c: Rotation::by_twice(c) (frame/rotation.h),
//     q = (-2 sin(c)) sin(c), l = sin(2 c)
//   per point, Horner from the oldest-sample coefficient, with t the old re:
//     re = (t C - im S) + c[k];  im = t S + im C
//   then the angle steps by 2c: C' = C + (C q - S l), S' = S + (S q + C l)
// The rotation is never re-anchored. With one point the step is never used
// and is not computed (it would divide by zero).
//
// The Horner sums of different points are independent: the rotation is run
// ahead for a few points and their sums are interleaved, each in its own order.
#include <cstddef>

#include "frame/numeric.h"
#include "frame/rotation.h"
#include "kwsig.h"

namespace kwsig {
namespace {

constexpr std::size_t kLanes = 4;

void fir_resp(double *response, int npoints, double start_freq, double stop_freq,
              const double *coef, int ntaps) {
    if (npoints <= 0) return;
    Rotation rot;  // no step: one point
    if (npoints > 1) rot = Rotation::by_twice((stop_freq - start_freq) * kPi / double(npoints - 1));
    rot.start_at_angle(kTwoPi * start_freq);
    // Point and array indices in size_t: 2 * npoints exceeds int for
    // npoints > 2^30, and p0 + kLanes would for npoints near INT_MAX.
    const std::size_t n = static_cast<std::size_t>(npoints);
    for (std::size_t p0 = 0; p0 < n; p0 += kLanes) {
        const std::size_t lanes = n - p0 < kLanes ? n - p0 : kLanes;
        double cs[kLanes], sn[kLanes];
        for (std::size_t l = 0; l < kLanes; ++l) {
            // Lanes past the last point repeat it and are not stored.
            cs[l] = rot.c;
            sn[l] = rot.s;
            if (l < lanes) rot.advance();
        }
        double re[kLanes] = {0.0, 0.0, 0.0, 0.0}, im[kLanes] = {0.0, 0.0, 0.0, 0.0};
        for (int k = 0; k < ntaps; ++k) {
            const double ck = coef[k];
            for (std::size_t l = 0; l < kLanes; ++l) {
                const double t = re[l];
                re[l] = (t * cs[l] - im[l] * sn[l]) + ck;
                im[l] = t * sn[l] + im[l] * cs[l];
            }
        }
        for (std::size_t l = 0; l < lanes; ++l) {
            response[2 * (p0 + l)] = re[l];
            response[2 * (p0 + l) + 1] = im[l];
        }
    }
}

}  // namespace
}  // namespace kwsig

extern "C" {

KWSIG_API void KWSIG_CALL kwsig_fir_resp(double *response, int npoints, double start_freq,
                                         double stop_freq, const double *coefficients, int ntaps) {
    kwsig::fir_resp(response, npoints, start_freq, stop_freq, coefficients, ntaps);
}

}  // extern "C"
