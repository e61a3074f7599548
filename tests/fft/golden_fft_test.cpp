// The hashed golden cases of the four transforms.
#include <gtest/gtest.h>

#include "kwsig.h"
#include "support/golden.h"

namespace {

template <typename T>
uint64_t run_transform(const golden::Case &c, std::size_t values_per_point,
                       void (*transform)(T *, unsigned, int)) {
    golden::Rng rng(c.seed);
    const unsigned count = unsigned(c.integer("count"));
    const std::size_t len = values_per_point * count;
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
    transform(data.data(), count, c.integer("direction"));
    h.values(data.data(), len);
    if (c.has("back")) {
        transform(data.data(), count, c.integer("back"));
        h.values(data.data(), len);
    }
    return h.get();
}

TEST(GoldenFft, Complex) {
    golden::check_all("kwsig_fft", [](const golden::Case &c) {
        return run_transform<float>(c, 2, kwsig_fft);
    });
    golden::check_all("kwsig_fft_double", [](const golden::Case &c) {
        return run_transform<double>(c, 2, kwsig_fft_double);
    });
}

TEST(GoldenFft, Real) {
    golden::check_all("kwsig_fft_real", [](const golden::Case &c) {
        return run_transform<float>(c, 1, kwsig_fft_real);
    });
    golden::check_all("kwsig_fft_real_double", [](const golden::Case &c) {
        return run_transform<double>(c, 1, kwsig_fft_real_double);
    });
}

}  // namespace
