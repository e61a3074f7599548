// Interpolation kernel of the resampler: the six-term cosine sum
//   k(d) = (1/11) * sum_q a_q cos(q * pi * d / 5.5),   0 <= d <= 5.5 periods,
// tabulated at 380 points per period.
//
// Arithmetic, exactly:
//   theta, s: float; s = float(kPi / 2090); theta advances by repeated float
//   addition (theta = float(theta + s)), never as j * s, so the last angle is
//   about 3.1416225 and the edge entries are tiny residues, not zeros.
//   sum: float, starting at 1 (the q = 0 term); for q = 1 .. 5 in order
//   sum = float(sum + a_q * cos(q * theta)), cosine in double of the exact
//   product q * theta; entry j = float(sum / 11).
//   The a_q are float constants: kKernelCoefficients rounded to float. For
//   these six decimals that is the float nearest each decimal: the double in
//   between adds no second rounding.
#include "resample/kernel_table.h"

#include <atomic>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#else
#include <sched.h>
#endif

#include "frame/numeric.h"
#include "math/crmath.h"

namespace kwsig {

// Static storage, zero at load: loading the library builds nothing.
float resample_kernel_table[kKernelEntries];

namespace {

constexpr float coefficient(int q) { return float(kKernelCoefficients[q]); }

// Built exactly once, by the first caller that moves `state` from kUnbuilt to
// kBuilding. kBuilt is stored with release after the last entry, so an acquire
// load that sees it also sees the whole table: the fast path is one load.
// Callers that arrive during the build yield until it is published; the build
// takes a fraction of a millisecond. Plain atomics, so the library needs no
// thread library and no C++ run-time support.
enum : int { kUnbuilt, kBuilding, kBuilt };
std::atomic<int> state{kUnbuilt};

void yield_processor() {
#if defined(_WIN32)
    SwitchToThread();
#else
    sched_yield();
#endif
}

}  // namespace

void build_resample_table() {
    const float s = float(kPi / 2090.0);
    float theta = 0.0f;
    for (int j = 0; j <= kKernelLast; ++j) {
        float sum = 1.0f;
        for (int q = 1; q <= 5; ++q) {
            const double angle = double(q) * wide(theta);  // exact: 3 bits times 24
            sum = float(wide(sum) + wide(coefficient(q)) * math::cos(angle));
        }
        resample_kernel_table[j] = float(wide(sum) / 11.0);
        theta = float(wide(theta) + wide(s));
    }
}

const float *kernel_table() {
    if (state.load(std::memory_order_acquire) != kBuilt) {
        int expected = kUnbuilt;
        if (state.compare_exchange_strong(expected, kBuilding, std::memory_order_acquire)) {
            build_resample_table();
            state.store(kBuilt, std::memory_order_release);
        } else {
            while (state.load(std::memory_order_acquire) != kBuilt) yield_processor();
        }
    }
    return resample_kernel_table;
}

}  // namespace kwsig
