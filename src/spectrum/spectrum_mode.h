// Shared by the real and the complex spectrum: the power of a bin, and the
// output mode, under which powers become magnitudes (0), decibels (2) or stay
// (any other low-16-bit value).
#pragma once

#include <cmath>
#include <cstddef>

#include "frame/numeric.h"
#include "math/crmath.h"

namespace kwsig {

// Power of the complex value (re, im) at point[0], point[1]: formed in double,
// rounded once to T.
template <typename T>
inline T bin_power(const T *point) {
    const double re = wide(point[0]), im = wide(point[1]);
    return T(re * re + im * im);
}

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
        for (std::size_t i = 0; i < count; ++i) values[i] = T(std::sqrt(wide(values[i])));
    } else if (mode == 2) {
        const double f = wide(decibel_factor<T>());
        for (std::size_t i = 0; i < count; ++i) {
            const double v = wide(values[i]);
            values[i] = (v == 0.0 || std::isnan(v)) ? T(-500.0) : T(math::log(v) * f);
        }
    }
}

}  // namespace kwsig
