// Complex vectors for the FFT's butterflies: `width` adjacent complex values
// of the sample type T, interleaved (re, im), as the transform stores them.
//
// One interface, three forms with bit-identical results: Complex1 (plain
// doubles, one value), ComplexSse2 and ComplexAvx2 (one or two registers).
//   load / store      read and write `width` values at a pointer;
//   a + b, a - b      the sum and difference of two values of type T, rounded
//                     to T (a float sum of floats is their double sum rounded);
//   twiddled(b, R, S) the product w b, formed in double and rounded to T:
//                       re = wr br - wi bi,  im = wr bi + wi br,
//                     with the twiddles of the `width` values laid out as
//                     R = (wr, wr, ...) and S = (-wi, wi, ...), two doubles
//                     per value. wr br + (-wi) bi is wr br - wi bi bit for
//                     bit: the negation is exact and x - y is x + (-y).
#pragma once

#include "frame/lanes.h"
#include "frame/numeric.h"

namespace kwsig {

template <typename T>
struct Complex1 {
    static constexpr int width = 1;
    double re, im;  // values of type T, widened

    static Complex1 load(const T *p) { return {wide(p[0]), wide(p[1])}; }
    void store(T *p) const {
        p[0] = T(re);
        p[1] = T(im);
    }
    static Complex1 twiddled(Complex1 b, const double *R, const double *S) {
        const double wr = R[0], wi = S[1];
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

// w b for one value in an SSE2 register, lanes (re, im).
inline __m128d twiddle_product(__m128d b, const double *R, const double *S) {
    const __m128d swapped = _mm_shuffle_pd(b, b, 1);  // (im, re)
    return _mm_add_pd(_mm_mul_pd(_mm_loadu_pd(R), b), _mm_mul_pd(_mm_loadu_pd(S), swapped));
}

template <typename T>
struct ComplexSse2;

template <>
struct ComplexSse2<double> {
    static constexpr int width = 1;
    __m128d v;

    static ComplexSse2 load(const double *p) { return {_mm_loadu_pd(p)}; }
    void store(double *p) const { _mm_storeu_pd(p, v); }
    static ComplexSse2 twiddled(ComplexSse2 b, const double *R, const double *S) {
        return {twiddle_product(b.v, R, S)};
    }
    friend ComplexSse2 operator+(ComplexSse2 a, ComplexSse2 b) { return {_mm_add_pd(a.v, b.v)}; }
    friend ComplexSse2 operator-(ComplexSse2 a, ComplexSse2 b) { return {_mm_sub_pd(a.v, b.v)}; }
};

// Two float values; their products are formed in double, one per register.
template <>
struct ComplexSse2<float> {
    static constexpr int width = 2;
    __m128 v;

    static ComplexSse2 load(const float *p) { return {_mm_loadu_ps(p)}; }
    void store(float *p) const { _mm_storeu_ps(p, v); }
    static ComplexSse2 twiddled(ComplexSse2 b, const double *R, const double *S) {
        const __m128d lo = twiddle_product(_mm_cvtps_pd(b.v), R, S);
        const __m128d hi = twiddle_product(_mm_cvtps_pd(_mm_movehl_ps(b.v, b.v)), R + 2, S + 2);
        return {_mm_movelh_ps(_mm_cvtpd_ps(lo), _mm_cvtpd_ps(hi))};
    }
    friend ComplexSse2 operator+(ComplexSse2 a, ComplexSse2 b) { return {_mm_add_ps(a.v, b.v)}; }
    friend ComplexSse2 operator-(ComplexSse2 a, ComplexSse2 b) { return {_mm_sub_ps(a.v, b.v)}; }
};

KWSIG_BEGIN_AVX2

// w b for two values in an AVX register.
inline __m256d twiddle_product(__m256d b, const double *R, const double *S) {
    const __m256d swapped = _mm256_permute_pd(b, 0x5);  // (im, re) in each value
    return _mm256_add_pd(_mm256_mul_pd(_mm256_loadu_pd(R), b),
                         _mm256_mul_pd(_mm256_loadu_pd(S), swapped));
}

template <typename T>
struct ComplexAvx2;

template <>
struct ComplexAvx2<double> {
    static constexpr int width = 2;
    __m256d v;

    static ComplexAvx2 load(const double *p) { return {_mm256_loadu_pd(p)}; }
    void store(double *p) const { _mm256_storeu_pd(p, v); }
    static ComplexAvx2 twiddled(ComplexAvx2 b, const double *R, const double *S) {
        return {twiddle_product(b.v, R, S)};
    }
};

// Four float values; their products are formed in double, two per register.
template <>
struct ComplexAvx2<float> {
    static constexpr int width = 4;
    __m256 v;

    static ComplexAvx2 load(const float *p) { return {_mm256_loadu_ps(p)}; }
    void store(float *p) const { _mm256_storeu_ps(p, v); }
    static ComplexAvx2 twiddled(ComplexAvx2 b, const double *R, const double *S) {
        const __m256d lo = twiddle_product(_mm256_cvtps_pd(_mm256_castps256_ps128(b.v)), R, S);
        const __m256d hi = twiddle_product(_mm256_cvtps_pd(_mm256_extractf128_ps(b.v, 1)), R + 4, S + 4);
        return {_mm256_set_m128(_mm256_cvtpd_ps(hi), _mm256_cvtpd_ps(lo))};
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
    return {_mm256_add_ps(a.v, b.v)};
}
inline ComplexAvx2<float> operator-(ComplexAvx2<float> a, ComplexAvx2<float> b) {
    return {_mm256_sub_ps(a.v, b.v)};
}

KWSIG_END_AVX2

#endif  // KWSIG_X86_KERNELS

}  // namespace kwsig
