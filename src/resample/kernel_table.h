// The resampler's interpolation kernel: its coefficients, and its table,
// built once per process.
#pragma once

namespace kwsig {

// The kernel is the six-term cosine sum
//   k(d) = (1/11) sum_q a_q cos(q pi d / 5.5),  q = 0 .. 5,  |d| <= 5.5 periods,
// with these a_q. The table takes them rounded to float, the closed-form
// response (kwsig_resamp_resp) as doubles with alternating signs,
// b_q = (-1)^q a_q.
constexpr double kKernelCoefficients[6] = {1.0, 1.539081, 0.683614, 0.15986, 0.015624, 0.000297};
constexpr double kernel_coefficient_signed(int q) {
    return q % 2 != 0 ? -kKernelCoefficients[q] : kKernelCoefficients[q];
}

// 380 entries per input period, from the kernel's centre (entry 0) to its
// edge at 5.5 periods (entry 2090): 2091 single-precision values.
constexpr int kKernelSteps = 380;
constexpr int kKernelLast = 2090;
constexpr int kKernelEntries = kKernelLast + 1;

// The table itself: zero until the first resampler call builds it. The
// library's only process-wide state.
extern float resample_kernel_table[kKernelEntries];

// Overwrites every entry, in ascending order. Not synchronised: reached
// through kernel_table() only.
void build_resample_table();

// The complete table. The first call in the process builds it exactly once,
// however many threads arrive together; every call returns only after the
// build is complete and visible to the calling thread. Later calls are one
// acquire load.
const float *kernel_table();

}  // namespace kwsig
