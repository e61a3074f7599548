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
// Speed: outputs are independent, so 8 (double) or 16 (float) of them are
// computed together with their sums interleaved (two per SSE2 register), every sum still taking its
// terms in its own order. SSE2 multiplies and adds round exactly like the
// scalar operations, and the float sums are rounded through float after every
// addition, as the scalar code does.
//
// In place: the state is refreshed from the input before any output is
// stored, outputs are produced from the highest index down, and y[i] reads
// only x[0 .. i], so output may be the same array as input.
#include <cstddef>

#if defined(__SSE2__) && !defined(KWSIG_PORTABLE)
#include <emmintrin.h>
#define KWSIG_FIR_SSE2 1
#endif

#include "frame/numeric.h"
#include "frame/scratch.h"
#include "kwsig.h"

namespace kwsig {
namespace {

using Index = std::ptrdiff_t;

// Two running sums held as doubles whose values are always representable in
// the sample type; lane lo belongs to the lower output index.
#if defined(KWSIG_FIR_SSE2)
struct Pair {
    __m128d v;
};
inline Pair pair_zero() { return {_mm_setzero_pd()}; }
inline Pair pair_splat(double a) { return {_mm_set1_pd(a)}; }
inline Pair pair_set(double lo, double hi) { return {_mm_set_pd(hi, lo)}; }
// sum + c * e, product and sum each rounded to double.
inline Pair pair_mul_add(Pair s, Pair c, Pair e) {
    return {_mm_add_pd(s.v, _mm_mul_pd(c.v, e.v))};
}
inline Pair load_pair(const double *p) { return {_mm_loadu_pd(p)}; }
inline Pair load_pair(const float *p) {
    return {_mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(p))))};
}
inline Pair round_to(Pair s, const double *) { return s; }
inline Pair round_to(Pair s, const float *) { return {_mm_cvtps_pd(_mm_cvtpd_ps(s.v))}; }
inline void store_pair(double *p, Pair s) { _mm_storeu_pd(p, s.v); }
inline void store_pair(float *p, Pair s) {
    _mm_storel_epi64(reinterpret_cast<__m128i *>(p), _mm_castps_si128(_mm_cvtpd_ps(s.v)));
}
#else
struct Pair {
    double lo, hi;
};
inline Pair pair_zero() { return {0.0, 0.0}; }
inline Pair pair_splat(double a) { return {a, a}; }
inline Pair pair_set(double lo, double hi) { return {lo, hi}; }
inline Pair pair_mul_add(Pair s, Pair c, Pair e) {
    return {s.lo + c.lo * e.lo, s.hi + c.hi * e.hi};
}
template <typename T>
inline Pair load_pair(const T *p) { return {wide(p[0]), wide(p[1])}; }
template <typename T>
inline Pair round_to(Pair s, const T *) { return {wide(T(s.lo)), wide(T(s.hi))}; }
template <typename T>
inline void store_pair(T *p, Pair s) {
    p[0] = T(s.lo);
    p[1] = T(s.hi);
}
#endif

// Pairs of sums per block (2 * pairs outputs): enough independent sums to
// hide the latency of one step. A float step is longer (the add, then the
// rounding through float and back), so it takes twice as many sums.
template <typename T>
struct BlockSize;
template <>
struct BlockSize<double> {
    static constexpr int pairs = 4;
};
template <>
struct BlockSize<float> {
    static constexpr int pairs = 8;
};

// The extended sequence: input for t >= 0, saved history for t < 0.
template <typename T>
inline T extended(const T *x, const T *saved, Index m, Index t) {
    return t >= 0 ? x[t] : saved[t + m];
}

// Adds c[k] * src[base + k - b] to the sum of output i - b (b < 2 * kPairs)
// for k from khi down to klo. Pair q holds outputs (i-2q-1, i-2q).
template <typename T, int kPairs>
inline void accumulate(Pair (&sum)[kPairs], const T *c, const T *src, Index base, Index khi,
                       Index klo) {
    const T *tag = nullptr;
    for (Index k = khi; k >= klo; --k) {
        const Pair ck = pair_splat(wide(c[k]));
        const T *p = src + (base + k - 1);
        for (int q = 0; q < kPairs; ++q)
            sum[q] = round_to(pair_mul_add(sum[q], ck, load_pair(p - 2 * q)), tag);
    }
}

// Outputs i - 2 * pairs + 1 .. i, each summed from k = m-1 down to 0. The terms
// of a block split into three runs of k: all from the input, a short run that
// straddles the start of the input, all from the saved history.
template <typename T>
void block_outputs(const T *x, T *y, const T *c, Index m, const T *saved, Index i) {
    constexpr int kPairs = BlockSize<T>::pairs;
    constexpr Index kBlock = 2 * kPairs;
    const Index lo = i - kBlock + 1;
    Pair sum[kPairs];
    for (auto &s : sum) s = pair_zero();
    Index k = m - 1;
    // Every output of the block reads the input when k >= m-1-lo.
    const Index kx = m - 1 - lo > 0 ? m - 1 - lo : 0;
    if (k >= kx) {
        accumulate(sum, c, x, i - m + 1, k, kx);
        k = kx - 1;
    }
    // No output reads the input when k <= m-2-i.
    const Index ks = m - 2 - i;
    const T *tag = nullptr;
    for (; k > ks && k >= 0; --k) {
        const Pair ck = pair_splat(wide(c[k]));
        for (int q = 0; q < kPairs; ++q) {
            const Index t = i - 2 * q - m + 1 + k;  // term of output i-2q
            const Pair e = pair_set(wide(extended(x, saved, m, t - 1)),
                                    wide(extended(x, saved, m, t)));
            sum[q] = round_to(pair_mul_add(sum[q], ck, e), tag);
        }
    }
    if (k >= 0) accumulate(sum, c, saved, i + 1, k, 0);
    for (int q = 0; q < kPairs; ++q) store_pair(y + (i - 2 * q - 1), sum[q]);
}

// One output the plain way: input terms first, then the history terms.
template <typename T>
T single_output(const T *x, const T *c, Index m, const T *saved, Index i) {
    T sum = 0;
    Index k = m - 1;
    for (; k >= 0 && i - m + 1 + k >= 0; --k)
        sum = T(wide(sum) + wide(c[k]) * wide(x[i - m + 1 + k]));
    for (; k >= 0; --k)
        sum = T(wide(sum) + wide(c[k]) * wide(saved[k + i + 1]));
    return sum;
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

    constexpr Index kBlock = 2 * BlockSize<T>::pairs;
    Index i = n - 1;
    for (; i >= kBlock - 1; i -= kBlock) block_outputs(x, y, c, m, saved.get(), i);
    for (; i >= 0; --i) y[i] = single_output(x, c, m, saved.get(), i);
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
