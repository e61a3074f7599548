// Reproducible random test data.
#pragma once

#include <cstddef>
#include <random>
#include <vector>

namespace testdata {

// n values uniform in [a, b), drawn in double and rounded to T.
template <typename T>
std::vector<T> random_values(std::size_t n, unsigned seed, double a = -1.0, double b = 1.0) {
    std::mt19937_64 gen(seed);
    std::uniform_real_distribution<double> u(a, b);
    std::vector<T> v(n);
    for (auto &x : v) x = T(u(gen));
    return v;
}

}  // namespace testdata
