// Every lane path of the spectra's window, power, magnitude and decibel passes (plain
// loops, SSE2, AVX2: those this machine runs) gives the plain loops' bits,
// over counts whose bins do not fill the lanes, and reproduces the golden
// cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
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

// On every path the real spectrum is the real FFT of the windowed record with
// each bin formed as written (its power rounded, then the root), bit for
// bit: the magnitudes that the transform's last pass forms included.
TYPED_TEST(SpectrumPaths, RealSpectrumIsItsFormulaOnTheRealFft) {
    using T = TypeParam;
    for (int lg = 1; lg <= 13; ++lg) {
        const std::size_t n = std::size_t(1) << lg;
        const auto x = twin::random_values<T>(n, unsigned(300 + lg));
        const auto w = twin::random_values<T>(n, unsigned(400 + lg), 0.0, 1.0);
        isa::on_each([&](kwsig::Isa) {
            std::vector<T> s(n), power(n / 2 + 1), magnitude(n / 2 + 1);
            for (std::size_t i = 0; i < n; ++i) s[i] = T(double(x[i]) * double(w[i]));
            twin::fft_real(s.data(), unsigned(n), 1);
            for (std::size_t k = 0; k <= n / 2; ++k) {
                const bool real = k == 0 || k == n / 2;
                const double re = real ? s[k == 0 ? 0 : 1] : s[2 * k], im = real ? 0 : s[2 * k + 1];
                power[k] = T(re * re + im * im);
                magnitude[k] = T(std::sqrt(double(power[k])));
            }
            for (int mode : {0, 1}) {
                std::vector<T> out(n / 2 + 1);
                twin::spectrum(x.data(), out.data(), w.data(), int(n), mode);
                EXPECT_TRUE(twin::same_bits(out, mode == 0 ? magnitude : power))
                    << "N=" << n << " mode " << mode;
            }
            return 0;
        });
    }
}

// Decibels where some bins are zero or NaN and their neighbours in the lanes
// are not: a constant record (one bin nonzero, the rest exact zeros) and one
// with an infinity (NaN bins, beside infinite ones in the complex spectrum).
TYPED_TEST(SpectrumPaths, DecibelFloorOnEveryPath) {
    using T = TypeParam;
    for (int n : {16, 64})
        for (int record : {0, 1}) {
            std::vector<T> x(2 * std::size_t(n), T(record == 0 ? 3 : 0));
            if (record == 1) x[2] = std::numeric_limits<T>::infinity();
            const std::vector<T> w(std::size_t(n), T(1));
            const auto results = isa::on_each([&](kwsig::Isa) {
                std::vector<T> real(std::size_t(n / 2 + 1)), complex(static_cast<std::size_t>(n));
                twin::spectrum(x.data(), real.data(), w.data(), n, 2);
                twin::cspectrum(x.data(), complex.data(), w.data(), n, 2);
                return std::vector<std::vector<T>>{real, complex};
            });
            for (int kind : {0, 1}) {
                const auto &db = results[0][kind];
                const auto floors = std::count(db.begin(), db.end(), T(-500));
                EXPECT_TRUE(floors > 0 && (record == 1 || floors < std::ptrdiff_t(db.size())))
                    << "N=" << n << " record " << record << " kind " << kind;
                for (std::size_t i = 1; i < results.size(); ++i)
                    EXPECT_TRUE(twin::same_bits(results[i][kind], db)) << "N=" << n << ", path " << i;
            }
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
