// Complex and real FFTs, both precisions, at any count and direction.
// Promises: a refused count (not a power of two; below 2 for the real
// transform) and N = 0 or 1 leave the array untouched; every real direction
// other than 1 is the inverse, bit for bit.
#include "fuzz.h"
#include "kwsig.h"

namespace {

constexpr int kMaxLog2 = 13;
constexpr unsigned long long kCap = 1ull << 14;  // array elements

template <typename T>
void run(fuzz::Bytes &in, void (*fft)(T *, unsigned, int), bool real) {
    const unsigned count = unsigned(in.pow2_count(kMaxLog2, int(kCap)));
    const int direction = in.one_in(2) ? (in.one_in(2) ? 1 : -1) : int(in.u32());
    const bool pow2 = count != 0 && (count & (count - 1)) == 0;
    const bool transforms = pow2 && count >= 2;
    const unsigned long long need = real ? count : 2ull * count;
    if (transforms && need > kCap) return;  // no such array here
    fuzz::Guarded<T> data(need <= kCap ? need : 0);
    data.fill_from(in);
    const auto before = data.snapshot();
    fft(data.data(), count, direction);
    if (!transforms) FUZZ_CHECK(fuzz::same_bits(data, before));
    if (real && transforms && direction != 1) {
        fuzz::Guarded<T> inverse(need);
        inverse.copy_from(before.data());
        fft(inverse.data(), count, -1);
        FUZZ_CHECK(fuzz::same_bits(inverse, data.snapshot()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, std::size_t size) {
    fuzz::Bytes in(bytes, size);
    fuzz::one_of(in, [&] { run<float>(in, kwsig_fft, false); },
                 [&] { run<double>(in, kwsig_fft_double, false); },
                 [&] { run<float>(in, kwsig_fft_real, true); },
                 [&] { run<double>(in, kwsig_fft_real_double, true); });
    return 0;
}
