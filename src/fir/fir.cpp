// Block FIR filter with a carried history.
//
// With m taps and the extended sequence e = (incoming state, input), where
// e[t] = x[t] for t >= 0 and e[t] = state[t + m] for -m <= t < 0, every output
// is
//   y[i] = sum over k = m-1 down to 0 of c[k] * e[i - m + 1 + k]
// accumulated newest term first into a running sum of the sample type that
// starts at +0: sum = T(sum + c[k] * e), the product and the addition in
// double, rounded to the sample type after every addition (the float filter
// accumulates in single precision). Because each output sums the same terms
// in the same order whatever the block boundaries, a stream cut into blocks of
// any sizes gives the same bits as one call. state[0] never enters a sum.
//
// Speed: outputs are independent, so several of them are computed side by
// side, one per vector lane (fir_lanes.h), every sum still taking its terms in
// its own order: with AVX2 (four lanes), SSE2 (two) or plain doubles (one
// lane, several sums interleaved), as kernel_isa() says. Vector multiplies
// and adds round exactly like the scalar operations, and the float sums are
// rounded through float after every addition, as the scalar code does; all
// three give the same bits.
//
// In place: the state is refreshed from the input before any output is
// stored, outputs are produced from the highest index down, and y[i] reads
// only x[0 .. i], so output may be the same array as input.
#include <cstddef>

#include "frame/cpu.h"
#include "frame/lanes.h"
#include "frame/numeric.h"
#include "frame/scratch.h"
#include "kwsig.h"

namespace kwsig {
namespace {

using Index = std::ptrdiff_t;

// The extended sequence around the start of the input, e[-kJoin .. kJoin-1],
// for the terms of blocks that straddle it (at most 64 outputs per block).
constexpr Index kJoin = 64;

// The extended sequence: input for t >= 0, saved history for t < 0.
template <typename T>
inline T extended(const T *x, const T *saved, Index m, Index t) {
    return t >= 0 ? x[t] : saved[t + m];
}

#define KWSIG_LANES_KERNELS "fir/fir_lanes.h"
#include "frame/lanes_twice.h"

// The outputs in the lanes of the instruction set in use, with enough vectors
// per block to cover the latency of one step (measured on AMD Zen 5).
template <typename T>
void outputs(const T *x, T *y, const T *c, Index m, const T *saved, const T *join, Index n) {
    switch (kernel_isa()) {
#if defined(KWSIG_X86_KERNELS)
    case Isa::avx2:
        lanes_avx2::filter_outputs<LanesAvx2, 12>(x, y, c, m, saved, join, n);
        return;
    case Isa::sse2:
        lanes::filter_outputs<LanesSse2, by_precision<T>(4, 8)>(x, y, c, m, saved, join, n);
        return;
#endif
    default:
        lanes::filter_outputs<Lanes1, by_precision<T>(8, 16)>(x, y, c, m, saved, join, n);
        return;
    }
}

template <typename T>
void fir(const T *x, T *y, int count, const T *c, int ntaps, T *state) {
    if (count <= 0 || ntaps <= 0) return;
    const Index n = count, m = ntaps;
    Scratch<T> saved(static_cast<std::size_t>(m));
    if (!saved) return;
    // The history that arrived with the call, then the state for the next
    // call: the last m samples of the extended sequence, oldest first. Both
    // before any output is stored, so the input may be overwritten.
    for (Index j = 0; j < m; ++j) saved[j] = state[j];
    for (Index j = 0; j < m; ++j) state[j] = extended(x, saved.get(), m, n - m + j);

    // The extended sequence from -kJoin to kJoin - 1 in one piece (zeros
    // outside the history and the input), for the blocks that straddle t = 0.
    T join[2 * kJoin];
    for (Index t = -kJoin; t < kJoin; ++t)
        join[t + kJoin] = t >= -m && t < n ? extended(x, saved.get(), m, t) : T(0);
    outputs(x, y, c, m, saved.get(), join + kJoin, n);
}

}  // namespace
}  // namespace kwsig

extern "C" {

KWSIG_API void KWSIG_CALL kwsig_fir(const float *input, float *output, int count,
                                    const float *coefficients, int ntaps, float *state) {
    kwsig::fir(input, output, count, coefficients, ntaps, state);
}

KWSIG_API void KWSIG_CALL kwsig_fir_double(const double *input, double *output, int count,
                                           const double *coefficients, int ntaps, double *state) {
    kwsig::fir(input, output, count, coefficients, ntaps, state);
}

}  // extern "C"
