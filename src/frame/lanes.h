// Lanes: small vectors of doubles for kernels that run independent sums side
// by side, one sum per lane, each lane taking exactly the operations of the
// scalar loop in the same order.
//
// Three forms with one interface: Lanes1 (one plain double: the portable
// loops), LanesSse2 (two lanes in an SSE2 register) and LanesAvx2 (four lanes
// in an AVX register; defined between KWSIG_BEGIN_AVX2 and KWSIG_END_AVX2, so
// compiled for AVX2 only). Their + - * are IEEE double operations on each
// lane, rounded as the scalar ones; loads from float arrays widen exactly;
// stores to float arrays and rounded(a, float()) round each lane to float
// (to nearest, as a scalar conversion does). No fused multiply-add anywhere.
//
// A kernel written once over a lane type V is compiled twice: once outside
// and once inside a KWSIG_BEGIN_AVX2 .. KWSIG_END_AVX2 region (a kernel
// header included in two namespaces), since a function's instruction set is
// that of the place where it is defined. Code outside the region never sees
// an AVX instruction; the region's functions are called only when
// kernel_isa() says AVX2.
#pragma once

#include <cmath>

#include "frame/cpu.h"
#include "frame/numeric.h"

#if defined(KWSIG_X86_KERNELS)
#include <immintrin.h>
#endif

// Every function defined between the two marks is compiled for AVX2 (and
// nothing wider: no FMA).
#if defined(__clang__)
#define KWSIG_BEGIN_AVX2 \
    _Pragma("clang attribute push(__attribute__((target(\"avx2\"))), apply_to = function)")
#define KWSIG_END_AVX2 _Pragma("clang attribute pop")
#else
#define KWSIG_BEGIN_AVX2 _Pragma("GCC push_options") _Pragma("GCC target(\"avx2\")")
#define KWSIG_END_AVX2 _Pragma("GCC pop_options")
#endif

namespace kwsig {

// One lane: the plain loops.
struct Lanes1 {
    static constexpr int size = 1;
    double v;

    static Lanes1 splat(double a) { return {a}; }
    static Lanes1 load(const double *p) { return {p[0]}; }
    // The lanes from p[0 ..] one value at a time: where p was just written
    // one value at a time, each read takes its value from its store, where a
    // whole-vector load would wait for the stores to retire.
    static Lanes1 of(const double *p) { return {p[0]}; }
    static Lanes1 load(const float *p) { return {wide(p[0])}; }
    void store(double *p) const { p[0] = v; }
    // Lane j's value at p[0] and p[1].
    void store_twice(int, double *p) const { p[0] = p[1] = v; }
    // Lane j of a, then of b, each twice: p[0 .. 3] = a, a, b, b.
    static void store_pair_twice(int j, Lanes1 a, Lanes1 b, double *p) {
        a.store_twice(j, p);
        b.store_twice(j, p + 2);
    }
    void store(float *p) const { p[0] = float(v); }
    // Each lane rounded to the tag's type (float through float and back).
    static Lanes1 rounded(Lanes1 a, float) { return {wide(float(a.v))}; }
    static Lanes1 rounded(Lanes1 a, double) { return a; }
    Lanes1 ceil() const { return {std::ceil(v)}; }
    // Each lane rounded to the tag's type, then its square root rounded to
    // that type: T(sqrt(T(a))), sqrt correctly rounded. The vector forms take
    // float roots in float: a double root rounded to float is the float root
    // (53 >= 2 * 24 + 2 bits, so the double rounding never differs), and
    // the float root instruction is the quicker.
    static Lanes1 root_rounded(Lanes1 a, float) {
        return {wide(float(std::sqrt(wide(float(a.v)))))};
    }
    static Lanes1 root_rounded(Lanes1 a, double) { return {std::sqrt(a.v)}; }
    // Lane by lane: yes where this lane is above `bound`, else no.
    Lanes1 above(double bound, Lanes1 yes, Lanes1 no) const { return v > bound ? yes : no; }
    // Lane by lane: yes where this lane is zero (either sign) or NaN, else no.
    Lanes1 zero_or_nan(Lanes1 yes, Lanes1 no) const {
        return v == 0.0 || std::isnan(v) ? yes : no;
    }
    // Lanes holding integers in int range, as ints.
    void store_int(int *p) const { p[0] = int(v); }
    // Lane l: lo = p[at[l]], hi = p[at[l] + 1].
    static void load_pairs(const float *p, const int *at, Lanes1 &lo, Lanes1 &hi) {
        lo = {wide(p[at[0]])};
        hi = {wide(p[at[0] + 1])};
    }
    // cols[j], lane l = p[at[l] + j] for j < size: rows transposed.
    template <typename T>
    static void load_columns(const T *p, const int *at, Lanes1 *cols) {
        cols[0] = load(p + at[0]);
    }
    // Lane l: lo = at[l][0], hi = at[l][1], and back (rounded to T).
    template <typename T>
    static void gather_pairs(T *const *at, Lanes1 &lo, Lanes1 &hi) {
        lo = {wide(at[0][0])};
        hi = {wide(at[0][1])};
    }
    template <typename T>
    static void scatter_pairs(T *const *at, Lanes1 lo, Lanes1 hi) {
        at[0][0] = T(lo.v);
        at[0][1] = T(hi.v);
    }

