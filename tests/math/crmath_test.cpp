// The library's sine, cosine and logarithm against MPFR: every result must be
// the correctly rounded one.
#include <gtest/gtest.h>

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "frame/cpu.h"
#include "math/crmath.h"
#include "mpfr_reference.h"

namespace {

using mathref::Fn;
using mathref::kCos;
using mathref::kLog;
using mathref::kSin;

double from_bits(uint64_t u) {
    double x;
    std::memcpy(&x, &u, sizeof x);
    return x;
}

// Every argument against MPFR; reports the first few misroundings.
void expect_correctly_rounded(Fn f, const std::vector<double> &args, double (*fn)(Fn, double) = mathref::own) {
    int wrong = 0;
    for (double x : args) {
        const double got = fn(f, x), want = mathref::correctly_rounded(f, x);
        if (mathref::same_bits(got, want)) continue;
        if (++wrong <= 5)
            ADD_FAILURE() << mathref::name(f) << "(" << std::hexfloat << x << ") = " << got << ", correctly rounded "
                          << want;
    }
    EXPECT_EQ(wrong, 0) << mathref::name(f) << ": misrounded " << wrong << " of " << args.size();
}

// Angles and values of the kinds the library passes: window and kernel angles
// (multiples of small steps up to a few pi), resampler-response arguments up
// to 11 * 5 pi, FFT stage angles 2 pi / 2^s; powers for decibels.
std::vector<double> library_arguments(Fn f, std::size_t n, unsigned seed) {
    std::mt19937_64 g(seed);
    std::vector<double> v;
    v.reserve(n);
    for (std::size_t i = 0; v.size() < n; ++i) {
        double x;
        if (f == kLog) {
            switch (i % 3) {
            case 0: x = std::uniform_real_distribution<double>(0.0, 1e6)(g); break;
            case 1: x = std::ldexp(std::uniform_real_distribution<double>(1.0, 2.0)(g), int(g() % 140) - 100); break;
            default: x = std::uniform_real_distribution<double>(0.0, 4.0)(g); break;
            }
            if (x == 0.0) continue;
        } else {
            switch (i % 4) {
            case 0: x = std::uniform_real_distribution<double>(-200.0, 200.0)(g); break;
            case 1: x = double(g() % 9) * (6.283185307307959 / double(2 + g() % 8192)); break;
            case 2: x = 3.141592653589793 * (11.0 * std::uniform_real_distribution<double>(-5.0, 5.0)(g)); break;
            default: x = -6.28318530717959 / std::ldexp(1.0, int(g() % 30)); break;
            }
        }
        v.push_back(x);
    }
    return v;
}

// Random bit patterns: every finite double equally likely (log: their magnitudes).
std::vector<double> whole_range(Fn f, std::size_t n, unsigned seed) {
    std::mt19937_64 g(seed);
    std::vector<double> v;
    v.reserve(n);
    while (v.size() < n) {
        const double x = from_bits(g());
        if (std::isfinite(x)) v.push_back(f == kLog ? std::fabs(x) : x);
    }
    return v;
}

class CrMath : public ::testing::TestWithParam<Fn> {};

TEST_P(CrMath, RandomArgumentsOfTheLibrarysKinds) {
    expect_correctly_rounded(GetParam(), library_arguments(GetParam(), 400000, 11 + GetParam()));
}

TEST_P(CrMath, RandomArgumentsOverTheWholeDoubleRange) {
    expect_correctly_rounded(GetParam(), whole_range(GetParam(), 600000, 23 + GetParam()));
}

// A tenth of the published hardest-to-round sines and cosines, a thirtieth of
// the logarithms; the fast path leaves many of them to the accurate path,
// which is also checked on its own.
TEST_P(CrMath, PublishedHardCases) {
    const auto args = mathref::read_arguments(std::string(KWSIG_MATH_HARDCASES) + "/" +
                                              mathref::name(GetParam()) + ".txt");
    ASSERT_GT(args.size(), 3900u);
    expect_correctly_rounded(GetParam(), args);
    expect_correctly_rounded(GetParam(), args, mathref::own_accurate);
}

TEST_P(CrMath, AccuratePathAloneOnRandomArguments) {
    auto args = library_arguments(GetParam(), 10000, 37);
    const auto more = whole_range(GetParam(), 10000, 41);
    args.insert(args.end(), more.begin(), more.end());
    expect_correctly_rounded(GetParam(), args, mathref::own_accurate);
}

// The fast path's error bound, the ground of its rounding test, holds: the
// distance from the exact value to hi + lo never exceeds the bound it reports.
TEST_P(CrMath, FastPathStaysWithinItsErrorBound) {
    const Fn f = GetParam();
    auto args = library_arguments(f, 50000, 53);
    const auto more = whole_range(f, 50000, 59);
    args.insert(args.end(), more.begin(), more.end());
    double worst = 0;
    int evaluated = 0;
    for (double x : args) {
        kwsig::math::DD v;
        double err;
        const bool fast = f == kLog ? kwsig::math::log_fast_dd(x, &v, &err)
                                    : kwsig::math::sin_cos_fast_dd(x, f == kCos, &v, &err);
        if (!fast) continue;
        ++evaluated;
        const double e = mathref::error_of(f, x, v.hi, v.lo);
        worst = std::max(worst, e / err);
        ASSERT_LE(e, err) << mathref::name(f) << "(" << std::hexfloat << x << ")";
        // The bound (below 2^-65.5 relative) lets the rounding test decide nearly always.
        ASSERT_LE(err, 0x1.6a09e667f3bcdp-66 * std::fabs(v.hi)) << std::hexfloat << x;
    }
    EXPECT_GT(evaluated, 40000);
    RecordProperty("worst_error_over_bound", std::to_string(worst));
}

// The doubles nearest to k pi/2 (and their neighbours), for k = 1 .. 20000
// and for a few multiples at the bottom of every binade up to 2^1023: the
// reduced argument is at its smallest there.
TEST(CrMathTrig, DoublesNearestToMultiplesOfHalfPi) {
    mpfr_t halfpi, t;
    mpfr_inits2(2200, halfpi, t, static_cast<mpfr_ptr>(nullptr));
    mpfr_const_pi(halfpi, MPFR_RNDN);
    mpfr_div_2ui(halfpi, halfpi, 1, MPFR_RNDN);
    std::vector<double> args;
    auto add = [&](double x) {
        for (double y : {x, std::nextafter(x, 0.0), std::nextafter(x, INFINITY)}) {
            args.push_back(y);
            args.push_back(-y);
        }
    };
    for (unsigned k = 1; k <= 20000; ++k) {
        mpfr_mul_ui(t, halfpi, k, MPFR_RNDN);
        add(mpfr_get_d(t, MPFR_RNDN));
    }
    for (int e = 1; e <= 1023; ++e) {
        // k from 2^e / (pi/2) on: multiples of pi/2 just above 2^e
        mpfr_set_ui_2exp(t, 1, e, MPFR_RNDN);
        mpfr_div(t, t, halfpi, MPFR_RNDU);
        mpfr_ceil(t, t);
        for (int d = 0; d < 4; ++d) {
            mpfr_t m;
            mpfr_init2(m, 2200);
            mpfr_add_ui(m, t, unsigned(d), MPFR_RNDN);
            mpfr_mul(m, m, halfpi, MPFR_RNDN);
            const double x = mpfr_get_d(m, MPFR_RNDN);
            mpfr_clear(m);
            if (std::isfinite(x)) add(x);
        }
    }
    mpfr_clears(halfpi, t, static_cast<mpfr_ptr>(nullptr));
    expect_correctly_rounded(kSin, args);
    expect_correctly_rounded(kCos, args);
}

TEST(CrMathLog, ArgumentsNearOne) {
    std::vector<double> args;
    for (int i = 1; i <= 20000; ++i) {
        args.push_back(1.0 + i * DBL_EPSILON);
        args.push_back(1.0 - i * (DBL_EPSILON / 2));
    }
    for (int j = 1; j <= 60; ++j) {
        args.push_back(1.0 + std::ldexp(1.0, -j));
        args.push_back(1.0 - std::ldexp(1.0, -j));
        args.push_back(std::nextafter(1.0 + std::ldexp(1.0, -j), 2.0));
    }
    std::mt19937_64 g(71);
    for (int i = 0; i < 20000; ++i)
        args.push_back(std::uniform_real_distribution<double>(1.0 - 0x1p-7, 1.0 + 0x1p-7)(g));
    expect_correctly_rounded(kLog, args);
}

TEST_P(CrMath, HugeTinyAndSubnormalArguments) {
    std::vector<double> args;
    for (int e = -1074; e <= 1023; ++e) {
        const double p = std::ldexp(1.0, e);
        args.push_back(p);
        args.push_back(std::nextafter(p, 0.0));
        args.push_back(std::nextafter(p, INFINITY));
    }
    for (double x : {DBL_MAX, DBL_MIN, DBL_TRUE_MIN, 0x1p-26, 0x1p-27, 0x1.fffffffffffffp-27,
                     0x1.fffffffffffffp-28, 0x1p19, 0x1.fffffffffffffp18})
        args.push_back(x);
    std::mt19937_64 g(83);
    for (int i = 0; i < 20000; ++i) args.push_back(from_bits(g() >> 12));  // subnormals
    if (GetParam() != kLog) {
        const std::size_t n = args.size();
        for (std::size_t i = 0; i < n; ++i) args.push_back(-args[i]);
    }
    expect_correctly_rounded(GetParam(), args);
}

INSTANTIATE_TEST_SUITE_P(Fns, CrMath, ::testing::Values(kSin, kCos, kLog),
                         [](const ::testing::TestParamInfo<Fn> &p) { return std::string(mathref::name(p.param)); });

TEST(CrMathSpecial, ValuesAsCSpecifiesAndNoErrno) {
    const double inf = INFINITY, nan = NAN;
    errno = 0;
    EXPECT_TRUE(std::isnan(kwsig::math::sin(inf)));
    EXPECT_TRUE(std::isnan(kwsig::math::sin(-inf)));
    EXPECT_TRUE(std::isnan(kwsig::math::cos(inf)));
    EXPECT_TRUE(std::isnan(kwsig::math::cos(-inf)));
    EXPECT_TRUE(std::isnan(kwsig::math::sin(nan)));
    EXPECT_TRUE(std::isnan(kwsig::math::cos(nan)));
    EXPECT_TRUE(std::isnan(kwsig::math::log(nan)));
    EXPECT_TRUE(std::isnan(kwsig::math::log(-1.0)));
    EXPECT_TRUE(std::isnan(kwsig::math::log(-DBL_TRUE_MIN)));
    EXPECT_TRUE(std::isnan(kwsig::math::log(-inf)));
    EXPECT_EQ(kwsig::math::log(inf), inf);
    EXPECT_EQ(kwsig::math::log(0.0), -inf);
    EXPECT_EQ(kwsig::math::log(-0.0), -inf);
    EXPECT_EQ(errno, 0);
    EXPECT_TRUE(mathref::same_bits(kwsig::math::sin(0.0), 0.0));
    EXPECT_TRUE(mathref::same_bits(kwsig::math::sin(-0.0), -0.0));
    EXPECT_TRUE(mathref::same_bits(kwsig::math::sin(-DBL_TRUE_MIN), -DBL_TRUE_MIN));
    EXPECT_EQ(kwsig::math::cos(0.0), 1.0);
    EXPECT_EQ(kwsig::math::cos(-0.0), 1.0);
    EXPECT_TRUE(mathref::same_bits(kwsig::math::log(1.0), 0.0));  // +0, not -0
}

}  // namespace

