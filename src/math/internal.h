// Building blocks of the correctly rounded sine, cosine and logarithm.
//
// Two evaluation levels share these pieces:
//  - the fast path works in double-double arithmetic (an unevaluated sum
//    hi + lo of two doubles, about 106 bits), built from the error-free
//    transformations below; it ends in a rounding test that proves, from the
//    path's error bound, that hi + lo rounds like the exact value;
//  - the accurate path, taken when that test cannot decide, works in binary
//    fixed point on N 32-bit words of fraction (N = 8: 256 bits), multiplying
//    32-bit words into 64-bit products, and rounds its result with the same
//    kind of test against its own, far smaller, error bound.
// Everything is plain IEEE double arithmetic in round-to-nearest and 64-bit
// integer arithmetic: no fused multiply-add (the library is compiled with
// -ffp-contract=off), no long double, no 128-bit integers.
#pragma once

#include <cstdint>
#include <cstring>

#include "frame/lanes.h"

namespace kwsig {
namespace math {

// ---------------------------------------------------------------- bits

inline uint64_t bits_of(double x) {
    uint64_t u;
    std::memcpy(&u, &x, sizeof u);
    return u;
}
inline double from_bits(uint64_t u) {
    double x;
    std::memcpy(&x, &u, sizeof x);
    return x;
}
// |x| by clearing the sign bit (no branch, no library call).
inline double abs_of(double x) { return from_bits(bits_of(x) & 0x7FFFFFFFFFFFFFFFull); }

// 2^k for a normal exponent, -1022 <= k <= 1023.
inline double pow2(int k) { return from_bits(uint64_t(k + 1023) << 52); }

// ---------------------------------------------------------------- double-double

struct DD {
    double hi, lo;
};

// a + b = s + t exactly, for any a, b (Knuth).
inline DD two_sum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    const double t = (a - (s - bb)) + (b - bb);
    return {s, t};
}

// a + b = s + t exactly when a == 0 or exponent(a) >= exponent(b) (Dekker).
inline DD fast_two_sum(double a, double b) {
    const double s = a + b;
    const double t = b - (s - a);
    return {s, t};
}

// a = hi + lo with hi holding the top 26 bits and lo the rest (Veltkamp);
// exact for |a| < 2^995.
inline DD split(double a) {
    const double t = 134217729.0 * a;  // 2^27 + 1
    const double hi = t - (t - a);
    return {hi, a - hi};
}

// a * b = p + e exactly, without a fused multiply-add (Dekker), for products
// far from overflow and underflow, which is all this code forms.
inline DD two_prod_split(double a, DD as, double b, DD bs) {
    const double p = a * b;
    const double e = ((as.hi * bs.hi - p) + as.hi * bs.lo + as.lo * bs.hi) + as.lo * bs.lo;
    return {p, e};
}
inline DD two_prod(double a, double b) { return two_prod_split(a, split(a), b, split(b)); }

// The rounding test. hi + lo approximates y with |y - (hi + lo)| <= err,
// where err already exceeds the true bound by more than 2^-100 |hi|, which
// covers the rounding errors of forming err and lo +- err. If
// hi + (lo + err) and hi + (lo - err) round to the same double, every value
// in between does, y included, since rounding is monotonic: that double is
// the correctly rounded y. Returns false when the test cannot decide.
inline bool round_dd(DD v, double err, double *out) {
    const double up = v.hi + (v.lo + err);
    const double down = v.hi + (v.lo - err);
    if (up != down) return false;
    *out = up;
    return true;
}

// ---------------------------------------------------------------- fixed point

// An unsigned binary fixed-point number: w[0] is the integer part, w[1..N]
// the fraction, most significant word first; one unit of the last word is
// 2^(-32 N). Signs are kept apart by the algorithms.
template <int N>
struct Fixed {
    uint32_t w[N + 1];
};

template <int N>
Fixed<N> fixed_zero() {
    Fixed<N> r;
    for (int i = 0; i <= N; ++i) r.w[i] = 0;
    return r;
}

// The exact value of a finite double 0 <= x < 2^32 whose bits all lie at or
// above 2^(-32 N); a double with lower bits is truncated.
template <int N>
Fixed<N> fixed_from_double(double x) {
    Fixed<N> r = fixed_zero<N>();
    const uint64_t u = bits_of(x);
    const int be = int(u >> 52);
    if (be == 0) return r;  // zero (subnormals never reach the fixed-point code)
    const uint64_t m = (u & 0xFFFFFFFFFFFFFull) | (1ull << 52);
    // x = m * 2^(be - 1075): bit b of m has weight 2^(b + be - 1075). Bit
    // index `pos` counts from the top of w[0], whose top bit weighs 2^31.
    for (int b = 0; b < 53; ++b) {
        if (!((m >> b) & 1)) continue;
        const int p = b + be - 1075;          // weight exponent
        const int pos = 31 - p;               // bit index from the top of w[0]
        if (pos < 0 || pos >= 32 * (N + 1)) continue;
        r.w[pos >> 5] |= 0x80000000u >> (pos & 31);
    }
    return r;
}

template <int N>
bool fixed_less(const Fixed<N> &a, const Fixed<N> &b) {
    for (int i = 0; i <= N; ++i)
        if (a.w[i] != b.w[i]) return a.w[i] < b.w[i];
    return false;
}

template <int N>
Fixed<N> fixed_add(const Fixed<N> &a, const Fixed<N> &b) {
    Fixed<N> r;
    uint64_t carry = 0;
    for (int i = N; i >= 0; --i) {
        const uint64_t s = uint64_t(a.w[i]) + b.w[i] + carry;
        r.w[i] = uint32_t(s);
        carry = s >> 32;
    }
    return r;
}

// a - b for a >= b.
template <int N>
Fixed<N> fixed_sub(const Fixed<N> &a, const Fixed<N> &b) {
    Fixed<N> r;
    uint64_t borrow = 0;
    for (int i = N; i >= 0; --i) {
        const uint64_t d = uint64_t(a.w[i]) - b.w[i] - borrow;
        r.w[i] = uint32_t(d);
        borrow = (d >> 32) & 1;
    }
    return r;
}

// |a - b|, and whether b > a.
template <int N>
Fixed<N> fixed_absdiff(const Fixed<N> &a, const Fixed<N> &b, bool *negative) {
    *negative = fixed_less(a, b);
    return *negative ? fixed_sub(b, a) : fixed_sub(a, b);
}

// a * b truncated, for a product below 2^32. Columns of 32x32 -> 64-bit word
// products are summed as 32-bit halves in 64-bit accumulators (no overflow
// for N < 2^29). Products of weight below the guard column N + 1 are
// dropped: each of the N + 1 columns beyond is below one unit, so with the
// truncated guard the result lies within N + 2 units below a * b.
template <int N>
Fixed<N> fixed_mul(const Fixed<N> &a, const Fixed<N> &b) {
    uint64_t col[N + 2] = {};
    for (int i = 0; i <= N; ++i) {
        if (a.w[i] == 0) continue;
        for (int k = 0; k <= N + 1 - i && k <= N; ++k) {
            const uint64_t p = uint64_t(a.w[i]) * b.w[k];
            col[i + k] += p & 0xFFFFFFFFu;
            if (i + k > 0) col[i + k - 1] += p >> 32;
        }
    }
    Fixed<N> r;
    uint64_t carry = 0;
    for (int c = N + 1; c >= 0; --c) {
        const uint64_t s = col[c] + carry;
        if (c <= N) r.w[c] = uint32_t(s);
        carry = s >> 32;
    }
    return r;
}

// a * d for a small integer d, exact while the product stays below 2^32.
template <int N>
Fixed<N> fixed_mul_small(const Fixed<N> &a, uint32_t d) {
    Fixed<N> r;
    uint64_t carry = 0;
    for (int i = N; i >= 0; --i) {
        const uint64_t p = uint64_t(a.w[i]) * d + carry;
        r.w[i] = uint32_t(p);
        carry = p >> 32;
    }
    return r;
}

// a / d truncated (less than one unit below a / d).
template <int N>
Fixed<N> fixed_div_small(const Fixed<N> &a, uint32_t d) {
    Fixed<N> r;
    uint64_t rem = 0;
    for (int i = 0; i <= N; ++i) {
        const uint64_t cur = (rem << 32) | a.w[i];
        r.w[i] = uint32_t(cur / d);
        rem = cur % d;
    }
    return r;
}

// A constant stored as an integer word and 16 fraction words, truncated to
// N fraction words (less than one unit below the constant).
template <int N>
Fixed<N> fixed_const(const uint32_t (&words)[17]) {
    static_assert(N <= 16, "constants carry 16 fraction words");
    Fixed<N> r;
    for (int i = 0; i <= N; ++i) r.w[i] = words[i];
    return r;
}

inline int bit_at(const uint32_t *w, int pos) { return (w[pos >> 5] >> (31 - (pos & 31))) & 1; }

// Rounds (-1)^negative * v to the nearest double into *out, given that v is
// within `err` units of the last word of the exact value y (y nonzero, of
// magnitude between 2^-1000 and 2^31). Returns true when that double is
// proven to be y correctly rounded as well, false when v lies within `err`
// units of a midpoint between two doubles (y might round the other way).
template <int N>
bool fixed_round(const Fixed<N> &v, bool negative, uint32_t err, double *out) {
    constexpr int kBits = 32 * (N + 1);
    *out = 0.0;
    int lead = 0;
    while (lead < kBits && !bit_at(v.w, lead)) ++lead;
    // The 53-bit significand, the round bit and at least 32 bits below it
    // must lie inside the words.
    if (lead + 53 + 32 >= kBits) return false;
    uint64_t m = 0;
    for (int b = lead; b < lead + 53; ++b) m = (m << 1) | uint64_t(bit_at(v.w, b));
    const int round_bit = bit_at(v.w, lead + 53);
    // The leading bit weighs 2^(31 - lead), the last bit of m 2^(31 - lead - 52);
    // m + 1 = 2^53 after a carry is still exact.
    const double r = double(m + uint64_t(round_bit)) * pow2(31 - lead - 52);
    *out = negative ? -r : r;
    // t = the bits below the round bit. The distance from v to the midpoint
    // is t when the round bit is 1, else 2^(weight of the round bit) - t,
    // which is the complement of t within its bits plus one unit.
    Fixed<N> t = v;
    const int first = lead + 54;
    for (int i = 0; i < (first >> 5); ++i) t.w[i] = 0;
    if (!round_bit)
        for (int i = first >> 5; i <= N; ++i) t.w[i] = ~t.w[i];
    if (first & 31) t.w[first >> 5] &= 0xFFFFFFFFu >> (first & 31);
    bool big = false;
    for (int i = 0; i < N; ++i) big = big || t.w[i] != 0;
    // round bit 1: need t > err; round bit 0: need (complement + 1) > err.
    return big || (round_bit ? t.w[N] > err : t.w[N] >= err);
}

// ---------------------------------------------------------------- reduction

// Payne-Hanek reduction: for x = m * 2^e (m < 2^53 an integer, e >= -180),
// x * 2/pi = I + F, written as the low 32 bits of the integer I (returned)
// and `nwords` 32-bit words of the fraction F in out[0 .. nwords-1] (most
// significant first). The bits of 2/pi come from a table of 1728 bits, so the
// multiplication is exact as far as it is carried out; the truncation leaves
// F less than 4 units of its last word below the exact fraction
// (nwords <= 20, e <= 1000).
uint32_t reduce_two_over_pi(uint64_t m, int e, uint32_t *out, int nwords);

// Pieces exposed for the tests. The fast paths give a double-double v and an
// absolute bound err of its error, or false for arguments they leave to the
// accurate path (and for special values); the accurate paths take any double.
bool sin_cos_fast_dd(double x, bool cosine, DD *v, double *err);
bool log_fast_dd(double x, DD *v, double *err);
double sin_cos_accurate(double x, bool cosine);
double log_accurate(double x);

#if defined(KWSIG_X86_KERNELS)
KWSIG_BEGIN_AVX2

// The double and double-double steps above on four doubles side by side
// (AVX2), for the four-lane evaluations (log4, sin4): each lane takes exactly
// the operations of the scalar step.
namespace four {
inline __m256d mul(__m256d a, __m256d b) { return _mm256_mul_pd(a, b); }
inline __m256d add(__m256d a, __m256d b) { return _mm256_add_pd(a, b); }
inline __m256d sub(__m256d a, __m256d b) { return _mm256_sub_pd(a, b); }
inline __m256d cst(double a) { return _mm256_set1_pd(a); }
inline __m256d abs(__m256d a) {
    return _mm256_and_pd(a, _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FFFFFFFFFFFFFFFll)));
}
// two_sum and fast_two_sum: a + b = s + t
inline void two_sum(__m256d a, __m256d b, __m256d &s, __m256d &t) {
    s = add(a, b);
    const __m256d bb = sub(s, a);
    t = add(sub(a, sub(s, bb)), sub(b, bb));
}
inline void fast_two_sum(__m256d a, __m256d b, __m256d &s, __m256d &t) {
    s = add(a, b);
    t = sub(b, sub(s, a));
}
// round_dd's test: the lanes where hi + (lo + err) and hi + (lo - err) agree
// (their value stored at y), as a mask.
inline __m256d rounded(__m256d hi, __m256d lo, __m256d err, double *y) {
    const __m256d up = add(hi, add(lo, err)), down = add(hi, sub(lo, err));
    _mm256_storeu_pd(y, up);
    return _mm256_cmp_pd(up, down, _CMP_EQ_OQ);
}
}  // namespace four

KWSIG_END_AVX2
#endif

}  // namespace math
}  // namespace kwsig
