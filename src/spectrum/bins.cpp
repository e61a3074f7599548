// Dispatch of the spectra's linear passes (bins.h) to their lanes.
#include "spectrum/bins.h"

#include <cmath>
#include <cstddef>

#include "frame/cpu.h"
#include "frame/lanes.h"
#include "math/crmath.h"

namespace kwsig {
namespace {

#define KWSIG_LANES_KERNELS "spectrum/bins_lanes.h"
#include "frame/lanes_twice.h"

template <typename T>
void dispatch(BinsPass pass, const T *a, const T *b, T *out, std::size_t count, double k) {
    switch (kernel_isa()) {
#if defined(KWSIG_X86_KERNELS)
    case Isa::avx2: return lanes_avx2::bins_pass_lanes<LanesAvx2>(pass, a, b, out, count, k);
    case Isa::sse2: return lanes::bins_pass_lanes<LanesSse2>(pass, a, b, out, count, k);
#endif
    default: return lanes::bins_pass_lanes<Lanes1>(pass, a, b, out, count, k);
    }
}

}  // namespace

void bins_pass(BinsPass pass, const float *a, const float *b, float *out, std::size_t count,
               double k) {
    dispatch(pass, a, b, out, count, k);
}
void bins_pass(BinsPass pass, const double *a, const double *b, double *out, std::size_t count,
               double k) {
    dispatch(pass, a, b, out, count, k);
}

}  // namespace kwsig
