// Small numeric helpers shared by every subsystem.
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

}  // namespace kwsig
