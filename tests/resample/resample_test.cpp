// Streaming resampler, both twins: kernel weights, phase boundaries, streams
// cut into blocks, output counts, a resampled sine against the analytic one,
// and calls with unsafe arguments.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>
#include <vector>

#include "kwsig.h"
#include "support/twins.h"

namespace {

using twin::random_values;
using twin::resample;
using twin::same_bits;

// A stream's state and the calls on it.
template <typename T>
struct Stream {
    T phase;
    std::vector<T> history;
    explicit Stream(T p, std::vector<T> h = std::vector<T>(11, T(0))) : phase(p), history(h) {}

    // One call; returns the outputs it wrote.
    std::vector<T> call(const T *in, int nin, int cap, T step) {
        std::vector<T> out(std::size_t(std::max(cap, 0)) + 1);
        int nw = -1;
        resample(in, nin, out.data(), cap, &nw, &phase, step, history.data());
        EXPECT_GE(nw, 0);
        out.resize(std::size_t(nw));
        return out;
    }
    // One call with room for every output its input yields, sized by the
    // header's bound: one more than the most outputs the call can write.
    std::vector<T> feed(const T *in, int nin, T step) {
        const int cap = max_outputs(nin, phase, step) + 1;
        auto out = call(in, nin, cap, step);
        EXPECT_LT(int(out.size()), cap) << "phase " << phase << " step " << step;
        return out;
    }

