// Every path of the complex FFT (plain loops, SSE2, AVX2: those this machine
// runs) gives the bits of the plain radix-2 transform, at every size from 2
// points to past the sizes whose early stages run block by block; the real
// forward transform those of the plain complex one and a single-run pass; and
// every path reproduces the golden cases of the complex and real transforms.
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

// The forward real transform as written at the top of fft_real.cpp: the
// plain complex transform of the n/2 pairs, then one pass over bins 1 ..
// n/4 - 1 with a single rotation started at bin 1's twiddle.
template <typename T>
void plain_real_forward(std::vector<T> &x, std::size_t n) {
    plain_fft(x, n / 2, 1);
    const double c1 = T(0.5), c2 = T(-0.5);
    kwsig::Rotation w = kwsig::Rotation::by(-kwsig::kPi / double(n / 2));
    w.start_at(1.0 + w.step_cm1, w.step_sin);
    for (std::size_t k = 1; k < n / 4; ++k, w.advance()) {
        const std::size_t a = 2 * k, b = n - 2 * k;
        const double xa = x[a], xa1 = x[a + 1], xb = x[b], xb1 = x[b + 1];
        const double h1r = T((xa + xb) * c1), h1i = T((xa1 - xb1) * c1);
        const double h2r = T(-c2 * (xa1 + xb1)), h2i = T((xa - xb) * c2);
        x[a] = T((w.c * h2r + h1r) - w.s * h2i);
        x[a + 1] = T((w.c * h2i + h1i) + w.s * h2r);
        x[b] = T((h1r - w.c * h2r) + w.s * h2i);
        x[b + 1] = T((-h1i + w.c * h2i) + w.s * h2r);
    }
    const double h = x[0];
    x[0] = T(h + double(x[1]));
    x[1] = T(h - double(x[1]));
    x[n / 2 + 1] = T(-double(x[n / 2 + 1]));
}

// Each path's transform (complex, or real forward with `real`) of x against
// the plain one; the failure names the path and the first value that
// differs.
template <typename T>
void expect_plain_bits_on_each_path(const std::vector<T> &x, std::size_t n, int direction,
                                    bool real = false) {
    const std::size_t len = x.size();
    auto want = x;
    if (real)
        plain_real_forward(want, n);
    else
        plain_fft(want, n, direction);
    isa::on_each([&](kwsig::Isa i) {
        auto got = x;
        if (real)
            twin::fft_real(got.data(), unsigned(n), 1);
        else
            twin::fft(got.data(), unsigned(n), direction);
        std::size_t k = 0;
        while (k < len && same_bits(got[k], want[k])) ++k;
        EXPECT_EQ(k, len) << "N=" << n << (real ? " real" : " complex") << " direction "
                          << direction << ", " << isa::name(i) << ": first value that differs";
        return 0;
    });
}

// The same for random values.
template <typename T>
void expect_plain_bits_on_each_path(std::size_t n, int direction, unsigned seed,
                                    bool real = false) {
    expect_plain_bits_on_each_path(twin::random_values<T>(real ? n : 2 * n, seed), n, direction,
                                   real);
}

template <typename T>
class FftPaths : public ::testing::Test {};
using Precisions = ::testing::Types<float, double>;
TYPED_TEST_SUITE(FftPaths, Precisions);

// 2 to 2^18 points: float runs its early stages block by block from 2^15
// points, double from 2^13, and the stages after the blocks take one or two
// passes, single stage or pairs, over the whole array. In AVX2 the passes
// from h = 256 take four segments in turn, whose starts lie 64 bytes
// further apart from h = 1024 (double; float 2048), the first three then
// going on without the last.
TYPED_TEST(FftPaths, EveryPathGivesThePlainTransformsBits) {
    using T = TypeParam;
    for (int lg = 1; lg <= 18; ++lg)
        for (int direction : {1, -1})
            expect_plain_bits_on_each_path<T>(std::size_t(1) << lg, direction,
                                              unsigned(10 * lg + direction + 1));
}

// The real forward transform's last pass runs in segments from noted
// twiddles from 16 values on.
TYPED_TEST(FftPaths, RealForwardGivesThePlainBits) {
    for (int lg = 2; lg <= 17; ++lg)
        expect_plain_bits_on_each_path<TypeParam>(std::size_t(1) << lg, 1, unsigned(900 + lg),
                                                  true);
}

// The direction multiplies the angle as it is: 0 gives every twiddle (1, 0)
// (with signed zeros), 2 and -3 other rotations; no path may assume +-1
// (2^4: 16 points in registers, 2^5: the small transforms' path).
TYPED_TEST(FftPaths, OtherDirectionsFollowTheFormula) {
    for (int direction : {0, 2, -3})
        for (int lg : {3, 4, 5, 9, 16})
            expect_plain_bits_on_each_path<TypeParam>(std::size_t(1) << lg, direction,
                                                      unsigned(500 + 10 * lg + direction));
}

// Zeros of random signs: every value stays a zero, its sign set by each
// operation. Each stage's first twiddle is (1, 0), and a path that took its
// product w b as b itself would keep -0 where 1 (-0) - 0 (-0) is +0.
TYPED_TEST(FftPaths, SignedZerosGiveThePlainBits) {
    using T = TypeParam;
    for (int lg : {3, 4, 5, 7, 8, 11}) {
        const std::size_t n = std::size_t(1) << lg;
        auto x = twin::random_values<T>(2 * n, unsigned(700 + lg));
        for (T &v : x) v = v < 0 ? T(-0.0) : T(0.0);
        for (int direction : {1, -1}) expect_plain_bits_on_each_path(x, n, direction);
        x.resize(n);
        expect_plain_bits_on_each_path(x, n, 1, true);
    }
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
