// Resampler kernel response at any point count and limits. Promises:
// npoints <= 0 writes nothing; point 0 is the single point at start_freq,
// whatever stop_freq is; the response at zero frequency is exactly 1.
#include "fuzz.h"
#include "kwsig.h"

namespace {

constexpr int kCap = 1 << 13;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, std::size_t size) {
    fuzz::Bytes in(bytes, size);
    const int npoints = in.count(kCap);
    const double start = in.tame<double>(-1.0, 1.0);
    const double stop = in.tame<double>(-1.0, 1.0);
    if (npoints > kCap) return 0;
    fuzz::Guarded<double> response(npoints > 0 ? std::size_t(npoints) : 0);
    response.fill_from(in);
    const auto before = response.snapshot();
    kwsig_resamp_resp(response.data(), npoints, start, stop);
    if (npoints <= 0) {
        FUZZ_CHECK(fuzz::same_bits(response, before));
        return 0;
    }
    fuzz::Guarded<double> first(1);
    kwsig_resamp_resp(first.data(), 1, start, in.real());
    FUZZ_CHECK(fuzz::same_bits(&first[0], &response[0], 1));
    if (start == 0) FUZZ_CHECK(response[0] == 1.0);
    return 0;
}
