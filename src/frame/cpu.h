// Run-time choice of the instruction set of the arithmetic kernels.
//
// A kernel may exist in up to three forms that give bit-identical results:
// plain loops (any machine), SSE2 (every x86-64 CPU; the i686 build requires
// it) and AVX2. Each form only reorders independent operations or runs them
// side by side in vector lanes, so every rounding is the one of the plain
// loop. AVX2 code lives in functions of its own compiled with
// __attribute__((target("avx2"))), never with a global -mavx2, so nothing
// else in the library can pick up AVX instructions; FMA is never enabled.
#pragma once

// Builds for x86 carry the SSE2 and AVX2 kernels beside the plain loops; other
// targets and KWSIG_PORTABLE builds have the plain loops only.
#if !defined(KWSIG_PORTABLE) && (defined(__x86_64__) || (defined(__i386__) && defined(__SSE2__)))
#define KWSIG_X86_KERNELS 1
#endif

namespace kwsig {

enum class Isa : int { portable = 0, sse2 = 1, avx2 = 2 };

// The widest instruction set that this build and this CPU (and its operating
// system, which must save the AVX registers) both support. Asked of the CPU
// once per process; a build with KWSIG_PORTABLE always answers portable.
Isa cpu_isa();

// The instruction set the kernels use: cpu_isa(), or less when a test has
// narrowed it with limit_isa(). One relaxed atomic load.
Isa kernel_isa();

// Test hook: the kernels use at most `limit` (never more than cpu_isa())
// until the next call. Returns the instruction set now in use. Not part of the
// exported interface; tests reach it by linking the static library.
Isa limit_isa(Isa limit);

}  // namespace kwsig
