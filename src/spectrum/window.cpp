// Symmetric cosine-sum windows in DFT-even form, scaled to a mean or RMS level.
//
// Arithmetic, exactly (every working value a double, in the float twin too):
//   W(a): v = 0; for k = 0 .. K-1: v = cos(double(k) * a) * c[k] + v
//   angle_step = kTwoPi / count (kTwoPi the double nearest 2 pi); the angle
//   grows by repeated addition of angle_step, never as a product, and its
//   rounding is part of the result.
//   Even count: half loop from the centre outwards, angle 0, step, 2 step ...;
//   each value is stored at centre + m and copied to centre - m, so the two
//   halves are bit-identical. Sample 0 gets W(kPi).
//   sum   = (2 sum - window[centre]) + window[0]          (stored samples)
//   sumsq = (2 sumsq - window[centre]^2) + e^2            (stored centre,
//                                                           unrounded edge e)
//   The loop sums use the unrounded doubles v.
//   factor = (count * gain) / sum                  mean normalisation
//   factor = gain / sqrt(sumsq / count)            RMS normalisation
//   window[n] = factor * window[n], rounded once on the store.
//
// Odd count 2c + 1 has its centre between samples c and c + 1, so the half
// loop starts at half a step (angle_step / 2 is exact) and visits the pairs
// (c - m, c + 1 + m); no sample is counted twice, sample 0 is again the edge
// value at pi. A single sample is flat: it is `gain` under both scalings.
#include <cmath>

#include "frame/numeric.h"
#include "kwsig.h"
#include "math/crmath.h"

namespace kwsig {
namespace {

struct CosineSum {
    int terms;
    double c[5];
};

constexpr CosineSum kUniform = {1, {1.0}};
constexpr CosineSum kHann = {2, {1.0, 1.0}};
constexpr CosineSum kFiveTermA = {5, {1.0, 1.45875529058, 0.543087184, 0.08816718498, 0.00390252806}};
constexpr CosineSum kFiveTermB = {5, {1.0, 1.941109216, 1.308381824, 0.40400112, 0.035108828}};

const CosineSum &shape(int type) {
    switch (type) {
    case 1: return kHann;
    case 2: return kFiveTermA;
    case 3: return kFiveTermB;
    default: return kUniform;
    }
}

// The terms in ascending order, each added onto the running value. The first
// term, cos(0 * angle) * c[0] + 0.0, is c[0] itself for every finite angle
// (cos(0) is exactly 1 and c[0] is nonzero), so its cosine is not called.
double evaluate(const CosineSum &w, double angle) {
    double v = w.c[0];
    for (int k = 1; k < w.terms; ++k) v = math::cos(double(k) * angle) * w.c[k] + v;
    return v;
}

template <typename T>
void make_window(T *window, int count, int type_slot, int norm_slot, T gain) {
    if (count <= 0) return;
    if (count == 1) {
        window[0] = gain;
        return;
    }
    const CosineSum &w = shape(selector16(type_slot));
    const bool odd = (count & 1) != 0;
    const int centre = count >> 1;
    const double angle_step = kTwoPi / double(count);

    int down = centre;
    int up = odd ? centre + 1 : centre;
    double angle = odd ? 0.5 * angle_step : 0.0;
    double sum = 0.0;
    double sumsq = 0.0;
    while (down > 0) {
        const double v = evaluate(w, angle);
        window[up] = T(v);
        window[down] = window[up];
        sum = sum + v;
        sumsq = v * v + sumsq;
        --down;
        ++up;
        angle = angle + angle_step;
    }
    const double e = evaluate(w, kPi);
    window[0] = T(e);

    if (odd) {
        sum = 2.0 * sum + wide(window[0]);
        sumsq = 2.0 * sumsq + e * e;
    } else {
        const double mid = wide(window[centre]);
        sum = 2.0 * sum - mid + wide(window[0]);
        sumsq = 2.0 * sumsq - mid * mid + e * e;
    }

    const double g = wide(gain);
    double factor;
    if (selector16(norm_slot) == 0) {
        factor = (double(count) * g) / sum;
    } else {
        const double mean_square = sumsq / double(count);
        factor = g / std::sqrt(mean_square);
    }
    for (int n = 0; n < count; ++n) window[n] = T(factor * wide(window[n]));
}

}  // namespace
}  // namespace kwsig

extern "C" {

KWSIG_API void KWSIG_CALL kwsig_window(float *window, int count, kwsig_selector window_type,
                                       kwsig_selector normalisation, float gain) {
    kwsig::make_window(window, count, window_type, normalisation, gain);
}

KWSIG_API void KWSIG_CALL kwsig_window_double(double *window, int count,
                                              kwsig_selector window_type,
                                              kwsig_selector normalisation, double gain) {
    kwsig::make_window(window, count, window_type, normalisation, gain);
}

}  // extern "C"
