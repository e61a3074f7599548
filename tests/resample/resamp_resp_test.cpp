// Kernel response: exact values at 0 and q/11, the stated samples, a
// long-double Fourier transform of the kernel, symmetry and the grid.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "kwsig.h"

namespace {

double at(double f) {
    double r = 0;
    kwsig_resamp_resp(&r, 1, f, f);
    return r;
}

// The continuous transform of k(t) = (1/11) sum a_q cos(q pi t / 5.5) over
// |t| <= 5.5, by composite Simpson in long double.
long double transform(long double f) {
    constexpr int n = 22000;  // even
    const long double pi = 3.141592653589793238462643383279502884L;
    const long double h = 11.0L / n;
    static const std::vector<long double> kernel = [&] {
        const long double a[6] = {1.0L, 1.539081L, 0.683614L, 0.15986L, 0.015624L, 0.000297L};
        std::vector<long double> k(n + 1);
        for (int i = 0; i <= n; ++i) {
            const long double t = -5.5L + i * h;
            for (int q = 0; q <= 5; ++q) k[i] += a[q] * std::cos(q * pi * t / 5.5L);
            k[i] /= 11;
        }
        return k;
    }();
    long double acc = 0;
    for (int i = 0; i <= n; ++i) {
        const long double v = kernel[i] * std::cos(2 * pi * f * (-5.5L + i * h));
        acc += v * (i == 0 || i == n ? 1 : i % 2 ? 4 : 2);
    }
    return acc * h / 3;
}

TEST(ResampResp, ExactAtZeroAndAtMultiplesOfOneEleventh) {
    EXPECT_EQ(at(0.0), 1.0);
    const double half[6] = {1.0, 1.539081 / 2, 0.683614 / 2, 0.15986 / 2, 0.015624 / 2,
                            0.000297 / 2};
    for (int q = 1; q <= 5; ++q) {
        EXPECT_EQ(at(q / 11.0), half[q]) << "q " << q;
        EXPECT_EQ(at(-q / 11.0), half[q]) << "q " << -q;
    }
    EXPECT_NEAR(at(1 / 11.0), 0.7695405, 1e-15);
    EXPECT_NEAR(at(5 / 11.0), 0.0001485, 1e-15);
}

TEST(ResampResp, StatedValues) {
    EXPECT_NEAR(at(0.05), 0.92420734, 6e-9);
    EXPECT_NEAR(at(0.1), 0.72797222, 6e-9);
    EXPECT_NEAR(at(0.2), 0.27029872, 6e-9);
    EXPECT_NEAR(at(0.3), 0.04435392, 6e-9);
    EXPECT_NEAR(at(0.4), 0.00213552, 6e-9);
    EXPECT_NEAR(at(0.5), 1.4678e-6, 6e-11);
    EXPECT_NEAR(at(0.6), -2.8e-8, 6e-10);
    // Half power near 0.1044, half amplitude near 0.1469.
    EXPECT_GT(at(0.1043) * at(0.1043), 0.5);
    EXPECT_LT(at(0.1045) * at(0.1045), 0.5);
    EXPECT_GT(at(0.1468), 0.5);
    EXPECT_LT(at(0.1470), 0.5);
}

// Against the kernel's Fourier transform computed independently, across the
// main lobe and the stop band, and just outside the near-singular bands
// around q/11 (half-widths about 0.0009 for q = 0 and 4.5e-6 / q otherwise).
// Inside a band the value is the limit at q/11 itself.
TEST(ResampResp, MatchesTheKernelsFourierTransform) {
    std::vector<double> r(1201);
    kwsig_resamp_resp(r.data(), int(r.size()), -0.6, 0.6);
    for (std::size_t p = 0; p < r.size(); p += 7) {
        const double f = -0.6 + 1.2 * double(p) / 1200.0;
        EXPECT_NEAR(r[p], double(transform(f)), 1e-11) << "f " << f;
    }
    for (int q = 0; q <= 5; ++q) {
        const double width = q == 0 ? 0.0009 : 4.5e-6 / q;
        const double limit = at(q / 11.0);
        for (double side : {-1.0, 1.0}) {
            for (double times : {1.5, 3.0, 30.0}) {
                const double f = q / 11.0 + side * times * width;
                EXPECT_NEAR(at(f), double(transform(f)), 1e-9) << "f " << f;
            }
            EXPECT_EQ(at(q / 11.0 + side * 0.5 * width), limit) << "q " << q;
        }
    }
}

TEST(ResampResp, EvenInFrequency) {
    for (int m = 0; m <= 500; ++m) {
        const double f = m * 0.0013;
        EXPECT_EQ(at(f), at(-f)) << "f " << f;
    }
}

// The grid starts at start_freq exactly and follows it by repeated addition,
// ascending or descending, up to the rounding of the grid points.
TEST(ResampResp, GridsAscendingDescendingAndFlat) {
    std::vector<double> down(11), up(11);
    kwsig_resamp_resp(down.data(), 11, 0.5, 0.0);
    kwsig_resamp_resp(up.data(), 11, 0.0, 0.5);
    EXPECT_EQ(down[0], at(0.5));
    EXPECT_EQ(up[0], 1.0);
    for (int p = 0; p < 11; ++p) {
        EXPECT_NEAR(down[p], at(0.5 - 0.05 * p), 1e-13) << p;
        EXPECT_NEAR(up[p], at(0.05 * p), 1e-13) << p;
        EXPECT_NEAR(down[p], up[10 - p], 1e-13) << p;
    }
    std::vector<double> flat(5);
    kwsig_resamp_resp(flat.data(), 5, 0.1, 0.1);
    for (double v : flat) EXPECT_EQ(v, at(0.1));
}

// One point is the value at start_freq, whatever stop_freq; no count writes
// nothing.
TEST(ResampResp, OnePointAndNoPoints) {
    for (double stop : {0.1, 0.3, -2.0, 1e300}) {
        double r = -1;
        kwsig_resamp_resp(&r, 1, 0.1, stop);
        EXPECT_EQ(r, at(0.1));
    }
    double guard[3] = {7, 7, 7};
    for (int n : {0, -1, -100000}) kwsig_resamp_resp(guard, n, 0.0, 0.5);
    EXPECT_EQ(guard[0], 7);
    EXPECT_EQ(guard[1], 7);
    EXPECT_EQ(guard[2], 7);
}

}  // namespace
