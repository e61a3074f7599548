// Dispatch of the spectra's linear passes (bins.h) to their lanes, and the
// decibel pass.
#include "spectrum/bins.h"

#include <cmath>
#include <cstddef>

#include "frame/cpu.h"
#include "frame/lanes.h"
#include "frame/numeric.h"
#include "math/crmath.h"

namespace kwsig {
namespace {

#define KWSIG_LANES_KERNELS "spectrum/bins_lanes.h"
#include "frame/lanes_twice.h"

// Decibels a chunk at a time: the chunk's logarithms in one call
// (math::log_each, which overlaps its four-lane evaluations), then each value
// scaled and rounded once to T. a may be out: a chunk is read before written.
template <typename T>
void decibels(const T *a, T *out, std::size_t count, double k) {
    constexpr std::size_t kChunk = 256;
    double v[kChunk], y[kChunk];
    for (std::size_t i0 = 0; i0 < count; i0 += kChunk) {
        const std::size_t m = count - i0 < kChunk ? count - i0 : kChunk;
        for (std::size_t i = 0; i < m; ++i) v[i] = wide(a[i0 + i]);
        math::log_each(v, y, m);
        for (std::size_t i = 0; i < m; ++i)
            out[i0 + i] = (v[i] == 0.0 || std::isnan(v[i])) ? T(-500.0) : T(y[i] * k);
    }
}

template <typename T>
void dispatch(BinsPass pass, const T *a, const T *b, T *out, std::size_t count, double k) {
    if (pass == BinsPass::decibels) return decibels(a, out, count, k);
    switch (kernel_isa()) {
#if defined(KWSIG_X86_KERNELS)
    case Isa::avx2: return lanes_avx2::bins_pass_lanes<LanesAvx2>(pass, a, b, out, count);
    case Isa::sse2: return lanes::bins_pass_lanes<LanesSse2>(pass, a, b, out, count);
#endif
    default: return lanes::bins_pass_lanes<Lanes1>(pass, a, b, out, count);
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
