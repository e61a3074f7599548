// A failed scratch allocation leaves the spectrum's output untouched; the
// same call succeeds once memory is available again.
#include <gtest/gtest.h>

#include <vector>

#include "spectrum_test_util.h"
#include "support/failing_alloc.h"

namespace {

template <typename T>
class SpectrumAlloc : public ::testing::Test {};
using Precisions = ::testing::Types<float, double>;
TYPED_TEST_SUITE(SpectrumAlloc, Precisions);

TYPED_TEST(SpectrumAlloc, FailedScratchWritesNothing) {
    using T = TypeParam;
    const int n = 64;
    const auto x = st::random_values<T>(2 * n, 1, -1, 1);
    const std::vector<T> w(n, T(1));
    for (int mode : {0, 1, 2}) {
        std::vector<T> real_out(n / 2 + 1, st::guard<T>()), complex_out(n, st::guard<T>());
        const long before = failing_alloc::refused();
        {
            failing_alloc::Scope fail;
            st::spectrum(x.data(), real_out.data(), w.data(), n, mode);
            st::cspectrum(x.data(), complex_out.data(), w.data(), n, mode);
        }
        EXPECT_EQ(failing_alloc::refused(), before + 2);
        for (T v : real_out) EXPECT_EQ(v, st::guard<T>());
        for (T v : complex_out) EXPECT_EQ(v, st::guard<T>());

        // In place too: the input that doubles as output keeps its values.
        auto inplace = x;
        {
            failing_alloc::Scope fail;
            st::spectrum(inplace.data(), inplace.data(), w.data(), n, mode);
            st::cspectrum(inplace.data(), inplace.data(), w.data(), n, mode);
        }
        EXPECT_EQ(inplace, x);

        st::spectrum(x.data(), real_out.data(), w.data(), n, mode);
        st::cspectrum(x.data(), complex_out.data(), w.data(), n, mode);
        for (T v : real_out) EXPECT_NE(v, st::guard<T>());
        for (T v : complex_out) EXPECT_NE(v, st::guard<T>());
    }
}

// The window allocates nothing: it works while every allocation fails.
TYPED_TEST(SpectrumAlloc, WindowNeedsNoMemory) {
    using T = TypeParam;
    std::vector<T> w(16, st::guard<T>());
    const long before = failing_alloc::refused();
    {
        failing_alloc::Scope fail;
        st::window(w.data(), 16, 1, 0, T(1));
    }
    EXPECT_EQ(failing_alloc::refused(), before);
    EXPECT_EQ(w[8], T(2));
}

}  // namespace
