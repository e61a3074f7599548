// The scratch helper: empty on a failed or oversized allocation, and the
// failing-allocation hook that the subsystem tests rely on really reaches it.
#include <gtest/gtest.h>

#include <cstddef>
#include <limits>

#include "frame/numeric.h"
#include "frame/scratch.h"
#include "support/failing_alloc.h"

namespace {
// Lets the pointer escape, so an optimiser cannot drop an unused allocation.
template <typename T>
bool holds(const kwsig::Scratch<T> &s) {
    T *p = s.get();
    asm volatile("" : : "r"(p) : "memory");
    return p != nullptr;
}
}  // namespace

TEST(Scratch, HoldsMemoryOrIsEmpty) {
    kwsig::Scratch<double> ok(17);
    ASSERT_TRUE(ok);
    ok[16] = 1.5;
    EXPECT_EQ(ok.get()[16], 1.5);
    ok.release();
    EXPECT_FALSE(ok);

    EXPECT_FALSE(kwsig::Scratch<double>(0));
    EXPECT_FALSE(kwsig::Scratch<double>(std::numeric_limits<std::size_t>::max() / 4));

    const long before = failing_alloc::refused();
    {
        failing_alloc::Scope fail;
        EXPECT_FALSE(holds(kwsig::Scratch<float>(8)));
    }
    EXPECT_EQ(failing_alloc::refused(), before + 1);
    EXPECT_TRUE(holds(kwsig::Scratch<float>(8)));
}

TEST(Selector, LowSixteenBitsSigned) {
    EXPECT_EQ(kwsig::selector16(2), 2);
    EXPECT_EQ(kwsig::selector16(65538), 2);
    EXPECT_EQ(kwsig::selector16(65536), 0);
    EXPECT_EQ(kwsig::selector16(65535), -1);
    EXPECT_EQ(kwsig::selector16(-1), -1);
    EXPECT_EQ(kwsig::selector16(0x7fff0003), 3);
    EXPECT_EQ(kwsig::selector16(int(0x80018000u)), -32768);
}
