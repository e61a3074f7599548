// Block FIR filter: the exact figures, a long-double convolution, the defined
// rounding (sum of the sample type, newest term first) bit for bit, streams
// cut into blocks of any size, in-place operation and refused arguments.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "kwsig.h"
#include "support/twins.h"

namespace {

using twin::fir;
using twin::Random;
using twin::same_bits;

template <typename T>
class Fir : public ::testing::Test {};
using Precisions = ::testing::Types<float, double>;
TYPED_TEST_SUITE(Fir, Precisions);

// The extended sequence of a whole stream: initial state, then the signal.
template <typename T>
std::vector<T> extend(const std::vector<T> &state, const std::vector<T> &x) {
    std::vector<T> e(state);
    e.insert(e.end(), x.begin(), x.end());
    return e;
}

// Output i of a stream as defined: terms from the newest down, a running sum
// of type T rounded after every addition, starting from +0.
template <typename T>
T defined_output(const std::vector<T> &e, const std::vector<T> &c, std::size_t i) {
    const std::size_t m = c.size();
    T sum = 0;
    for (std::size_t k = m; k-- > 0;) sum = T(double(sum) + double(c[k]) * double(e[i + 1 + k]));
    return sum;
}

TYPED_TEST(Fir, ExactFiguresAndUnusedOldestState) {
    using T = TypeParam;
    const std::vector<T> c = {1, 2, 3};
    for (T oldest : {T(9), T(-1e30), T(NAN)}) {
        std::vector<T> state = {oldest, 4, 5};
        std::vector<T> x = {1, 0, 0, 0}, y(4, T(-7));
        fir(x.data(), y.data(), 4, c.data(), 3, state.data());
        EXPECT_EQ(y, (std::vector<T>{17, 7, 1, 0}));
        EXPECT_EQ(state, (std::vector<T>{0, 0, 0}));
    }
}

TYPED_TEST(Fir, SingleTapScalesAndKeepsLastSample) {
    using T = TypeParam;
    Random gen(11);
    const auto x = gen.values<T>(37);
    std::vector<T> y(37), state = {T(123)};
    const T c = T(0.75);
    fir(x.data(), y.data(), 37, &c, 1, state.data());
    for (std::size_t i = 0; i < x.size(); ++i) EXPECT_EQ(y[i], T(double(c) * double(x[i])));
    EXPECT_EQ(state[0], x.back());
}

TYPED_TEST(Fir, ImpulseGivesReversedCoefficients) {
    using T = TypeParam;
    Random gen(12);
    for (int m : {1, 2, 5, 9, 33}) {
        const auto c = gen.values<T>(m);
        std::vector<T> x(3 * m + 5, T(0)), y(x.size()), state(m, T(0));
        x[0] = 1;
        fir(x.data(), y.data(), int(x.size()), c.data(), m, state.data());
        for (int d = 0; d < int(y.size()); ++d) EXPECT_EQ(y[d], d < m ? c[m - 1 - d] : T(0)) << d;
    }
}

// c = (0, ..., 0, 1) passes the signal; c = (1, 0, ..., 0) delays it by m-1
// samples, also across block boundaries and through blocks shorter than m.
TYPED_TEST(Fir, PassThroughAndDelayAcrossBlocks) {
    using T = TypeParam;
    Random gen(13);
    const int m = 7;
    const auto x = gen.values<T>(60);
    std::vector<T> pass(m, T(0)), delay(m, T(0));
    pass[m - 1] = 1;
    delay[0] = 1;
    std::vector<T> sp(m, T(0)), sd(m, T(0)), yp(x.size()), yd(x.size());
    for (int start = 0, len = 1; start < int(x.size()); start += len, len = len % 11 + 2) {
        const int n = std::min(len, int(x.size()) - start);
        fir(x.data() + start, yp.data() + start, n, pass.data(), m, sp.data());
        fir(x.data() + start, yd.data() + start, n, delay.data(), m, sd.data());
    }
    EXPECT_EQ(yp, x);
    for (int i = 0; i < int(x.size()); ++i) EXPECT_EQ(yd[i], i < m - 1 ? T(0) : x[i - (m - 1)]);
}

// Against the convolution in long double, and bit for bit against the defined
// summation, for short and long blocks and many tap counts.
TYPED_TEST(Fir, MatchesConvolution) {
    using T = TypeParam;
    const long double eps = std::numeric_limits<T>::epsilon();
    Random gen(14);
    for (int m : {1, 2, 3, 7, 8, 9, 16, 17, 64, 129}) {
        for (int n : {1, 2, 5, m - 1, m, m + 1, m + 8, 3 * m + 13}) {
            if (n < 1) continue;
            const auto c = gen.values<T>(m);
            auto state = gen.values<T>(m);
            const auto x = gen.values<T>(n);
            const auto e = extend(state, x);
            std::vector<T> y(n);
            fir(x.data(), y.data(), n, c.data(), m, state.data());
            for (int i = 0; i < n; ++i) {
                long double exact = 0, mag = 0;
                for (int k = 0; k < m; ++k) {
                    // e index of x[i - m + 1 + k] is i + 1 + k; state[0] is e[0].
                    exact += (long double)c[k] * e[i + 1 + k];
                    mag += std::fabs((long double)c[k] * e[i + 1 + k]);
                }
                EXPECT_LE(std::fabs(y[i] - exact), (m + 1) * eps * mag)
                    << m << " " << n << " " << i;
                EXPECT_EQ(y[i], defined_output(e, c, i)) << "m=" << m << " n=" << n << " i=" << i;
            }
            // The state is the last m samples of the extended sequence.
            EXPECT_TRUE(same_bits(state, std::vector<T>(e.end() - m, e.end())));
        }
    }
}

// A stream filtered in random blocks, many shorter than ntaps, gives the bits
// of one call; so does the same stream filtered in place.
TYPED_TEST(Fir, RandomBlocksAndInPlaceMatchOneCall) {
    using T = TypeParam;
    Random gen(15);
    for (int m : {1, 3, 8, 13, 40, 100}) {
        const auto c = gen.values<T>(m);
        const auto state0 = gen.values<T>(m);
        const auto x = gen.values<T>(6 * m + 50);
        const int total = int(x.size());

        std::vector<T> whole(total), state_whole = state0;
        fir(x.data(), whole.data(), total, c.data(), m, state_whole.data());

        for (int trial = 0; trial < 4; ++trial) {
            std::uniform_int_distribution<int> len(1, trial < 2 ? m + 2 : 2 * m + 10);
            std::vector<T> split(total), state = state0;
            std::vector<T> inplace = x, state_ip = state0;
            for (int start = 0; start < total;) {
                const int n = std::min(len(gen), total - start);
                fir(x.data() + start, split.data() + start, n, c.data(), m, state.data());
                fir(inplace.data() + start, inplace.data() + start, n, c.data(), m,
                    state_ip.data());
                start += n;
            }
            EXPECT_TRUE(same_bits(split, whole)) << "m=" << m << " trial " << trial;
            EXPECT_TRUE(same_bits(inplace, whole)) << "m=" << m << " trial " << trial;
            EXPECT_TRUE(same_bits(state, state_whole));
            EXPECT_TRUE(same_bits(state_ip, state_whole));
        }
    }
}

// The float filter sums in single precision, the double filter in double, on
// the same inputs; they agree to the float filter's accuracy.
TEST(FirTwins, FloatAccumulatesInSinglePrecision) {
    Random gen(16);
    const int m = 64, n = 500;
    const auto cd = gen.values<double>(m);
    const auto xd = gen.values<double>(n);
    std::vector<float> cf(cd.begin(), cd.end()), xf(xd.begin(), xd.end()), yf(n), sf(m, 0.0f);
    std::vector<double> cw(cf.begin(), cf.end()), xw(xf.begin(), xf.end()), yw(n), sw(m, 0.0);
    kwsig_fir(xf.data(), yf.data(), n, cf.data(), m, sf.data());
    kwsig_fir_double(xw.data(), yw.data(), n, cw.data(), m, sw.data());
    int differ = 0;
    for (int i = 0; i < n; ++i) {
        EXPECT_NEAR(yf[i], yw[i], 1e-4);
        differ += yf[i] != float(yw[i]);
    }
    // A double accumulator rounded once at the end would nearly always give
    // float(yw); summing in single precision mostly does not.
    EXPECT_GT(differ, n / 4);
}

TYPED_TEST(Fir, NonPositiveCountOrTapsWriteNothing) {
    using T = TypeParam;
    const std::vector<T> c = {1, 2, 3}, x = {4, 5, 6};
    for (auto [n, m] : {std::pair{0, 3}, {-2, 3}, {3, 0}, {3, -1}, {0, 0}}) {
        std::vector<T> y(3, T(-9)), state = {7, 8, 9};
        fir(x.data(), y.data(), n, c.data(), m, state.data());
        EXPECT_EQ(y, (std::vector<T>(3, T(-9))));
        EXPECT_EQ(state, (std::vector<T>{7, 8, 9}));
    }
}

}  // namespace
