// Callers whose prototypes pass the selectors as full 32-bit ints (another
// language, say): the library must read only the low 16 bits of each slot.
// This file declares the entries itself, without the public header, so the
// high half of each selector really reaches the library.
#include <gtest/gtest.h>

#include <vector>

extern "C" {
void kwsig_window(float *, int, int, int, float);
void kwsig_window_double(double *, int, int, int, double);
void kwsig_spectrum(const float *, float *, const float *, int, int);
void kwsig_spectrum_double(const double *, double *, const double *, int, int);
void kwsig_cspectrum(const float *, float *, const float *, int, int);
void kwsig_cspectrum_double(const double *, double *, const double *, int, int);
}

namespace {

template <typename T, typename F>
std::vector<T> window_with(F fn, int count, int type, int norm) {
    std::vector<T> w(static_cast<std::size_t>(count));
    fn(w.data(), count, type, norm, T(1));
    return w;
}

TEST(SelectorSlot, WindowTypeAndNormalisation) {
    EXPECT_EQ(window_with<float>(kwsig_window, 32, 65537, 0),
              window_with<float>(kwsig_window, 32, 1, 0));
    EXPECT_EQ(window_with<double>(kwsig_window_double, 32, 65537, 0),
              window_with<double>(kwsig_window_double, 32, 1, 0));
    EXPECT_EQ(window_with<double>(kwsig_window_double, 32, 3, 65536),
              window_with<double>(kwsig_window_double, 32, 3, 0));
    EXPECT_EQ(window_with<float>(kwsig_window, 32, 0x7fff0002, int(0x80000001u)),
              window_with<float>(kwsig_window, 32, 2, 1));
    // 65535 is -1: the uniform window.
    for (double v : window_with<double>(kwsig_window_double, 8, 65535, 0)) EXPECT_EQ(v, 1.0);
}

template <typename T, typename F>
std::vector<T> spectrum_with(F fn, std::size_t in_len, std::size_t n, std::size_t out_len,
                             int mode) {
    std::vector<T> in(in_len), w(n, T(1)), out(out_len);
    for (std::size_t i = 0; i < in_len; ++i) in[i] = T(int(i * 7 % 5) - 2);
    fn(in.data(), out.data(), w.data(), int(n), mode);
    return out;
}

TEST(SelectorSlot, SpectrumMode) {
    for (int mode : {0, 2}) {
        EXPECT_EQ(spectrum_with<float>(kwsig_spectrum, 16, 16, 9, 65536 + mode),
                  spectrum_with<float>(kwsig_spectrum, 16, 16, 9, mode));
        EXPECT_EQ(spectrum_with<double>(kwsig_spectrum_double, 16, 16, 9, int(0xabcd0000u) + mode),
                  spectrum_with<double>(kwsig_spectrum_double, 16, 16, 9, mode));
        EXPECT_EQ(spectrum_with<float>(kwsig_cspectrum, 32, 16, 16, 65536 + mode),
                  spectrum_with<float>(kwsig_cspectrum, 32, 16, 16, mode));
        EXPECT_EQ(spectrum_with<double>(kwsig_cspectrum_double, 32, 16, 16, 65536 + mode),
                  spectrum_with<double>(kwsig_cspectrum_double, 32, 16, 16, mode));
    }
    // 65537 is mode 1, 65535 is -1: both leave the power.
    EXPECT_EQ(spectrum_with<double>(kwsig_spectrum_double, 16, 16, 9, 65537),
              spectrum_with<double>(kwsig_spectrum_double, 16, 16, 9, 1));
    EXPECT_EQ(spectrum_with<double>(kwsig_cspectrum_double, 32, 16, 16, 65535),
              spectrum_with<double>(kwsig_cspectrum_double, 32, 16, 16, 1));
}

}  // namespace
