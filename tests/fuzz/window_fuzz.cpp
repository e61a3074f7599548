// Windows, both precisions, with any count, selectors in full 32-bit slots
// and any gain. Promises: count <= 0 writes nothing; the old contents are not
// read; only the low 16 bits of a selector count; samples n and count - n are
// bit-identical; one sample is the gain; a uniform float window is the gain
// exactly; a zero gain gives zeros.
#include "fuzz.h"

// Declared here with int selector slots, so the high halves reach the library.
extern "C" {
void kwsig_window(float *, int, int, int, float);
void kwsig_window_double(double *, int, int, int, double);
}

namespace {

constexpr int kCap = 1 << 13;

template <typename T>
void run(fuzz::Bytes &in, void (*window)(T *, int, int, int, T)) {
    const int count = in.count(kCap);
    const int type = in.one_in(2) ? int(in.u8() % 5) : int(in.u32());
    const int norm = in.one_in(2) ? int(in.u8() % 2) : int(in.u32());
    const T gain = in.one_in(2) ? in.value<T>() : in.uniform<T>(-4, 4);
    if (count > kCap) return;
    const std::size_t n = count > 0 ? std::size_t(count) : 0;
    fuzz::Guarded<T> w(n), fresh(n);
    w.fill_from(in);
    const auto before = w.snapshot();
    window(w.data(), count, type, norm, gain);
    if (count <= 0) {
        FUZZ_CHECK(fuzz::same_bits(w, before));
        return;
    }
    fresh.fill([] { return std::numeric_limits<T>::quiet_NaN(); });
    window(fresh.data(), count, int16_t(type), int16_t(norm), gain);
    FUZZ_CHECK(fuzz::same_bits(fresh, w.snapshot()));
    for (std::size_t i = 1; i < n; ++i) FUZZ_CHECK(fuzz::same_bits(&w[i], &w[n - i], 1));
    if (n == 1) FUZZ_CHECK(fuzz::same_bits(&w[0], &gain, 1));
    const int shape = int16_t(type);
    const bool uniform = shape < 1 || shape > 3;
    for (std::size_t i = 0; i < n; ++i) {
        if (uniform && sizeof(T) == sizeof(float))
            FUZZ_CHECK(w[i] == gain || (std::isnan(w[i]) && std::isnan(gain)));
        if (gain == 0) FUZZ_CHECK(w[i] == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, std::size_t size) {
    fuzz::Bytes in(bytes, size);
    fuzz::one_of(in, [&] { run<double>(in, kwsig_window_double); }, [&] { run<float>(in, kwsig_window); });
    return 0;
}
