// The hashed golden cases of the FIR exports.
#include "support/golden_check.h"

TEST(GoldenFir, Filter) {
    golden::check_all("kwsig_fir");
    golden::check_all("kwsig_fir_double");
}

TEST(GoldenFir, Response) { golden::check_all("kwsig_fir_resp"); }

TEST(GoldenFir, Synthesis) { golden::check_all("kwsig_fir_synth"); }
