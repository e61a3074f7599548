// Every path of the complex FFT (plain loops, SSE2, AVX2: those this machine
// runs) gives the bits of the plain radix-2 transform, at every size from 2
// points to past the sizes whose early stages run block by block, and every
// path reproduces the golden cases of the complex and real transforms.
#include <gtest/gtest.h>

#include <cstddef>
#include <utility>
#include <vector>

#include "frame/numeric.h"
#include "frame/rotation.h"
#include "kwsig.h"
#include "support/golden_check.h"
#include "support/isa.h"
#include "support/twins.h"

namespace {

using twin::same_bits;

// The transform as written at the top of fft.cpp, one butterfly at a time:
// bit reversal by reversing each index, then stage by stage, each stage's
// twiddles from its own rotation started at (1, 0), every operation in double
// and every stored value rounded to T.
template <typename T>
void plain_fft(std::vector<T> &d, std::size_t n, int direction) {
    int bits = 0;
    while ((std::size_t(1) << bits) < n) ++bits;
    for (std::size_t i = 0; i < n; ++i) {
        std::size_t r = 0;
        for (int b = 0; b < bits; ++b) r |= ((i >> b) & 1) << (bits - 1 - b);
        if (i < r) {
            std::swap(d[2 * i], d[2 * r]);
            std::swap(d[2 * i + 1], d[2 * r + 1]);
        }
    }
    for (std::size_t g = 2; g <= n; g *= 2) {
        const double theta = -double(direction) * (kwsig::kTwoPi15 / double(g));
        kwsig::Rotation w = kwsig::Rotation::by(theta);
        for (std::size_t j = 0; j < g / 2; ++j, w.advance()) {
            for (std::size_t a = 2 * j; a < 2 * n; a += 2 * g) {
                const std::size_t b = a + g;  // the partner, g / 2 points on
                const double br = d[b], bi = d[b + 1];
                const T tr = T(w.c * br - w.s * bi), ti = T(w.c * bi + w.s * br);
                const double ar = d[a], ai = d[a + 1];
                d[b] = T(ar - double(tr));
                d[b + 1] = T(ai - double(ti));
                d[a] = T(ar + double(tr));
                d[a + 1] = T(ai + double(ti));
            }
        }
    }
}

// Each path's transform of random points against the plain one; the failure
// names the path and the first point that differs.
template <typename T>
void expect_plain_bits_on_each_path(std::size_t n, int direction, unsigned seed) {
    const auto x = twin::random_values<T>(2 * n, seed);
    auto want = x;
    plain_fft(want, n, direction);
    isa::on_each([&](kwsig::Isa i) {
        auto got = x;
        twin::fft(got.data(), unsigned(n), direction);
        std::size_t k = 0;
        while (k < n && same_bits(got[2 * k], want[2 * k]) &&
               same_bits(got[2 * k + 1], want[2 * k + 1]))
            ++k;
        EXPECT_EQ(k, n) << "N=" << n << " direction " << direction << ", " << isa::name(i)
                        << ": first point that differs";
        return 0;
    });
}

template <typename T>
class FftPaths : public ::testing::Test {};
using Precisions = ::testing::Types<float, double>;
TYPED_TEST_SUITE(FftPaths, Precisions);

// 2 to 2^18 points: float runs its early stages block by block from 2^15
// points, double from 2^14, and the stages after the blocks take one or two
// passes, single stage or pairs, over the whole array.
TYPED_TEST(FftPaths, EveryPathGivesThePlainTransformsBits) {
    using T = TypeParam;
    for (int lg = 1; lg <= 18; ++lg)
        for (int direction : {1, -1})
            expect_plain_bits_on_each_path<T>(std::size_t(1) << lg, direction,
                                              unsigned(10 * lg + direction + 1));
}

// The direction multiplies the angle as it is: 0 gives every twiddle (1, 0)
// (with signed zeros), 2 and -3 other rotations; no path may assume +-1.
TYPED_TEST(FftPaths, OtherDirectionsFollowTheFormula) {
    for (int direction : {0, 2, -3})
        for (int lg : {3, 9, 16})
            expect_plain_bits_on_each_path<TypeParam>(std::size_t(1) << lg, direction,
                                                      unsigned(500 + 10 * lg + direction));
}

TEST(FftPaths, GoldenCasesOnEveryPath) {
    isa::on_each([](kwsig::Isa i) {
        SCOPED_TRACE(isa::name(i));
        golden::check_all("kwsig_fft");
        golden::check_all("kwsig_fft_double");
        golden::check_all("kwsig_fft_real");
        golden::check_all("kwsig_fft_real_double");
        return 0;
    });
}

}  // namespace
