#include "frame/cpu.h"

#include <atomic>

namespace kwsig {
namespace {

Isa detect() {
#if !defined(KWSIG_X86_KERNELS)
    return Isa::portable;
#else
    // The compiler's query reads cpuid once (at load) and, for AVX2, also
    // checks with xgetbv that the operating system saves the YMM registers.
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? Isa::avx2 : Isa::sse2;
#endif
}

// What detect() said, or -1 before the first question.
std::atomic<int> detected{-1};
std::atomic<int> limit{int(Isa::avx2)};

}  // namespace

Isa cpu_isa() {
    int isa = detected.load(std::memory_order_relaxed);
    if (isa < 0) {
        isa = int(detect());  // the same answer on every thread
        detected.store(isa, std::memory_order_relaxed);
    }
    return Isa(isa);
}

Isa kernel_isa() {
    const int isa = int(cpu_isa());
    const int most = limit.load(std::memory_order_relaxed);
    return Isa(isa < most ? isa : most);
}

Isa limit_isa(Isa most) {
    limit.store(int(most), std::memory_order_relaxed);
    return kernel_isa();
}

}  // namespace kwsig
