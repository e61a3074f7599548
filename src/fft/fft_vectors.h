// Complex vectors for the FFT's butterflies: `width` complex values of the
// sample type T, one per lane, each value (re, im) adjacent in memory as the
// transform stores it; lane k's value lies `stride` samples after lane k-1's.
//
// One interface, three forms with bit-identical results: Complex1 (plain
// doubles, one value), ComplexSse2 and ComplexAvx2 (one or two registers).
//   load / store        the `width` values at p, p + stride, ...;
//   store_adjacent(a, b, p, stride)
//                       lane k of a and of b to the two adjacent values at
//                       p + k stride (a first);
//   a + b, a - b        sum and difference of values of type T, rounded to T
//                       (a float sum of floats is their double sum rounded);
//   twiddled(b, c, s)   the product w b, formed in double, rounded to T:
//                         re = wr br - wi bi,  im = wr bi + wi br,
//                       with lane k's twiddle (wr, wi) in the twiddle lanes
//                       c, s (`parts` lane vectors of type Lanes each): one
//                       double per value for Complex1, the value twice
//                       (wr, wr), (wi, wi) for the vector forms. SSE2 forms
//                       wr br + (-wi) bi: bit for bit wr br - wi bi, as the
//                       negation is exact and x - y is x + (-y); AVX2 has
//                       addsub, which subtracts in the real lanes.
#pragma once

#include "fft/transforms.h"
#include "frame/lanes.h"
#include "frame/numeric.h"

namespace kwsig {

template <typename T>
struct Complex1 {
    static constexpr int width = 1, parts = 1;
    using Lanes = Lanes1;
    double re, im;  // a value of type T, widened

    static Complex1 load(const T *p, std::ptrdiff_t) { return {wide(p[0]), wide(p[1])}; }
    void store(T *p, std::ptrdiff_t) const {
        p[0] = T(re);
        p[1] = T(im);
    }
    static void store_adjacent(Complex1 a, Complex1 b, T *p, std::ptrdiff_t) {
        a.store(p, 0);
        b.store(p + 2, 0);
    }
    static Complex1 twiddled(Complex1 b, const Lanes1 *c, const Lanes1 *s) {
        const double wr = c[0].v, wi = s[0].v;
        return {wide(T(wr * b.re - wi * b.im)), wide(T(wr * b.im + wi * b.re))};
    }
    friend Complex1 operator+(Complex1 a, Complex1 b) {
        return {wide(T(a.re + b.re)), wide(T(a.im + b.im))};
    }
    friend Complex1 operator-(Complex1 a, Complex1 b) {
        return {wide(T(a.re - b.re)), wide(T(a.im - b.im))};
    }
};

#if defined(KWSIG_X86_KERNELS)

// w b for one value, lanes (re, im), twiddle lanes (wr, wr) and (wi, wi).
inline __m128d twiddle_product(__m128d b, __m128d c, __m128d s) {
    const __m128d swapped = _mm_shuffle_pd(b, b, 1);  // (im, re)
    const __m128d s_signed = _mm_xor_pd(s, _mm_set_pd(0.0, -0.0));
    return _mm_add_pd(_mm_mul_pd(c, b), _mm_mul_pd(s_signed, swapped));
}

template <typename T>
struct ComplexSse2;

template <>
struct ComplexSse2<double> {
    static constexpr int width = 1, parts = 1;
    using Lanes = LanesSse2;
    __m128d v;

    static ComplexSse2 load(const double *p, std::ptrdiff_t) { return {_mm_loadu_pd(p)}; }
    void store(double *p, std::ptrdiff_t) const { _mm_storeu_pd(p, v); }
    static void store_adjacent(ComplexSse2 a, ComplexSse2 b, double *p, std::ptrdiff_t) {
        _mm_storeu_pd(p, a.v);
        _mm_storeu_pd(p + 2, b.v);
    }
    static ComplexSse2 twiddled(ComplexSse2 b, const LanesSse2 *c, const LanesSse2 *s) {
        return {twiddle_product(b.v, c[0].v, s[0].v)};
    }
    friend ComplexSse2 operator+(ComplexSse2 a, ComplexSse2 b) { return {_mm_add_pd(a.v, b.v)}; }
    friend ComplexSse2 operator-(ComplexSse2 a, ComplexSse2 b) { return {_mm_sub_pd(a.v, b.v)}; }
};

// Two float values; their products are formed in double, one per register.
template <>
struct ComplexSse2<float> {
    static constexpr int width = 2, parts = 2;
    using Lanes = LanesSse2;
    __m128 v;

