// Streaming 11-tap resampler, float and double twins of one template.
//
// State: history[0 .. 10] (oldest first) and phase, the position of the next
// output relative to the next unread input sample, in input periods. The
// output weights history[k] by the kernel at distance |phase + 11 - k|.
//
// Per call:
//   while phase <= -6.5 (only at the start of a call): output 0, phase += step
//   then until the output array is full:
//     phase > -5.5:  shift the next input sample in, phase -= 1
//     otherwise:     compute an output, phase = step + phase
// Every phase update is rounded to the sample type T; the thresholds are
// doubles.
//
// One output, from the position x = (phase + 11) * 380 in table steps:
//   c = ceil(x); w1 = T(c - double(T(x))); w0 = T(1 - w1)
//   for k = 0 .. 10, n = c - 380 k:
//     n > 0:  kv = w0 T[n]  + w1 T[n - 1]
//     n <= 0: kv = w0 T[-n] + w1 T[-n + 1]
//     sum = T(sum + history[k] * kv)         kv and the product stay double
// For float, (phase + 11) * 380 is exact in double: the ceiling sees the
// exact position and the fraction the position rounded to float. For double
// it is the double expression, rounded per operation. Both are the same
// expression followed by a rounding to T, so one body serves both twins.
//
// Gain at zero frequency: the continuous kernel's values at eleven points one
// period apart sum to exactly 1 (the terms q = 1 .. 5 of the cosine sum cancel
// over eleven points one period apart, leaving 11 a_0 / 11). The table's float
// roundings, its float angle (about 3e-5 past pi at the edge) and the linear
// interpolation between entries make the eleven weights of an output sum to
// 1.0000034 .. 1.0000042, depending on the phase.
#include <cmath>
#include <cstring>

#include "frame/numeric.h"
#include "kwsig.h"
#include "resample/kernel_table.h"

namespace kwsig {
namespace {

constexpr double kLeadingZero = -6.5;  // at or below: the kernel reaches before history[0]
constexpr double kNeedInput = -5.5;    // above: the output needs an unread sample
constexpr int kTaps = 11;

// One output for a phase in (-6.5, -5.5]. Then x lies in (1710, 2090], c in
// 1711 .. 2090, and every index read is in 0 .. 2090: the taps before the
// output point read c - 380k and one below it (>= 0), the others 380k - c
// and one above it (<= 3800 - 1711 + 1).
template <typename T>
T interpolate(const T *history, double phase, const float *table) {
    const double x = (phase + 11.0) * double(kKernelSteps);
    const double ceil_x = std::ceil(x);
    const int c = int(ceil_x);
    const T w1 = T(ceil_x - wide(T(x)));
    const T w0 = T(1.0 - wide(w1));
    const double a = wide(w0), b = wide(w1);

    // Taps k with 380k < c lie before the output point; the rest on or after it.
    const int before = (c - 1) / kKernelSteps + 1;
    T sum = T(0);
    int k = 0;
    for (int n = c; k < before; ++k, n -= kKernelSteps) {
        const double kv = a * wide(table[n]) + b * wide(table[n - 1]);
        sum = T(wide(sum) + wide(history[k]) * kv);
    }
    for (int n = kKernelSteps * k - c; k < kTaps; ++k, n += kKernelSteps) {
        const double kv = a * wide(table[n]) + b * wide(table[n + 1]);
        sum = T(wide(sum) + wide(history[k]) * kv);
    }
    return sum;
}

// The shift register runs over a local buffer: the current 11 samples are
// window[0 .. 10] with window = buf + pos, and a sample enters by being stored
// after them and advancing pos. Only when the buffer is full are the newest
// 11 moved back to its start. The caller's history is written once, at the
// end, with the same 11 samples a sample-by-sample shift would leave.
template <typename T>
void resample(const T *input, int ninput, T *output, int noutput, int *nwritten, T *phase_io,
              T step, T *history) {
    *nwritten = 0;
    // A negative or non-finite step or a non-finite phase could move the
    // position outside the kernel's span: such a call does nothing else.
    // With a finite phase and a step >= 0 the phase never falls back to
    // -6.5 in the main loop, which keeps every table index in range.
    if (!std::isfinite(wide(*phase_io)) || !std::isfinite(wide(step)) || wide(step) < 0.0) return;
    if (noutput <= 0) return;
    const float *table = kernel_table();

    constexpr int kRoom = 512;
    T buf[kTaps + kRoom];
    std::memcpy(buf, history, kTaps * sizeof(T));
    int pos = 0;

    T phase = *phase_io;
    int written = 0;
    int i = 0;
    while (wide(phase) <= kLeadingZero) {
        if (written >= noutput) break;
        output[written++] = T(0);
        phase = T(wide(step) + wide(phase));
    }
    while (written < noutput) {
        if (wide(phase) > kNeedInput) {
            if (i >= ninput) break;  // also ends a call given a negative count
            if (pos == kRoom) {
                std::memcpy(buf, buf + kRoom, kTaps * sizeof(T));
                pos = 0;
            }
            buf[kTaps + pos] = input[i++];
            ++pos;
            phase = T(wide(phase) - 1.0);
        } else {
            output[written++] = interpolate(buf + pos, wide(phase), table);
            phase = T(wide(step) + wide(phase));
        }
    }
    std::memcpy(history, buf + pos, kTaps * sizeof(T));
    *phase_io = phase;
    *nwritten = written;
}

}  // namespace
}  // namespace kwsig

extern "C" {

KWSIG_API void KWSIG_CALL kwsig_resample(const float *input, int ninput, float *output,
                                         int noutput, int *nwritten, float *phase, float step,
                                         float *history) {
    kwsig::resample(input, ninput, output, noutput, nwritten, phase, step, history);
}

KWSIG_API void KWSIG_CALL kwsig_resample_double(const double *input, int ninput, double *output,
                                                int noutput, int *nwritten, double *phase,
                                                double step, double *history) {
    kwsig::resample(input, ninput, output, noutput, nwritten, phase, step, history);
}

}  // extern "C"
