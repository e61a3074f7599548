// Golden-case runners of the four transforms: inputs regenerated from the
// case's seed, the calls made, the outputs hashed.
#include <vector>

#include "kwsig.h"
#include "support/golden.h"

namespace {

// `auto`: the exports are __stdcall on 32-bit Windows, so no plain function-pointer type fits.
template <typename T, std::size_t ValuesPerPoint, auto Transform>
uint64_t run_transform(const golden::Case &c) {
    golden::Rng rng(c.seed);
    const unsigned count = unsigned(c.integer("count"));
    const std::size_t len = ValuesPerPoint * count;
    std::vector<T> data;
    if (c.has("spikes")) {
        data.assign(len, T(0));
        for (int s = c.integer("spikes"); s > 0; --s) {
            const int i = rng.randint(0, int(len) - 1);
            data[i] = T(rng.randint(1, 8));
        }
    } else {
        data = rng.fill<T>(len, -1, 1);
    }
    golden::Hash h;
    Transform(data.data(), count, c.integer("direction"));
    h.values(data.data(), len);
    if (c.has("back")) {
        Transform(data.data(), count, c.integer("back"));
        h.values(data.data(), len);
    }
    return h.get();
}

const golden::Register fft("kwsig_fft", run_transform<float, 2, kwsig_fft>);
const golden::Register fft_double("kwsig_fft_double", run_transform<double, 2, kwsig_fft_double>);
const golden::Register fft_real("kwsig_fft_real", run_transform<float, 1, kwsig_fft_real>);
const golden::Register fft_real_double("kwsig_fft_real_double",
                                       run_transform<double, 1, kwsig_fft_real_double>);

}  // namespace