    friend Lanes1 operator+(Lanes1 a, Lanes1 b) { return {a.v + b.v}; }
    friend Lanes1 operator-(Lanes1 a, Lanes1 b) { return {a.v - b.v}; }
    friend Lanes1 operator*(Lanes1 a, Lanes1 b) { return {a.v * b.v}; }
};

// A count by precision: a float step of a kernel is longer than a double one
// (each sum rounded through float and back), so it may interleave more sums.
template <typename T>
constexpr int by_precision(int for_double, int for_float) {
    return sizeof(T) == sizeof(float) ? for_float : for_double;
}

#if defined(KWSIG_X86_KERNELS)

// (a[0], a[1], b[0], b[1]): two pairs of adjacent floats in one register.
inline __m128 two_pairs(const float *a, const float *b) {
    const __m128 lo = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(a)));
    return _mm_loadh_pi(lo, reinterpret_cast<const __m64 *>(b));
}
// And back: v's low pair to a, its high pair to b.
inline void put_two_pairs(float *a, float *b, __m128 v) {
    _mm_storel_pi(reinterpret_cast<__m64 *>(a), v);
    _mm_storeh_pi(reinterpret_cast<__m64 *>(b), v);
}

struct LanesSse2 {
    static constexpr int size = 2;
    __m128d v;

