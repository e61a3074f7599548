// Real FFT of n values through a complex FFT of n/2 points plus one pass that
// separates (forward) or merges (inverse) the spectra of the even and odd
// samples.
//
// Arithmetic, exactly (h* rounded to the sample type, twiddles in double):
//   theta = -+pi / (n/2) (pi the double kPi);
//   twiddle (wr, wi) = Rotation::by(theta) (frame/rotation.h), q = (-2 h) h
//   with h = sin(theta/2), l = sin(theta), started at (1 + q, l), the
//   twiddle of bin 1, and advanced as in the complex FFT;
//   c1 = 0.5, c2 = -0.5 forward / +0.5 inverse;
//   h1r = (x[a] + x[b]) c1      h1i = (x[a+1] - x[b+1]) c1
//   h2r = (-c2)(x[a+1] + x[b+1]) h2i = (x[a] - x[b]) c2
//   x[a]   = (wr h2r + h1r) - wi h2i     x[a+1] = (wr h2i + h1i) + wi h2r
//   x[b]   = (h1r - wr h2r) + wi h2i     x[b+1] = (-h1i + wr h2i) + wi h2r
// Each twiddle comes from the previous one by the recurrence. From
// kSegmentsFrom values the forward pass runs in kSegments segments side by
// side (in AVX2 or SSE2 lanes, split_lanes.h), each from its first twiddle as
// noted by the complex transform, which runs the recurrence beside its own
// (ahead, or tabulated with them below 256 points): the same steps, so the
// same bits.
#include <cstddef>

#include "fft/transforms.h"
#include "frame/cpu.h"
#include "frame/lanes.h"
#include "frame/numeric.h"
#include "frame/rotation.h"
#include "kwsig.h"

