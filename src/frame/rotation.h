// The rotation recurrence behind every run of sines and cosines of evenly
// spaced angles (FFT twiddles, the FIR response's frequency grid, the FIR
// design's phase ramp): a few sine and cosine calls seed it, then each step
// costs four multiplications and four additions.
//
// Arithmetic, exactly (every value a double, rounded when stored): with
// q = cos(step) - 1 and l = sin(step), the value (c, s) = (cos, sin) of the
// angle reached advances as
//   c' = c + (c q - s l);   s' = s + (s q + c l)      (both from the old c)
// q is formed without a cosine, as (-2 h) h with h = sin(step / 2), which
// keeps its relative accuracy for small steps where cos(step) - 1 would
// cancel. The value is never re-anchored: its rounding error grows slowly
// (about linearly) with the number of steps.
// Whether a sum is written c + x or x + c makes no difference: IEEE addition
// and multiplication commute exactly; only the association above is fixed.
//
// The seeds differ by site and are part of each site's results, so each site
// picks its own below; every sine and cosine that seeds a recurrence is called
// in this file and nowhere else.
//
// The struct is plain data and advance() is inline: several chains can run
// side by side, and rotate() takes any value type with + - * (a vector type
// of several chains, say), one step per call.
#pragma once

#include "math/crmath.h"

namespace kwsig {

// One step of the recurrence on (c, s) with the step (q, l).
template <typename V>
inline void rotate(V &c, V &s, V q, V l) {
    const V c0 = c;
    c = c0 + (c0 * q - s * l);
    s = s + (s * q + c0 * l);
}

struct Rotation {
    double step_cm1 = 0.0;  // q = cos(step) - 1
    double step_sin = 0.0;  // l = sin(step)
    double c = 1.0;         // cos of the angle reached
    double s = 0.0;         // sin of the angle reached

    // A step of `angle`, from the angle itself: h = sin(angle / 2) and
    // l = sin(angle). Starts at angle 0, (1, 0). (Complex and real FFT.)
    static Rotation by(double angle) {
        return {cos_minus_one(0.5 * angle), math::sin(angle)};
    }
    // by(angle / 2^i) into out[i] for i < count <= 34: the same values from
    // count + 1 sines (by(a) takes sin(a / 2), which is by(a / 2)'s sin(a / 2)),
    // four at a time where AVX2 runs (math::sin4). With `other`, also
    // by(*other) into *other_out, its two sines in the same calls' lanes.
    static void by_halves(double angle, int count, Rotation *out, const double *other = nullptr,
                          Rotation *other_out = nullptr);
    // A step of twice `half`, from the half angle: h = sin(half) and
    // l = sin(2 half). Starts at (1, 0). (FIR response.)
    static Rotation by_twice(double half) {
        return {cos_minus_one(half), math::sin(2.0 * half)};
    }
    // A step of -angle: h = sin(angle / 2) and l = -sin(angle). Starts at
    // (1, 0). (FIR design.)
    static Rotation back_by(double angle) {
        return {cos_minus_one(0.5 * angle), -math::sin(angle)};
    }

    // Moves the value to (cos a, sin a), keeping the step.
    void start_at_angle(double a) {
        c = math::cos(a);
        s = math::sin(a);
    }
    void start_at(double cos_value, double sin_value) {
        c = cos_value;
        s = sin_value;
    }

    void advance() { rotate(c, s, step_cm1, step_sin); }

private:
    // cos(2 h) - 1 = -2 sin^2(h), for the half step h.
    static double cos_minus_one(double half) {
        const double h = math::sin(half);
        return (-2.0 * h) * h;
    }
};

}  // namespace kwsig
