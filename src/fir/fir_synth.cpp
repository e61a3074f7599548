// Weighted least-squares FIR design by the frequency-domain route.
//
// On the grid w_p = pi p / N, p = 0 .. N, the weighted, delayed target
// weights[p] * desired_p * e^(-i w_p delay) and the weights themselves are
// packed as half-spectra of 2N real values and taken to the lag domain by two
// inverse real FFTs: a cross-correlation and an autocorrelation. The normal
// equations  sum_j acf[i - j] h[j] = xcf[i]  (i, j = 0 .. ntaps-1) are
// Toeplitz and go to the Levinson solver. Both transforms carry the same
// scale, which cancels in the solve.
//
// Arithmetic, exactly (every named value a double):
//   c = (kPi * delay) / N;  rotation (cr, ci) by -c from (1, 0):
//   Rotation::back_by(c) (frame/rotation.h), q = (-2 h) h with h = sin(c / 2),
//   l = -sin(c);  cr' = cr + (cr q - ci l),  ci' = ci + (ci q + cr l)
//   target p: ((cr d_re - ci d_im) w_p, (cr d_im + ci d_re) w_p)
//   half-rate term: w_N (cr d_re - ci d_im) with the rotation after N steps.
#include <cmath>
#include <cstddef>

#include "fir/toeplitz.h"
#include "frame/numeric.h"
#include "frame/rotation.h"
#include "frame/scratch.h"
#include "kwsig.h"

namespace kwsig {
namespace {

// Outside the design limits, a non-finite input, or without scratch memory:
// nothing is written.
constexpr double kRefused = -1.0;

bool all_finite(const double *v, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (!std::isfinite(v[i])) return false;
    return true;
}

double fir_synth(const double *desired, const double *weights, int nfreq, double delay,
                 double *coef, int ntaps) {
    if (nfreq < 2 || !is_pow2(static_cast<unsigned>(nfreq)) || ntaps < 1 || ntaps > nfreq)
        return kRefused;
    const std::size_t N = static_cast<std::size_t>(nfreq);
    // An infinity or NaN among the values the design reads would spread
    // through both transforms into every coefficient (even the unused
    // imaginary part at frequency 0: it is multiplied by the zero sine of the
    // first point); a delay whose phase step is not finite (pi * delay
    // overflows) would feed the sine an infinity.
    const double c = kPi * delay / double(nfreq);
    if (!std::isfinite(c) || !all_finite(desired, 2 * N + 2) || !all_finite(weights, N + 1))
        return kRefused;
    Scratch<double> weighted_target(2 * N);  // then the cross-correlation
    Scratch<double> weight_spectrum(2 * N);  // then the centred autocorrelation
    if (!weighted_target || !weight_spectrum) return kRefused;

    Rotation ramp = Rotation::back_by(c);  // e^(-i p c) at point p
    for (std::size_t p = 0; p < N; ++p) {
        const double dre = desired[2 * p], dim = desired[2 * p + 1], w = weights[p];
        const double cr = ramp.c, ci = ramp.s;
        weight_spectrum[2 * p] = w;
        weight_spectrum[2 * p + 1] = 0.0;
        weighted_target[2 * p] = (cr * dre - ci * dim) * w;
        weighted_target[2 * p + 1] = (cr * dim + ci * dre) * w;
        ramp.advance();
    }
    // Half the sample rate goes where the packed layout keeps it, over the
    // unused imaginary part of frequency 0.
    weight_spectrum[1] = weights[N];
    weighted_target[1] =
        weights[N] * (ramp.c * desired[2 * N] - ramp.s * desired[2 * N + 1]);

    kwsig_fft_real_double(weighted_target.get(), static_cast<unsigned>(2 * N), -1);
    kwsig_fft_real_double(weight_spectrum.get(), static_cast<unsigned>(2 * N), -1);

    // Lag 0 to the middle: weight_spectrum[N + L] holds lag L for L = -N .. N-1.
    for (std::size_t l = 0; l < N; ++l) {
        const double t = weight_spectrum[l];
        weight_spectrum[l] = weight_spectrum[l + N];
        weight_spectrum[l + N] = t;
    }

    // Lags -(ntaps-1) .. ntaps-1, the diagonal (lag 0) in the middle.
    const int status = toeplitz_solve(weight_spectrum.get() + (N - std::size_t(ntaps) + 1), coef,
                                      weighted_target.get(), ntaps);
    weighted_target.release();
    weight_spectrum.release();
    return status < 0 ? kRefused : double(status);
}

}  // namespace
}  // namespace kwsig

extern "C" {

KWSIG_API double KWSIG_CALL kwsig_fir_synth(const double *desired, const double *weights,
                                            int nfreq, double delay, double *coefficients,
                                            int ntaps) {
    return kwsig::fir_synth(desired, weights, nfreq, delay, coefficients, ntaps);
}

}  // extern "C"