// A four-lane function of the AVX2 paths (log4, sin4) against its scalar
// function f: every lane it decides is f's result, bit for bit, only
// arguments for which fast(x) holds are decided, and nearly all of those are.
template <typename F4, typename F, typename Fast>
void expect_four_lanes_give_bits(F4 f4, F f, Fast fast, std::vector<double> args) {
    while (args.size() % 4) args.push_back(1.5);
    int decided = 0, in_range = 0;
    for (std::size_t i = 0; i < args.size(); i += 4) {
        double y[4];
        const int left = f4(&args[i], y);
        for (int k = 0; k < 4; ++k) {
            const double x = args[i + std::size_t(k)];
            in_range += fast(x);
            if ((left >> k) & 1) continue;
            ++decided;
            ASSERT_TRUE(fast(x)) << std::hexfloat << x << " not left to the scalar function";
            ASSERT_TRUE(mathref::same_bits(y[k], f(x))) << std::hexfloat << x;
        }
    }
    EXPECT_GT(decided, in_range * 95 / 100);
}

// log4 leaves every argument that is not a positive normal finite double.
TEST(CrMathLog, FourLanesGiveLogsBits) {
    if (kwsig::cpu_isa() < kwsig::Isa::avx2) GTEST_SKIP() << "no AVX2";
    auto args = library_arguments(kLog, 100000, 61);
    const auto more = whole_range(kLog, 100000, 67);
    args.insert(args.end(), more.begin(), more.end());
    for (int e = -1074; e <= 1023; ++e)
        for (double x : {std::ldexp(1.0, e), std::nextafter(std::ldexp(1.0, e), 0.0)}) args.push_back(x);
    for (int i = 1; i <= 4000; ++i) args.push_back(1.0 + i * DBL_EPSILON), args.push_back(1.0 - i * DBL_EPSILON / 2);
    args.insert(args.end(), {0.0, -0.0, 1.0, -1.0, INFINITY, -INFINITY, NAN, DBL_MIN, DBL_TRUE_MIN, DBL_MAX});
    expect_four_lanes_give_bits(kwsig::math::log4, [](double x) { return kwsig::math::log(x); },
                                [](double x) { return x >= DBL_MIN && x <= DBL_MAX; }, args);
    // log_each: log()'s bits in every lane, the scalar fallbacks and a tail
    // shorter than its groups of eight included.
    while (args.size() % 8 != 5) args.push_back(0.75);
    std::vector<double> y(args.size());
    kwsig::math::log_each(args.data(), y.data(), args.size());
    for (std::size_t i = 0; i < args.size(); ++i)
        ASSERT_TRUE(mathref::same_bits(y[i], kwsig::math::log(args[i]))) << std::hexfloat << args[i];
}

