// The real FFT's pass, written once over a lane type VL (frame/lanes.h);
// compiled twice by frame/lanes_twice.h. Needs fft_real.cpp's kSegments and
// transforms.h's Twiddle.
#include "fft/lane_rotation.h"
#include "frame/lane_magnitude.h"

// Bins k = 1 + j seg + i, i < len, of kSegments segments side by side,
// segment j in lane j (kSegments / VL::size vectors), each bin formed
// exactly as by the pass in fft_real.cpp, its twiddle from its segment's copy
// of the recurrence (step q, l). w[j] holds segment j's twiddle at its first
// bin and returns it at i = len. (-h1i + p is written p - h1i: the same
// value, as x - y is x + (-y) exactly.) With Mags, also each bin's
// magnitude from the two values just formed, each rounded to T as stored:
// mags[k] = T(sqrt(T(re^2 + im^2))).
template <bool Mags, typename VL, typename T>
void split_segments(T *x, std::size_t n, double sign, std::size_t seg, std::size_t len, double q,
                    double l, Twiddle *w, T *mags) {
    constexpr int NV = kSegments / VL::size;
    alignas(32) double c[kSegments], s[kSegments];
    for (int j = 0; j < kSegments; ++j) c[j] = w[j].c, s[j] = w[j].s;
    VL wc[NV], ws[NV];
    for (int v = 0; v < NV; ++v) wc[v] = VL::of(c + v * VL::size), ws[v] = VL::of(s + v * VL::size);
    const VL vq = VL::splat(q), vl = VL::splat(l);
    const double c2 = wide(T(sign * 0.5));
    const VL half = VL::splat(wide(T(0.5))), vc2 = VL::splat(c2), minus_c2 = VL::splat(-c2);
    for (std::size_t i = 0; i < len; ++i)
        for (int v = 0; v < NV; ++v) {
            T *a[VL::size], *b[VL::size];
            for (int m = 0; m < VL::size; ++m) {
                const std::size_t k = 1 + std::size_t(v * VL::size + m) * seg + i;
                a[m] = x + 2 * k;
                b[m] = x + (n - 2 * k);
            }
            VL xa, xa1, xb, xb1;
            VL::gather_pairs(a, xa, xa1);
            VL::gather_pairs(b, xb, xb1);
            const VL h1r = VL::rounded((xa + xb) * half, T()), h1i = VL::rounded((xa1 - xb1) * half, T());
            const VL h2r = VL::rounded(minus_c2 * (xa1 + xb1), T()), h2i = VL::rounded((xa - xb) * vc2, T());
            const VL wr = wc[v], wi = ws[v];
            const VL ar = (wr * h2r + h1r) - wi * h2i, ai = (wr * h2i + h1i) + wi * h2r;
            const VL br = (h1r - wr * h2r) + wi * h2i, bi = (wr * h2i - h1i) + wi * h2r;
            VL::scatter_pairs(a, ar, ai);
            VL::scatter_pairs(b, br, bi);
            if constexpr (Mags) {
                // (Lanes written out, then stored one by one: the bins of a
                // vector lie a segment apart.)
                alignas(32) double ma[VL::size], mb[VL::size];
                magnitude(VL::rounded(ar, T()), VL::rounded(ai, T()), T()).store(ma);
                magnitude(VL::rounded(br, T()), VL::rounded(bi, T()), T()).store(mb);
                for (int m = 0; m < VL::size; ++m) {
                    const std::size_t k = 1 + std::size_t(v * VL::size + m) * seg + i;
                    mags[k] = T(ma[m]);
                    mags[n / 2 - k] = T(mb[m]);
                }
            }
            advance(wc[v], ws[v], vq, vl);
        }
    for (int v = 0; v < NV; ++v) wc[v].store(c + v * VL::size), ws[v].store(s + v * VL::size);
    for (int j = 0; j < kSegments; ++j) w[j] = {c[j], s[j]};
}
