// Throughput of the transforms over the sizes callers use most.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "kwsig.h"

namespace {

template <typename T>
std::vector<T> noise(std::size_t n) {
    std::mt19937 gen(1);
    std::uniform_real_distribution<double> u(-1, 1);
    std::vector<T> v(n);
    for (auto &x : v) x = T(u(gen));
    return v;
}

template <typename T, void (*Fft)(T *, unsigned, int), unsigned ValuesPerPoint>
void transform(benchmark::State &state) {
    const unsigned n = unsigned(state.range(0));
    auto data = noise<T>(std::size_t(ValuesPerPoint) * n);
    int dir = 1;
    for (auto _ : state) {
        Fft(data.data(), n, dir);
        dir = -dir;  // alternate so the values stay bounded
        benchmark::DoNotOptimize(data.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

BENCHMARK(transform<float, kwsig_fft, 2>)->RangeMultiplier(16)->Range(64, 1 << 16);
BENCHMARK(transform<double, kwsig_fft_double, 2>)->RangeMultiplier(16)->Range(64, 1 << 16);
BENCHMARK(transform<float, kwsig_fft_real, 1>)->RangeMultiplier(16)->Range(64, 1 << 16);
BENCHMARK(transform<double, kwsig_fft_real_double, 1>)->RangeMultiplier(16)->Range(64, 1 << 16);

}  // namespace
