// Shared by the real and the complex spectrum: the output mode, under which
// the bins are magnitudes (0), decibels (2) or powers (any other low-16-bit
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

// The pass that forms the bins from the spectrum's (re, im) pairs: their
// powers, or under mode 0 the magnitudes (each power rounded to T, then its
// square root taken in double and rounded once to T), in the same pass.
inline BinsPass bins_formed(int mode_slot) {
    return selector16(mode_slot) == 0 ? BinsPass::magnitudes : BinsPass::powers;
}

// One bin as that pass forms it, from its power p formed in double.
template <typename T>
T bin_formed(double p, int mode_slot) {
    const T power = T(p);
    return selector16(mode_slot) == 0 ? T(std::sqrt(wide(power))) : power;
}

// Under mode 2, converts the `count` powers to decibels in place: the
// logarithm taken in double and rounded once to T; a power that compares
// equal to zero (either sign) or is a NaN reads -500 dB.
template <typename T>
void apply_decibels(T *values, std::size_t count, int mode_slot) {
    if (selector16(mode_slot) == 2)
        bins_pass(BinsPass::decibels, values, nullptr, values, count, wide(decibel_factor<T>()));
}

}  // namespace kwsig