namespace kwsig {
namespace {

// The pass shared by both directions; sign is -1 forward and +1 inverse.
// Bin k takes the twiddle the recurrence has after k-1 steps. With `noted`,
// bins 1 .. n/4-1 run in kSegments segments of `seg` bins side by side, each
// from its first twiddle as noted by running the recurrence ahead (the same
// steps, so the same bits); without, in one run.
constexpr int kSegments = 4;
// n from which the forward pass runs in segments (below, each segment would
// hold a bin or none)
constexpr std::size_t kSegmentsFrom = 16;

#define KWSIG_LANES_KERNELS "fft/split_lanes.h"
#include "frame/lanes_twice.h"

// The pass's recurrence: a step of (sign pi) / (n/2); its first twiddle,
// that of bin 1, is (1 + q, l).
inline double split_angle(std::size_t n, double sign) { return (sign * kPi) / double(n / 2); }
inline Rotation split_rotation(std::size_t n, double sign) {
    return Rotation::by(split_angle(n, sign));
}

// With Mags, also mags[k] for 0 < k < n/2, from the values the pass leaves,
// as split_segments forms them.
template <bool Mags = false, typename T>
void split_merge(T *x, std::size_t n, double sign, const Rotation &step,
                 const Twiddle *noted = nullptr, std::size_t seg = 0, T *mags = nullptr) {
    const T c1 = T(0.5);
    const T c2 = T(sign * 0.5);
    auto form = [&](std::size_t k, std::size_t at) {  // mags[k] from x[at], x[at + 1]
        lanes::magnitude(Lanes1{wide(x[at])}, Lanes1{wide(x[at + 1])}, T()).store(mags + k);
    };
    auto bin = [&](std::size_t k, double wr, double wi) {
        const std::size_t a = 2 * k, b = n - 2 * k;
        const double xa = wide(x[a]), xa1 = wide(x[a + 1]);
        const double xb = wide(x[b]), xb1 = wide(x[b + 1]);
        const double h1r = T((xa + xb) * wide(c1));
        const double h1i = T((xa1 - xb1) * wide(c1));
        const double h2r = T(-wide(c2) * (xa1 + xb1));
        const double h2i = T((xa - xb) * wide(c2));
        x[a] = T((wr * h2r + h1r) - wi * h2i);
        x[a + 1] = T((wr * h2i + h1i) + wi * h2r);
        x[b] = T((h1r - wr * h2r) + wi * h2i);
        x[b + 1] = T((-h1i + wr * h2i) + wi * h2r);
        if constexpr (Mags) form(k, a), form(n / 2 - k, b);
    };
    if (noted) {
        // Side by side in lanes while every segment has bins left (the last
        // has the fewest), then the rest of each segment on its own.
        const std::size_t visited = n / 4 - 1, before_last = (kSegments - 1) * seg;
        const std::size_t len = visited > before_last ? visited - before_last : 0;
        Twiddle at[kSegments];
        for (int j = 0; j < kSegments; ++j) at[j] = noted[j];
        switch (kernel_isa()) {
#if defined(KWSIG_X86_KERNELS)
        case Isa::avx2:
            lanes_avx2::split_segments<Mags, LanesAvx2>(x, n, sign, seg, len, step.step_cm1,
                                                        step.step_sin, at, mags);
            break;
        case Isa::sse2:
            lanes::split_segments<Mags, LanesSse2>(x, n, sign, seg, len, step.step_cm1,
                                                   step.step_sin, at, mags);
            break;
#endif
        default:
            lanes::split_segments<Mags, Lanes1>(x, n, sign, seg, len, step.step_cm1,
                                                step.step_sin, at, mags);
        }
        for (int j = 0; j < kSegments; ++j) {
            Rotation w = step;
            w.start_at(at[j].c, at[j].s);
            for (std::size_t k = 1 + j * seg + len; k < 1 + (j + 1) * seg && k < n / 4; ++k) {
                bin(k, w.c, w.s);
                w.advance();
            }
        }
    } else {
        Rotation w = step;
        w.start_at(1.0 + w.step_cm1, w.step_sin);
        for (std::size_t k = 1; k < n / 4; ++k) {
            bin(k, w.c, w.s);
            w.advance();
        }
    }
    const double h = wide(x[0]);
    x[0] = T(h + wide(x[1]));
    x[1] = T(h - wide(x[1]));
    // Imaginary part of the middle bin n/4, which the pass does not visit.
    // With n = 2 there is no middle bin and nothing beyond the two values.
    if (n >= 4) {
        x[n / 2 + 1] = T(-wide(x[n / 2 + 1]));
        if constexpr (Mags) form(n / 4, n / 2);
    }
}

// With Mags (forward only), also the magnitudes of split_merge<true>.
template <bool Mags = false, typename T>
void fft_real(T *x, unsigned count, int direction, T *mags = nullptr) {
    const std::size_t n = count;
    if (n < 2 || !is_pow2(n)) return;
    if (direction == 1 && n >= kSegmentsFrom) {
        // The complex transform runs the pass's recurrence ahead from bin 1's
        // twiddle and notes it at the segments' first bins.
        // Its step's two sines are taken with the complex transform's.
        const std::size_t seg = (n / 4 - 1 + kSegments - 1) / kSegments;
        Twiddle noted[kSegments];
        Prerun job{0.0, 0.0, {}, 0, std::ptrdiff_t(seg), kSegments, noted};
        complex_fft_ahead(x, count / 2, 1, job, split_angle(n, -1.0));
        split_merge<Mags>(x, n, -1.0, Rotation{job.q, job.l}, noted, seg, mags);
    } else if (direction == 1) {
        complex_fft(x, count / 2, 1);
        split_merge<Mags>(x, n, -1.0, split_rotation(n, -1.0), nullptr, 0, mags);
    } else {
        split_merge(x, n, +1.0, split_rotation(n, +1.0));
        const double c1 = 0.5;
        x[0] = T(c1 * wide(x[0]));
        x[1] = T(c1 * wide(x[1]));
        complex_fft(x, count / 2, -1);
    }
}

}  // namespace

void real_fft_magnitudes(double *data, unsigned n, double *mags) {
    fft_real<true>(data, n, 1, mags);
}

}  // namespace kwsig

extern "C" {

KWSIG_API void KWSIG_CALL kwsig_fft_real(float *data, unsigned count, int direction) {
    kwsig::fft_real(data, count, direction);
}

KWSIG_API void KWSIG_CALL kwsig_fft_real_double(double *data, unsigned count, int direction) {
    kwsig::fft_real(data, count, direction);
}

}  // extern "C"
