// Complex-signal spectrum: exact figures, the centred order, the modes,
// aliasing, a long-double DFT and Parseval's identity, and the refused counts.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "spectrum_test_util.h"
#include "support/reference.h"

namespace {

template <typename T>
class ComplexSpectrum : public ::testing::Test {};
using Precisions = ::testing::Types<float, double>;
TYPED_TEST_SUITE(ComplexSpectrum, Precisions);

template <typename T>
std::vector<T> run(const std::vector<T> &in, const std::vector<T> &w, int mode) {
    const int n = int(w.size());
    std::vector<T> out(std::size_t(n), st::guard<T>());
    st::cspectrum(in.data(), out.data(), w.data(), n, mode);
    return out;
}

TYPED_TEST(ComplexSpectrum, OneAndTwoPoints) {
    using T = TypeParam;
    // (3, 4) * 0.5 = (1.5, 2): power 6.25.
    EXPECT_EQ(run<T>({T(3), T(4)}, {T(0.5)}, 1), std::vector<T>{T(6.25)});
    EXPECT_EQ(run<T>({T(3), T(4)}, {T(0.5)}, 0), std::vector<T>{T(2.5)});
    // Points (1, 0) and (2, 0): |1 - 2|^2 at frequency -1, |1 + 2|^2 at 0.
    EXPECT_EQ(run<T>({T(1), T(0), T(2), T(0)}, {T(1), T(1)}, 1), (std::vector<T>{T(1), T(9)}));
    // Window on both parts: (1, 2) * 0.5 and (3, -1) * 2 = (0.5, 1) and (6, -2).
    EXPECT_EQ(run<T>({T(1), T(2), T(3), T(-1)}, {T(0.5), T(2)}, 1),
              (std::vector<T>{T(5.5 * 5.5 + 3 * 3), T(6.5 * 6.5 + 1)}));
}

// A tone at frequency f lands in output[f + N/2], for every f of N = 8.
TYPED_TEST(ComplexSpectrum, CentredOrderOfTones) {
    using T = TypeParam;
    const int n = 8;
    const double tol = 64 * 64 * std::numeric_limits<T>::epsilon();
    for (int f = -n / 2; f < n / 2; ++f) {
        std::vector<T> x(2 * n);
        for (int p = 0; p < n; ++p) {
            const long double a = 2 * ref::pi() * p * f / n;
            x[2 * p] = T(std::cos(a));
            x[2 * p + 1] = T(std::sin(a));
        }
        const auto out = run(x, std::vector<T>(n, T(1)), 1);
        for (int m = 0; m < n; ++m)
            EXPECT_NEAR(out[m], m == f + n / 2 ? 64.0 : 0.0, tol) << "f=" << f << " m=" << m;
    }
}

TYPED_TEST(ComplexSpectrum, ConstantRecordAndDecibels) {
    using T = TypeParam;
    // Constant (3, 3) times ones over 16 points: |48 + 48i|^2 = 4608 at output[8].
    const std::vector<T> in(32, T(3)), ones(16, T(1));
    const auto power = run(in, ones, 1);
    const auto db = run(in, ones, 65538);
    for (int m = 0; m < 16; ++m) {
        EXPECT_EQ(power[m], m == 8 ? T(4608) : T(0)) << m;
        if (m != 8) {
            EXPECT_EQ(db[m], T(-500)) << m;
        }
    }
    EXPECT_NEAR(db[8], 10 * std::log10(4608.0), 1e-5);

    // A single point of power 1e6: the rounded float factor shows in the last digit.
    const float xf[] = {1000.0f, 0.0f}, wf[] = {1.0f};
    float of[1];
    kwsig_cspectrum(xf, of, wf, 1, 2);
    EXPECT_EQ(of[0], 59.999996f);
    const double xd[] = {600.0, 800.0}, wd[] = {1.0};
    double od[1];
    kwsig_cspectrum_double(xd, od, wd, 1, 2);
    EXPECT_NEAR(od[0], 60.0, 1e-13);
}

TYPED_TEST(ComplexSpectrum, ZeroRecordAndModes) {
    using T = TypeParam;
    const std::vector<T> zero(64, T(0));
    const auto w = st::random_values<T>(32, 9, 0, 1);
    for (T v : run(zero, w, 2)) EXPECT_EQ(v, T(-500));
    for (T v : run(zero, w, 0)) EXPECT_EQ(v, T(0));

    const auto x = st::random_values<T>(64, 10, -1, 1);
    const auto power = run(x, w, 1);
    for (int mode : {3, -1, 65537}) EXPECT_EQ(run(x, w, mode), power) << mode;
    const auto mag = run(x, w, 0);
    for (std::size_t m = 0; m < power.size(); ++m)
        EXPECT_EQ(mag[m], T(std::sqrt(double(power[m]))));
    EXPECT_EQ(run(x, w, 65536), mag);
    EXPECT_EQ(run(x, w, 65538), run(x, w, 2));
}

TYPED_TEST(ComplexSpectrum, OutputMayAliasInputOrWindow) {
    using T = TypeParam;
    for (int n : {1, 2, 8, 512})
        for (int mode : {0, 1, 2}) {
            const auto x = st::random_values<T>(2 * std::size_t(n), 40 + n, -1, 1);
            const auto w = st::random_values<T>(std::size_t(n), 50 + n, 0, 1);
            const auto want = run(x, w, mode);
            auto xa = x;
            st::cspectrum(xa.data(), xa.data(), w.data(), n, mode);
            auto wa = w;
            st::cspectrum(x.data(), wa.data(), wa.data(), n, mode);
            for (int m = 0; m < n; ++m) {
                EXPECT_TRUE(st::same_bits(xa[m], want[m])) << n << " " << m;
                EXPECT_TRUE(st::same_bits(wa[m], want[m])) << n << " " << m;
            }
            for (int i = n; i < 2 * n; ++i) EXPECT_EQ(xa[i], x[i]);
        }
}

TYPED_TEST(ComplexSpectrum, MatchesLongDoubleDftAndParseval) {
    using T = TypeParam;
    const long double eps = std::numeric_limits<T>::epsilon();
    for (unsigned lg = 0; lg <= 9; ++lg) {
        const std::size_t n = std::size_t(1) << lg;
        const auto x = st::random_values<T>(2 * n, 300 + lg, -1, 1);
        const auto w = st::random_values<T>(n, 400 + lg, 0, 1);
        const auto out = run(x, w, 1);
        std::vector<ref::cld> xw(n);
        long double energy = 0;
        for (std::size_t p = 0; p < n; ++p) {
            xw[p] = ref::cld((long double)x[2 * p] * w[p], (long double)x[2 * p + 1] * w[p]);
            energy += std::norm(xw[p]);
        }
        const long double delta = 8 * eps * (lg + 2) * std::sqrt(energy);
        long double total = 0;
        for (std::size_t k = 0; k < n; ++k) {
            const long double want = std::norm(ref::dft_bin(xw, k, -1));
            const long double tol = (2 * std::sqrt(want) + delta) * delta + 2 * eps * want;
            const std::size_t m = (k + n / 2) % n;
            EXPECT_NEAR(double(out[m]), double(want), double(tol)) << "n=" << n << " k=" << k;
            total += out[m];
        }
        EXPECT_NEAR(double(total / n), double(energy), double(16 * eps * (lg + 2) * energy));
    }
}

TYPED_TEST(ComplexSpectrum, RefusedCountsWriteNothing) {
    using T = TypeParam;
    const std::vector<T> x(128, T(1)), w(64, T(1));
    for (int n : {0, -1, -8, 3, 6, 12, 63}) {
        std::vector<T> out(64, st::guard<T>());
        st::cspectrum(x.data(), out.data(), w.data(), n, 1);
        for (T v : out) EXPECT_EQ(v, st::guard<T>()) << n;
    }
}

}  // namespace
