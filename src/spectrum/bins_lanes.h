// The spectra's linear passes but decibels (bins.cpp), written once over a
// lane type VL (frame/lanes.h); compiled twice by frame/lanes_twice.h. Needs
// bins.h's BinsPass. Each value is formed and rounded exactly as by the plain
// loop, VL::size values side by side, the tail one at a time (Lanes1).
#include "frame/lane_magnitude.h"

// Items from .. to-1 of the pass, L::size at a time (to - from a multiple).
template <typename L, typename T>
void bins_items(BinsPass pass, const T *a, const T *b, T *out, std::size_t from,
                std::size_t to) {
    for (std::size_t i = from; i < to; i += L::size) {
        const T *in[L::size];
        T *pair[L::size];
        L re, im;
        switch (pass) {
        case BinsPass::window_real:  // out[i] = a[i] b[i]
            (L::load(a + i) * L::load(b + i)).store(out + i);
            break;
        case BinsPass::window_complex:  // out[2i + j] = a[2i + j] b[i], j = 0, 1
            for (int m = 0; m < L::size; ++m) in[m] = a + 2 * (i + m), pair[m] = out + 2 * (i + m);
            L::gather_pairs(in, re, im);
            L::scatter_pairs(pair, re * L::load(b + i), im * L::load(b + i));
            break;
        case BinsPass::powers:  // out[i] = a[2i]^2 + a[2i+1]^2
            for (int m = 0; m < L::size; ++m) in[m] = a + 2 * (i + m);
            L::gather_pairs(in, re, im);
            (re * re + im * im).store(out + i);
            break;
        case BinsPass::magnitudes:  // out[i] = sqrt(T(a[2i]^2 + a[2i+1]^2))
            for (int m = 0; m < L::size; ++m) in[m] = a + 2 * (i + m);
            L::gather_pairs(in, re, im);
            magnitude(re, im, T()).store(out + i);
            break;
        case BinsPass::decibels:  // never here
            break;
        }
    }
}

// The decibel pass's chunk: widen[i] = a[i] as doubles (float samples, the
// logarithms' arguments), and after the logarithms y, out[i] = T(y[i] k), or
// -500 where a[i] is zero or NaN. a may be out: each value is read before it
// is written.
template <typename L, typename T>
void widen_items(const T *a, double *v, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; i += L::size) L::load(a + i).store(v + i);
}
template <typename L, typename T>
void decibel_items(const T *a, const double *y, T *out, std::size_t from, std::size_t to,
                   double k) {
    const L kk = L::splat(k), floor = L::splat(-500.0);
    for (std::size_t i = from; i < to; i += L::size)
        L::load(a + i).zero_or_nan(floor, L::load(y + i) * kk).store(out + i);
}

template <typename VL, typename T>
void widen_lanes(const T *a, double *v, std::size_t count) {
    const std::size_t body = count - count % VL::size;
    widen_items<VL>(a, v, 0, body);
    widen_items<Lanes1>(a, v, body, count);
}
template <typename VL, typename T>
void decibels_lanes(const T *a, const double *y, T *out, std::size_t count, double k) {
    const std::size_t body = count - count % VL::size;
    decibel_items<VL>(a, y, out, 0, body, k);
    decibel_items<Lanes1>(a, y, out, body, count, k);
}

template <typename VL, typename T>
void bins_pass_lanes(BinsPass pass, const T *a, const T *b, T *out, std::size_t count) {
    const std::size_t body = count - count % VL::size;
    bins_items<VL>(pass, a, b, out, 0, body);
    bins_items<Lanes1>(pass, a, b, out, body, count);
}
