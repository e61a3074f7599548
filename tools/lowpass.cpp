#include "lowpass.h"

#include <kwsig.h>

#include <algorithm>
#include <cmath>

#include "common.h"

namespace tool {

std::vector<double> design_lowpass(const LowpassBands &bands) {
    // The design grid has N + 1 points from 0 to 0.5: at least 16 per tap,
    // so the error between grid points stays small, and 16 across the
    // transition band, so both band edges are resolved.
    int n = 1024;
    while (n < (1 << 22) && (n < 16 * bands.taps || n * 2 * (bands.stop - bands.pass) < 16)) n *= 2;
    std::vector<double> desired(2 * std::size_t(n) + 2, 0.0), weights(std::size_t(n) + 1, 0.0);
    for (int p = 0; p <= n; ++p) {
        const double f = 0.5 * p / n;
        if (f <= bands.pass) desired[2 * std::size_t(p)] = 1, weights[std::size_t(p)] = 1;
        else if (f >= bands.stop) weights[std::size_t(p)] = bands.stop_weight;
    }
    std::vector<double> h(std::size_t(bands.taps));
    if (kwsig_fir_synth(desired.data(), weights.data(), n, (bands.taps - 1) / 2.0, h.data(), bands.taps) != 0.0)
        throw Failure("the least-squares design failed (singular system)");
    // A real target delayed by (taps - 1) / 2 has a symmetric solution; the
    // solve leaves mirror pairs equal to rounding, and averaging them makes
    // the phase exactly linear. A solve that drifted far from symmetric lost
    // its accuracy: with no weight on the transition band the normal
    // equations grow ill-conditioned as taps times transition width grows.
    double largest = 0, drift = 0;
    for (std::size_t j = 0, k = h.size() - 1; j < k; ++j, --k) {
        largest = std::max({largest, std::abs(h[j]), std::abs(h[k])});
        drift = std::max(drift, std::abs(h[j] - h[k]));
        h[j] = h[k] = (h[j] + h[k]) / 2;
    }
    if (drift > 1e-3 * largest)
        throw Failure(format("the least-squares system is too ill-conditioned for %d taps with this band; use "
                             "fewer taps or a narrower transition band", bands.taps));
    return h;
}

std::vector<double> response_db(const std::vector<double> &h, int size) {
    std::vector<double> x(std::size_t(size), 0.0), out(std::size_t(size) / 2 + 1);
    std::copy(h.begin(), h.end(), x.begin());
    kwsig_fft_real_double(x.data(), unsigned(size), 1);
    for (std::size_t k = 0; k < out.size(); ++k) {
        const double m = k == 0 ? std::abs(x[0]) : k == out.size() - 1 ? std::abs(x[1]) : std::hypot(x[2 * k], x[2 * k + 1]);
        out[k] = 20 * std::log10(std::max(m, 1e-30));
    }
    return out;
}

LowpassFigures measure_lowpass(const std::vector<double> &h, double pass, double stop) {
    // 64 points per tap, at least 2^16: a fine enough grid to catch the
    // ripple's extremes near the band edges.
    int size = 1 << 16;
    while (size < 64 * int(h.size())) size *= 2;
    const std::vector<double> level = response_db(h, size);
    LowpassFigures fig{0.0, -600.0};
    for (std::size_t k = 0; k < level.size(); ++k) {
        const double f = double(k) / size;
        if (f <= pass) fig.ripple_db = std::max(fig.ripple_db, std::abs(level[k]));
        if (f >= stop) fig.stop_db = std::max(fig.stop_db, level[k]);
    }
    // The band edges themselves, where the response moves fastest.
    for (double f : {pass, stop}) {
        double r[2];
        kwsig_fir_resp(r, 1, f, f, h.data(), int(h.size()));
        const double level_db = 20 * std::log10(std::max(std::hypot(r[0], r[1]), 1e-30));
        if (f == pass) fig.ripple_db = std::max(fig.ripple_db, std::abs(level_db));
        else fig.stop_db = std::max(fig.stop_db, level_db);
    }
    return fig;
}

}  // namespace tool
