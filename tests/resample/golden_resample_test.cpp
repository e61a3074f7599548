// The hashed golden cases of the resamplers and the kernel response.
#include "support/golden_check.h"

TEST(GoldenResample, Streams) {
    golden::check_all("kwsig_resample");
    golden::check_all("kwsig_resample_double");
}

TEST(GoldenResample, Response) { golden::check_all("kwsig_resamp_resp"); }
