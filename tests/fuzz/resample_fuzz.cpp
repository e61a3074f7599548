// Streaming resampler, both precisions: any counts, step, phase and history.
// Promises: input is only read; nwritten counts the outputs of this call and
// nothing past them is written; an unsafe step or phase, or noutput <= 0,
// changes nothing but nwritten (0); a stream cut into blocks, each call ending
// for lack of input, gives the bits of one call: outputs, phase and history.
#include "fuzz.h"
#include "kwsig.h"

namespace {

constexpr int kCap = 4096;
constexpr std::size_t kTaps = 11;

template <typename T>
using Resample = void (*)(const T *, int, T *, int, int *, T *, T, T *);

template <typename T>
void run(fuzz::Bytes &in, Resample<T> resample) {
    const int ninput = in.count(kCap);
    const int noutput = in.count(kCap);
    const T step = in.one_in(8) ? in.value<T>() : in.tame<T>(0.0, 3.0);
    const T phase0 = in.tame<T>(-8.0, 2.0);
    if (ninput > kCap || noutput > kCap) return;
    const std::size_t nin = ninput > 0 ? std::size_t(ninput) : 0;
    const std::size_t nout = noutput > 0 ? std::size_t(noutput) : 0;
    fuzz::Guarded<T> input(nin), output(nout), history(kTaps), phase(1);
    fuzz::Guarded<int> nwritten(1);
    input.fill_from(in);
    output.fill_from(in);
    history.fill_from(in);
    phase[0] = phase0;
    nwritten[0] = -1;
    const auto x0 = input.snapshot(), y0 = output.snapshot(), h0 = history.snapshot();
    resample(input.data(), ninput, output.data(), noutput, nwritten.data(), phase.data(), step,
             history.data());
    const int written = nwritten[0];
    FUZZ_CHECK(fuzz::same_bits(input, x0));
    FUZZ_CHECK(written >= 0 && std::size_t(written) <= nout);
    FUZZ_CHECK(fuzz::same_bits(output.data() + written, y0.data() + written, nout - written));
    const bool unsafe = !std::isfinite(step) || step < 0 || !std::isfinite(phase0);
    if (unsafe || noutput <= 0) {
        FUZZ_CHECK(written == 0);
        FUZZ_CHECK(fuzz::same_bits(&phase[0], &phase0, 1));
        FUZZ_CHECK(fuzz::same_bits(history, h0));
        return;
    }
    if (written == noutput) return;  // ended on a full array: pending outputs stay in the state

    // The same stream in 8 blocks of any sizes (empty ones too), each
    // with the room the whole call had left. No block may fill it: the whole
    // stream did not.
    fuzz::Guarded<T> hist(kTaps), ph(1);
    fuzz::Guarded<int> nw(1);
    hist.copy_from(h0.data());
    ph[0] = phase0;
    std::size_t used = 0, done = 0;
    for (int block = 0; block < 8; ++block) {
        const std::size_t len =
            block == 7 ? nin - used : std::min<std::size_t>(nin - used, in.u32() % (nin / 4 + 2));
        fuzz::Guarded<T> block_in(len), block_out(nout - done);
        block_in.copy_from(x0.data() + used);
        resample(block_in.data(), int(len), block_out.data(), int(nout - done), nw.data(),
                 ph.data(), step, hist.data());
        FUZZ_CHECK(nw[0] >= 0 && std::size_t(nw[0]) < nout - done);
        FUZZ_CHECK(fuzz::same_bits(block_out.data(), &output[done], std::size_t(nw[0])));
        done += std::size_t(nw[0]);
        used += len;
    }
    FUZZ_CHECK(done == std::size_t(written));
    FUZZ_CHECK(fuzz::same_bits(hist, history.snapshot()));
    FUZZ_CHECK(fuzz::same_bits(&ph[0], &phase[0], 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, std::size_t size) {
    fuzz::Bytes in(bytes, size);
    fuzz::one_of(in, [&] { run<double>(in, kwsig_resample_double); }, [&] { run<float>(in, kwsig_resample); });
    return 0;
}