    static LanesSse2 splat(double a) { return {_mm_set1_pd(a)}; }
    static LanesSse2 load(const double *p) { return {_mm_loadu_pd(p)}; }
    static LanesSse2 of(const double *p) { return {_mm_set_pd(p[1], p[0])}; }
    static LanesSse2 load(const float *p) {
        return {_mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(p))))};
    }
    void store(double *p) const { _mm_storeu_pd(p, v); }
    void store_twice(int j, double *p) const {
        _mm_storeu_pd(p, j ? _mm_unpackhi_pd(v, v) : _mm_unpacklo_pd(v, v));
    }
    static void store_pair_twice(int j, LanesSse2 a, LanesSse2 b, double *p) {
        a.store_twice(j, p);
        b.store_twice(j, p + 2);
    }
    void store(float *p) const {
        _mm_storel_epi64(reinterpret_cast<__m128i *>(p), _mm_castps_si128(_mm_cvtpd_ps(v)));
    }
    static LanesSse2 rounded(LanesSse2 a, float) { return {_mm_cvtps_pd(_mm_cvtpd_ps(a.v))}; }
    static LanesSse2 rounded(LanesSse2 a, double) { return a; }
    // SSE2 has no rounding instruction: the scalar ceiling of each lane.
    LanesSse2 ceil() const {
        alignas(16) double a[2];
        _mm_store_pd(a, v);
        return {_mm_set_pd(std::ceil(a[1]), std::ceil(a[0]))};
    }
    static LanesSse2 root_rounded(LanesSse2 a, float) {
        return {_mm_cvtps_pd(_mm_sqrt_ps(_mm_cvtpd_ps(a.v)))};  // upper lanes zero
    }
    static LanesSse2 root_rounded(LanesSse2 a, double) { return {_mm_sqrt_pd(a.v)}; }
    LanesSse2 above(double bound, LanesSse2 yes, LanesSse2 no) const {
        const __m128d m = _mm_cmpgt_pd(v, _mm_set1_pd(bound));
        return {_mm_or_pd(_mm_and_pd(m, yes.v), _mm_andnot_pd(m, no.v))};
    }
    LanesSse2 zero_or_nan(LanesSse2 yes, LanesSse2 no) const {
        const __m128d m = _mm_or_pd(_mm_cmpeq_pd(v, _mm_setzero_pd()), _mm_cmpunord_pd(v, v));
        return {_mm_or_pd(_mm_and_pd(m, yes.v), _mm_andnot_pd(m, no.v))};
    }
    void store_int(int *p) const {
        _mm_storel_epi64(reinterpret_cast<__m128i *>(p), _mm_cvttpd_epi32(v));
    }
    static void load_pairs(const float *p, const int *at, LanesSse2 &lo, LanesSse2 &hi) {
        // (lo0 hi0 lo1 hi1) -> (lo0 lo1 hi0 hi1)
        const __m128 a = two_pairs(p + at[0], p + at[1]);
        const __m128 s = _mm_shuffle_ps(a, a, _MM_SHUFFLE(3, 1, 2, 0));
        lo = {_mm_cvtps_pd(s)};
        hi = {_mm_cvtps_pd(_mm_movehl_ps(s, s))};
    }
    template <typename T>
    static void load_columns(const T *p, const int *at, LanesSse2 *cols) {
        const __m128d r0 = load(p + at[0]).v, r1 = load(p + at[1]).v;
        cols[0] = {_mm_unpacklo_pd(r0, r1)};
        cols[1] = {_mm_unpackhi_pd(r0, r1)};
    }
    template <typename T>
    static void gather_pairs(T *const *at, LanesSse2 &lo, LanesSse2 &hi) {
        const __m128d r0 = load(at[0]).v, r1 = load(at[1]).v;
        lo = {_mm_unpacklo_pd(r0, r1)};
        hi = {_mm_unpackhi_pd(r0, r1)};
    }
    static void scatter_pairs(double *const *at, LanesSse2 lo, LanesSse2 hi) {
        _mm_storeu_pd(at[0], _mm_unpacklo_pd(lo.v, hi.v));
        _mm_storeu_pd(at[1], _mm_unpackhi_pd(lo.v, hi.v));
    }
    static void scatter_pairs(float *const *at, LanesSse2 lo, LanesSse2 hi) {
        // (lo0 lo1 . .), (hi0 hi1 . .) -> (lo0 hi0 lo1 hi1)
        put_two_pairs(at[0], at[1], _mm_unpacklo_ps(_mm_cvtpd_ps(lo.v), _mm_cvtpd_ps(hi.v)));
    }

    friend LanesSse2 operator+(LanesSse2 a, LanesSse2 b) { return {_mm_add_pd(a.v, b.v)}; }
    friend LanesSse2 operator-(LanesSse2 a, LanesSse2 b) { return {_mm_sub_pd(a.v, b.v)}; }
    friend LanesSse2 operator*(LanesSse2 a, LanesSse2 b) { return {_mm_mul_pd(a.v, b.v)}; }
};

