// Least-squares FIR design against a dense weighted least-squares solve, the
// exact figures (impulses, symmetry, closed form for one tap), invariances and
// the refused arguments.
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <limits>
#include <vector>

#include "fir/dense.h"
#include "kwsig.h"
#include "support/reference.h"
#include "support/twins.h"

namespace {

struct Design {
    std::vector<double> desired, weights;
    int nfreq;
};

Design random_design(int nfreq, twin::Random &gen, bool real_desired = false) {
    Design d{std::vector<double>(2 * nfreq + 2), std::vector<double>(nfreq + 1), nfreq};
    for (int p = 0; p <= nfreq; ++p) {
        d.desired[2 * p] = gen.uniform();
        d.desired[2 * p + 1] = real_desired ? 0.0 : gen.uniform();
        d.weights[p] = gen.uniform(0.5, 1.5);
    }
    return d;
}

double synth(const Design &d, double delay, std::vector<double> &coef) {
    return kwsig_fir_synth(d.desired.data(), d.weights.data(), d.nfreq, delay, coef.data(),
                           int(coef.size()));
}

// The delayed target D_p = desired_p e^(-i pi p delay / N) and its weight
// mu_p w_p (mu = 1 at both ends of the grid, 2 inside), in long double.
ref::cld target(const Design &d, int p, double delay) {
    const long double a = -ref::pi() * p * (long double)delay / d.nfreq;
    return ref::cld(d.desired[2 * p], d.desired[2 * p + 1]) * ref::cld(std::cos(a), std::sin(a));
}
long double weight(const Design &d, int p) {
    return (p == 0 || p == d.nfreq ? 1.0L : 2.0L) * d.weights[p];
}

// Minimises sum_p mu_p w_p |D_p - sum_j h_j e^(-i w_p j)|^2 directly: the
// normal equations sum_l A[j][l] h_l = b[j] with
//   A[j][l] = sum_p mu_p w_p cos(w_p (j - l)),  b[j] = sum_p mu_p w_p Re(D_p e^(i w_p j)),
// solved by Gaussian elimination in long double.
std::vector<long double> dense_design(const Design &d, double delay, int ntaps) {
    dense::Matrix a(ntaps, std::vector<long double>(ntaps, 0.0L));
    std::vector<long double> b(ntaps, 0.0L);
    for (int p = 0; p <= d.nfreq; ++p) {
        const long double w = weight(d, p), om = ref::pi() * p / d.nfreq;
        const ref::cld t = target(d, p, delay);
        for (int j = 0; j < ntaps; ++j) {
            b[j] += w * (t * ref::cld(std::cos(om * j), std::sin(om * j))).real();
            for (int l = 0; l < ntaps; ++l) a[j][l] += w * std::cos(om * (j - l));
        }
    }
    return dense::solve(a, b);
}

TEST(FirSynth, MatchesDenseWeightedLeastSquares) {
    twin::Random gen(41);
    struct Run { int nfreq, ntaps; double delay; };
    for (const Run r : {Run{2, 1, 0.0}, Run{2, 2, 0.5}, Run{4, 3, 1.0}, Run{8, 8, 3.5},
                        Run{16, 5, -2.25}, Run{32, 17, 8.0}, Run{64, 40, 100.7},
                        Run{128, 33, 16.0}, Run{256, 64, 31.5}}) {
        const Design d = random_design(r.nfreq, gen);
        std::vector<double> coef(r.ntaps, -7.0);
        EXPECT_EQ(synth(d, r.delay, coef), 0.0);
        const auto want = dense_design(d, r.delay, r.ntaps);
        for (int j = 0; j < r.ntaps; ++j)
            EXPECT_NEAR(coef[j], want[j], 1e-12) << r.nfreq << "/" << r.ntaps << " j=" << j;
    }
}

// A target that some ntaps filter h0 meets exactly is designed back to h0,
// whatever the weights.
TEST(FirSynth, ReproducesAnAttainableResponse) {
    twin::Random gen(42);
    const int nfreq = 64, ntaps = 21;
    const double delay = 5.75;
    Design d = random_design(nfreq, gen);
    std::vector<double> h0(ntaps);
    for (auto &v : h0) v = gen.uniform();
    for (int p = 0; p <= nfreq; ++p) {
        const long double om = ref::pi() * p / nfreq;
        ref::cld h = 0;
        for (int j = 0; j < ntaps; ++j)
            h += (long double)h0[j] * ref::cld(std::cos(om * j), -std::sin(om * j));
        h *= ref::cld(std::cos(om * delay), std::sin(om * delay));  // undone by the delay
        d.desired[2 * p] = double(h.real());
        d.desired[2 * p + 1] = double(h.imag());
    }
    std::vector<double> coef(ntaps);
    EXPECT_EQ(synth(d, delay, coef), 0.0);
    for (int j = 0; j < ntaps; ++j) EXPECT_NEAR(coef[j], h0[j], 1e-13) << j;
}

TEST(FirSynth, UnitResponseGivesImpulseAtIntegerDelay) {
    for (int nfreq : {4, 16, 128}) {
        for (int ntaps : {1, 3, nfreq / 2 + 1, nfreq}) {
            Design d{std::vector<double>(2 * nfreq + 2, 0.0), std::vector<double>(nfreq + 1, 1.0),
                     nfreq};
            for (int p = 0; p <= nfreq; ++p) d.desired[2 * p] = 1.0;
            for (int delay : {0, ntaps / 2, ntaps - 1}) {
                std::vector<double> coef(ntaps);
                const double status = synth(d, delay, coef);
                EXPECT_EQ(status, 0.0);
                EXPECT_FALSE(std::signbit(status));
                for (int j = 0; j < ntaps; ++j)
                    EXPECT_NEAR(coef[j], j == delay ? 1.0 : 0.0, 1e-13)
                        << nfreq << " " << ntaps << " " << delay << " j=" << j;
            }
        }
    }
}

TEST(FirSynth, RealResponseAtCentreDelayIsSymmetric) {
    twin::Random gen(43);
    for (int ntaps : {2, 7, 16, 31}) {
        const Design d = random_design(32, gen, true);
        std::vector<double> coef(ntaps);
        EXPECT_EQ(synth(d, (ntaps - 1) / 2.0, coef), 0.0);
        for (int k = 0; k < ntaps; ++k) EXPECT_NEAR(coef[k], coef[ntaps - 1 - k], 1e-13) << ntaps;
    }
}

TEST(FirSynth, SingleTapClosedForm) {
    twin::Random gen(44);
    for (double delay : {0.0, 1.0, 0.3, -4.5}) {
        const Design d = random_design(16, gen);
        long double num = 0, den = 0;
        for (int p = 0; p <= d.nfreq; ++p) {
            num += weight(d, p) * target(d, p, delay).real();
            den += weight(d, p);
        }
        std::vector<double> coef(1);
        EXPECT_EQ(synth(d, delay, coef), 0.0);
        EXPECT_NEAR(coef[0], num / den, 1e-14) << delay;
    }
}

TEST(FirSynth, WeightScaleAndUnusedImaginaryPartsDoNotMatter) {
    twin::Random gen(45);
    const Design d = random_design(64, gen);
    std::vector<double> base(24), scaled(24), changed(24);
    EXPECT_EQ(synth(d, 0.0, base), 0.0);

    Design s = d;
    for (auto &w : s.weights) w *= 3.7;
    EXPECT_EQ(synth(s, 0.0, scaled), 0.0);
    for (int j = 0; j < 24; ++j) EXPECT_NEAR(scaled[j], base[j], 1e-14);

    // The imaginary parts at frequency 0 and at half the sample rate (where
    // the target is real with no delay) are never read.
    Design c = d;
    c.desired[1] = 1e6;
    c.desired[2 * 64 + 1] = -3e5;
    EXPECT_EQ(synth(c, 0.0, changed), 0.0);
    EXPECT_EQ(changed, base);
}

TEST(FirSynth, ZeroWeightsReportPivotAndLeaveCoefficients) {
    twin::Random gen(46);
    Design d = random_design(16, gen);
    d.weights.assign(17, 0.0);
    std::vector<double> coef(5, -7.0);
    EXPECT_EQ(synth(d, 2.0, coef), 1.0);
    EXPECT_EQ(coef, std::vector<double>(5, -7.0));
}

TEST(FirSynth, OutsideLimitsReturnsMinusOneAndWritesNothing) {
    twin::Random gen(47);
    const Design d = random_design(16, gen);  // arrays large enough for every call
    struct Args { int nfreq, ntaps; };
    for (const Args a : {Args{1, 1}, Args{0, 1}, Args{-4, 1}, Args{3, 2}, Args{12, 4},
                         Args{16, 0}, Args{16, -1}, Args{8, 9}}) {
        std::vector<double> coef(16, -7.0);
        EXPECT_EQ(kwsig_fir_synth(d.desired.data(), d.weights.data(), a.nfreq, 0.0, coef.data(),
                                  a.ntaps),
                  -1.0)
            << a.nfreq << " " << a.ntaps;
        EXPECT_EQ(coef, std::vector<double>(16, -7.0));
    }
}

// An infinity or NaN where the design reads, or a delay whose phase step
// overflows, is refused like the other arguments, and no sine sees an
// infinity (which would set errno). The ignored imaginary part desired[1]
// counts too: the zero it is multiplied by gives a NaN with an infinity.
TEST(FirSynth, NonFiniteInputsReturnMinusOneAndWriteNothing) {
    twin::Random gen(48);
    const Design d = random_design(16, gen);
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> base(6);
    ASSERT_EQ(synth(d, 2.0, base), 0.0);

    for (double delay : {inf, -inf, nan, 1e308, -6e307}) {
        std::vector<double> coef(6, -7.0);
        errno = 0;
        EXPECT_EQ(synth(d, delay, coef), -1.0) << delay;
        EXPECT_EQ(errno, 0) << delay;
        EXPECT_EQ(coef, std::vector<double>(6, -7.0));
    }
    for (std::size_t i : {std::size_t(0), std::size_t(1), std::size_t(2), std::size_t(33)}) {
        for (double v : {inf, -inf, nan}) {
            Design bad = d;
            bad.desired[i] = v;
            std::vector<double> coef(6, -7.0);
            EXPECT_EQ(synth(bad, 2.0, coef), -1.0) << "desired[" << i << "] = " << v;
            EXPECT_EQ(coef, std::vector<double>(6, -7.0));
        }
    }
    for (std::size_t i : {std::size_t(0), std::size_t(7), std::size_t(16)}) {
        for (double v : {inf, nan}) {
            Design bad = d;
            bad.weights[i] = v;
            std::vector<double> coef(6, -7.0);
            EXPECT_EQ(synth(bad, 2.0, coef), -1.0) << "weights[" << i << "] = " << v;
            EXPECT_EQ(coef, std::vector<double>(6, -7.0));
        }
    }
    // A huge delay whose step is finite is an ordinary design.
    std::vector<double> far(6);
    errno = 0;
    EXPECT_EQ(synth(d, 1e300, far), 0.0);
    EXPECT_EQ(errno, 0);
    for (double v : far) EXPECT_TRUE(std::isfinite(v));
}

}  // namespace
