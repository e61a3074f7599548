// FIR response: the exact figures, a direct long-double evaluation of the sum,
// the grid, one point, and degenerate tap and point counts.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "kwsig.h"
#include "support/reference.h"
#include "support/twins.h"

namespace {

// H(f) = sum_k c[k] e^(+i 2 pi f (ntaps - 1 - k)), in long double.
ref::cld direct(const std::vector<double> &c, long double f) {
    const std::size_t m = c.size();
    ref::cld h = 0;
    for (std::size_t k = 0; k < m; ++k) {
        const long double a = 2 * ref::pi() * f * (long double)(m - 1 - k);
        h += (long double)c[k] * ref::cld(std::cos(a), std::sin(a));
    }
    return h;
}

std::vector<double> response(int npoints, double f0, double f1, const std::vector<double> &c) {
    std::vector<double> r(2 * std::size_t(npoints), -99.0);
    kwsig_fir_resp(r.data(), npoints, f0, f1, c.data(), int(c.size()));
    return r;
}

TEST(FirResp, ExactFigures) {
    const std::vector<double> c3 = {1, 2, 3};
    auto r = response(3, 0.0, 0.5, c3);  // points at 0, 0.25, 0.5
    EXPECT_EQ(r[0], 6.0);
    EXPECT_EQ(r[1], 0.0);
    EXPECT_NEAR(r[2], 2.0, 1e-15);
    EXPECT_NEAR(r[3], 2.0, 1e-15);
    EXPECT_NEAR(r[4], 2.0, 1e-15);
    EXPECT_NEAR(r[5], 0.0, 1e-15);

    for (double f : {0.0, 0.1, 0.25, -0.3, 0.45}) {
        r = response(1, f, 0.0, {1.0, 0.0});
        EXPECT_NEAR(r[0], std::cos(2 * M_PI * f), 1e-15) << f;
        EXPECT_NEAR(r[1], std::sin(2 * M_PI * f), 1e-15) << f;
        r = response(1, f, 0.0, {1.0});
        EXPECT_EQ(r[0], 1.0);
        EXPECT_EQ(r[1], 0.0);
    }
}

TEST(FirResp, MatchesDirectSum) {
    twin::Random gen(21);
    struct Grid { int npoints; double f0, f1; int ntaps; };
    for (const Grid g : {Grid{11, 0.0, 0.5, 7}, Grid{100, -0.5, 0.5, 16}, Grid{513, 0.0, 0.5, 64},
                         Grid{257, 0.5, 0.0, 33}, Grid{40, -3.0, 3.0, 20}, Grid{2, 0.1, 0.2, 5}}) {
        std::vector<double> c(g.ntaps);
        long double l1 = 0;
        for (auto &v : c) l1 += std::fabs(v = gen.uniform());
        const auto r = response(g.npoints, g.f0, g.f1, c);
        for (int p = 0; p < g.npoints; ++p) {
            const long double f =
                g.f0 + (long double)p * ((long double)g.f1 - g.f0) / (g.npoints - 1);
            const ref::cld want = direct(c, f);
            // The rotation drifts slowly with the point index; Horner with the
            // tap count.
            const long double tol = 1e-15L * l1 * (g.ntaps + 4) * (1 + p / 16.0L);
            EXPECT_LE(std::abs(ref::cld(r[2 * p], r[2 * p + 1]) - want), tol)
                << g.npoints << " points, p=" << p;
        }
    }
}

TEST(FirResp, SymmetricCoefficientsHaveLinearPhase) {
    const std::vector<double> c = {0.5, -1.25, 2.0, 3.0, 2.0, -1.25, 0.5};
    const int npoints = 50;
    const auto r = response(npoints, 0.0, 0.49, c);
    for (int p = 0; p < npoints; ++p) {
        const double f = 0.49 * p / (npoints - 1);
        // Remove e^(+i pi f (ntaps - 1)); a real amplitude remains.
        const std::complex<double> h(r[2 * p], r[2 * p + 1]);
        const auto a = h * std::polar(1.0, -M_PI * f * 6);
        EXPECT_NEAR(a.imag(), 0.0, 1e-13) << p;
    }
}

TEST(FirResp, OnePointAndEqualLimits) {
    const std::vector<double> c = {0.25, -0.5, 1.0, 0.125};
    // One point: the response at start_freq, whatever stop_freq is.
    const auto at = response(1, 0.3, 0.3, c);
    for (double stop : {0.7, -2.0, 0.3}) EXPECT_EQ(response(1, 0.3, stop, c), at);
    EXPECT_LE(std::abs(ref::cld(at[0], at[1]) - direct(c, 0.3L)), 1e-15);
    // Equal limits: every point has the same value, bit for bit.
    const auto same = response(7, 0.3, 0.3, c);
    for (int p = 0; p < 7; ++p) {
        EXPECT_EQ(same[2 * p], at[0]);
        EXPECT_EQ(same[2 * p + 1], at[1]);
    }
}

TEST(FirResp, DegenerateCounts) {
    const std::vector<double> c = {1, 2};
    for (int ntaps : {0, -3}) {
        std::vector<double> r(8, -99.0);
        kwsig_fir_resp(r.data(), 4, 0.0, 0.5, c.data(), ntaps);
        EXPECT_EQ(r, std::vector<double>(8, 0.0));
    }
    for (int npoints : {0, -1}) {
        std::vector<double> r(4, -99.0);
        kwsig_fir_resp(r.data(), npoints, 0.0, 0.5, c.data(), 2);
        EXPECT_EQ(r, std::vector<double>(4, -99.0));
    }
}

}  // namespace
