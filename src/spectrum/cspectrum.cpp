// Two-sided, centred spectrum of a windowed complex record through the
// forward complex FFT.
//
// Arithmetic, exactly (products in double, rounded once on each store):
//   s[2p] = input[2p] * window[p], s[2p+1] = input[2p+1] * window[p]
//   complex FFT of s, forward, count points
//   output[(k + N/2) mod N] = s[2k]^2 + s[2k+1]^2, written while formed
//   magnitudes (mode 0): sqrt of each power as stored, in the same pass
//   scratch released, then decibels (mode 2) in place.
// input and window are read completely before output is first written, so
// output may be either of them.
#include <cstddef>

#include "fft/transforms.h"
#include "frame/numeric.h"
#include "frame/scratch.h"
#include "kwsig.h"
#include "spectrum/bins.h"
#include "spectrum/spectrum_mode.h"

namespace kwsig {
namespace {

template <typename T>
void complex_spectrum(const T *input, T *output, const T *window, int count, int mode) {
    // Refused counts leave output untouched.
    if (count < 1 || !is_pow2(uint64_t(count))) return;
    const std::size_t n = std::size_t(count);
    Scratch<T> scratch(2 * n);
    if (!scratch) return;
    T *s = scratch.get();
    bins_pass(BinsPass::window_complex, input, window, s, n);
    complex_fft(s, unsigned(n), 1);

    // Bin k goes to (k + N/2) mod N: the non-negative frequencies fill the
    // upper half, the negative ones the lower half.
    const std::size_t half = n >> 1;
    bins_pass(bins_formed(mode), s, nullptr, output + half, n - half);
    bins_pass(bins_formed(mode), s + 2 * (n - half), nullptr, output, half);
    scratch.release();
    apply_decibels(output, n, mode);
}

}  // namespace
}  // namespace kwsig

extern "C" {

KWSIG_API void KWSIG_CALL kwsig_cspectrum(const float *input, float *output, const float *window,
                                          int count, kwsig_selector mode) {
    kwsig::complex_spectrum(input, output, window, count, mode);
}

KWSIG_API void KWSIG_CALL kwsig_cspectrum_double(const double *input, double *output,
                                                 const double *window, int count,
                                                 kwsig_selector mode) {
    kwsig::complex_spectrum(input, output, window, count, mode);
}

}  // extern "C"
