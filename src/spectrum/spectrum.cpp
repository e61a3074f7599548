// One-sided spectrum of a windowed real record through the forward real FFT.
//
// Arithmetic, exactly (products in double, rounded once on each store):
//   s[i] = input[i] * window[i]                 scratch of count + 1 values
//   real FFT of s, forward: packed half-spectrum
//   output[0] = s[0]^2; output[k] = s[2k]^2 + s[2k+1]^2; output[N/2] = s[1]^2
//   magnitudes (mode 0): sqrt of each power as stored, in the same pass
//   (in double from 128 values, bins 1 .. N/2 - 1 in the transform's last
//   pass, from the values it leaves)
//   scratch released, then decibels (mode 2) in place.
// input and window are read completely before output is first written, so
// output may be either of them.
#include <cstddef>
#include <type_traits>

#include "fft/transforms.h"
#include "frame/numeric.h"
#include "frame/scratch.h"
#include "kwsig.h"
#include "spectrum/bins.h"
#include "spectrum/spectrum_mode.h"

namespace kwsig {
namespace {

constexpr std::size_t kFusedFrom = 128;  // counts whose double magnitudes the FFT forms

template <typename T>
void real_spectrum(const T *input, T *output, const T *window, int count, int mode) {
    // Refused counts leave output untouched.
    if (count < 2 || !is_pow2(uint64_t(count))) return;
    const std::size_t n = std::size_t(count);
    Scratch<T> scratch(n + 1);
    if (!scratch) return;
    T *s = scratch.get();
    bins_pass(BinsPass::window_real, input, window, s, n);
    s[n] = T(0);  // spare element, outside the transform
    // Double magnitudes of bins 1 .. n/2 - 1 from the transform's last pass,
    // from kFusedFrom values (below, most are formed one by one there, and
    // the pass in lanes is quicker; measured).
    bool fused = false;
    if constexpr (std::is_same_v<T, double>)
        if (n >= kFusedFrom && bins_formed(mode) == BinsPass::magnitudes) {
            real_fft_magnitudes(s, unsigned(n), output);
            fused = true;
        }
    if (!fused) real_fft(s, unsigned(n), 1);
    output[0] = bin_formed<T>(wide(s[0]) * wide(s[0]), mode);
    if (!fused) bins_pass(bins_formed(mode), s + 2, nullptr, output + 1, n / 2 - 1);
    output[n / 2] = bin_formed<T>(wide(s[1]) * wide(s[1]), mode);
    scratch.release();
    apply_decibels(output, n / 2 + 1, mode);
}

}  // namespace
}  // namespace kwsig

extern "C" {

KWSIG_API void KWSIG_CALL kwsig_spectrum(const float *input, float *output, const float *window,
                                         int count, kwsig_selector mode) {
    kwsig::real_spectrum(input, output, window, count, mode);
}

KWSIG_API void KWSIG_CALL kwsig_spectrum_double(const double *input, double *output,
                                                const double *window, int count,
                                                kwsig_selector mode) {
    kwsig::real_spectrum(input, output, window, count, mode);
}

}  // extern "C"
