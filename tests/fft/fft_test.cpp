// Complex FFT: against a long-double DFT, exact figures, scaling, refused counts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "kwsig.h"
#include "support/reference.h"
#include "support/twins.h"

namespace {

using twin::fft;

template <typename T>
class ComplexFft : public ::testing::Test {};
using Precisions = ::testing::Types<float, double>;
TYPED_TEST_SUITE(ComplexFft, Precisions);

// Every bin (or, above 2^12 points, a spread of bins) against a long-double
// DFT of the same input. The bound grows like log2 N times the input norm.
TYPED_TEST(ComplexFft, MatchesLongDoubleDft) {
    using T = TypeParam;
    const long double eps = std::numeric_limits<T>::epsilon();
    for (int dir : {1, -1}) {
        for (unsigned lg = 0; lg <= 16; ++lg) {
            const std::size_t n = std::size_t(1) << lg;
            auto data = twin::random_values<T>(2 * n, 100 + lg);
            std::vector<ref::cld> x(n);
            long double norm2 = 0;
            for (std::size_t p = 0; p < n; ++p) {
                x[p] = {data[2 * p], data[2 * p + 1]};
                norm2 += std::norm(x[p]);
            }
            fft(data.data(), unsigned(n), dir);
            const long double bound = 8 * eps * (lg + 1) * std::sqrt(norm2);
            const std::size_t stride = n > 4096 ? n / 97 : 1;
            long double worst = 0;
            for (std::size_t k = 0; k < n; k += stride) {
                const ref::cld want = ref::dft_bin(x, k, -dir);
                const ref::cld got(data[2 * k], data[2 * k + 1]);
                worst = std::max(worst, std::abs(got - want));
            }
            EXPECT_LE(worst, bound) << "N=" << n << " direction " << dir;
        }
    }
}

TYPED_TEST(ComplexFft, ExactSmallFigures) {
    using T = TypeParam;
    for (int dir : {1, -1}) {
        // N = 2: sum and difference.
        T two[4] = {T(1.5), T(-2), T(0.25), T(4)};
        fft(two, 2, dir);
        EXPECT_EQ(two[0], T(1.75));
        EXPECT_EQ(two[1], T(2));
        EXPECT_EQ(two[2], T(1.25));
        EXPECT_EQ(two[3], T(-6));
        // A unit impulse at point 0 becomes all ones.
        for (unsigned n : {4u, 64u, 1024u}) {
            std::vector<T> d(2 * n, T(0));
            d[0] = 1;
            fft(d.data(), n, dir);
            for (unsigned k = 0; k < n; ++k) {
                ASSERT_EQ(d[2 * k], T(1)) << n << " " << k;
                ASSERT_EQ(d[2 * k + 1], T(0)) << n << " " << k;
            }
        }
    }
}

// The tone e^(+2 pi i p/N) lands on bin 1 forward and on bin N-1 inverse.
TYPED_TEST(ComplexFft, ToneLandsOnItsBin) {
    using T = TypeParam;
    const double tol = 64 * std::numeric_limits<T>::epsilon();
    for (unsigned n : {8u, 256u, 4096u}) {
        for (int dir : {1, -1}) {
            std::vector<T> d(2 * n);
            for (unsigned p = 0; p < n; ++p) {
                const auto w = ref::unit_root(1, p, n);
                d[2 * p] = T(w.real());
                d[2 * p + 1] = T(w.imag());
            }
            fft(d.data(), n, dir);
            const unsigned peak = dir == 1 ? 1 : n - 1;
            for (unsigned k = 0; k < n; ++k) {
                const double want = k == peak ? double(n) : 0.0;
                EXPECT_NEAR(d[2 * k], want, tol * n) << n << " " << k;
                EXPECT_NEAR(d[2 * k + 1], 0.0, tol * n) << n << " " << k;
            }
        }
    }
}

TYPED_TEST(ComplexFft, ForwardThenInverseScalesByN) {
    using T = TypeParam;
    for (unsigned n : {2u, 16u, 1024u, 8192u}) {
        const auto in = twin::random_values<T>(2 * n, n);
        auto d = in;
        fft(d.data(), n, 1);
        fft(d.data(), n, -1);
        const double tol = 8 * std::numeric_limits<T>::epsilon() * std::log2(double(n)) * n;
        for (std::size_t i = 0; i < d.size(); ++i)
            ASSERT_NEAR(d[i], double(in[i]) * n, tol) << n << " " << i;
    }
}

// Direction 0 leaves every twiddle at 1.
TYPED_TEST(ComplexFft, DirectionZeroUsesUnitTwiddles) {
    using T = TypeParam;
    T a[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    fft(a, 4, 0);
    for (int p = 0; p < 4; ++p) {
        EXPECT_EQ(a[2 * p], T(1));
        EXPECT_EQ(a[2 * p + 1], T(0));
    }
    T b[8] = {0, 0, 1, 0, 0, 0, 0, 0};
    fft(b, 4, 0);
    const T want[8] = {1, 0, 1, 0, -1, 0, -1, 0};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(b[i], want[i]) << i;
}

// N = 0 and 1 are the identity; counts that are not powers of two are refused.
// Guard values on both sides show nothing outside the array is touched.
TYPED_TEST(ComplexFft, RefusedCountsLeaveArrayUntouched) {
    using T = TypeParam;
    for (unsigned n : {0u, 1u, 3u, 6u, 12u, 1000u, 4095u, 0x80000001u}) {
        const std::size_t len = n <= 4096 ? 2 * n : 16;
        std::vector<T> buf(len + 8);
        for (std::size_t i = 0; i < buf.size(); ++i) buf[i] = T(0.5 + double(i));
        const auto before = buf;
        for (int dir : {1, -1}) {
            fft(buf.data() + 4, n, dir);
            EXPECT_EQ(0, std::memcmp(buf.data(), before.data(), buf.size() * sizeof(T)))
                << "count " << n << " direction " << dir;
        }
    }
}

// The float transform agrees with the double one on the same data to within
// float rounding of the log2 N stages.
TEST(ComplexFftTwins, FloatTracksDouble) {
    for (unsigned n : {4u, 128u, 4096u, 65536u}) {
        const auto f_in = twin::random_values<float>(2 * n, 7 * n);
        std::vector<double> d(f_in.begin(), f_in.end());
        auto f = f_in;
        kwsig_fft(f.data(), n, 1);
        kwsig_fft_double(d.data(), n, 1);
        double norm = 0;
        for (float v : f_in) norm += double(v) * v;
        const double tol = 2 * std::numeric_limits<float>::epsilon() * std::log2(double(n)) *
                           std::sqrt(norm);
        for (std::size_t i = 0; i < d.size(); ++i) ASSERT_NEAR(f[i], d[i], tol) << n << " " << i;
    }
}

}  // namespace
