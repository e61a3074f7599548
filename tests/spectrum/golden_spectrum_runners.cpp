// Golden-case runners of the windows and the two spectra: inputs regenerated
// from the case's seed, the call made, the output hashed.
#include <vector>

#include "kwsig.h"
#include "support/golden.h"

namespace {

template <typename T, auto Window>
uint64_t run_window(const golden::Case &c) {
    const int count = c.integer("count");
    std::vector<T> window(std::size_t(count), T(0));
    Window(window.data(), count, kwsig_selector(c.integer("type")),
           kwsig_selector(c.integer("norm")), static_cast<T>(c.real("gain")));
    golden::Hash h;
    h.values(window.data(), window.size());
    return h.get();
}

// Real spectra read N samples and write N/2 + 1 bins; complex spectra read N
// interleaved points (2N values) and write N bins.
template <typename T, bool Complex,
          auto Spectrum>
uint64_t run_spectrum(const golden::Case &c) {
    golden::Rng rng(c.seed);
    const int count = c.integer("count");
    const std::size_t n = std::size_t(count);
    const std::size_t in_len = Complex ? 2 * n : n;
    const std::size_t out_len = Complex ? n : n / 2 + 1;
    std::vector<T> input, window;
    if (c.has("constant")) {
        input.assign(in_len, static_cast<T>(c.real("constant")));
        window.assign(n, T(1));
    } else {
        input = rng.fill<T>(in_len, -1, 1);
        if (c.has("window") && c.text("window") == "ones")
            window.assign(n, T(1));
        else
            window = rng.fill<T>(n, 0, 1);
    }
    std::vector<T> separate(out_len, T(0));
    T *output = separate.data();
    if (c.has("alias")) output = c.text("alias") == "input" ? input.data() : window.data();
    Spectrum(input.data(), output, window.data(), count, kwsig_selector(c.integer("mode")));
    golden::Hash h;
    h.values(output, out_len);
    return h.get();
}

const golden::Register window_f("kwsig_window", run_window<float, kwsig_window>);
const golden::Register window_d("kwsig_window_double", run_window<double, kwsig_window_double>);
const golden::Register spectrum_f("kwsig_spectrum", run_spectrum<float, false, kwsig_spectrum>);
const golden::Register spectrum_d("kwsig_spectrum_double",
                                  run_spectrum<double, false, kwsig_spectrum_double>);
const golden::Register cspectrum_f("kwsig_cspectrum", run_spectrum<float, true, kwsig_cspectrum>);
const golden::Register cspectrum_d("kwsig_cspectrum_double",
                                   run_spectrum<double, true, kwsig_cspectrum_double>);

}  // namespace
