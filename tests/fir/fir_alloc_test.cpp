// Refused scratch memory: the filter and the design write nothing.
#include <gtest/gtest.h>

#include <vector>

#include "kwsig.h"
#include "support/failing_alloc.h"

namespace {

TEST(FirAlloc, FilterWritesNothing) {
    const std::vector<float> c = {1, 2, 3}, x = {1, 0, 0, 0};
    std::vector<float> y(4, -1.0f), state = {9, 4, 5};
    const std::vector<double> cd = {1, 2, 3}, xd = {1, 0};
    std::vector<double> yd(2, -1.0), stated = {9, 4, 5};
    const long before = failing_alloc::refused();
    {
        failing_alloc::Scope fail;
        kwsig_fir(x.data(), y.data(), 4, c.data(), 3, state.data());
        kwsig_fir_double(xd.data(), yd.data(), 2, cd.data(), 3, stated.data());
    }
    EXPECT_EQ(failing_alloc::refused(), before + 2);
    EXPECT_EQ(y, std::vector<float>(4, -1.0f));
    EXPECT_EQ(state, (std::vector<float>{9, 4, 5}));
    EXPECT_EQ(yd, std::vector<double>(2, -1.0));
    EXPECT_EQ(stated, (std::vector<double>{9, 4, 5}));
    // With memory the same call works.
    kwsig_fir(x.data(), y.data(), 4, c.data(), 3, state.data());
    EXPECT_EQ(y, (std::vector<float>{17, 7, 1, 0}));
}

TEST(FirAlloc, DesignReturnsMinusOne) {
    const int nfreq = 8;
    std::vector<double> desired(2 * nfreq + 2, 0.0), weights(nfreq + 1, 1.0), coef(4, -7.0);
    for (int p = 0; p <= nfreq; ++p) desired[2 * p] = 1.0;
    double r;
    {
        failing_alloc::Scope fail;
        r = kwsig_fir_synth(desired.data(), weights.data(), nfreq, 2.0, coef.data(), 4);
    }
    EXPECT_EQ(r, -1.0);
    EXPECT_EQ(coef, std::vector<double>(4, -7.0));
    EXPECT_EQ(kwsig_fir_synth(desired.data(), weights.data(), nfreq, 2.0, coef.data(), 4), 0.0);
    EXPECT_NEAR(coef[2], 1.0, 1e-14);
}

}  // namespace
