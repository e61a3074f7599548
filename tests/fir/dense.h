// Dense long-double linear algebra for the FIR tests.
#pragma once

#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

namespace dense {

using Matrix = std::vector<std::vector<long double>>;

// Solves a x = b by Gaussian elimination with partial pivoting.
inline std::vector<long double> solve(Matrix a, std::vector<long double> b) {
    const std::size_t n = b.size();
    for (std::size_t col = 0; col < n; ++col) {
        std::size_t piv = col;
        for (std::size_t r = col + 1; r < n; ++r)
            if (std::fabs(a[r][col]) > std::fabs(a[piv][col])) piv = r;
        std::swap(a[col], a[piv]);
        std::swap(b[col], b[piv]);
        for (std::size_t r = col + 1; r < n; ++r) {
            const long double f = a[r][col] / a[col][col];
            for (std::size_t c = col; c < n; ++c) a[r][c] -= f * a[col][c];
            b[r] -= f * b[col];
        }
    }
    std::vector<long double> x(n);
    for (std::size_t i = n; i-- > 0;) {
        long double s = b[i];
        for (std::size_t c = i + 1; c < n; ++c) s -= a[i][c] * x[c];
        x[i] = s / a[i][i];
    }
    return x;
}

}  // namespace dense