    static int max_outputs(int nin, T phase, T step) {
        const double e = std::is_same<T, float>::value ? 0x1p-20 : 0x1p-49;
        const double n = std::floor((std::max(nin, 0) * (1 + e) - 5.5 - phase) / (step - e)) + 1;
        return n > 0 ? int(n) : 0;
    }
};

template <typename T>
class Resample : public ::testing::Test {};
using Precisions = ::testing::Types<float, double>;
TYPED_TEST_SUITE(Resample, Precisions);

// Kernel values at 0 .. 5 periods.
const double kAtPeriods[6] = {0.30895236, 0.23140712, 0.09421188,
                              0.01858311, 0.00131309, 0.0000106768};

// Output weight of history[k] for an output at `phase`: a unit impulse at k.
template <typename T>
double weight(int k, T phase) {
    Stream<T> s(phase);
    s.history[std::size_t(k)] = T(1);
    const auto out = s.call(nullptr, 0, 1, T(1));
    EXPECT_EQ(out.size(), 1u);
    return out.empty() ? 0.0 : double(out[0]);
}

// An output on an input sample (phase -6) is no copy of it: it weights its
// neighbours with the kernel at whole periods, symmetrically.
TYPED_TEST(Resample, OutputOnAnInputSampleWeightsItsNeighbours) {
    using T = TypeParam;
    for (int k = 0; k < 11; ++k) {
        const int periods = std::abs(k - 5);
        EXPECT_NEAR(weight<T>(k, T(-6)), kAtPeriods[periods], periods == 5 ? 6e-10 : 6e-9)
            << "history[" << k << "]";
        EXPECT_EQ(weight<T>(k, T(-6)), weight<T>(10 - k, T(-6)));
    }
}

// The eleven weights of any output sum to 1.0000034 .. 1.0000042. The double
// twin shows the sum itself; the float twin rounds the running sum to float
// after each of the 11 taps (half a unit of 2^-23 each).
TYPED_TEST(Resample, WeightsSumToOneOverAPhaseSweep) {
    using T = TypeParam;
    const double slack = std::is_same<T, float>::value ? 11 * 0x1p-24 : 1e-15;
    const std::vector<T> ones(11, T(1));
    double lo = 2, hi = 0;
    for (int m = 0; m <= 4000; ++m) {
        // From just above -6.5 to -5.5 inclusive.
        T phase = m == 0 ? std::nextafter(T(-6.5), T(0)) : T(-6.5 + m / 4000.0);
        Stream<T> s(phase, ones);
        const auto out = s.call(nullptr, 0, 1, T(1));
        ASSERT_EQ(out.size(), 1u) << "phase " << phase;
        lo = std::min(lo, double(out[0]));
        hi = std::max(hi, double(out[0]));
    }
    EXPECT_GE(lo, 1.0000034 - slack);
    EXPECT_LE(hi, 1.0000042 + slack);
}

// -5.5 computes an output, anything above asks for input; -6.5 at the start
// of a call is a leading zero, anything above is computed.
TYPED_TEST(Resample, BoundaryPhases) {
    using T = TypeParam;
    const auto h = random_values<T>(11, 7);
    {
        Stream<T> s(T(-5.5), h);
        const auto out = s.call(nullptr, 0, 4, T(1));
        ASSERT_EQ(out.size(), 1u);
        EXPECT_NE(out[0], T(0));
        EXPECT_EQ(s.phase, T(-4.5));
        EXPECT_TRUE(same_bits(s.history, h));
    }
    {
        Stream<T> s(std::nextafter(T(-5.5), T(0)), h);
        EXPECT_TRUE(s.call(nullptr, 0, 4, T(1)).empty());
        EXPECT_EQ(s.phase, std::nextafter(T(-5.5), T(0)));
    }
    {
        Stream<T> s(T(-6.5), h);
        const auto out = s.call(nullptr, 0, 1, T(0.25));
        ASSERT_EQ(out.size(), 1u);
        EXPECT_TRUE(same_bits(out[0], T(0)));
        EXPECT_EQ(s.phase, T(-6.25));
    }
    {
        Stream<T> s(std::nextafter(T(-6.5), T(0)), h);
        const auto out = s.call(nullptr, 0, 1, T(0.25));
        ASSERT_EQ(out.size(), 1u);
        EXPECT_NE(out[0], T(0));
    }
}

// Leading zeros come one per step while the phase is at or below -6.5, then
// the history is used.
TYPED_TEST(Resample, LeadingZerosThenOutputs) {
    using T = TypeParam;
    const auto h = random_values<T>(11, 8);
    Stream<T> s(T(-8), h);
    const auto out = s.call(nullptr, 0, 100, T(0.5));
    // Phases -8, -7.5, -7, -6.5 give zeros; -6, -5.5 are computed.
    ASSERT_EQ(out.size(), 6u);
    for (int j = 0; j < 4; ++j) EXPECT_TRUE(same_bits(out[j], T(0)));
    EXPECT_NE(out[4], T(0));
    EXPECT_NE(out[5], T(0));
    EXPECT_EQ(s.phase, T(-5));
}

// No room: nothing written, nothing consumed, the state untouched.
TYPED_TEST(Resample, NoOutputRoom) {
    using T = TypeParam;
    const auto h = random_values<T>(11, 9);
    const auto in = random_values<T>(50, 10);
    for (int cap : {0, -1, -1000}) {
        for (T phase : {T(-8), T(-6), T(0)}) {
            Stream<T> s(phase, h);
            T out[2] = {T(42), T(43)};
            int nw = -5;
            resample(in.data(), 50, out, cap, &nw, &s.phase, T(0.5), s.history.data());
            EXPECT_EQ(nw, 0);
            EXPECT_EQ(out[0], T(42));
            EXPECT_EQ(out[1], T(43));
            EXPECT_TRUE(same_bits(s.phase, phase));
            EXPECT_TRUE(same_bits(s.history, h));
        }
    }
}

// Without input, a phase at or below -5.5 still yields outputs from the
// history until it passes -5.5. A negative count acts as no input.
TYPED_TEST(Resample, PendingOutputsWithoutInput) {
    using T = TypeParam;
    const auto h = random_values<T>(11, 11);
    for (int nin : {0, -3}) {
        Stream<T> s(T(-6.375), h);
        T dummy = T(99);
        const auto out = s.call(&dummy, nin, 100, T(0.25));
        EXPECT_EQ(out.size(), 4u);  // -6.375, -6.125, -5.875, -5.625
        EXPECT_EQ(s.phase, T(-5.375));
        EXPECT_TRUE(same_bits(s.history, h));
    }
}

// A stream cut into random blocks, each call ending for lack of input, gives
// exactly the outputs and the state of one call over all the input.
TYPED_TEST(Resample, BlocksEqualOneCall) {
    using T = TypeParam;
    const int n = 6000;
    const auto in = random_values<T>(n, 12);
    twin::Random gen(13);
    for (double step : {1.0, 0.5, 44100.0 / 48000.0, 48000.0 / 44100.0, 3.0, 1.0 / 3.0, 0.05}) {
        const T st = T(step);
        Stream<T> whole(T(-2.25), random_values<T>(11, 14));
        const auto want = whole.feed(in.data(), n, st);

        Stream<T> cut(T(-2.25), random_values<T>(11, 14));
        std::vector<T> got;
        for (int i = 0; i < n;) {
            const int len = std::min(n - i, int(gen() % 40));
            const auto part = cut.feed(in.data() + i, len, st);
            got.insert(got.end(), part.begin(), part.end());
            i += len;
        }
        EXPECT_TRUE(same_bits(got, want)) << "step " << step;
        EXPECT_TRUE(same_bits(cut.phase, whole.phase)) << "step " << step;
        EXPECT_TRUE(same_bits(cut.history, whole.history)) << "step " << step;
    }
}

// A call that ends on a full output array keeps its pending outputs: a call
// without input drains them. Feeding the rest of the input (from the first
// sample not consumed, found from the history) completes the stream exactly.
TYPED_TEST(Resample, FullOutputArrayThenDrain) {
    using T = TypeParam;
    const int n = 400;
    const auto in = random_values<T>(n, 15);
    std::size_t drains = 0;
    for (double step : {0.25, 0.5, 44100.0 / 48000.0, 2.0, 0.1}) {
        const T st = T(step);
        Stream<T> whole(T(-6));
        const auto want = whole.feed(in.data(), n, st);

        Stream<T> s(T(-6));
        auto got = s.call(in.data(), n, 37, st);
        ASSERT_EQ(got.size(), 37u);
        const bool pending = s.phase <= T(-5.5);
        const auto drained = s.call(nullptr, 0, 1000, st);
        got.insert(got.end(), drained.begin(), drained.end());
        EXPECT_EQ(drained.empty(), !pending) << "step " << step;
        EXPECT_GT(s.phase, T(-5.5));
        drains += drained.size();
        // Consumed samples: the history holds input[used - 11 .. used - 1], the
        // stream's silence before input 0 included.
        std::vector<T> padded(11, T(0));
        padded.insert(padded.end(), in.begin(), in.end());
        int used = -1;
        for (int u = 1; u <= n; ++u)
            if (std::equal(s.history.begin(), s.history.end(), padded.begin() + u)) used = u;
        ASSERT_GT(used, 0) << "step " << step;
        const auto rest = s.feed(in.data() + used, n - used, st);
        got.insert(got.end(), rest.begin(), rest.end());
        EXPECT_TRUE(same_bits(got, want)) << "step " << step;
        EXPECT_TRUE(same_bits(s.phase, whole.phase)) << "step " << step;
    }
    EXPECT_GT(drains, 0u);
}

// Outputs lie at phase0 + j * step from input sample 0; output j is produced
// once the input reaches 5.5 periods past it. A long stream of n samples thus
// yields floor((n - 5.5 - phase0) / step) + 1 outputs, up to the rounding of
// the phase; each block of a running stream about its length / step.
TYPED_TEST(Resample, OutputCountFollowsTheStep) {
    using T = TypeParam;
    const int n = 200000;
    const auto in = random_values<T>(n, 16);
    twin::Random gen(17);
    for (double step : {44100.0 / 48000.0, 48000.0 / 44100.0, 0.25, 3.0, 160.0 / 147.0}) {
        const T st = T(step);
        const double phase0 = -6;
        Stream<T> s{T(phase0)};
        long total = 0;
        for (int i = 0; i < n;) {
            const int len = std::min(n - i, 500 + int(gen() % 1000));
            const long got = long(s.feed(in.data() + i, len, st).size());
            if (i > 0) {
                EXPECT_LE(std::abs(got - len / double(st)), 1.0 + 1e-9);
            }
            total += got;
            i += len;
        }
        const double want = std::floor((n - 5.5 - phase0) / double(st)) + 1;
        // The float phase is rounded at every update; 2^-22 per update bounds it.
        const double drift = std::is_same<T, float>::value ? (n + n / double(st)) * 0x1p-22 : 1e-6;
        EXPECT_LE(std::fabs(double(total) - want), 1 + drift / double(st)) << "step " << step;
    }
}

// The header's bound holds for single calls anywhere in its range (feed checks
// that every call ends with room to spare), and is close: a call writes at
// least the exact-arithmetic count minus the phase drift. Six zeros end a
// stream: the double twin then has written every output before the end of
// the input, and fewer than 0.5 / step + 1 after it.
TYPED_TEST(Resample, OutputBoundAndStreamEnd) {
    using T = TypeParam;
    const auto in = random_values<T>(40000, 23);
    twin::Random gen(24);
    for (int trial = 0; trial < 300; ++trial) {
        const T step = T(std::exp(std::log(1e-3) + gen.uniform(0, 1) * std::log(16 / 1e-3)));
        const T phase = T(-16 + 32 * gen.uniform(0, 1));
        const int n = std::min(int(gen() % (trial % 10 == 0 ? 40000 : 400)), int(2e5 * step));
        Stream<T> s(phase);
        const double got = double(s.feed(in.data(), n, step).size());
        const double exact = std::max(0.0, std::floor((n - 5.5 - phase) / double(step)) + 1);
        EXPECT_GE(got, exact - 1 - (n + got) * 0x1p-21 / double(step)) << n << " " << step;
    }
    if (!std::is_same<T, double>::value) return;
    for (const double rates : {44100.0 / 48000.0, 48000.0 / 44100.0, 8000.0 / 44100.0, 3.0}) {
        const int n = 30011;
        Stream<T> s{T(0)};
        long total = 0;
        for (int i = 0; i < n + 6;) {
            const int len = std::min(n + 6 - i, 1 + int(gen() % 3000));
            std::vector<T> block(std::size_t(len), T(0));
            for (int j = 0; j < len && i + j < n; ++j) block[std::size_t(j)] = in[std::size_t(i + j)];
            total += long(s.feed(block.data(), len, T(rates)).size());
            i += len;
        }
        const long wanted = long(std::ceil(n / rates));
        EXPECT_GE(total, wanted) << "step " << rates;
        EXPECT_LT(total - wanted, 0.5 / rates + 1) << "step " << rates;
    }
}

// Float and double twins follow the same arithmetic and agree to float
// precision.
TEST(ResampleTwins, Agree) {
    const int n = 3000;
    const auto d = random_values<double>(n, 18);
    const std::vector<float> f(d.begin(), d.end());
    const std::vector<double> fd(f.begin(), f.end());
    for (double step : {0.5, 2.0, 0.9375, 1.25}) {  // steps exact in float: same output positions
        Stream<float> sf(-3.0f);
        Stream<double> sd(-3.0);
        const auto of = sf.feed(f.data(), n, float(step));
        const auto od = sd.feed(fd.data(), n, step);
        ASSERT_EQ(of.size(), od.size());
        double worst = 0;
        for (std::size_t j = 0; j < of.size(); ++j) worst = std::max(worst, std::fabs(of[j] - od[j]));
        EXPECT_LT(worst, 2e-6) << "step " << step;
    }
}

}  // namespace

