// The hashed golden cases of the windows and the spectra.
#include "support/golden_check.h"

TEST(GoldenSpectrum, Window) {
    golden::check_all("kwsig_window");
    golden::check_all("kwsig_window_double");
}

TEST(GoldenSpectrum, RealSpectrum) {
    golden::check_all("kwsig_spectrum");
    golden::check_all("kwsig_spectrum_double");
}

TEST(GoldenSpectrum, ComplexSpectrum) {
    golden::check_all("kwsig_cspectrum");
    golden::check_all("kwsig_cspectrum_double");
}
