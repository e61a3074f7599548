// FIR frequency response at any point count, limits and tap count. Promises:
// npoints <= 0 writes nothing; coefficients are only read; ntaps <= 0 gives
// (0, 0) everywhere; point 0 is the single point at start_freq, whatever
// stop_freq is.
#include "fuzz.h"
#include "kwsig.h"

namespace {

constexpr int kCap = 1 << 12;
constexpr int kMaxTaps = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, std::size_t size) {
    fuzz::Bytes in(bytes, size);
    const int npoints = in.count(kCap);
    const int ntaps = in.count(kMaxTaps);
    const double start = in.tame<double>(-1.0, 1.0);
    const double stop = in.tame<double>(-1.0, 1.0);
    if (npoints > kCap || ntaps > kMaxTaps) return 0;
    fuzz::Guarded<double> response(npoints > 0 ? 2 * std::size_t(npoints) : 0);
    fuzz::Guarded<double> coef(ntaps > 0 ? std::size_t(ntaps) : 0);
    response.fill_from(in);
    coef.fill([&] { return in.tame<double>(-1.0, 1.0); });
    const auto before = response.snapshot(), c = coef.snapshot();
    kwsig_fir_resp(response.data(), npoints, start, stop, coef.data(), ntaps);
    FUZZ_CHECK(fuzz::same_bits(coef, c));
    if (npoints <= 0) {
        FUZZ_CHECK(fuzz::same_bits(response, before));
        return 0;
    }
    if (ntaps <= 0)
        for (std::size_t i = 0; i < response.size(); ++i) FUZZ_CHECK(response[i] == 0.0);
    fuzz::Guarded<double> first(2);
    kwsig_fir_resp(first.data(), 1, start, in.real(), coef.data(), ntaps);
    FUZZ_CHECK(fuzz::same_bits(first.data(), response.data(), 2));
    return 0;
}
