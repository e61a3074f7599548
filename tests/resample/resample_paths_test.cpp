// Every kernel path of the resamplers (plain loops, SSE2, AVX2: those this
// machine runs) gives the bits of the plain loops, on streams cut at random
// with calls that end for lack of input and calls that end on a full output
// array; and every path reproduces the golden cases.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "kwsig.h"
#include "support/golden_check.h"
#include "support/isa.h"
#include "support/twins.h"

namespace {

using twin::Random;
using twin::same_bits;

template <typename T>
class ResamplePaths : public ::testing::Test {};
using Precisions = ::testing::Types<float, double>;
TYPED_TEST_SUITE(ResamplePaths, Precisions);

TYPED_TEST(ResamplePaths, StreamsCutAtRandomGiveThePlainLoopsBits) {
    using T = TypeParam;
    Random gen(43);
    const auto in = gen.values<T>(4000);
    int full = 0;  // calls that ended on a full output array
    for (int trial = 0; trial < 40; ++trial) {
        const T step = T(trial % 5 == 0 ? 44100.0 / 48000.0 : std::exp(gen.uniform(-3, 3)));
        const T phase0 = T(gen.uniform(-9, 3));
        const auto history0 = gen.values<T>(11);
        std::vector<int> nin, nout;  // per call: input and output room
        for (int call = 0; call < 30; ++call) {
            nin.push_back(int(gen() % 130));
            nout.push_back(gen() % 3 == 0 ? int(gen() % 40) : int(nin.back() / double(step)) + 30);
        }
        const auto results = isa::on_each([&](kwsig::Isa) {
            T phase = phase0;
            std::vector<T> history = history0, got;
            std::size_t at = 0;
            for (std::size_t call = 0; call < nin.size(); ++call) {
                std::vector<T> out(std::size_t(nout[call]) + 1);
                int nw = -1;
                twin::resample(in.data() + at, nin[call], out.data(), nout[call], &nw, &phase,
                               step, history.data());
                got.insert(got.end(), out.begin(), out.begin() + nw);
                got.push_back(T(nw));
                got.push_back(phase);
                got.insert(got.end(), history.begin(), history.end());
                full += nw == nout[call] && nw > 0;
                at += std::size_t(nin[call]);
            }
            return got;
        });
        for (std::size_t i = 1; i < results.size(); ++i)
            EXPECT_TRUE(same_bits(results[i], results[0])) << "step " << step << " path " << i;
    }
    EXPECT_GT(full, 100);
}

TEST(ResamplePaths, GoldenCasesOnEveryPath) {
    isa::on_each([](kwsig::Isa i) {
        SCOPED_TRACE(isa::name(i));
        golden::check_all("kwsig_resample");
        golden::check_all("kwsig_resample_double");
        return 0;
    });
}

}  // namespace