    static ComplexSse2 load(const float *p, std::ptrdiff_t stride) {
        if (stride == 2) return {_mm_loadu_ps(p)};  // adjacent values
        return {two_pairs(p, p + stride)};
    }
    void store(float *p, std::ptrdiff_t stride) const {
        if (stride == 2) return _mm_storeu_ps(p, v);
        put_two_pairs(p, p + stride, v);
    }
    static void store_adjacent(ComplexSse2 a, ComplexSse2 b, float *p, std::ptrdiff_t stride) {
        _mm_storeu_ps(p, _mm_movelh_ps(a.v, b.v));           // lane 0s
        _mm_storeu_ps(p + stride, _mm_movehl_ps(b.v, a.v));  // lane 1s
    }
    static ComplexSse2 twiddled(ComplexSse2 b, const LanesSse2 *c, const LanesSse2 *s) {
        const __m128d lo = twiddle_product(_mm_cvtps_pd(b.v), c[0].v, s[0].v);
        const __m128d hi = twiddle_product(_mm_cvtps_pd(_mm_movehl_ps(b.v, b.v)), c[1].v, s[1].v);
        return {_mm_movelh_ps(_mm_cvtpd_ps(lo), _mm_cvtpd_ps(hi))};
    }
    friend ComplexSse2 operator+(ComplexSse2 a, ComplexSse2 b) { return {_mm_add_ps(a.v, b.v)}; }
    friend ComplexSse2 operator-(ComplexSse2 a, ComplexSse2 b) { return {_mm_sub_ps(a.v, b.v)}; }
};

KWSIG_BEGIN_AVX2

// w b for two values, twiddle lanes (wr0, wr0, wr1, wr1) and (wi0, wi0, wi1, wi1):
// addsub gives (wr br - wi bi, wr bi + wi br) in each value.
inline __m256d twiddle_product(__m256d b, __m256d c, __m256d s) {
    const __m256d swapped = _mm256_permute_pd(b, 0x5);  // (im, re) in each value
    return _mm256_addsub_pd(_mm256_mul_pd(c, b), _mm256_mul_pd(s, swapped));
}

template <typename T>
struct ComplexAvx2;

template <>
struct ComplexAvx2<double> {
    static constexpr int width = 2, parts = 1;
    using Lanes = LanesAvx2;
    __m256d v;

    static ComplexAvx2 load(const double *p, std::ptrdiff_t stride) {
        if (stride == 2) return {_mm256_loadu_pd(p)};  // adjacent values
        return {_mm256_loadu2_m128d(p + stride, p)};
    }
    void store(double *p, std::ptrdiff_t stride) const {
        if (stride == 2) return _mm256_storeu_pd(p, v);
        _mm256_storeu2_m128d(p + stride, p, v);
    }
    static void store_adjacent(ComplexAvx2 a, ComplexAvx2 b, double *p, std::ptrdiff_t stride) {
        _mm256_storeu_pd(p, _mm256_permute2f128_pd(a.v, b.v, 0x20));           // lane 0s
        _mm256_storeu_pd(p + stride, _mm256_permute2f128_pd(a.v, b.v, 0x31));  // lane 1s
    }
    static ComplexAvx2 twiddled(ComplexAvx2 b, const LanesAvx2 *c, const LanesAvx2 *s) {
        return {twiddle_product(b.v, c[0].v, s[0].v)};
    }
};

// Two float values in a 128-bit register; their products are formed in
// double in one 256-bit register. (Four values in 256 bits would need their
// halves extracted and inserted around every conversion: slower, measured.)
template <>
struct ComplexAvx2<float> {
    static constexpr int width = 2, parts = 1;
    using Lanes = LanesAvx2;
    __m128 v;

    // Loads and stores as the SSE2 form's.
    static ComplexAvx2 load(const float *p, std::ptrdiff_t stride) {
        return {ComplexSse2<float>::load(p, stride).v};
    }
    void store(float *p, std::ptrdiff_t stride) const { ComplexSse2<float>{v}.store(p, stride); }
    static void store_adjacent(ComplexAvx2 a, ComplexAvx2 b, float *p, std::ptrdiff_t stride) {
        ComplexSse2<float>::store_adjacent({a.v}, {b.v}, p, stride);
    }
    static ComplexAvx2 twiddled(ComplexAvx2 b, const LanesAvx2 *c, const LanesAvx2 *s) {
        return {_mm256_cvtpd_ps(twiddle_product(_mm256_cvtps_pd(b.v), c[0].v, s[0].v))};
    }
};

// (Free functions: GCC does not give friends defined in a class the region's
// instruction set.)
inline ComplexAvx2<double> operator+(ComplexAvx2<double> a, ComplexAvx2<double> b) {
    return {_mm256_add_pd(a.v, b.v)};
}
inline ComplexAvx2<double> operator-(ComplexAvx2<double> a, ComplexAvx2<double> b) {
    return {_mm256_sub_pd(a.v, b.v)};
}
inline ComplexAvx2<float> operator+(ComplexAvx2<float> a, ComplexAvx2<float> b) {
    return {_mm_add_ps(a.v, b.v)};
}
inline ComplexAvx2<float> operator-(ComplexAvx2<float> a, ComplexAvx2<float> b) {
    return {_mm_sub_ps(a.v, b.v)};
}

KWSIG_END_AVX2

#endif  // KWSIG_X86_KERNELS

}  // namespace kwsig