namespace {

// Unsafe arguments: a negative or non-finite step, or a non-finite phase.
// The call sets *nwritten = 0 and touches nothing else.
TYPED_TEST(Resample, UnsafeArgumentsChangeNothing) {
    using T = TypeParam;
    const T inf = std::numeric_limits<T>::infinity();
    const T nan = std::numeric_limits<T>::quiet_NaN();
    const auto h = random_values<T>(11, 19);
    const auto in = random_values<T>(64, 20);
    struct Args {
        T phase, step;
    };
    const Args cases[] = {{T(-6), T(-0.5)},  {T(-6), -std::numeric_limits<T>::denorm_min()},
                          {T(-8), T(-1)},    {T(0), -inf},
                          {T(-6), inf},      {T(-6), nan},
                          {nan, T(1)},       {inf, T(1)},
                          {-inf, T(1)},      {nan, nan}};
    for (const Args &a : cases) {
        std::vector<T> out(40, T(7));  // guard values
        T phase = a.phase;
        std::vector<T> hist = h;
        int nw = 123;
        resample(in.data(), 64, out.data(), 40, &nw, &phase, a.step, hist.data());
        EXPECT_EQ(nw, 0) << "phase " << a.phase << " step " << a.step;
        EXPECT_TRUE(same_bits(phase, a.phase)) << "phase " << a.phase << " step " << a.step;
        EXPECT_TRUE(same_bits(hist, h)) << "phase " << a.phase << " step " << a.step;
        EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](T v) { return v == T(7); }));
    }
}

