// Shared by the real and the complex spectrum: the output mode, under which
// powers become magnitudes (0), decibels (2) or stay (any other low-16-bit
// value).
#pragma once

#include <cmath>
#include <cstddef>

#include "frame/numeric.h"
#include "math/crmath.h"
#include "spectrum/bins.h"

namespace kwsig {

// 10 / ln 10 with the logarithm taken at run time (the volatile keeps the
// compiler from folding it), rounded to the sample type: the float factor
// 4.342944622039795 is what makes a power of 1e6 read 59.999996 dB.
template <typename T>
T decibel_factor() {
    volatile double ten = 10.0;
    return T(10.0 / math::log(double(ten)));
}

// Converts the `count` powers in place. Square root and logarithm are taken
// in double and rounded once to T. A power that compares equal to zero (either
// sign) or is a NaN reads -500 dB.
template <typename T>
void apply_mode(T *values, std::size_t count, int mode_slot) {
    const int mode = selector16(mode_slot);
    if (mode == 0) {
        bins_pass(BinsPass::magnitudes, values, nullptr, values, count);
    } else if (mode == 2) {
        bins_pass(BinsPass::decibels, values, nullptr, values, count, wide(decibel_factor<T>()));
    }
}

}  // namespace kwsig
