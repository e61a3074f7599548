// The hashed golden cases of the four transforms.
#include "support/golden_check.h"

TEST(GoldenFft, Complex) {
    golden::check_all("kwsig_fft");
    golden::check_all("kwsig_fft_double");
}

TEST(GoldenFft, Real) {
    golden::check_all("kwsig_fft_real");
    golden::check_all("kwsig_fft_real_double");
}
