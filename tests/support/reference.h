// Independent reference computations in long double.
#pragma once

#include <cmath>
#include <complex>
#include <cstddef>
#include <vector>

namespace ref {

using cld = std::complex<long double>;

inline long double pi() { return 3.141592653589793238462643383279502884L; }

// e^(sign * 2 pi i * m / n) with the exponent reduced modulo n first, so the
// angle is exact to long double precision for any size.
inline cld unit_root(long double sign, std::size_t m, std::size_t n) {
    const long double a = sign * 2 * pi() * (long double)(m % n) / (long double)n;
    return {std::cos(a), std::sin(a)};
}

// All n roots e^(sign * 2 pi i m / n), m = 0 .. n-1, kept per thread for the
// last size asked, since a test asks for many bins of one size in a row.
inline const std::vector<cld> &unit_roots(long double sign, std::size_t n) {
    thread_local std::vector<cld> roots;
    thread_local long double cached_sign = 0;
    if (roots.size() != n || cached_sign != sign) {
        roots.resize(n);
        for (std::size_t m = 0; m < n; ++m) roots[m] = unit_root(sign, m, n);
        cached_sign = sign;
    }
    return roots;
}

// Bin k of the DFT of x (n points) with the exponent sign given.
inline cld dft_bin(const std::vector<cld> &x, std::size_t k, long double sign) {
    const std::size_t n = x.size();
    const std::vector<cld> &w = unit_roots(sign, n);
    cld acc = 0;
    for (std::size_t p = 0; p < n; ++p) acc += x[p] * w[(p * k) % n];
    return acc;
}

}  // namespace ref
