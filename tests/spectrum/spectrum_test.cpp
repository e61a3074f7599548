// The spectra of real and of complex records: the exact figures of each, then
// one typed suite for what they share (the modes, the decibel floor, aliasing,
// a long-double DFT with Parseval's identity, refused counts), run on both
// spectra in both precisions.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "support/reference.h"
#include "support/twins.h"

namespace {

using twin::guard;
using twin::random_values;

// A spectrum as the shared tests see it: a record of n points is input_size(n)
// values; the transform bin k lands in output[slot(k, n)], one of
// output_size(n) bins, and counts weight(k, n) times in Parseval's sum.
template <typename T>
struct Real {
    using Sample = T;
    static constexpr int kMinCount = 2;
    static std::size_t input_size(int n) { return std::size_t(n); }
    static std::size_t output_size(int n) { return std::size_t(n / 2 + 1); }
    static std::size_t slot(std::size_t k, std::size_t) { return k; }
    static long double weight(std::size_t k, std::size_t n) { return k == 0 || k == n / 2 ? 1 : 2; }
    static void call(const T *in, T *out, const T *w, int n, int mode) {
        twin::spectrum(in, out, w, n, mode);
    }
    // The windowed record as complex points.
    static std::vector<ref::cld> windowed(const std::vector<T> &x, const std::vector<T> &w) {
        std::vector<ref::cld> xw(w.size());
        for (std::size_t i = 0; i < w.size(); ++i) xw[i] = (long double)x[i] * w[i];
        return xw;
    }
};

template <typename T>
struct Complex {
    using Sample = T;
    static constexpr int kMinCount = 1;
    static std::size_t input_size(int n) { return 2 * std::size_t(n); }
    static std::size_t output_size(int n) { return std::size_t(n); }
    static std::size_t slot(std::size_t k, std::size_t n) { return (k + n / 2) % n; }
    static long double weight(std::size_t, std::size_t) { return 1; }
    static void call(const T *in, T *out, const T *w, int n, int mode) {
        twin::cspectrum(in, out, w, n, mode);
    }
    static std::vector<ref::cld> windowed(const std::vector<T> &x, const std::vector<T> &w) {
        std::vector<ref::cld> xw(w.size());
        for (std::size_t p = 0; p < w.size(); ++p)
            xw[p] = ref::cld((long double)x[2 * p] * w[p], (long double)x[2 * p + 1] * w[p]);
        return xw;
    }
};

// The spectrum of a record `in` with window `w` (whose size is the count),
// into a fresh output of guard values.
template <typename S, typename T = typename S::Sample>
std::vector<T> run(const std::vector<T> &in, const std::vector<T> &w, int mode) {
    const int n = int(w.size());
    std::vector<T> out(S::output_size(n), guard<T>());
    S::call(in.data(), out.data(), w.data(), n, mode);
    return out;
}

// ---- the real spectrum's figures ---------------------------------------------

template <typename T>
class RealSpectrum : public ::testing::Test {};
using Precisions = ::testing::Types<float, double>;
TYPED_TEST_SUITE(RealSpectrum, Precisions);

TYPED_TEST(RealSpectrum, TwoPoints) {
    using T = TypeParam;
    // w0 x0 = 1.5, w1 x1 = 1.25: (2.75)^2 and (0.25)^2, all exact.
    auto out = run<Real<T>>({T(3), T(5)}, {T(0.5), T(0.25)}, 1);
    EXPECT_EQ(out, (std::vector<T>{T(7.5625), T(0.0625)}));
}

TYPED_TEST(RealSpectrum, ConstantRecord) {
    using T = TypeParam;
    const std::vector<T> in(16, T(3)), ones(16, T(1));
    auto power = run<Real<T>>(in, ones, 1);
    EXPECT_EQ(power[0], T(2304));
    for (int k = 1; k <= 8; ++k) EXPECT_EQ(power[k], T(0)) << k;

    auto db = run<Real<T>>(in, ones, 2);
    EXPECT_NEAR(db[0], 33.624824747511, 1e-5);
    for (int k = 1; k <= 8; ++k) EXPECT_EQ(db[k], T(-500)) << k;

    auto mag = run<Real<T>>(in, ones, 0);
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

// ---- the complex spectrum's figures -------------------------------------------

template <typename T>
class ComplexSpectrum : public ::testing::Test {};
TYPED_TEST_SUITE(ComplexSpectrum, Precisions);

TYPED_TEST(ComplexSpectrum, OneAndTwoPoints) {
    using T = TypeParam;
    // (3, 4) * 0.5 = (1.5, 2): power 6.25.
    EXPECT_EQ(run<Complex<T>>({T(3), T(4)}, {T(0.5)}, 1), std::vector<T>{T(6.25)});
    EXPECT_EQ(run<Complex<T>>({T(3), T(4)}, {T(0.5)}, 0), std::vector<T>{T(2.5)});
    // Points (1, 0) and (2, 0): |1 - 2|^2 at frequency -1, |1 + 2|^2 at 0.
    EXPECT_EQ(run<Complex<T>>({T(1), T(0), T(2), T(0)}, {T(1), T(1)}, 1),
              (std::vector<T>{T(1), T(9)}));
    // Window on both parts: (1, 2) * 0.5 and (3, -1) * 2 = (0.5, 1) and (6, -2).
    EXPECT_EQ(run<Complex<T>>({T(1), T(2), T(3), T(-1)}, {T(0.5), T(2)}, 1),
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
        const auto out = run<Complex<T>>(x, std::vector<T>(n, T(1)), 1);
        for (int m = 0; m < n; ++m)
            EXPECT_NEAR(out[m], m == f + n / 2 ? 64.0 : 0.0, tol) << "f=" << f << " m=" << m;
    }
}

TYPED_TEST(ComplexSpectrum, ConstantRecordAndDecibels) {
    using T = TypeParam;
    // Constant (3, 3) times ones over 16 points: |48 + 48i|^2 = 4608 at output[8].
    const std::vector<T> in(32, T(3)), ones(16, T(1));
    const auto power = run<Complex<T>>(in, ones, 1);
    const auto db = run<Complex<T>>(in, ones, 65538);
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

// ---- what both spectra share, in both precisions ------------------------------

template <typename S>
class Spectra : public ::testing::Test {};
using Kinds = ::testing::Types<Real<float>, Real<double>, Complex<float>, Complex<double>>;
TYPED_TEST_SUITE(Spectra, Kinds);

TYPED_TEST(Spectra, ZeroRecordAndModes) {
    using S = TypeParam;
    using T = typename S::Sample;
    const int n = 32;
    const std::vector<T> zero(S::input_size(n), T(0));
    const auto w = random_values<T>(n, 7, 0, 1);
    for (int mode : {2, 65538, 2 - 65536}) {
        for (T v : run<S>(zero, w, mode)) EXPECT_EQ(v, T(-500)) << mode;
    }
    for (int mode : {0, 65536}) {
        for (T v : run<S>(zero, w, mode)) EXPECT_EQ(v, T(0)) << mode;
    }

    const auto x = random_values<T>(S::input_size(n), 8, -1, 1);
    const auto power = run<S>(x, w, 1);
    for (int mode : {3, -1, 65537, 1000}) EXPECT_EQ(run<S>(x, w, mode), power) << mode;
    const auto mag = run<S>(x, w, 0), db = run<S>(x, w, 2);
    for (std::size_t k = 0; k < power.size(); ++k) {
        EXPECT_EQ(mag[k], T(std::sqrt(double(power[k]))));
        EXPECT_NEAR(db[k], 10 * std::log10(double(power[k])), 1e-5 * (1 + std::fabs(db[k])));
    }
    EXPECT_EQ(run<S>(x, w, 65536), mag);
    EXPECT_EQ(run<S>(x, w, 65538), db);
}

TYPED_TEST(Spectra, NanBinReadsFloor) {
    using S = TypeParam;
    using T = typename S::Sample;
    std::vector<T> x(S::input_size(8), T(0));
    x[3] = std::numeric_limits<T>::quiet_NaN();
    for (T v : run<S>(x, std::vector<T>(8, T(1)), 2)) EXPECT_EQ(v, T(-500));
}

TYPED_TEST(Spectra, OutputMayAliasInputOrWindow) {
    using S = TypeParam;
    using T = typename S::Sample;
    for (int n : {1, 2, 4, 8, 64, 512, 1024}) {
        if (n < S::kMinCount) continue;
        for (int mode : {0, 1, 2}) {
            const auto x = random_values<T>(S::input_size(n), 20 + n, -1, 1);
            const auto w = random_values<T>(std::size_t(n), 30 + n, 0, 1);
            const auto want = run<S>(x, w, mode);
            auto xa = x;
            S::call(xa.data(), xa.data(), w.data(), n, mode);
            auto wa = w;
            S::call(x.data(), wa.data(), wa.data(), n, mode);
            for (std::size_t k = 0; k < want.size(); ++k) {
                EXPECT_TRUE(twin::same_bits(xa[k], want[k])) << n << " " << k;
                EXPECT_TRUE(twin::same_bits(wa[k], want[k])) << n << " " << k;
            }
            // Past the bins the arrays keep their own values.
            for (std::size_t i = want.size(); i < x.size(); ++i) EXPECT_EQ(xa[i], x[i]);
            for (std::size_t i = want.size(); i < w.size(); ++i) EXPECT_EQ(wa[i], w[i]);
        }
    }
}

TYPED_TEST(Spectra, MatchesLongDoubleDftAndParseval) {
    using S = TypeParam;
    using T = typename S::Sample;
    const long double eps = std::numeric_limits<T>::epsilon();
    for (unsigned lg = 0; lg <= 10; ++lg) {
        const std::size_t n = std::size_t(1) << lg;
        if (n < std::size_t(S::kMinCount)) continue;
        const auto x = random_values<T>(S::input_size(int(n)), 100 + lg, -1, 1);
        const auto w = random_values<T>(n, 200 + lg, 0, 1);
        const auto out = run<S>(x, w, 1);
        const auto xw = S::windowed(x, w);
        long double energy = 0;
        for (const auto &v : xw) energy += std::norm(v);
        const long double delta = 8 * eps * (lg + 2) * std::sqrt(energy);
        long double total = 0;
        for (std::size_t k = 0; k < out.size(); ++k) {
            const long double want = std::norm(ref::dft_bin(xw, k, -1));
            const long double tol = (2 * std::sqrt(want) + delta) * delta + 2 * eps * want;
            const T got = out[S::slot(k, n)];
            EXPECT_NEAR(double(got), double(want), double(tol)) << "n=" << n << " k=" << k;
            total += S::weight(k, n) * got;
        }
        EXPECT_NEAR(double(total / n), double(energy), double(16 * eps * (lg + 2) * energy));
    }
}

// A count that is not a power of two, or below the smallest count (2 real
// values, 1 complex point), leaves output untouched.
TYPED_TEST(Spectra, RefusedCountsWriteNothing) {
    using S = TypeParam;
    using T = typename S::Sample;
    const std::vector<T> x(128, T(1)), w(64, T(1));
    for (int n : {1, 0, -1, -2, -8, -64, 3, 6, 12, 48, 63}) {
        if (n >= S::kMinCount && (n & (n - 1)) == 0) continue;  // a valid count
        std::vector<T> out(64, guard<T>());
        S::call(x.data(), out.data(), w.data(), n, 1);
        for (T v : out) EXPECT_EQ(v, guard<T>()) << n;
    }
}

}  // namespace
