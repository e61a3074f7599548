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
// scaled and rounded once to T, in lanes. Float samples are widened into a
// buffer first; double ones are the logarithms' arguments as they stand. a
// may be out: a chunk is read before written.
template <typename T>
void widen(const T *a, double *v, std::size_t m) {
    switch (kernel_isa()) {
#if defined(KWSIG_X86_KERNELS)
    case Isa::avx2: return lanes_avx2::widen_lanes<LanesAvx2>(a, v, m);
    case Isa::sse2: return lanes::widen_lanes<LanesSse2>(a, v, m);
#endif
    default: return lanes::widen_lanes<Lanes1>(a, v, m);
    }
}
template <typename T>
void scale_decibels(const T *a, const double *y, T *out, std::size_t m, double k) {
    switch (kernel_isa()) {
#if defined(KWSIG_X86_KERNELS)
    case Isa::avx2: return lanes_avx2::decibels_lanes<LanesAvx2>(a, y, out, m, k);
    case Isa::sse2: return lanes::decibels_lanes<LanesSse2>(a, y, out, m, k);
#endif
    default: return lanes::decibels_lanes<Lanes1>(a, y, out, m, k);
    }
}
template <typename T>
void decibels(const T *a, T *out, std::size_t count, double k) {
    constexpr std::size_t kChunk = 256;
    double v[sizeof(T) == sizeof(double) ? 1 : kChunk], y[kChunk];
    for (std::size_t i0 = 0; i0 < count; i0 += kChunk) {
        const std::size_t m = count - i0 < kChunk ? count - i0 : kChunk;
        const double *x = v;
        if constexpr (sizeof(T) == sizeof(double))
            x = a + i0;
        else
            widen(a + i0, v, m);
        math::log_each(x, y, m);
        scale_decibels(a + i0, y, out + i0, m, k);
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
