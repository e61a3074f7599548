// Overloads that let one typed test reach both twins, and small helpers.
#pragma once

#include <cstring>
#include <vector>

#include "kwsig.h"
#include "support/random.h"

namespace st {

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

using testdata::random_values;

template <typename T>
bool same_bits(T a, T b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A value no routine produces, to show that an element was left alone.
template <typename T>
constexpr T guard() {
    return T(-12345.0);
}

}  // namespace st
