// The golden harness itself: generator and hash known answers.
#include <gtest/gtest.h>

#include "support/golden.h"

TEST(GoldenSupport, GeneratorKnownAnswers) {
    golden::Rng a(1000);
    EXPECT_EQ(a.next(), 0x3c1eba8b4dccc148ull);
    EXPECT_EQ(a.next(), 0xd07a9d82d4f4bbafull);
    EXPECT_EQ(a.next(), 0xc5fe6a1c2fc9b651ull);
    golden::Rng b(1000);
    EXPECT_EQ(b.uniform(-1, 1), -0x1.0f8515d2c8cdp-1);
    EXPECT_EQ(b.uniform(-1, 1), 0x1.41ea760b53d2ep-1);
    EXPECT_EQ(static_cast<float>(-0x1.0f8515d2c8cdp-1), -0x1.0f8516p-1f);
    golden::Rng c(1000);
    EXPECT_EQ(c.randint(0, 300), 245);
}

TEST(GoldenSupport, HashKnownAnswers) {
    EXPECT_EQ(golden::Hash().get(), 0xcbf29ce484222325ull);
    golden::Hash a;
    a.value('a');
    EXPECT_EQ(a.get(), 0xaf63dc4c8601ec8cull);
    golden::Hash one;
    one.value(1.0f);
    EXPECT_EQ(one.get(), 0x4b72477f9c5c2f98ull);
}

TEST(GoldenSupport, ParsesRealParameters) {
    golden::Case c;
    c.params = {{"step", "44100/48000"}, {"gain", "-0.5"}, {"count", "65538"}};
    EXPECT_EQ(c.real("step"), 44100.0 / 48000.0);
    EXPECT_EQ(c.real("gain"), -0.5);
    EXPECT_EQ(c.integer("count"), 65538);
}
