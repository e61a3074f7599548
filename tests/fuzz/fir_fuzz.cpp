// Block FIR filter, both precisions, at any count and tap count. Promises:
// count <= 0 or ntaps <= 0 writes nothing; input and coefficients are only
// read; every output is the header's running sum (newest term first, rounded
// to the sample type after every addition, over the incoming state and the
// input); the state becomes the last ntaps samples, copied unchanged; in place
// equals out of place; a stream cut into blocks of any sizes gives the bits
// of one call.
#include "fuzz.h"
#include "kwsig.h"

namespace {

constexpr int kMaxTaps = 64;
constexpr int kCap = 1024;

template <typename T>
using Fir = void (*)(const T *, T *, int, const T *, int, T *);

template <typename T>
void run(fuzz::Bytes &in, Fir<T> fir) {
    const int ntaps = in.count(kMaxTaps);
    const int count = in.count(kCap);
    if (ntaps > kMaxTaps || count > kCap) return;
    const std::size_t m = ntaps > 0 ? std::size_t(ntaps) : 0;
    const std::size_t n = count > 0 ? std::size_t(count) : 0;
    fuzz::Guarded<T> input(n), output(n), coef(m), state(m);
    input.fill_from(in);
    output.fill_from(in);
    coef.fill_from(in);
    state.fill_from(in);
    const auto x = input.snapshot(), y0 = output.snapshot(), c = coef.snapshot(),
               s0 = state.snapshot();
    fir(input.data(), output.data(), count, coef.data(), ntaps, state.data());
    FUZZ_CHECK(fuzz::same_bits(input, x));
    FUZZ_CHECK(fuzz::same_bits(coef, c));
    if (n == 0 || m == 0) {
        FUZZ_CHECK(fuzz::same_bits(output, y0));
        FUZZ_CHECK(fuzz::same_bits(state, s0));
        return;
    }
    // e[t] over the incoming state (t < 0) and the input (t >= 0).
    const std::ptrdiff_t taps = std::ptrdiff_t(m);
    auto e = [&](std::ptrdiff_t t) {
        return t >= 0 ? x[std::size_t(t)] : s0[std::size_t(t + taps)];
    };
    for (std::size_t i = 0; i < n; ++i) {
        T sum = 0;
        for (std::ptrdiff_t k = taps - 1; k >= 0; --k) {
            const double term = double(e(std::ptrdiff_t(i) - taps + 1 + k));
            sum = T(double(sum) + double(c[std::size_t(k)]) * term);
        }
        FUZZ_CHECK(fuzz::same_result(&sum, &output[i], 1));
    }
    for (std::size_t j = 0; j < m; ++j) {
        const T last = e(std::ptrdiff_t(n + j) - taps);
        FUZZ_CHECK(fuzz::same_bits(&state[j], &last, 1));
    }

    fuzz::Guarded<T> inplace(n), state2(m);
    inplace.copy_from(x.data());
    state2.copy_from(s0.data());
    fir(inplace.data(), inplace.data(), count, coef.data(), ntaps, state2.data());
    FUZZ_CHECK(fuzz::same_bits(inplace, output.snapshot()));
    FUZZ_CHECK(fuzz::same_bits(state2, state.snapshot()));

    state2.copy_from(s0.data());
    for (std::size_t at = 0; at < n;) {
        const std::size_t len = std::min<std::size_t>(n - at, 1 + in.u8() % (2 * m + 16));
        fuzz::Guarded<T> block_in(len), block_out(len);
        block_in.copy_from(x.data() + at);
        fir(block_in.data(), block_out.data(), int(len), coef.data(), ntaps, state2.data());
        FUZZ_CHECK(fuzz::same_result(block_out.data(), &output[at], len));
        at += len;
    }
    FUZZ_CHECK(fuzz::same_bits(state2, state.snapshot()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, std::size_t size) {
    fuzz::Bytes in(bytes, size);
    fuzz::one_of(in, [&] { run<double>(in, kwsig_fir_double); }, [&] { run<float>(in, kwsig_fir); });
    return 0;
}