// A zero step repeats one output until the output array is full, consuming
// nothing; below -6.5 it repeats the leading zero. Extreme finite steps and
// phases stay within the kernel (the address sanitizer watches the table).
TYPED_TEST(Resample, ZeroAndExtremeStepsStayBounded) {
    using T = TypeParam;
    const auto h = random_values<T>(11, 21);
    const auto in = random_values<T>(64, 22);
    {
        Stream<T> s(T(-6), h);
        const auto out = s.call(in.data(), 64, 9, T(0));
        ASSERT_EQ(out.size(), 9u);
        for (const T v : out) EXPECT_TRUE(same_bits(v, out[0]));
        EXPECT_NE(out[0], T(0));
        EXPECT_EQ(s.phase, T(-6));
        EXPECT_TRUE(same_bits(s.history, h));
    }
    {
        Stream<T> s(T(-7), h);
        const auto out = s.call(in.data(), 64, 5, T(-0.0));
        ASSERT_EQ(out.size(), 5u);
        for (const T v : out) EXPECT_TRUE(same_bits(v, T(0)));
    }
    const T big = std::numeric_limits<T>::max();
    const T tiny = std::numeric_limits<T>::denorm_min();
    for (T phase : {T(-6), -big, big, T(-6.5), T(-5.5)}) {
        for (T step : {tiny, T(1e-3), T(1), T(1e6), big}) {
            Stream<T> s(phase, h);
            const auto out = s.call(in.data(), 64, 200, step);
            EXPECT_LE(out.size(), 200u);
            EXPECT_TRUE(std::isfinite(s.phase));
            for (const T v : out) EXPECT_TRUE(std::isfinite(v));
        }
    }
}