KWSIG_BEGIN_AVX2

struct LanesAvx2 {
    static constexpr int size = 4;
    __m256d v;

    static LanesAvx2 splat(double a) { return {_mm256_set1_pd(a)}; }
    static LanesAvx2 load(const double *p) { return {_mm256_loadu_pd(p)}; }
    static LanesAvx2 of(const double *p) { return {_mm256_setr_pd(p[0], p[1], p[2], p[3])}; }
    static LanesAvx2 load(const float *p) { return {_mm256_cvtps_pd(_mm_loadu_ps(p))}; }
    void store(double *p) const { _mm256_storeu_pd(p, v); }
    // (j a constant where it is called: one shuffle and one store.)
    void store_twice(int j, double *p) const {
        const __m256d d = j & 1 ? _mm256_unpackhi_pd(v, v) : _mm256_unpacklo_pd(v, v);
        _mm_storeu_pd(p, j & 2 ? _mm256_extractf128_pd(d, 1) : _mm256_castpd256_pd128(d));
    }
    // (One 256-bit store for the four values: two shuffles, where two
    // store_twice calls take two shuffles and two stores.)
    static void store_pair_twice(int j, LanesAvx2 a, LanesAvx2 b, double *p) {
        const __m256d d = j & 1 ? _mm256_unpackhi_pd(a.v, b.v) : _mm256_unpacklo_pd(a.v, b.v);
        _mm256_storeu_pd(p, j & 2 ? _mm256_permute4x64_pd(d, 0xFA)
                                  : _mm256_permute4x64_pd(d, 0x50));
    }
    // out[k] = (a_k, a_k, b_k, b_k), k = 0 .. 3: the states of four
    // recurrences at two adjacent steps spread as the twiddle lanes of two
    // adjacent complex values (two in-lane shuffles per vector, and two
    // across lanes for all four).
    static void spread_pairs(LanesAvx2 a, LanesAvx2 b, LanesAvx2 *out) {
        const __m256d lo = _mm256_permute2f128_pd(a.v, b.v, 0x20);  // a0 a1 b0 b1
        const __m256d hi = _mm256_permute2f128_pd(a.v, b.v, 0x31);  // a2 a3 b2 b3
        out[0] = {_mm256_permute_pd(lo, 0x0)};
        out[1] = {_mm256_permute_pd(lo, 0xF)};
        out[2] = {_mm256_permute_pd(hi, 0x0)};
        out[3] = {_mm256_permute_pd(hi, 0xF)};
    }
    void store(float *p) const { _mm_storeu_ps(p, _mm256_cvtpd_ps(v)); }
    static LanesAvx2 rounded(LanesAvx2 a, float) {
        return {_mm256_cvtps_pd(_mm256_cvtpd_ps(a.v))};
    }
    static LanesAvx2 rounded(LanesAvx2 a, double) { return a; }
    LanesAvx2 ceil() const { return {_mm256_round_pd(v, _MM_FROUND_TO_POS_INF | _MM_FROUND_NO_EXC)}; }
    static LanesAvx2 root_rounded(LanesAvx2 a, float) {
        return {_mm256_cvtps_pd(_mm_sqrt_ps(_mm256_cvtpd_ps(a.v)))};
    }
    static LanesAvx2 root_rounded(LanesAvx2 a, double) { return {_mm256_sqrt_pd(a.v)}; }
    LanesAvx2 above(double bound, LanesAvx2 yes, LanesAvx2 no) const {
        const __m256d m = _mm256_cmp_pd(v, _mm256_set1_pd(bound), _CMP_GT_OQ);
        return {_mm256_blendv_pd(no.v, yes.v, m)};
    }
    LanesAvx2 zero_or_nan(LanesAvx2 yes, LanesAvx2 no) const {
        // equal or unordered: zero of either sign, or NaN
        const __m256d m = _mm256_cmp_pd(v, _mm256_setzero_pd(), _CMP_EQ_UQ);
        return {_mm256_blendv_pd(no.v, yes.v, m)};
    }
    void store_int(int *p) const {
        _mm_storeu_si128(reinterpret_cast<__m128i *>(p), _mm256_cvttpd_epi32(v));
    }
    static void load_pairs(const float *p, const int *at, LanesAvx2 &lo, LanesAvx2 &hi) {
        const __m128 a = two_pairs(p + at[0], p + at[1]), b = two_pairs(p + at[2], p + at[3]);
        lo = {_mm256_cvtps_pd(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)))};
        hi = {_mm256_cvtps_pd(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)))};
    }
    static void gather_pairs(const double *const *at, LanesAvx2 &lo, LanesAvx2 &hi) {
        // (a0 a1 c0 c1), (b0 b1 d0 d1) -> (a0 b0 c0 d0), (a1 b1 c1 d1)
        const __m256d ac = _mm256_loadu2_m128d(at[2], at[0]), bd = _mm256_loadu2_m128d(at[3], at[1]);
        lo = {_mm256_unpacklo_pd(ac, bd)};
        hi = {_mm256_unpackhi_pd(ac, bd)};
    }
    static void gather_pairs(const float *const *at, LanesAvx2 &lo, LanesAvx2 &hi) {
        const __m128 a = two_pairs(at[0], at[1]), b = two_pairs(at[2], at[3]);
        lo = {_mm256_cvtps_pd(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)))};
        hi = {_mm256_cvtps_pd(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)))};
    }
    static void scatter_pairs(double *const *at, LanesAvx2 lo, LanesAvx2 hi) {
        const __m256d ac = _mm256_unpacklo_pd(lo.v, hi.v), bd = _mm256_unpackhi_pd(lo.v, hi.v);
        _mm256_storeu2_m128d(at[2], at[0], ac);
        _mm256_storeu2_m128d(at[3], at[1], bd);
    }
    static void scatter_pairs(float *const *at, LanesAvx2 lo, LanesAvx2 hi) {
        const __m128 l = _mm256_cvtpd_ps(lo.v), h = _mm256_cvtpd_ps(hi.v);
        put_two_pairs(at[0], at[1], _mm_unpacklo_ps(l, h));
        put_two_pairs(at[2], at[3], _mm_unpackhi_ps(l, h));
    }
    template <typename T>
    static void load_columns(const T *p, const int *at, LanesAvx2 *cols) {
        const __m256d r0 = load(p + at[0]).v, r1 = load(p + at[1]).v;
        const __m256d r2 = load(p + at[2]).v, r3 = load(p + at[3]).v;
        const __m256d t0 = _mm256_unpacklo_pd(r0, r1), t1 = _mm256_unpackhi_pd(r0, r1);
        const __m256d t2 = _mm256_unpacklo_pd(r2, r3), t3 = _mm256_unpackhi_pd(r2, r3);
        cols[0] = {_mm256_permute2f128_pd(t0, t2, 0x20)};
        cols[1] = {_mm256_permute2f128_pd(t1, t3, 0x20)};
        cols[2] = {_mm256_permute2f128_pd(t0, t2, 0x31)};
        cols[3] = {_mm256_permute2f128_pd(t1, t3, 0x31)};
    }
};

// (Free functions: GCC does not give friends defined in a class the region's
// instruction set.)
inline LanesAvx2 operator+(LanesAvx2 a, LanesAvx2 b) { return {_mm256_add_pd(a.v, b.v)}; }
inline LanesAvx2 operator-(LanesAvx2 a, LanesAvx2 b) { return {_mm256_sub_pd(a.v, b.v)}; }
inline LanesAvx2 operator*(LanesAvx2 a, LanesAvx2 b) { return {_mm256_mul_pd(a.v, b.v)}; }

KWSIG_END_AVX2

#endif  // KWSIG_X86_KERNELS

}  // namespace kwsig
