// The resampler's interpolation kernel, tabulated once per process.
#pragma once

namespace kwsig {

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
