// Linear-phase low-pass filters designed by the library's weighted
// least-squares synthesis, and the figures that describe one.
#pragma once

#include <vector>

namespace tool {

// Frequencies in cycles per sample (0.5 is half the sample rate).
struct LowpassBands {
    double pass;         // passband 0 .. pass, desired gain 1, weight 1
    double stop;         // stopband stop .. 0.5, desired gain 0, weight stop_weight
    int taps;            // 1 .. kMaxTaps
    double stop_weight;  // the transition band between pass and stop has weight 0
};
constexpr int kMaxTaps = 16383;

// The impulse response h[0 .. taps-1] (h[j] at delay j), symmetric, so the
// filter delays by (taps - 1) / 2 samples. Throws Failure if the design fails.
std::vector<double> design_lowpass(const LowpassBands &bands);

struct LowpassFigures {
    double ripple_db;  // largest |20 log10 |H|| over the passband
    double stop_db;    // largest 20 log10 |H| over the stopband
};
// The figures of the coefficients' own response, on a fine grid.
LowpassFigures measure_lowpass(const std::vector<double> &h, double pass, double stop);

// |H| in dB at k / size cycles per sample, k = 0 .. size/2, by a real FFT of
// the zero-padded coefficients; size is a power of two, at least h.size().
std::vector<double> response_db(const std::vector<double> &h, int size);

}  // namespace tool
