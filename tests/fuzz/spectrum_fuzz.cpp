// Real and complex spectra, both precisions, at any count and mode (full
// 32-bit slot). Promises: refused counts write nothing; inputs are only read;
// only the low 16 bits of the mode count; output may be the input or the
// window array, with the same values and the rest of that array untouched;
// magnitudes are the square roots of the powers, and a zero or NaN power reads
// -500 dB.
#include "fuzz.h"

extern "C" {
void kwsig_spectrum(const float *, float *, const float *, int, int);
void kwsig_spectrum_double(const double *, double *, const double *, int, int);
void kwsig_cspectrum(const float *, float *, const float *, int, int);
void kwsig_cspectrum_double(const double *, double *, const double *, int, int);
}

namespace {

constexpr int kMaxLog2 = 12;
constexpr int kCap = 1 << 13;

template <typename T>
using Spectrum = void (*)(const T *, T *, const T *, int, int);

template <typename T>
void run(fuzz::Bytes &in, Spectrum<T> spectrum, bool complex) {
    const int count = in.pow2_count(kMaxLog2, kCap);
    const int mode = in.one_in(2) ? int(in.u8() % 4) : int(in.u32());
    const bool accepted = count >= (complex ? 1 : 2) && (count & (count - 1)) == 0;
    if (accepted && count > kCap) return;
    // Sizes from the header; a negative or absurd count gets empty arrays.
    const std::size_t n = count > 0 && count <= kCap ? std::size_t(count) : 0;
    const std::size_t nin = complex ? 2 * n : n;
    const std::size_t nout = complex ? n : (n != 0 ? n / 2 + 1 : 0);
    fuzz::Guarded<T> input(nin), window(n), output(nout);
    input.fill_from(in);
    window.fill_from(in);
    output.fill_from(in);
    const auto x0 = input.snapshot(), w0 = window.snapshot(), y0 = output.snapshot();
    spectrum(input.data(), output.data(), window.data(), count, mode);
    FUZZ_CHECK(fuzz::same_bits(input, x0));
    FUZZ_CHECK(fuzz::same_bits(window, w0));
    if (!accepted) {
        FUZZ_CHECK(fuzz::same_bits(output, y0));
        return;
    }
    const auto result = output.snapshot();

    fuzz::Guarded<T> low(nout);
    spectrum(input.data(), low.data(), window.data(), count, int16_t(mode));
    FUZZ_CHECK(fuzz::same_bits(low, result));

    fuzz::Guarded<T> over_input(nin), over_window(n);
    over_input.copy_from(x0.data());
    spectrum(over_input.data(), over_input.data(), window.data(), count, mode);
    FUZZ_CHECK(fuzz::same_bits(over_input.data(), result.data(), nout));
    FUZZ_CHECK(fuzz::same_bits(over_input.data() + nout, x0.data() + nout, nin - nout));
    over_window.copy_from(w0.data());
    spectrum(input.data(), over_window.data(), over_window.data(), count, mode);
    FUZZ_CHECK(fuzz::same_bits(over_window.data(), result.data(), nout));
    FUZZ_CHECK(fuzz::same_bits(over_window.data() + nout, w0.data() + nout, n - nout));

    const int m = int16_t(mode);
    if (m != 0 && m != 2) return;
    fuzz::Guarded<T> power(nout);
    spectrum(input.data(), power.data(), window.data(), count, 1);
    for (std::size_t k = 0; k < nout; ++k) {
        if (m == 0) {
            const T magnitude = T(std::sqrt(double(power[k])));
            FUZZ_CHECK(fuzz::same_result(&result[k], &magnitude, 1));
        } else if (power[k] == 0 || std::isnan(power[k])) {
            FUZZ_CHECK(result[k] == T(-500));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, std::size_t size) {
    fuzz::Bytes in(bytes, size);
    fuzz::one_of(in, [&] { run<float>(in, kwsig_spectrum, false); },
                 [&] { run<double>(in, kwsig_spectrum_double, false); },
                 [&] { run<float>(in, kwsig_cspectrum, true); },
                 [&] { run<double>(in, kwsig_cspectrum_double, true); });
    return 0;
}
