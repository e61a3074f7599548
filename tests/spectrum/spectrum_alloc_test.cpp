// A failed scratch allocation leaves the spectrum's output untouched; the
// same call succeeds once memory is available again.
#include <gtest/gtest.h>

#include <vector>

#include "support/failing_alloc.h"
#include "support/twins.h"

namespace {

template <typename T>
class SpectrumAlloc : public ::testing::Test {};
using Precisions = ::testing::Types<float, double>;
TYPED_TEST_SUITE(SpectrumAlloc, Precisions);

TYPED_TEST(SpectrumAlloc, FailedScratchWritesNothing) {
    using T = TypeParam;
    const int n = 64;
    const auto x = twin::random_values<T>(2 * n, 1, -1, 1);
    const std::vector<T> w(n, T(1));
    for (int mode : {0, 1, 2}) {
        std::vector<T> real_out(n / 2 + 1, twin::guard<T>()), complex_out(n, twin::guard<T>());
        const long before = failing_alloc::refused();
        {
            failing_alloc::Scope fail;
            twin::spectrum(x.data(), real_out.data(), w.data(), n, mode);
            twin::cspectrum(x.data(), complex_out.data(), w.data(), n, mode);
        }
        EXPECT_EQ(failing_alloc::refused(), before + 2);
        for (T v : real_out) EXPECT_EQ(v, twin::guard<T>());
        for (T v : complex_out) EXPECT_EQ(v, twin::guard<T>());

        // In place too: the input that doubles as output keeps its values.
        auto inplace = x;
        {
            failing_alloc::Scope fail;
            twin::spectrum(inplace.data(), inplace.data(), w.data(), n, mode);
            twin::cspectrum(inplace.data(), inplace.data(), w.data(), n, mode);
        }
        EXPECT_EQ(inplace, x);

        twin::spectrum(x.data(), real_out.data(), w.data(), n, mode);
        twin::cspectrum(x.data(), complex_out.data(), w.data(), n, mode);
        for (T v : real_out) EXPECT_NE(v, twin::guard<T>());
        for (T v : complex_out) EXPECT_NE(v, twin::guard<T>());
    }
}

// The window allocates nothing: it works while every allocation fails.
TYPED_TEST(SpectrumAlloc, WindowNeedsNoMemory) {
    using T = TypeParam;
    std::vector<T> w(16, twin::guard<T>());
    const long before = failing_alloc::refused();
    {
        failing_alloc::Scope fail;
        twin::window(w.data(), 16, 1, 0, T(1));
    }
    EXPECT_EQ(failing_alloc::refused(), before);
    EXPECT_EQ(w[8], T(2));
}

}  // namespace
