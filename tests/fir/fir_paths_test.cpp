// Every kernel path of the FIR filter and the FIR response (plain loops,
// SSE2, AVX2: those this machine runs) gives the bits of the plain loops, and
// every path reproduces the golden cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "kwsig.h"
#include "support/golden_check.h"
#include "support/isa.h"
#include "support/twins.h"

namespace {

using twin::Random;
using twin::same_bits;

template <typename T>
class FirPaths : public ::testing::Test {};
using Precisions = ::testing::Types<float, double>;
TYPED_TEST_SUITE(FirPaths, Precisions);

// Random tap counts up to 300, streams cut into blocks of random lengths
// (many shorter than the taps), filtered into another array and in place.
TYPED_TEST(FirPaths, EveryPathGivesThePlainLoopsBits) {
    using T = TypeParam;
    Random gen(41);
    for (int trial = 0; trial < 40; ++trial) {
        const int m = 1 + int(gen() % 300);
        const auto c = gen.values<T>(std::size_t(m));
        const auto state0 = gen.values<T>(std::size_t(m));
        const auto x = gen.values<T>(std::size_t(1 + gen() % (3 * m + 300)));
        std::vector<int> cuts;  // block lengths
        for (std::size_t done = 0; done < x.size();) {
            const int len = int(std::min<std::size_t>(1 + gen() % (2 * m + 70), x.size() - done));
            cuts.push_back(len);
            done += std::size_t(len);
        }
        const auto results = isa::on_each([&](kwsig::Isa) {
            std::vector<T> y(x.size()), inplace = x, state = state0, state_ip = state0;
            std::size_t at = 0;
            for (int len : cuts) {
                twin::fir(x.data() + at, y.data() + at, len, c.data(), m, state.data());
                twin::fir(inplace.data() + at, inplace.data() + at, len, c.data(), m,
                          state_ip.data());
                at += std::size_t(len);
            }
            y.insert(y.end(), state.begin(), state.end());
            inplace.insert(inplace.end(), state_ip.begin(), state_ip.end());
            return std::vector<std::vector<T>>{y, inplace};
        });
        for (std::size_t i = 1; i < results.size(); ++i) {
            EXPECT_TRUE(same_bits(results[i][0], results[0][0])) << "ntaps " << m << " path " << i;
            EXPECT_TRUE(same_bits(results[i][1], results[0][0])) << "ntaps " << m << " path " << i;
        }
        EXPECT_TRUE(same_bits(results[0][1], results[0][0])) << "ntaps " << m;
    }
}

TEST(FirRespPaths, EveryPathGivesThePlainLoopsBits) {
    Random gen(42);
    for (int trial = 0; trial < 40; ++trial) {
        const int ntaps = int(gen() % 301);
        const int npoints = 1 + int(gen() % (trial % 4 == 0 ? 1000 : 40));
        const double f0 = gen.uniform(-1, 1), f1 = gen.uniform(-1, 1);
        const auto c = gen.values<double>(std::size_t(ntaps));
        const auto results = isa::on_each([&](kwsig::Isa) {
            std::vector<double> r(2 * std::size_t(npoints));
            kwsig_fir_resp(r.data(), npoints, f0, f1, c.data(), ntaps);
            return r;
        });
        for (std::size_t i = 1; i < results.size(); ++i)
            EXPECT_TRUE(same_bits(results[i], results[0]))
                << npoints << " points, " << ntaps << " taps, path " << i;
    }
}

TEST(FirPaths, GoldenCasesOnEveryPath) {
    isa::on_each([](kwsig::Isa i) {
        SCOPED_TRACE(isa::name(i));
        golden::check_all("kwsig_fir");
        golden::check_all("kwsig_fir_double");
        golden::check_all("kwsig_fir_resp");
        return 0;
    });
}

}  // namespace
