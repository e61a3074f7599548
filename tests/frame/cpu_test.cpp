// Run-time choice of the kernels' instruction set, and its test hook.
#include <gtest/gtest.h>

#include "frame/cpu.h"

namespace {

using kwsig::Isa;

TEST(KernelIsa, FollowsTheCpuAndTheTestLimit) {
    const Isa cpu = kwsig::cpu_isa();
#if defined(KWSIG_PORTABLE) || !(defined(__x86_64__) || defined(__i386__))
    EXPECT_EQ(cpu, Isa::portable);
#else
    EXPECT_EQ(cpu, __builtin_cpu_supports("avx2") ? Isa::avx2 : Isa::sse2);
#endif
    EXPECT_EQ(kwsig::limit_isa(Isa::portable), Isa::portable);
    EXPECT_EQ(kwsig::kernel_isa(), Isa::portable);
    EXPECT_EQ(kwsig::limit_isa(Isa::sse2), cpu < Isa::sse2 ? cpu : Isa::sse2);
    EXPECT_EQ(kwsig::limit_isa(Isa::avx2), cpu);
    EXPECT_EQ(kwsig::kernel_isa(), cpu);
}

}  // namespace
