// Benchmark-only stand-in for src/math: the C library's sin, cos and log, to
// measure each export as it was before the library had its own (the "before"
// column of bench/math-cost).
#include <cmath>
#include <cstddef>

#include "math/crmath.h"

namespace kwsig {
namespace math {

double sin(double x) { return std::sin(x); }
double cos(double x) { return std::cos(x); }
double log(double x) { return std::log(x); }
int log4(const double *, double *) { return 0xF; }  // every lane to log()
int sin4(const double *, double *) { return 0xF; }  // every lane to sin()
int sin8(const double *, double *) { return 0xFF; }
void log_each(const double *x, double *y, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) y[i] = std::log(x[i]);
}

}  // namespace math
}  // namespace kwsig
