// Every lane path of the spectra's window, power and magnitude passes (plain
// loops, SSE2, AVX2: those this machine runs) gives the plain loops' bits,
// over counts whose bins do not fill the lanes, and reproduces the golden
// cases.
#include <gtest/gtest.h>

#include <vector>

#include "support/golden_check.h"
#include "support/isa.h"
#include "support/twins.h"

namespace {

template <typename T>
class SpectrumPaths : public ::testing::Test {};
using Precisions = ::testing::Types<float, double>;
TYPED_TEST_SUITE(SpectrumPaths, Precisions);

TYPED_TEST(SpectrumPaths, EveryPathGivesThePlainLoopsBits) {
    using T = TypeParam;
    for (int lg = 0; lg <= 12; ++lg)
        for (int mode : {0, 1, 2}) {
            const int n = 1 << lg;
            const auto x = twin::random_values<T>(2 * std::size_t(n), unsigned(lg));
            const auto w = twin::random_values<T>(std::size_t(n), unsigned(lg + 50), 0.0, 1.0);
            const auto results = isa::on_each([&](kwsig::Isa) {
                std::vector<T> real(std::size_t(n / 2 + 1)), complex = x;  // complex in place
                if (n >= 2) twin::spectrum(x.data(), real.data(), w.data(), n, mode);
                twin::cspectrum(complex.data(), complex.data(), w.data(), n, mode);
                complex.resize(std::size_t(n));
                return std::vector<std::vector<T>>{real, complex};
            });
            for (std::size_t i = 1; i < results.size(); ++i)
                for (int kind : {0, 1})
                    EXPECT_TRUE(twin::same_bits(results[i][kind], results[0][kind]))
                        << "N=" << n << " mode " << mode << (kind ? " complex" : " real")
                        << ", path " << i;
        }
}

TEST(SpectrumPaths, GoldenCasesOnEveryPath) {
    isa::on_each([](kwsig::Isa i) {
        SCOPED_TRACE(isa::name(i));
        for (const char *name : {"kwsig_spectrum", "kwsig_spectrum_double", "kwsig_cspectrum",
                                 "kwsig_cspectrum_double"})
            golden::check_all(name);
        return 0;
    });
}

}  // namespace