// A sine x[m] = sin(2 pi f m + p) resampled gives, by Poisson summation over
// the kernel, y(t) = sum_l K(f + l) sin(2 pi (f + l) t + p): the response
// times the sine at the output's time, plus images at f + l, l != 0. The
// bound is the sum of those image gains plus what the tabulated, linearly
// interpolated kernel adds: each of the 11 weights is within 2e-6 of the
// continuous kernel (checked by the kernel table's own tests).
template <typename T>
void check_sine(double f, double step, double tolerance_extra) {
    const int n = 4000;
    const double p = 0.7;
    const double two_pi = 2 * 3.14159265358979323846;
    std::vector<T> x(static_cast<std::size_t>(n));
    for (int m = 0; m < n; ++m) x[m] = T(std::sin(two_pi * f * m + p));

    double gain = 0;
    kwsig_resamp_resp(&gain, 1, f, f);
    double images = 0;
    for (int l = 1; l <= 200; ++l) {
        double up = 0, down = 0;
        kwsig_resamp_resp(&up, 1, f + l, f + l);
        kwsig_resamp_resp(&down, 1, f - l, f - l);
        images += std::fabs(up) + std::fabs(down);
    }
    const double bound = images + 11 * 2e-6 + tolerance_extra;

    const double phase0 = 0.0;  // output j at phase0 + j*step from input 0
    Stream<T> s{T(phase0)};
    const auto y = s.feed(x.data(), n, T(step));
    ASSERT_GT(y.size(), 100u);
    double worst = 0;
    for (std::size_t j = 0; j < y.size(); ++j) {
        const double t = phase0 + double(j) * step;
        if (t < 6) continue;  // kernel still reaches the silence before the stream
        const double want = gain * std::sin(two_pi * f * t + p);
        worst = std::max(worst, std::fabs(double(y[j]) - want));
    }
    EXPECT_LE(worst, bound) << "f " << f << " step " << step << " gain " << gain;
    // The response is no formality: without it the error would be far larger.
    if (gain < 0.999) {
        EXPECT_GT(1 - gain, 10 * bound);
    }
}

// 44100 Hz to 48000 Hz and doubling the rate, for tones at several
// frequencies. The float twin uses steps exact in float (15/16 for the rate
// change): its phase then has no rounding to drift with; its samples and
// running sum add their float rounding.
TEST(ResampleSine, DoubleFollowsTheResponse) {
    for (double f : {0.01, 0.05, 1000.0 / 44100, 0.1, 0.2}) {
        check_sine<double>(f, 44100.0 / 48000.0, 1e-12);
        check_sine<double>(f, 0.5, 1e-12);
        check_sine<double>(f, 2.0, 1e-12);
    }
}

TEST(ResampleSine, FloatFollowsTheResponse) {
    for (double f : {0.01, 0.05, 0.1, 0.2}) {
        check_sine<float>(f, 0.9375, 1.5e-6);
        check_sine<float>(f, 0.5, 1.5e-6);
    }
}

}  // namespace
