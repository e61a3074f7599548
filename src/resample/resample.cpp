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
//
// Speed: the phase sequence is serial but cheap. It runs ahead over a batch
// of outputs, deciding which exist, the window of 11 samples each uses and
// its phase; then the batch's outputs are formed side by side, one per vector
// lane (resample_lanes.h), in AVX2, SSE2 or plain doubles as kernel_isa()
// says, each lane with the exact operations of its output.
#include <cmath>
#include <cstring>

#include "frame/cpu.h"
#include "frame/lanes.h"
#include "frame/numeric.h"
#include "kwsig.h"
#include "resample/kernel_table.h"

namespace kwsig {
namespace {

constexpr double kLeadingZero = -6.5;  // at or below: the kernel reaches before history[0]
constexpr double kNeedInput = -5.5;    // above: the output needs an unread sample
constexpr int kTaps = 11;

// One output needs a phase in (-6.5, -5.5]. Then x lies in (1710, 2090], c in
// 1711 .. 2090, and every index read is in 0 .. 2090: the taps before the
// output point read c - 380k and one below it (>= 0), the others 380k - c
// and one above it (<= 3800 - 1711 + 1).
#define KWSIG_LANES_KERNELS "resample/resample_lanes.h"
#include "frame/lanes_twice.h"

// Outputs planned per batch; the plan is padded to a whole number of steps
// of the lanes (at most 16 outputs).
constexpr int kBatch = 64;
constexpr int kPlanRoom = kBatch + 15;

// The batch's outputs in the lanes of the instruction set in use, two vectors
// (four plain lanes) interleaved to cover the latency of a sum's steps.
template <typename T>
void outputs_from_plan(Isa isa, const T *window, int *at, double *phase, int count,
                       const float *table, T *out) {
    // Lanes past the last output repeat it and are not stored.
    for (int j = count; j < kPlanRoom; ++j) {
        at[j] = at[count - 1];
        phase[j] = phase[count - 1];
    }
    switch (isa) {
#if defined(KWSIG_X86_KERNELS)
    case Isa::avx2:
        lanes_avx2::outputs_from_plan<LanesAvx2, 2>(window, at, phase, count, table, out);
        return;
    case Isa::sse2:
        lanes::outputs_from_plan<LanesSse2, 2>(window, at, phase, count, table, out);
        return;
#endif
    default:
        lanes::outputs_from_plan<Lanes1, 4>(window, at, phase, count, table, out);
        return;
    }
}

// The shift register runs over a local buffer: the current 11 samples are
// window[0 .. 10] with window = buf + pos, and a sample enters by being stored
// after them and advancing pos. Only when the buffer is full are the newest
// 11 moved back to its start (between batches, as the planned windows point
// into it). The caller's history is written once, at the end, with the same
// 11 samples a sample-by-sample shift would leave.
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
    const Isa isa = kernel_isa();

    constexpr int kRoom = 512;
    T buf[kTaps + kRoom];
    std::memcpy(buf, history, kTaps * sizeof(T));
    int pos = 0;
    int at[kPlanRoom];
    double planned[kPlanRoom];

    T phase = *phase_io;
    int written = 0;
    int i = 0;
    while (wide(phase) <= kLeadingZero) {
        if (written >= noutput) break;
        output[written++] = T(0);
        phase = T(wide(step) + wide(phase));
    }
    bool more = true;
    while (more && written < noutput) {
        // Plan a batch: the same steps as one output at a time.
        const int room = noutput - written < kBatch ? noutput - written : kBatch;
        int count = 0;
        while (count < room) {
            if (wide(phase) > kNeedInput) {
                if (i >= ninput) {  // also ends a call given a negative count
                    more = false;
                    break;
                }
                if (pos == kRoom) break;  // the buffer is full: first form the batch
                buf[kTaps + pos] = input[i++];
                ++pos;
                phase = T(wide(phase) - 1.0);
            } else {
                at[count] = pos;
                planned[count] = wide(phase);
                ++count;
                phase = T(wide(step) + wide(phase));
            }
        }
        if (count > 0) outputs_from_plan(isa, buf, at, planned, count, table, output + written);
        written += count;
        if (pos == kRoom) {
            std::memcpy(buf, buf + kRoom, kTaps * sizeof(T));
            pos = 0;
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
