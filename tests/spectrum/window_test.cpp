// Windows: the exact figures, a long-double evaluation of the closed form,
// symmetry, the normalisation invariants, and the odd and tiny counts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "support/reference.h"
#include "support/twins.h"

namespace {

template <typename T>
class Window : public ::testing::Test {};
using Precisions = ::testing::Types<float, double>;
TYPED_TEST_SUITE(Window, Precisions);

template <typename T>
std::vector<T> make(int count, int type, int norm, T gain) {
    std::vector<T> w(std::size_t(count), twin::guard<T>());
    twin::window(w.data(), count, type, norm, gain);
    return w;
}

// Coefficients of the four shapes, independent of the library's table.
std::vector<long double> coefficients(int type) {
    switch (type) {
    case 1: return {1.0L, 1.0L};
    case 2: return {1.0L, 1.45875529058L, 0.543087184L, 0.08816718498L, 0.00390252806L};
    case 3: return {1.0L, 1.941109216L, 1.308381824L, 0.40400112L, 0.035108828L};
    default: return {1.0L};
    }
}

// factor * W(2 pi |n - count/2| / count) with count/2 taken exactly, scaled in
// long double to the mean (norm 0) or the RMS (norm != 0) `gain`.
std::vector<long double> closed_form(int count, int type, int norm, long double gain) {
    const auto c = coefficients(type);
    const long double pi = 3.141592653589793238462643383279502884L;
    std::vector<long double> w(static_cast<std::size_t>(count));
    long double sum = 0, sumsq = 0;
    for (int n = 0; n < count; ++n) {
        const long double theta = 2 * pi * std::fabs(n - count / 2.0L) / count;
        long double v = 0;
        for (std::size_t k = 0; k < c.size(); ++k) v += c[k] * std::cos(k * theta);
        w[n] = v;
        sum += v;
        sumsq += v * v;
    }
    const long double factor = norm == 0 ? count * gain / sum : gain / std::sqrt(sumsq / count);
    for (auto &v : w) v *= factor;
    return w;
}

TYPED_TEST(Window, HannFourAndEightPoints) {
    using T = TypeParam;
    auto mean4 = make<T>(4, 1, 0, T(1));
    EXPECT_EQ(mean4, (std::vector<T>{T(0), T(1), T(2), T(1)}));

    const double f = 0.8164965809277261;  // 1 / sqrt(1.5)
    auto rms4 = make<T>(4, 1, 1, T(1));
    EXPECT_EQ(rms4[0], T(0));
    EXPECT_EQ(rms4[1], T(f));
    EXPECT_EQ(rms4[2], T(2 * f));
    EXPECT_EQ(rms4[3], T(f));
    if (sizeof(T) == 4) {
        EXPECT_EQ(rms4[1], 0.81649661f);
        EXPECT_EQ(rms4[2], 1.6329932f);
    }

    const double want8[] = {0, 0.292893219, 1, 1.70710678, 2, 1.70710678, 1, 0.292893219};
    auto mean8 = make<T>(8, 1, 0, T(1));
    double sum = 0, sumsq = 0;
    for (int n = 0; n < 8; ++n) {
        EXPECT_NEAR(mean8[n], want8[n], 1e-6) << n;
        sum += mean8[n];
        sumsq += double(mean8[n]) * mean8[n];
    }
    EXPECT_NEAR(sum, 8.0, 1e-5);
    EXPECT_NEAR(sumsq, 12.0, 1e-5);
}

TEST(WindowDouble, FiveTermShapesEightPoints) {
    const double type2[] = {6.72365e-05, 0.0269453283, 0.460815344, 1.96524962,
                            3.09391219,  1.96524962,   0.460815344, 0.0269453283};
    const double type3[] = {-0.001619684, -0.122008386, -0.273272996, 2.05179073,
                            4.68860099,   2.05179073,   -0.273272996, -0.122008386};
    auto w2 = make<double>(8, 2, 0, 1.0);
    auto w3 = make<double>(8, 3, 0, 1.0);
    auto r3 = make<double>(8, 3, 1, 1.0);
    for (int n = 0; n < 8; ++n) {
        EXPECT_NEAR(w2[n], type2[n], 5e-9 * std::fabs(type2[n]) + 1e-10) << n;
        EXPECT_NEAR(w3[n], type3[n], 5e-9 * std::fabs(type3[n]) + 1e-10) << n;
        EXPECT_NEAR(r3[n], w3[n] * 0.511462111637081, 1e-14) << n;
    }
}

TYPED_TEST(Window, MatchesClosedForm) {
    using T = TypeParam;
    const double eps = std::numeric_limits<T>::epsilon();
    const int counts[] = {2, 3, 4, 5, 7, 8, 9, 15, 16, 100, 101, 1000, 1001, 4096, 4097};
    for (int type = 0; type <= 3; ++type)
        for (int norm = 0; norm <= 1; ++norm)
            for (int count : counts) {
                const double gain = norm ? -1.75 : 0.625;
                auto w = make<T>(count, type, norm, T(gain));
                auto want = closed_form(count, type, norm, gain);
                long double peak = 0;
                for (auto v : want) peak = std::max(peak, std::fabs(v));
                // Angle accumulation grows by one rounding per half-loop step.
                const double tol = double(peak) * eps * (16 + count / 4.0);
                for (int n = 0; n < count; ++n)
                    ASSERT_NEAR(double(w[n]), double(want[n]), tol)
                        << "type " << type << " norm " << norm << " count " << count << " n " << n;
            }
}

TYPED_TEST(Window, HalvesAreBitIdentical) {
    using T = TypeParam;
    for (int type = 0; type <= 3; ++type)
        for (int count : {2, 3, 4, 5, 6, 7, 64, 65, 250, 251, 1024, 1025}) {
            auto w = make<T>(count, type, 1, T(0.3));
            for (int n = 1; 2 * n < count + 1 && n < count; ++n)
                EXPECT_TRUE(twin::same_bits(w[n], w[count - n]))
                    << "type " << type << " count " << count << " n " << n;
        }
}

// The loop sums the values before rounding to float, so the stored window meets
// the targets within the rounding of the stores.
TYPED_TEST(Window, NormalisationInvariants) {
    using T = TypeParam;
    const double eps = std::numeric_limits<T>::epsilon();
    for (int type = 0; type <= 3; ++type)
        for (int count : {2, 5, 8, 33, 512, 999, 8192})
            for (double gain : {1.0, -0.4, 3.5}) {
                auto mean = make<T>(count, type, 0, T(gain));
                auto rms = make<T>(count, type, 65536 + 7, T(gain));
                long double sum = 0, sumsq = 0;
                for (int n = 0; n < count; ++n) {
                    sum += mean[n];
                    sumsq += (long double)rms[n] * rms[n];
                }
                // The half-loop sums carry one rounding per step, the stores one each.
                const double rel = eps * (16 + count / 16.0);
                EXPECT_NEAR(double(sum), count * double(T(gain)), rel * count * std::fabs(gain))
                    << type << " " << count;
                EXPECT_NEAR(double(sumsq), count * double(T(gain)) * double(T(gain)),
                            rel * count * gain * gain)
                    << type << " " << count;
                // The RMS window keeps the sign of gain: its centre has that sign.
                EXPECT_EQ(rms[count / 2] > 0, gain > 0);
            }
}

TYPED_TEST(Window, UniformAndOutOfRangeTypes) {
    using T = TypeParam;
    for (int type : {0, 4, -1, 7, 32767, -32768})
        for (int norm : {0, 1, -3})
            for (double gain : {1.0, -2.0, 0.5}) {
                auto w = make<T>(12, type, norm, T(gain));
                for (T v : w) EXPECT_EQ(v, T(gain)) << type << " " << norm;
            }
}

TYPED_TEST(Window, ZeroAndNegativeGain) {
    using T = TypeParam;
    for (int type = 0; type <= 3; ++type)
        for (int norm : {0, 1})
            for (int count : {6, 7, 16}) {
                auto zero = make<T>(count, type, norm, T(0));
                auto pos = make<T>(count, type, norm, T(1.5));
                auto neg = make<T>(count, type, norm, T(-1.5));
                for (int n = 0; n < count; ++n) {
                    EXPECT_EQ(zero[n], T(0));
                    EXPECT_EQ(neg[n], -pos[n]) << type << " " << norm << " " << count;
                }
            }
}

// Selectors act on their low 16 bits, through the declared prototype too.
TYPED_TEST(Window, SelectorLowBits) {
    using T = TypeParam;
    EXPECT_EQ(make<T>(16, 65537, 0, T(1)), make<T>(16, 1, 0, T(1)));
    EXPECT_EQ(make<T>(16, 3, 65536, T(1)), make<T>(16, 3, 0, T(1)));
    EXPECT_EQ(make<T>(16, 65536 + 2, 65536 + 5, T(1)), make<T>(16, 2, 1, T(1)));
}

// Odd counts: every sample is written (none keeps the caller's value), sample 0
// is the edge value, the pairs are bit-identical, and the sums cover all
// samples, so the targets hold exactly as for even counts.
TYPED_TEST(Window, OddCountFillsEverySample) {
    using T = TypeParam;
    for (int type = 0; type <= 3; ++type)
        for (int count : {3, 5, 7, 9, 31, 1001}) {
            std::vector<T> w(std::size_t(count) + 2, std::numeric_limits<T>::quiet_NaN());
            w[count] = w[count + 1] = twin::guard<T>();
            twin::window(w.data(), count, type, 0, T(1));
            EXPECT_EQ(w[count], twin::guard<T>());
            EXPECT_EQ(w[count + 1], twin::guard<T>());
            long double sum = 0;
            for (int n = 0; n < count; ++n) {
                ASSERT_TRUE(std::isfinite(w[n])) << type << " " << count << " " << n;
                sum += w[n];
            }
            EXPECT_NEAR(double(sum), count, 4.0 * std::numeric_limits<T>::epsilon() * count * 5);
            // Two middle samples share the largest value for the shaped windows.
            EXPECT_TRUE(twin::same_bits(w[count / 2], w[count / 2 + 1]));
            if (type == 1) {
                EXPECT_EQ(w[0], T(0));  // Hann edge: 1 + cos(pi)
            }
        }
    // Three-point Hann: angles pi, pi/3, pi/3, i.e. 0, 1.5, 1.5 before scaling to mean 1.
    auto h3 = make<T>(3, 1, 0, T(1));
    EXPECT_EQ(h3[0], T(0));
    EXPECT_NEAR(h3[1], 1.5, 4 * std::numeric_limits<T>::epsilon());
    EXPECT_TRUE(twin::same_bits(h3[1], h3[2]));
}

TYPED_TEST(Window, TinyCounts) {
    using T = TypeParam;
    for (int count : {0, -1, -2, -1000}) {
        std::vector<T> w(4, twin::guard<T>());
        twin::window(w.data(), count, 1, 0, T(1));
        for (T v : w) EXPECT_EQ(v, twin::guard<T>()) << count;
    }
    // A single sample is flat: it equals gain under both normalisations, for
    // every shape (Hann's edge value 0 would otherwise divide 0 by 0).
    for (int type = 0; type <= 3; ++type)
        for (int norm : {0, 1})
            for (double gain : {1.0, -0.75, 0.0}) {
                std::vector<T> w(2, twin::guard<T>());
                twin::window(w.data(), 1, type, norm, T(gain));
                EXPECT_EQ(w[0], T(gain));
                EXPECT_EQ(w[1], twin::guard<T>());
            }
}

// The figures the header's table gives for choosing a window, measured from the
// library's 1024-point windows with a long-double DTFT: equivalent noise
// bandwidth, the largest change of gain across a bin (scalloping), the main
// lobe's first zero, and the highest sidelobe (all found within 30 bins).
TEST(WindowTable, FiguresInTheHeader) {
    struct Row {
        int type;
        double sidelobe_db, enbw_bins, scalloping_db;
        int first_zero;
    };
    const Row rows[] = {{KWSIG_WINDOW_UNIFORM, -13.3, 1.00, 3.92, 1},
                        {KWSIG_WINDOW_HANN, -31.5, 1.50, 1.42, 2},
                        {KWSIG_WINDOW_LOW_SIDELOBE, -125.4, 2.22, 0.68, 5},
                        {KWSIG_WINDOW_FLAT_TOP, -95.1, 3.82, 0.01, 5}};
    const int n = 1024;
    for (const Row &row : rows) {
        std::vector<double> w(n);
        kwsig_window_double(w.data(), n, row.type, KWSIG_NORM_MEAN, 1.0);
        auto gain = [&](long double bins) {  // |W(f)| / W(0), f in bins
            long double re = 0, im = 0;
            for (int i = 0; i < n; ++i) {
                const long double a = 2 * ref::pi() * bins * i / n;
                re += w[i] * std::cos(a);
                im -= w[i] * std::sin(a);
            }
            return std::sqrt(re * re + im * im) / n;  // mean-normalised: W(0) = n
        };
        long double sum = 0, sumsq = 0;
        for (double v : w) sum += v, sumsq += (long double)v * v;
        EXPECT_NEAR(double(n * sumsq / (sum * sum)), row.enbw_bins, 0.005) << row.type;

        long double scallop = 0;
        for (int k = 0; k <= 50; ++k) scallop = std::max(scallop, std::fabs(std::log10(gain(k / 100.0L))));
        EXPECT_NEAR(double(20 * scallop), row.scalloping_db, 0.005) << row.type;

        int zero = 1;
        while (gain(zero) > 1e-9) ++zero;
        EXPECT_EQ(zero, row.first_zero) << row.type;

        long double sidelobe = 0;
        for (long double f = zero; f < 30; f += 0.05L) sidelobe = std::max(sidelobe, gain(f));
        EXPECT_NEAR(double(20 * std::log10(sidelobe)), row.sidelobe_db, 0.05) << row.type;
    }
}

}  // namespace
