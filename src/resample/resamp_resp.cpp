// Frequency response of the resampler's kernel in closed form, on a grid of
// frequencies f (cycles per input sample). With x = 11 f:
//   K = sum_q b_q * x sin(pi x) / (pi (x^2 - q^2)),  q = 0 .. 5,
// b_q the kernel coefficients with alternating signs, as doubles.
//
// Arithmetic, exactly, per point:
//   d = x*x - q*q (q*q an integer); when -1e-4 < d < 1e-4 the point is the
//   limit of term q alone, |1| for q = 0 and |b_q / 2| otherwise (terms
//   already summed are dropped); else
//   sum = sum + ((sin(pi*x) * (x/pi)) * b_q) / d.
// The grid is x_0 = start * 11, x_{p+1} = x_p + delta with
// delta = ((stop - start) * 11) / (npoints - 1), by repeated addition.
//
// The limits at x = q: the other terms carry the factor sin(pi x), which
// vanishes there, so the value is term q's limit alone: 1 for q = 0 and
// b_q / 2 otherwise (a_q / 2 in magnitude). The band |x^2 - q^2| < 1e-4 is
// |x - q| < about 1e-4 / (2q): within about 4.5e-6 / q of f = q/11 for
// q = 1 .. 5, and |x| < 0.01, within about 0.0009 of f = 0, for q = 0.
#include <cmath>

#include "frame/numeric.h"
#include "kwsig.h"
#include "math/crmath.h"
#include "resample/kernel_table.h"

namespace kwsig {
namespace {

constexpr double kBand = 0.0001;

double kernel_response(double x) {
    // sin(pi x) and x / pi are the same in every term: evaluated once.
    const double s = math::sin(kPi * x);
    const double r = x / kPi;
    double sum = 0.0;
    for (int q = 0; q <= 5; ++q) {
        const double d = x * x - double(q * q);
        const double b = kernel_coefficient_signed(q);
        if (-kBand < d && d < kBand) return std::fabs(q == 0 ? 1.0 : b / 2.0);
        sum = sum + ((s * r) * b) / d;
    }
    return sum;
}

void resamp_resp(double *response, int npoints, double start_freq, double stop_freq) {
    if (npoints <= 0) return;
    // One point needs no step: never divide by npoints - 1 = 0.
    const double delta =
        npoints > 1 ? ((stop_freq - start_freq) * 11.0) / double(npoints - 1) : 0.0;
    double x = start_freq * 11.0;
    for (int p = 0; p < npoints; ++p) {
        response[p] = kernel_response(x);
        x = x + delta;
    }
}

}  // namespace
}  // namespace kwsig

extern "C" {

KWSIG_API void KWSIG_CALL kwsig_resamp_resp(double *response, int npoints, double start_freq,
                                            double stop_freq) {
    kwsig::resamp_resp(response, npoints, start_freq, stop_freq);
}

}  // extern "C"
