// Levinson solver: the exact figures, general (non-symmetric) systems against
// a dense solve, zero pivots with their partial results, and a refused
// allocation.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "fir/dense.h"
#include "fir/toeplitz.h"
#include "support/failing_alloc.h"
#include "support/twins.h"

namespace {

using kwsig::toeplitz_solve;

// r[n-1+i-j] is the element in row i, column j.
dense::Matrix toeplitz_matrix(const std::vector<double> &r, int n) {
    dense::Matrix a(n, std::vector<long double>(n));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) a[i][j] = r[n - 1 + i - j];
    return a;
}

TEST(Toeplitz, OrderOne) {
    const double r = 4.0, y = 3.0;
    double x = -1;
    EXPECT_EQ(toeplitz_solve(&r, &x, &y, 1), 0);
    EXPECT_EQ(x, 0.75);
}

TEST(Toeplitz, ZeroOrNanDiagonalWritesNothing) {
    for (double d : {0.0, -0.0, double(NAN)}) {
        const std::vector<double> r = {1, 2, d, 3, 4}, y = {1, 2, 3};
        std::vector<double> x(3, -5.0);
        EXPECT_EQ(toeplitz_solve(r.data(), x.data(), y.data(), 3), 1);
        EXPECT_EQ(x, std::vector<double>(3, -5.0));
        EXPECT_EQ(toeplitz_solve(&r[2], x.data(), y.data(), 1), 1);
        EXPECT_EQ(x[0], -5.0);
    }
}

TEST(Toeplitz, IdentityAndSmallExamples) {
    const int n = 6;
    std::vector<double> r(2 * n - 1, 0.0), y = {1, -2, 3.5, 0, 7, -0.25}, x(n);
    r[n - 1] = 1.0;
    EXPECT_EQ(toeplitz_solve(r.data(), x.data(), y.data(), n), 0);
    EXPECT_EQ(x, y);

    // Rows (4, 1) and (2, 4): x = (1/7, 3/7).
    const std::vector<double> r2 = {1, 4, 2}, y2 = {1, 2};
    std::vector<double> x2(2);
    EXPECT_EQ(toeplitz_solve(r2.data(), x2.data(), y2.data(), 2), 0);
    EXPECT_NEAR(x2[0], 1.0 / 7, 1e-16);
    EXPECT_NEAR(x2[1], 3.0 / 7, 1e-16);

    // The matrix of ones is singular: the pivot of order 2 is zero.
    const std::vector<double> ones = {1, 1, 1};
    EXPECT_EQ(toeplitz_solve(ones.data(), x2.data(), y2.data(), 2), 1);
}

// A singular leading 2x2 block stops the recursion at order 1: x[0] holds the
// order-1 solution and the rest of x stays as it was, even though the whole
// matrix (rows (1, 1, 5), (1, 1, 1), (-3, 1, 1), determinant 16) is nonsingular.
TEST(Toeplitz, PartialSolutionOnLaterZeroPivot) {
    const std::vector<double> r = {5, 1, 1, 1, -3}, y = {2, 1, 1};
    std::vector<double> x(3, -5.0);
    EXPECT_EQ(toeplitz_solve(r.data(), x.data(), y.data(), 3), 1);
    EXPECT_EQ(x, (std::vector<double>{2.0, -5.0, -5.0}));
}

TEST(Toeplitz, GeneralSystemsMatchDenseSolve) {
    twin::Random gen(31);
    for (int n : {2, 3, 4, 5, 8, 17, 40, 101}) {
        // Diagonally dominant, so every leading submatrix is nonsingular.
        std::vector<double> r(2 * n - 1), y(n), x(n);
        for (auto &v : r) v = gen.uniform() / n;
        r[n - 1] = 2.0 + gen.uniform();
        for (auto &v : y) v = gen.uniform();
        ASSERT_NE(r[n], r[n - 2]);
        EXPECT_EQ(toeplitz_solve(r.data(), x.data(), y.data(), n), 0);
        const auto want =
            dense::solve(toeplitz_matrix(r, n), std::vector<long double>(y.begin(), y.end()));
        for (int i = 0; i < n; ++i) EXPECT_NEAR(x[i], want[i], 1e-14) << n << " " << i;

        // The transposed matrix (r reversed) is a different system.
        std::vector<double> rt(r.rbegin(), r.rend()), xt(n);
        EXPECT_EQ(toeplitz_solve(rt.data(), xt.data(), y.data(), n), 0);
        const auto want_t =
            dense::solve(toeplitz_matrix(rt, n), std::vector<long double>(y.begin(), y.end()));
        double apart = 0;
        for (int i = 0; i < n; ++i) {
            EXPECT_NEAR(xt[i], want_t[i], 1e-14);
            apart = std::max(apart, std::fabs(xt[i] - x[i]));
        }
        EXPECT_GT(apart, 1e-6) << n;
    }
}

// The matrix is read only at its 2n-1 values: guards around it stay unread
// (a NaN there would poison the result).
TEST(Toeplitz, ReadsOnlyItsValues) {
    const int n = 4;
    std::vector<double> r = {NAN, 0.1, -0.2, 0.3, 3.0, 0.4, -0.1, 0.2, NAN}, y = {1, 2, 3, 4}, x(n);
    EXPECT_EQ(toeplitz_solve(r.data() + 1, x.data(), y.data(), n), 0);
    for (double v : x) EXPECT_TRUE(std::isfinite(v));
}

TEST(Toeplitz, RefusedAllocationLeavesSolutionUntouched) {
    const std::vector<double> r = {1, 4, 2}, y = {1, 2};
    std::vector<double> x(2, -5.0);
    int status;
    {
        failing_alloc::Scope fail;
        status = toeplitz_solve(r.data(), x.data(), y.data(), 2);
    }
    EXPECT_EQ(status, -1);
    EXPECT_EQ(x, std::vector<double>(2, -5.0));
    // Order 1 needs no memory.
    {
        failing_alloc::Scope fail;
        status = toeplitz_solve(&r[1], x.data(), y.data(), 1);
    }
    EXPECT_EQ(status, 0);
    EXPECT_EQ(x[0], 0.25);
}

}  // namespace
