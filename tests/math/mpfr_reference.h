// Correctly rounded sin, cos and log of a double by MPFR, the reference of
// the tests of src/math (MPFR rounds correctly by construction, in the
// double's exponent range with subnormals), and the library's own functions
// by the same selector.
#pragma once

#include <mpfr.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "math/crmath.h"
#include "math/internal.h"

namespace mathref {

enum Fn { kSin, kCos, kLog };
inline const char *name(Fn f) { return f == kSin ? "sin" : f == kCos ? "cos" : "log"; }

// The library's function, and its accurate path alone.
inline double own(Fn f, double x) {
    return f == kSin ? kwsig::math::sin(x) : f == kCos ? kwsig::math::cos(x) : kwsig::math::log(x);
}
inline double own_accurate(Fn f, double x) {
    return f == kLog ? kwsig::math::log_accurate(x) : kwsig::math::sin_cos_accurate(x, f == kCos);
}

inline bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The double nearest to f(x) (round to nearest, ties to even).
inline double correctly_rounded(Fn f, double x) {
    mpfr_set_emin(-1073);  // binary64: subnormals down to 2^-1074
    mpfr_set_emax(1024);
    mpfr_t t;
    mpfr_init2(t, 53);
    mpfr_set_d(t, x, MPFR_RNDN);  // exact
    int inex = f == kSin ? mpfr_sin(t, t, MPFR_RNDN) : f == kCos ? mpfr_cos(t, t, MPFR_RNDN)
                                                                  : mpfr_log(t, t, MPFR_RNDN);
    inex = mpfr_subnormalize(t, inex, MPFR_RNDN);
    const double r = mpfr_get_d(t, MPFR_RNDN);
    mpfr_clear(t);
    return r;
}

// |f(x) - (hi + lo)| to a few significant bits, from 300-bit arithmetic.
inline double error_of(Fn f, double x, double hi, double lo) {
    mpfr_t t, u;
    mpfr_inits2(300, t, u, static_cast<mpfr_ptr>(nullptr));
    mpfr_set_d(t, x, MPFR_RNDN);
    if (f == kSin) mpfr_sin(t, t, MPFR_RNDN);
    else if (f == kCos) mpfr_cos(t, t, MPFR_RNDN);
    else mpfr_log(t, t, MPFR_RNDN);
    mpfr_set_d(u, hi, MPFR_RNDN);
    mpfr_add_d(u, u, lo, MPFR_RNDN);
    mpfr_sub(u, u, t, MPFR_RNDN);
    mpfr_abs(u, u, MPFR_RNDN);
    const double e = mpfr_get_d(u, MPFR_RNDU);
    mpfr_clears(t, u, static_cast<mpfr_ptr>(nullptr));
    return e;
}

// The doubles of a file of hexadecimal literals, one a line.
inline std::vector<double> read_arguments(const std::string &path) {
    std::vector<double> v;
    FILE *f = std::fopen(path.c_str(), "r");
    if (!f) return v;
    char line[128];
    while (std::fgets(line, sizeof line, f)) {
        char *end = nullptr;
        const double x = std::strtod(line, &end);
        if (end != line) v.push_back(x);
    }
    std::fclose(f);
    return v;
}

}  // namespace mathref
