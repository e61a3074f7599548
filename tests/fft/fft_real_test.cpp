// Real FFT: packed half-spectrum against a long-double DFT, the exact figures,
// inverse scaling, direction handling and refused counts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "kwsig.h"
#include "support/reference.h"
#include "support/twins.h"

namespace {

using twin::random_values;

template <typename T>
class RealFft : public ::testing::Test {};
using Precisions = ::testing::Types<float, double>;
TYPED_TEST_SUITE(RealFft, Precisions);

TYPED_TEST(RealFft, ForwardMatchesLongDoubleDft) {
    using T = TypeParam;
    const long double eps = std::numeric_limits<T>::epsilon();
    for (unsigned lg = 1; lg <= 16; ++lg) {
        const std::size_t n = std::size_t(1) << lg;
        auto data = random_values<T>(n, 300 + lg);
        std::vector<ref::cld> x(n);
        long double norm2 = 0;
        for (std::size_t j = 0; j < n; ++j) {
            x[j] = data[j];
            norm2 += (long double)data[j] * data[j];
        }
        twin::fft_real(data.data(), unsigned(n), 1);
        const long double bound = 8 * eps * (lg + 1) * std::sqrt(norm2);
        const std::size_t stride = n > 4096 ? n / 89 : 1;
        EXPECT_LE(std::abs(data[0] - ref::dft_bin(x, 0, -1).real()), bound);
        EXPECT_LE(std::abs(data[1] - ref::dft_bin(x, n / 2, -1).real()), bound);
        for (std::size_t k = 1; k < n / 2; k += stride) {
            const ref::cld want = ref::dft_bin(x, k, -1);
            EXPECT_LE(std::abs(ref::cld(data[2 * k], data[2 * k + 1]) - want), bound)
                << "n=" << n << " k=" << k;
        }
    }
}

// The inverse evaluates y[j] = (P0 + (-1)^j P1)/2 + sum_k (P2k cos - P2k+1 sin).
TYPED_TEST(RealFft, InverseMatchesSynthesisFormula) {
    using T = TypeParam;
    const long double eps = std::numeric_limits<T>::epsilon();
    for (unsigned lg : {1u, 2u, 3u, 6u, 10u}) {
        const std::size_t n = std::size_t(1) << lg;
        auto p = random_values<T>(n, 500 + lg);
        const auto packed = p;
        twin::fft_real(p.data(), unsigned(n), -1);
        long double norm = 0;
        for (T v : packed) norm += std::fabs((long double)v);
        for (std::size_t j = 0; j < n; ++j) {
            long double y = 0.5L * (packed[0] + ((j & 1) ? -1.0L : 1.0L) * packed[1]);
            for (std::size_t k = 1; k < n / 2; ++k) {
                const ref::cld w = ref::unit_root(1, j * k, n);
                y += packed[2 * k] * w.real() - packed[2 * k + 1] * w.imag();
            }
            EXPECT_NEAR((long double)p[j], y, 3 * eps * (lg + 1) * norm) << n << " " << j;
        }
    }
}

TYPED_TEST(RealFft, ExactFigures) {
    using T = TypeParam;
    T four[4] = {1, 2, 4, 8};
    twin::fft_real(four, 4, 1);
    EXPECT_EQ(four[0], T(15));
    EXPECT_EQ(four[1], T(-5));
    EXPECT_EQ(four[2], T(-3));
    EXPECT_EQ(four[3], T(6));

    // n = 2 reads and writes exactly its two values.
    T two[4] = {T(-7), 1, 2, T(-9)};
    twin::fft_real(two + 1, 2, 1);
    EXPECT_EQ(two[1], T(3));
    EXPECT_EQ(two[2], T(-1));
    twin::fft_real(two + 1, 2, -1);
    EXPECT_EQ(two[1], T(1));
    EXPECT_EQ(two[2], T(2));
    EXPECT_EQ(two[0], T(-7));
    EXPECT_EQ(two[3], T(-9));
}

TYPED_TEST(RealFft, ConstantAlternatingAndMiddleTone) {
    using T = TypeParam;
    for (unsigned n : {4u, 16u, 1024u}) {
        std::vector<T> c(n, T(0.75));
        twin::fft_real(c.data(), n, 1);
        EXPECT_EQ(c[0], T(0.75 * n));
        for (unsigned i = 1; i < n; ++i) ASSERT_EQ(c[i], T(0)) << n << " " << i;

        std::vector<T> alt(n);
        for (unsigned i = 0; i < n; ++i) alt[i] = (i & 1) ? T(-1) : T(1);
        twin::fft_real(alt.data(), n, 1);
        EXPECT_EQ(alt[1], T(n));
        for (unsigned i = 0; i < n; ++i)
            if (i != 1) {
                ASSERT_EQ(alt[i], T(0)) << n << " " << i;
            }

        // sin(pi j / 2): the middle bin n/4, whose imaginary part is index n/2 + 1.
        std::vector<T> tone(n);
        const T pattern[4] = {0, 1, 0, -1};
        for (unsigned j = 0; j < n; ++j) tone[j] = pattern[j % 4];
        twin::fft_real(tone.data(), n, 1);
        const double tol = 16 * std::numeric_limits<T>::epsilon() * n;
        for (unsigned i = 0; i < n; ++i)
            ASSERT_NEAR(tone[i], i == n / 2 + 1 ? -0.5 * n : 0.0, tol) << n << " " << i;
    }
}

TYPED_TEST(RealFft, ForwardThenInverseScalesByHalfN) {
    using T = TypeParam;
    for (unsigned n : {2u, 4u, 64u, 4096u}) {
        const auto in = random_values<T>(n, n + 1);
        auto d = in;
        twin::fft_real(d.data(), n, 1);
        twin::fft_real(d.data(), n, -1);
        const double tol = 8 * std::numeric_limits<T>::epsilon() * std::log2(double(n) + 1) * n;
        for (unsigned i = 0; i < n; ++i) ASSERT_NEAR(d[i], double(in[i]) * n / 2, tol) << n;
    }
}

// Every direction other than 1 is the same inverse, bit for bit.
TYPED_TEST(RealFft, AnyDirectionButOneIsTheInverse) {
    using T = TypeParam;
    const auto in = random_values<T>(256, 42);
    auto want = in;
    twin::fft_real(want.data(), 256, -1);
    for (int dir : {0, 2, 7, -2, std::numeric_limits<int>::min()}) {
        auto d = in;
        twin::fft_real(d.data(), 256, dir);
        EXPECT_EQ(0, std::memcmp(d.data(), want.data(), d.size() * sizeof(T))) << dir;
    }
}

TYPED_TEST(RealFft, RefusedCountsLeaveArrayUntouched) {
    using T = TypeParam;
    for (unsigned n : {0u, 1u, 3u, 6u, 24u, 1000u, 0xC0000000u}) {
        std::vector<T> buf(std::min(n, 1024u) + 8);
        for (std::size_t i = 0; i < buf.size(); ++i) buf[i] = T(i) - T(3.25);
        const auto before = buf;
        for (int dir : {1, -1}) {
            twin::fft_real(buf.data() + 4, n, dir);
            EXPECT_EQ(0, std::memcmp(buf.data(), before.data(), buf.size() * sizeof(T)))
                << "count " << n << " direction " << dir;
        }
    }
}

TEST(RealFftTwins, FloatTracksDouble) {
    for (unsigned n : {8u, 512u, 65536u}) {
        const auto f_in = random_values<float>(n, 3 * n);
        std::vector<double> d(f_in.begin(), f_in.end());
        auto f = f_in;
        kwsig_fft_real(f.data(), n, 1);
        kwsig_fft_real_double(d.data(), n, 1);
        double norm = 0;
        for (float v : f_in) norm += double(v) * v;
        const double tol =
            2 * std::numeric_limits<float>::epsilon() * std::log2(double(n)) * std::sqrt(norm);
        for (unsigned i = 0; i < n; ++i) ASSERT_NEAR(f[i], d[i], tol) << n << " " << i;
    }
}

}  // namespace
