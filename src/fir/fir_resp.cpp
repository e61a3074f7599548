// Complex frequency response of a coefficient set,
//   H(f) = sum_k c[k] e^(+i 2 pi f (ntaps - 1 - k)),
// on npoints frequencies evenly spaced from start_freq to stop_freq.
//
// Arithmetic, exactly (every named value a double):
//   a = 6.283185307179586 * start_freq;  C = cos(a), S = sin(a)
//   c = ((stop_freq - start_freq) * 3.141592653589793) / (npoints - 1)
//   L = sin(2 c);  Q = (-2 sin(c)) sin(c)
//   per point, Horner from the oldest-sample coefficient, with t the old re:
//     re = (t C - im S) + c[k];  im = t S + im C
//   then the angle steps by 2c, with t the old C:
//     C = C + (t Q - S L);  S = S + (t L + S Q)
// The rotation is never re-anchored. With one point the step is never used
// and is not computed (it would divide by zero).
//
// The Horner sums of different points are independent: the rotation is run
// ahead for a few points and their sums are interleaved, each in its own order.
#include <cmath>

#include "kwsig.h"

namespace kwsig {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
constexpr int kLanes = 4;

void fir_resp(double *response, int npoints, double start_freq, double stop_freq,
              const double *coef, int ntaps) {
    if (npoints <= 0) return;
    const double a = kTwoPi * start_freq;
    double C = std::cos(a);
    double S = std::sin(a);
    double L = 0.0, Q = 0.0;
    if (npoints > 1) {
        const double c = (stop_freq - start_freq) * kPi / double(npoints - 1);
        L = std::sin(2.0 * c);
        const double sc = std::sin(c);
        Q = (-2.0 * sc) * sc;
    }
    for (int p0 = 0; p0 < npoints; p0 += kLanes) {
        const int lanes = npoints - p0 < kLanes ? npoints - p0 : kLanes;
        double cs[kLanes], sn[kLanes];
        for (int l = 0; l < kLanes; ++l) {
            // Lanes past the last point repeat it and are not stored.
            cs[l] = C;
            sn[l] = S;
            if (l < lanes) {
                const double t = C;
                C = C + (t * Q - S * L);
                S = S + (t * L + S * Q);
            }
        }
        double re[kLanes] = {0.0, 0.0, 0.0, 0.0}, im[kLanes] = {0.0, 0.0, 0.0, 0.0};
        for (int k = 0; k < ntaps; ++k) {
            const double ck = coef[k];
            for (int l = 0; l < kLanes; ++l) {
                const double t = re[l];
                re[l] = (t * cs[l] - im[l] * sn[l]) + ck;
                im[l] = t * sn[l] + im[l] * cs[l];
            }
        }
        for (int l = 0; l < lanes; ++l) {
            response[2 * (p0 + l)] = re[l];
            response[2 * (p0 + l) + 1] = im[l];
        }
    }
}

}  // namespace
}  // namespace kwsig

extern "C" {

KWSIG_API void KWSIG_CALL kwsig_fir_resp(double *response, int npoints, double start_freq,
                                         double stop_freq, const double *coefficients, int ntaps) {
    kwsig::fir_resp(response, npoints, start_freq, stop_freq, coefficients, ntaps);
}

}  // extern "C"
