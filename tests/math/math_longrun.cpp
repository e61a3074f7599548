// The long run of the correctly rounded sine, cosine and logarithm.
//
//   kwsig_math_longrun [--count N] [--threads T] [--hardcases DIR]
//
// N arguments per function (default 10^9, so 3 * 10^9 in all), drawn
// half from the kinds of arguments the library passes and half from the whole
// double range. Each result is checked against glibc's long-double sinl, cosl
// and logl (64-bit significands, an independent implementation accurate to
// about 2^-63): when the long-double value lies more than 2^-59 of its size
// away from the nearest midpoint between two doubles, it decides the correct
// rounding by itself; otherwise (about one result in 40) MPFR decides. A
// disagreement with the long-double decision is also settled by MPFR, so only
// a result that MPFR confirms as misrounded counts. Then every argument of
// the hard-case lists in DIR (sin.txt, cos.txt, log.txt) goes through the
// functions and through the accurate path alone, against MPFR.
// Exit status 1 on any misrounding.
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "mpfr_reference.h"

namespace {

using mathref::Fn;
using mathref::own;
using mathref::same_bits;

long double reference(Fn f, double x) {
    return f == mathref::kSin ? sinl(x) : f == mathref::kCos ? cosl(x) : logl(x);
}

double argument(Fn f, std::mt19937_64 &g, uint64_t i) {
    for (;;) {
        double x;
        if (i & 1) {  // whole range: random bit patterns
            const uint64_t u = g();
            std::memcpy(&x, &u, sizeof x);
            if (!std::isfinite(x)) continue;
            if (f == mathref::kLog) x = std::fabs(x);
        } else if (f == mathref::kLog) {
            x = (i & 2) ? std::uniform_real_distribution<double>(0.0, 1e6)(g)
                        : std::ldexp(std::uniform_real_distribution<double>(1.0, 2.0)(g), int(g() % 200) - 150);
        } else {
            x = (i & 2) ? std::uniform_real_distribution<double>(-200.0, 200.0)(g)
                        : double(g() % 9) * (6.283185307179586 / double(2 + g() % 65536));
        }
        if (f == mathref::kLog && x == 0.0) continue;
        return x;
    }
}

struct Counts {
    std::atomic<uint64_t> done{0}, mpfr{0}, wrong{0}, ld_wrong{0};
};
std::mutex print_lock;

void worker(Fn f, uint64_t begin, uint64_t end, unsigned seed, Counts &c) {
    std::mt19937_64 g(seed);
    uint64_t mpfr = 0, wrong = 0, ld_wrong = 0;
    for (uint64_t i = begin; i < end; ++i) {
        const double x = argument(f, g, i);
        const double y = own(f, x);
        const long double l = reference(f, x);
        const double d = double(l);  // nearest double to the long-double value
        bool decided = std::isfinite(d) && d != 0.0;
        if (decided) {
            // The midpoint between d and its neighbour on the side of l.
            const double n = std::nextafter(d, l > (long double)d ? INFINITY : -INFINITY);
            const long double mid = ((long double)d + (long double)n) / 2;
            decided = fabsl(l - mid) > fabsl(l) * 0x1p-59L;
        }
        if (decided && same_bits(y, d)) continue;
        if (!decided) ++mpfr;
        const double want = mathref::correctly_rounded(f, x);
        if (decided && !same_bits(want, d)) ++ld_wrong;  // the long-double decision was off
        if (!same_bits(y, want)) {
            ++wrong;
            std::lock_guard<std::mutex> lock(print_lock);
            std::printf("MISROUNDED %s(%a) = %a, correctly rounded %a\n", mathref::name(f), x, y, want);
        }
    }
    c.done += end - begin;
    c.mpfr += mpfr;
    c.wrong += wrong;
    c.ld_wrong += ld_wrong;
}

uint64_t hard_cases(const std::string &dir) {
    uint64_t wrong = 0, total = 0;
    for (Fn f : {mathref::kSin, mathref::kCos, mathref::kLog}) {
        const auto args = mathref::read_arguments(dir + "/" + mathref::name(f) + ".txt");
        uint64_t bad = 0;
        for (double x : args) {
            const double want = mathref::correctly_rounded(f, x);
            if (!same_bits(own(f, x), want) || !same_bits(mathref::own_accurate(f, x), want)) {
                ++bad;
                std::printf("MISROUNDED hard case %s(%a)\n", mathref::name(f), x);
            }
        }
        std::printf("hard cases %s: %zu arguments, %llu misrounded\n", mathref::name(f), args.size(),
                    (unsigned long long)bad);
        if (args.empty()) std::printf("  (no file %s/%s.txt)\n", dir.c_str(), mathref::name(f));
        wrong += bad;
        total += args.size();
    }
    return wrong;
}

}  // namespace

int main(int argc, char **argv) {
    uint64_t count = 1000000000;
    unsigned threads = 1;
    std::string dir;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--count")) count = std::strtoull(argv[i + 1], nullptr, 10);
        else if (!std::strcmp(argv[i], "--threads")) threads = unsigned(std::atoi(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--hardcases")) dir = argv[i + 1];
    }
    if (threads == 0) threads = 1;
    const auto t0 = std::chrono::steady_clock::now();
    uint64_t wrong = 0, total = 0;
    for (Fn f : {mathref::kSin, mathref::kCos, mathref::kLog}) {
        Counts c;
        const auto t1 = std::chrono::steady_clock::now();
        std::vector<std::thread> pool;
        for (unsigned t = 0; t < threads; ++t)
            pool.emplace_back(worker, f, count * t / threads, count * (t + 1) / threads,
                              1000u * unsigned(f) + t + 1, std::ref(c));
        for (auto &t : pool) t.join();
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t1).count();
        std::printf("%s: %llu arguments, %llu misrounded (MPFR consulted for %llu near a midpoint; "
                    "long double off in %llu), %.0f s\n",
                    mathref::name(f), (unsigned long long)c.done.load(), (unsigned long long)c.wrong.load(),
                    (unsigned long long)c.mpfr.load(), (unsigned long long)c.ld_wrong.load(), s);
        std::fflush(stdout);
        wrong += c.wrong;
        total += c.done;
    }
    if (!dir.empty()) wrong += hard_cases(dir);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("long run: %llu random arguments%s, %llu misrounded, %.0f s\n", (unsigned long long)total,
                dir.empty() ? "" : " and the hard-case lists", (unsigned long long)wrong, s);
    return wrong ? 1 : 0;
}
