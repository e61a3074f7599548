// Small numeric helpers and constants shared by every subsystem.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kwsig {

// A selector is a 16-bit signed value in a 32-bit slot: the high half is
// ignored, whatever the caller put there.
inline int selector16(int slot) { return static_cast<int16_t>(static_cast<uint16_t>(slot)); }

// True for 1, 2, 4, ... (not for 0).
inline bool is_pow2(uint64_t n) { return n != 0 && (n & (n - 1)) == 0; }

// Every temporary inside an expression is a double, in the float twins too;
// a value is rounded to the sample type only where it is stored.
inline double wide(float x) { return x; }
inline double wide(double x) { return x; }

// Angle constants. Each is part of the results of the routines that use it.
// The double nearest pi, and the double nearest 2 pi (exactly twice it).
constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
static_assert(kTwoPi == 2.0 * kPi, "2 pi is twice pi in binary, exactly");
// 2 pi to 15 significant digits, the complex FFT's angle constant: four units
// in the last place above kTwoPi.
constexpr double kTwoPi15 = 6.28318530717959;

}  // namespace kwsig
