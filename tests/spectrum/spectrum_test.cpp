// Real-signal spectrum: exact figures, the modes, aliasing, a long-double DFT
// and Parseval's identity, and the refused counts.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "spectrum_test_util.h"
#include "support/reference.h"

namespace {

template <typename T>
class Spectrum : public ::testing::Test {};
using Precisions = ::testing::Types<float, double>;
TYPED_TEST_SUITE(Spectrum, Precisions);

template <typename T>
std::vector<T> run(const std::vector<T> &in, const std::vector<T> &w, int mode) {
    const int n = int(in.size());
    std::vector<T> out(std::size_t(n / 2 + 1), st::guard<T>());
    st::spectrum(in.data(), out.data(), w.data(), n, mode);
    return out;
}

TYPED_TEST(Spectrum, TwoPoints) {
    using T = TypeParam;
    // w0 x0 = 1.5, w1 x1 = 1.25: (2.75)^2 and (0.25)^2, all exact.
    auto out = run<T>({T(3), T(5)}, {T(0.5), T(0.25)}, 1);
    EXPECT_EQ(out, (std::vector<T>{T(7.5625), T(0.0625)}));
}

TYPED_TEST(Spectrum, ConstantRecord) {
    using T = TypeParam;
    const std::vector<T> in(16, T(3)), ones(16, T(1));
    auto power = run<T>(in, ones, 1);
    EXPECT_EQ(power[0], T(2304));
    for (int k = 1; k <= 8; ++k) EXPECT_EQ(power[k], T(0)) << k;

    auto db = run<T>(in, ones, 2);
    EXPECT_NEAR(db[0], 33.624824747511, 1e-5);
    for (int k = 1; k <= 8; ++k) EXPECT_EQ(db[k], T(-500)) << k;

    auto mag = run<T>(in, ones, 0);
    EXPECT_EQ(mag[0], T(48));
    for (int k = 1; k <= 8; ++k) EXPECT_EQ(mag[k], T(0)) << k;
}

TEST(SpectrumDecibels, FactorRoundedToEachPrecision) {
    // x = (1000, 0): both bins hold a power of exactly 1e6.
    const float xf[] = {1000.0f, 0.0f}, wf[] = {1.0f, 1.0f};
    float of[2];
    kwsig_spectrum(xf, of, wf, 2, 2);
    EXPECT_EQ(of[0], 59.999996f);
    EXPECT_EQ(of[1], 59.999996f);

    const double xd[] = {1000.0, 0.0}, wd[] = {1.0, 1.0};
    double od[2];
    kwsig_spectrum_double(xd, od, wd, 2, 2);
    EXPECT_NEAR(od[0], 60.0, 1e-13);
    EXPECT_NEAR(od[1], 60.0, 1e-13);
}

TYPED_TEST(Spectrum, ZeroRecordAndModes) {
    using T = TypeParam;
    const std::vector<T> zero(32, T(0));
    const auto w = st::random_values<T>(32, 7, 0, 1);
    for (int mode : {2, 65538, 2 - 65536}) {
        for (T v : run(zero, w, mode)) EXPECT_EQ(v, T(-500)) << mode;
    }
    for (int mode : {0, 65536}) {
        for (T v : run(zero, w, mode)) EXPECT_EQ(v, T(0)) << mode;
    }

    const auto x = st::random_values<T>(32, 8, -1, 1);
    const auto power = run(x, w, 1);
    for (int mode : {3, -1, 65537, 1000})
        EXPECT_EQ(run(x, w, mode), power) << mode;
    const auto mag = run(x, w, 0), db = run(x, w, 2);
    for (std::size_t k = 0; k < power.size(); ++k) {
        EXPECT_EQ(mag[k], T(std::sqrt(double(power[k]))));
        EXPECT_NEAR(db[k], 10 * std::log10(double(power[k])), 1e-5 * (1 + std::fabs(db[k])));
    }
    EXPECT_EQ(run(x, w, 65536), mag);
    EXPECT_EQ(run(x, w, 65538), db);
}

TYPED_TEST(Spectrum, NanBinReadsFloor) {
    using T = TypeParam;
    std::vector<T> x(8, T(0));
    x[3] = std::numeric_limits<T>::quiet_NaN();
    for (T v : run(x, std::vector<T>(8, T(1)), 2)) EXPECT_EQ(v, T(-500));
}

TYPED_TEST(Spectrum, OutputMayAliasInputOrWindow) {
    using T = TypeParam;
    for (int n : {2, 4, 64, 1024})
        for (int mode : {0, 1, 2}) {
            const auto x = st::random_values<T>(std::size_t(n), 20 + n, -1, 1);
            const auto w = st::random_values<T>(std::size_t(n), 30 + n, 0, 1);
            const auto want = run(x, w, mode);
            auto xa = x;
            st::spectrum(xa.data(), xa.data(), w.data(), n, mode);
            auto wa = w;
            st::spectrum(x.data(), wa.data(), wa.data(), n, mode);
            for (int k = 0; k <= n / 2; ++k) {
                EXPECT_TRUE(st::same_bits(xa[k], want[k])) << n << " " << k;
                EXPECT_TRUE(st::same_bits(wa[k], want[k])) << n << " " << k;
            }
            // Past the bins the arrays keep their own values.
            for (int i = n / 2 + 1; i < n; ++i) {
                EXPECT_EQ(xa[i], x[i]);
                EXPECT_EQ(wa[i], w[i]);
            }
        }
}

TYPED_TEST(Spectrum, MatchesLongDoubleDftAndParseval) {
    using T = TypeParam;
    const long double eps = std::numeric_limits<T>::epsilon();
    for (unsigned lg = 1; lg <= 10; ++lg) {
        const std::size_t n = std::size_t(1) << lg;
        const auto x = st::random_values<T>(n, 100 + lg, -1, 1);
        const auto w = st::random_values<T>(n, 200 + lg, 0, 1);
        const auto power = run(x, w, 1);
        std::vector<ref::cld> xw(n);
        long double energy = 0;
        for (std::size_t i = 0; i < n; ++i) {
            xw[i] = (long double)x[i] * w[i];
            energy += xw[i].real() * xw[i].real();
        }
        const long double delta = 8 * eps * (lg + 2) * std::sqrt(energy);
        long double total = 0;
        for (std::size_t k = 0; k <= n / 2; ++k) {
            const long double want = std::norm(ref::dft_bin(xw, k, -1));
            const long double tol = (2 * std::sqrt(want) + delta) * delta + 2 * eps * want;
            EXPECT_NEAR(double(power[k]), double(want), double(tol)) << "n=" << n << " k=" << k;
            total += (k == 0 || k == n / 2) ? power[k] : 2 * (long double)power[k];
        }
        EXPECT_NEAR(double(total / n), double(energy), double(16 * eps * (lg + 2) * energy));
    }
}

// A count that is not a power of two, or below 2, leaves output untouched.
TYPED_TEST(Spectrum, RefusedCountsWriteNothing) {
    using T = TypeParam;
    const std::vector<T> x(64, T(1)), w(64, T(1));
    for (int n : {1, 0, -2, -64, 3, 6, 12, 48, 63}) {
        std::vector<T> out(40, st::guard<T>());
        st::spectrum(x.data(), out.data(), w.data(), n, 1);
        for (T v : out) EXPECT_EQ(v, st::guard<T>()) << n;
    }
}

}  // namespace
