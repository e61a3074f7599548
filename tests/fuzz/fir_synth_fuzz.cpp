// Least-squares FIR design at any nfreq, ntaps, delay, target and weights.
// Promises: the result is 0.0, 1.0 or -1.0; -1.0 exactly for the refused
// arguments (limits, a delay whose phase step overflows, an infinity or NaN
// in desired or weights), and then nothing is written; desired and weights
// are only read; all weights zero return 1.0 with the coefficients untouched;
// a finite imaginary part at frequency 0 does not change the design.
#include "fuzz.h"
#include "kwsig.h"

namespace {

constexpr int kMaxLog2 = 8;
constexpr int kCap = 1 << 9;

bool all_finite(const std::vector<double> &v) {
    for (double x : v)
        if (!std::isfinite(x)) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, std::size_t size) {
    fuzz::Bytes in(bytes, size);
    const int nfreq = in.pow2_count(kMaxLog2, kCap);
    // Mostly within 1 .. nfreq, else any count.
    const bool usual = in.u8() < 224 && nfreq > 0;
    const int ntaps = usual ? 1 + int(in.u32() % unsigned(nfreq)) : in.count(kCap);
    const double delay = in.tame<double>(-64.0, 320.0);
    const bool wild = in.one_in(4), zero_weights = in.one_in(16);
    const bool in_limits = nfreq >= 2 && (nfreq & (nfreq - 1)) == 0 && ntaps >= 1 && ntaps <= nfreq;
    if (in_limits && nfreq > kCap) return 0;
    const std::size_t n = nfreq > 0 && nfreq <= kCap ? std::size_t(nfreq) : 0;
    fuzz::Guarded<double> desired(n != 0 ? 2 * n + 2 : 0), weights(n != 0 ? n + 1 : 0);
    fuzz::Guarded<double> coef(ntaps > 0 && ntaps <= kCap ? std::size_t(ntaps) : 0);
    desired.fill([&] { return wild ? in.value<double>() : in.uniform<double>(-2.0, 2.0); });
    weights.fill([&] {
        return zero_weights ? 0.0 : wild ? in.value<double>() : in.uniform<double>(0.0, 2.0);
    });
    coef.fill_from(in);
    const auto d = desired.snapshot(), w = weights.snapshot(), c0 = coef.snapshot();
    const double result = kwsig_fir_synth(desired.data(), weights.data(), nfreq, delay,
                                          coef.data(), ntaps);
    FUZZ_CHECK(fuzz::same_bits(desired, d));
    FUZZ_CHECK(fuzz::same_bits(weights, w));
    const bool refused = !in_limits || !std::isfinite(3.141592653589793 * delay / double(nfreq)) ||
                         !all_finite(d) || !all_finite(w);
    FUZZ_CHECK(result == 0.0 || result == 1.0 || result == -1.0);
    FUZZ_CHECK(!std::signbit(result) || result == -1.0);
    FUZZ_CHECK((result == -1.0) == refused);
    if (refused || zero_weights) FUZZ_CHECK(fuzz::same_bits(coef, c0));
    if (refused) return 0;
    if (zero_weights) FUZZ_CHECK(result == 1.0);

    fuzz::Guarded<double> other(d.size()), coef2(coef.size());
    other.copy_from(d.data());
    other[1] = in.uniform<double>(-1e6, 1e6);
    coef2.copy_from(c0.data());
    FUZZ_CHECK(kwsig_fir_synth(other.data(), weights.data(), nfreq, delay, coef2.data(), ntaps) ==
               result);
    for (std::size_t j = 0; j < coef.size(); ++j)
        FUZZ_CHECK(coef2[j] == coef[j] || (std::isnan(coef2[j]) && std::isnan(coef[j])));
    return 0;
}
