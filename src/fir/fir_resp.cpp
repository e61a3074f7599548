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
// The Horner sums of different points are independent: lanes of a vector
// run several points side by side (fir_resp_lanes.h), in AVX2, SSE2 or plain
// doubles as kernel_isa() says, each lane with the exact operations of its
// point; the rotation runs ahead of them.
#include <cstddef>

#include "frame/cpu.h"
#include "frame/lanes.h"
#include "frame/numeric.h"
#include "frame/rotation.h"
#include "kwsig.h"

namespace kwsig {
namespace {

#define KWSIG_LANES_KERNELS "fir/fir_resp_lanes.h"
#include "frame/lanes_twice.h"

void fir_resp(double *response, int npoints, double start_freq, double stop_freq,
              const double *coef, int ntaps) {
    if (npoints <= 0) return;
    Rotation rot;  // no step: one point
    if (npoints > 1) rot = Rotation::by_twice((stop_freq - start_freq) * kPi / double(npoints - 1));
    rot.start_at_angle(kTwoPi * start_freq);
    // Point and array indices in size_t: 2 * npoints exceeds int for
    // npoints > 2^30.
    const std::size_t n = static_cast<std::size_t>(npoints);
    // Vectors per block: a Horner step's latency is a product, a difference
    // and a sum; enough sums to cover it.
    switch (kernel_isa()) {
#if defined(KWSIG_X86_KERNELS)
    case Isa::avx2:
        lanes_avx2::response_points<LanesAvx2, 6>(response, n, rot, coef, ntaps);
        return;
    case Isa::sse2:
        lanes::response_points<LanesSse2, 4>(response, n, rot, coef, ntaps);
        return;
#endif
    default:
        lanes::response_points<Lanes1, 4>(response, n, rot, coef, ntaps);
        return;
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