// sin4 leaves the arguments outside 2^-26 <= |x| < 2^10.
TEST(CrMathTrig, FourLanesGiveSinsBits) {
    if (kwsig::cpu_isa() < kwsig::Isa::avx2) GTEST_SKIP() << "no AVX2";
    auto args = library_arguments(kSin, 100000, 71);
    const auto more = whole_range(kSin, 100000, 73);
    args.insert(args.end(), more.begin(), more.end());
    for (int s = 1; s <= 32; ++s)  // the FFT's stage angles and their halves, both signs
        for (double a : {6.28318530717959 / std::ldexp(1.0, s), 3.14159265358979 / std::ldexp(1.0, s)})
            args.push_back(a), args.push_back(-a);
    for (int k = 1; k <= 2000; ++k) {  // the doubles nearest to k pi/2 and their neighbours
        const double x = k * 1.5707963267948966;
        args.push_back(x), args.push_back(std::nextafter(x, 0.0)), args.push_back(std::nextafter(x, 2e4));
    }
    args.insert(args.end(), {0.0, -0.0, 0x1p-26, -0x1p-27, 0x1p10, -0x1.fffffffffffffp9, INFINITY, NAN});
    expect_four_lanes_give_bits(kwsig::math::sin4, [](double x) { return kwsig::math::sin(x); },
                                [](double x) { return std::fabs(x) >= 0x1p-26 && std::fabs(x) < 0x1p10; },
                                args);
}
