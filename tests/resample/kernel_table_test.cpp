// The kernel table: empty until the first resampler call of the process, then
// the same complete table whichever twin builds it, with the stated figures.
// Every table here comes from a forked child whose first resampler call
// builds it, so this process itself never builds one.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "kwsig.h"
#include "resample/kernel_table.h"

namespace {

using Table = std::vector<float>;

bool table_is_zero() {
    for (int j = 0; j < kwsig::kKernelEntries; ++j)
        if (kwsig::resample_kernel_table[j] != 0.0f) return false;
    return true;
}

// In a fresh child: the table must be all zeros, then one call of the chosen
// twin must leave it complete. The child sends the table back through a pipe.
// Exit codes: 0 sent, 2 table not zero before the call, 3 pipe failure.
Table first_call_table(bool double_twin) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        if (!table_is_zero()) _exit(2);
        int nwritten = 0;
        if (double_twin) {
            double h[11] = {}, out[1], phase = -6.0;
            kwsig_resample_double(nullptr, 0, out, 1, &nwritten, &phase, 1.0, h);
        } else {
            float h[11] = {}, out[1], phase = -6.0f;
            kwsig_resample(nullptr, 0, out, 1, &nwritten, &phase, 1.0f, h);
        }
        const std::size_t bytes = sizeof(float) * kwsig::kKernelEntries;
        const char *p = reinterpret_cast<const char *>(kwsig::resample_kernel_table);
        for (std::size_t done = 0; done < bytes;) {
            const ssize_t n = write(fds[1], p + done, bytes - done);
            if (n <= 0) _exit(3);
            done += std::size_t(n);
        }
        _exit(0);
    }
    close(fds[1]);
    Table t(kwsig::kKernelEntries);
    char *p = reinterpret_cast<char *>(t.data());
    std::size_t done = 0;
    const std::size_t bytes = sizeof(float) * t.size();
    while (done < bytes) {
        const ssize_t n = read(fds[0], p + done, bytes - done);
        if (n <= 0) break;
        done += std::size_t(n);
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "child status " << status << " (2: the table was not empty before the first call)";
    EXPECT_EQ(done, bytes);
    return t;
}

const Table &built() {
    static const Table t = first_call_table(false);
    return t;
}

TEST(KernelTable, EmptyAtLoadAndTheSameFromEitherTwinsFirstCall) {
    EXPECT_TRUE(table_is_zero()) << "no resampler call has been made in this process";
    const Table from_float = first_call_table(false);
    const Table from_double = first_call_table(true);
    ASSERT_EQ(from_float.size(), from_double.size());
    EXPECT_EQ(std::memcmp(from_float.data(), from_double.data(), sizeof(float) * from_float.size()),
              0);
    EXPECT_NE(from_float[0], 0.0f);
}

TEST(KernelTable, StatedFigures) {
    const Table &t = built();
    EXPECT_NEAR(t[0], 0.30895236, 6e-9);
    EXPECT_NEAR(t[380], 0.23140712, 6e-9);
    EXPECT_NEAR(t[760], 0.09421188, 6e-9);
    EXPECT_NEAR(t[1140], 0.01858311, 6e-9);
    EXPECT_NEAR(t[1520], 0.00131309, 6e-9);
    EXPECT_NEAR(t[1900], 1.0677e-5, 6e-10);
    // The edge: residues of a value that tends to zero.
    for (int j = 2082; j <= 2090; ++j) EXPECT_LT(std::fabs(t[j]), 1e-8) << "entry " << j;
    for (int j = 2061; j <= 2090; ++j) EXPECT_LT(std::fabs(t[j]), 1e-7) << "entry " << j;
}

// Positive inside the span and falling from the centre, apart from the last
// thirty entries where rounding residues may wobble.
TEST(KernelTable, PositiveAndFalling) {
    const Table &t = built();
    for (int j = 1; j <= 2060; ++j) {
        EXPECT_GT(t[j], 0.0f) << "entry " << j;
        EXPECT_LT(t[j], t[j - 1]) << "entry " << j;
    }
}

// Against the cosine sum in long double at the angles the table is defined
// on: pi/2090 in single precision, accumulated by single-precision addition.
// What remains are the five single-precision roundings of the running sum
// (at most 5 half-units of 2^-22 before the division by 11) and the final one.
TEST(KernelTable, MatchesLongDoubleCosineSum) {
    const Table &t = built();
    const long double a[6] = {1.0L, 1.539081L, 0.683614L, 0.15986L, 0.015624L, 0.000297L};
    const float s = float(3.141592653589793 / 2090.0);
    EXPECT_EQ(double(s), 0.0015031544025987387);
    float theta = 0.0f;
    long double worst = 0;
    for (int j = 0; j <= 2090; ++j) {
        long double k = 0;
        for (int q = 0; q <= 5; ++q) k += (long double)float(a[q]) * std::cos(q * (long double)theta);
        k /= 11;
        worst = std::max(worst, std::fabs(k - (long double)t[j]));
        theta = theta + s;
    }
    EXPECT_LT(worst, 5 * 0x1p-23 / 11 + 0x1p-26);
}

// Linear interpolation between entries follows the continuous kernel: the
// resampled-sine test of the resampler relies on every weight being within
// 2e-6 of it (the single-precision angle drifts by about 3e-5 over the table,
// the interpolation adds at most h^2/8 |k''| < 2e-7).
TEST(KernelTable, InterpolatedTableFollowsTheContinuousKernel) {
    const Table &t = built();
    const long double pi = 3.141592653589793238462643383279502884L;
    const long double a[6] = {1.0L, 1.539081L, 0.683614L, 0.15986L, 0.015624L, 0.000297L};
    long double worst = 0;
    for (int m = 0; m < 2090 * 7; ++m) {
        const long double pos = m / 7.0L;  // in table steps
        const int lo = int(pos);
        const long double frac = pos - lo;
        const long double interp = (1 - frac) * t[lo] + frac * t[lo + 1];
        long double k = 0;
        for (int q = 0; q <= 5; ++q) k += a[q] * std::cos(q * pi * (pos / 380) / 5.5L);
        worst = std::max(worst, std::fabs(interp - k / 11));
    }
    EXPECT_LT(worst, 2e-6);
}

}  // namespace
