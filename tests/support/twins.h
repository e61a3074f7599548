// What the unit tests share: one name for both precision twins of each export
// (so that one typed test reaches either), bit-for-bit comparison, and
// reproducible random data.
#pragma once

#include <cstddef>
#include <cstring>
#include <random>
#include <type_traits>
#include <vector>

#include "kwsig.h"

namespace twin {

inline void fft(float *d, unsigned n, int dir) { kwsig_fft(d, n, dir); }
inline void fft(double *d, unsigned n, int dir) { kwsig_fft_double(d, n, dir); }
inline void fft_real(float *d, unsigned n, int dir) { kwsig_fft_real(d, n, dir); }
inline void fft_real(double *d, unsigned n, int dir) { kwsig_fft_real_double(d, n, dir); }

inline void window(float *w, int n, int type, int norm, float gain) {
    kwsig_window(w, n, kwsig_selector(type), kwsig_selector(norm), gain);
}
inline void window(double *w, int n, int type, int norm, double gain) {
    kwsig_window_double(w, n, kwsig_selector(type), kwsig_selector(norm), gain);
}
inline void spectrum(const float *in, float *out, const float *w, int n, int mode) {
    kwsig_spectrum(in, out, w, n, kwsig_selector(mode));
}
inline void spectrum(const double *in, double *out, const double *w, int n, int mode) {
    kwsig_spectrum_double(in, out, w, n, kwsig_selector(mode));
}
inline void cspectrum(const float *in, float *out, const float *w, int n, int mode) {
    kwsig_cspectrum(in, out, w, n, kwsig_selector(mode));
}
inline void cspectrum(const double *in, double *out, const double *w, int n, int mode) {
    kwsig_cspectrum_double(in, out, w, n, kwsig_selector(mode));
}

inline void resample(const float *in, int nin, float *out, int nout, int *nw, float *phase,
                     float step, float *h) {
    kwsig_resample(in, nin, out, nout, nw, phase, step, h);
}
inline void resample(const double *in, int nin, double *out, int nout, int *nw, double *phase,
                     double step, double *h) {
    kwsig_resample_double(in, nin, out, nout, nw, phase, step, h);
}

inline void fir(const float *x, float *y, int n, const float *c, int m, float *s) {
    kwsig_fir(x, y, n, c, m, s);
}
inline void fir(const double *x, double *y, int n, const double *c, int m, double *s) {
    kwsig_fir_double(x, y, n, c, m, s);
}

// Equal to the bit (so +0 differs from -0 and a NaN can equal itself).
template <typename T, typename = std::enable_if_t<std::is_arithmetic<T>::value>>
bool same_bits(T a, T b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}
template <typename T>
bool same_bits(const std::vector<T> &a, const std::vector<T> &b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

// A value no routine produces, to show that an element was left alone.
template <typename T>
constexpr T guard() {
    return T(-12345.0);
}

// The unit tests' random data: a 64-bit Mersenne Twister from a fixed seed,
// values uniform in [a, b) drawn in double and rounded to T. It is itself a
// random bit generator, for the standard distributions and for gen() % n.
// (The golden cases have their own generator, golden::Rng, which is part of
// their format.)
class Random {
public:
    using result_type = std::mt19937_64::result_type;
    static constexpr result_type min() { return std::mt19937_64::min(); }
    static constexpr result_type max() { return std::mt19937_64::max(); }

    explicit Random(unsigned seed) : gen_(seed) {}
    result_type operator()() { return gen_(); }
    double uniform(double a = -1.0, double b = 1.0) {
        return std::uniform_real_distribution<double>(a, b)(gen_);
    }
    template <typename T>
    std::vector<T> values(std::size_t n, double a = -1.0, double b = 1.0) {
        std::vector<T> v(n);
        for (auto &x : v) x = T(uniform(a, b));
        return v;
    }

private:
    std::mt19937_64 gen_;
};

// n values from a fresh generator of the given seed.
template <typename T>
std::vector<T> random_values(std::size_t n, unsigned seed, double a = -1.0, double b = 1.0) {
    return Random(seed).values<T>(n, a, b);
}

}  // namespace twin
