// Levinson recursion with a forward predictor g and a backward predictor h,
// one for each side of the diagonal, in O(n^2) operations.
//
// Written with the order-m solution x[1..m] and predictors g[1..m], h[1..m]
// (1-based; stored 0-based below, element j at index j - 1), R(k) = r[k - 1],
// so R(n) is the diagonal. For m = 1, 2, ... with m1 = m + 1, every sum
// accumulated over j = 1 .. m in that order, every named value a double:
//   sxn = -y[m1] + sum R(n+m1-j) x[j];  sd = -R(n) + sum R(n+m1-j) g[m-j+1]
//   pivot test on sd;  x[m1] = sxn / sd;  x[j] = x[j] - x[m1] g[m-j+1]
//   stop when m1 = n
//   sgn = -R(n-m1) + sum R(n+j-m1) g[j];  shn = -R(n+m1) + sum R(n+m1-j) h[j]
//   sgd = -R(n) + sum R(n+j-m1) h[m-j+1];  pivot test on sgd
//   g[m1] = sgn / sgd;  h[m1] = shn / sd
//   both predictors updated in place from both ends towards the middle, with
//   pp = g[m1], qq = h[m1] and all four old values read first:
//     g[j] = g[j] - pp h[k], g[k] = g[k] - pp h[j],
//     h[j] = h[j] - qq g[k], h[k] = h[k] - qq g[j]   (k = m + 1 - j)
// The start is x[1] = y[1] / R(n), g[1] = R(n-1) / R(n), h[1] = R(n+1) / R(n).
#include "fir/toeplitz.h"

#include <cmath>
#include <cstddef>

#include "frame/scratch.h"

namespace kwsig {
namespace {

inline bool bad_pivot(double d) { return d == 0.0 || std::isnan(d); }

// Indices reach 2n (n + m1 with m1 up to n), past int for n = 2^30.
using Index = std::ptrdiff_t;

}  // namespace

int toeplitz_solve(const double *r, double *x, const double *y, int n) {
    // 1-based views of the arrays, as the recursion is written.
    auto R = [r](Index k) { return r[k - 1]; };
    auto Y = [y](Index i) { return y[i - 1]; };
    const double diag = R(n);
    if (bad_pivot(diag)) return 1;
    if (n == 1) {
        x[0] = Y(1) / diag;
        return 0;
    }
    // Allocated before x is written, so a failure leaves x untouched.
    Scratch<double> forward_predictor(static_cast<std::size_t>(n));
    Scratch<double> backward_predictor(static_cast<std::size_t>(n));
    if (!forward_predictor || !backward_predictor) return -1;
    double *g = forward_predictor.get();
    double *h = backward_predictor.get();
    auto X = [x](Index j) -> double & { return x[j - 1]; };
    auto G = [g](Index j) -> double & { return g[j - 1]; };
    auto H = [h](Index j) -> double & { return h[j - 1]; };

    X(1) = Y(1) / diag;
    G(1) = R(n - 1) / diag;
    H(1) = R(n + 1) / diag;
    for (Index m = 1;; ++m) {
        const Index m1 = m + 1;
        double sxn = -Y(m1);
        double sd = -diag;
        for (Index j = 1; j <= m; ++j) {
            sxn = sxn + R(n + m1 - j) * X(j);
            sd = sd + R(n + m1 - j) * G(m - j + 1);
        }
        if (bad_pivot(sd)) return 1;
        X(m1) = sxn / sd;
        const double xm1 = X(m1);
        for (Index j = 1; j <= m; ++j) X(j) = X(j) - xm1 * G(m - j + 1);
        if (m1 == n) return 0;

        double sgn = -R(n - m1);
        double shn = -R(n + m1);
        double sgd = -diag;
        for (Index j = 1; j <= m; ++j) {
            sgn = sgn + R(n + j - m1) * G(j);
            shn = shn + R(n + m1 - j) * H(j);
            sgd = sgd + R(n + j - m1) * H(m - j + 1);
        }
        if (bad_pivot(sgd)) return 1;
        G(m1) = sgn / sgd;
        H(m1) = shn / sd;

        const double pp = G(m1), qq = H(m1);
        Index k = m;
        for (Index j = 1; j <= (m + 1) / 2; ++j, --k) {
            const double pt1 = G(j), pt2 = G(k), qt1 = H(j), qt2 = H(k);
            G(j) = pt1 - pp * qt2;
            G(k) = pt2 - pp * qt1;
            H(j) = qt1 - qq * pt2;
            H(k) = qt2 - qq * pt1;
        }
    }
}

}  // namespace kwsig
