// Averaged spectrum of a file: records of N frames, windowed by a window of
// unit mean, their powers averaged over records (and channels). Scaled to
// full scale: a sine of amplitude A centred on a bin reads A^2 in power, A in
// magnitude, 20 log10 A dBFS (0 dBFS for a full-scale sine); a constant level
// d reads d^2 in bin 0.
#include <kwsig.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "audio.h"
#include "commands.h"
#include "plot.h"

namespace tool {

const char *const kWindowNames[4] = {"uniform", "hann", "low-sidelobe", "flat-top"};

namespace {

// Half the width of each window's main lobe in bins, indexed by window type:
// a tone's power lies within this many bins of its peak.
constexpr int kLobe[4] = {1, 2, 5, 5};

struct Peak {
    double hz, dbfs;
};

// Peaks: bins that hold the maximum within a main lobe on either side and
// stand 20 dB above the median bin, strongest first. A tone's level is the
// power of its whole main lobe, which does not depend on where the tone
// falls between bins: sum P_k = (A/2)^2 N sum w^2 for a window of unit mean,
// so A^2 = 4 sum P_k / (N^2 mean(w^2)). Its frequency is the lobe's centroid.
std::vector<Peak> find_peaks(const std::vector<double> &power, int lobe, double mean_w2, double rate,
                             int count) {
    const int half = int(power.size()) - 1, n = 2 * half;
    auto p = [&](int k) { return power[std::size_t(k)]; };
    std::vector<double> sorted(power);
    std::nth_element(sorted.begin(), sorted.begin() + half / 2, sorted.end());
    const double floor = 100 * sorted[std::size_t(half / 2)];
    std::vector<int> bins;
    for (int k = 1; k < half; ++k) {
        bool top = p(k) > floor;  // and no bin within a lobe higher; ties go to the lower bin
        for (int j = std::max(0, k - lobe); top && j <= std::min(half, k + lobe); ++j)
            if (j != k) top = j < k ? p(j) < p(k) : p(j) <= p(k);
        if (top) bins.push_back(k);
    }
    std::sort(bins.begin(), bins.end(), [&](int a, int b) { return p(a) > p(b); });
    std::vector<Peak> peaks;
    for (int k : bins) {
        if (int(peaks.size()) == count) break;
        double sum = 0, moment = 0;
        for (int j = std::max(0, k - lobe); j <= std::min(half, k + lobe); ++j) sum += p(j), moment += j * p(j);
        peaks.push_back({moment / sum * rate / n, 10 * std::log10(4 * sum / (double(n) * n * mean_w2))});
    }
    return peaks;
}

}  // namespace

std::string spectrum_file(const std::string &path, const SpectrumOptions &opt, const std::string &csv,
                          const std::string &svg) {
    AudioReader in(path);
    const std::size_t nch = std::size_t(in.channels()), n = std::size_t(opt.size), bins = n / 2 + 1;
    if (std::size_t(opt.channel) > nch)
        throw UsageError(format("has %zu channel%s, there is no channel %d", nch, nch == 1 ? "" : "s",
                                opt.channel));
    const std::size_t hop = std::max<std::size_t>(1, std::size_t(std::lround(double(n) * (1 - opt.overlap / 100))));

    std::vector<double> window(n), x(n), power(bins), sum(bins, 0.0), record, fresh;
    kwsig_window_double(window.data(), int(n), opt.window, KWSIG_NORM_MEAN, 1.0);
    double mean_w2 = 0;
    for (double w : window) mean_w2 += w * w / double(n);

    // The record slides by `hop` frames; a file shorter than one record is
    // padded with silence once.
    std::size_t got = in.read(record, n), records = 0;
    Progress::advance(got);
    const bool padded = got < n;
    std::fill(record.begin() + std::ptrdiff_t(got * nch), record.end(), 0.0);
    for (bool more = got > 0; more;) {
        for (std::size_t c = 0; c < nch; ++c) {
            if (opt.channel && c + 1 != std::size_t(opt.channel)) continue;
            for (std::size_t i = 0; i < n; ++i) x[i] = record[i * nch + c];
            kwsig_spectrum_double(x.data(), power.data(), window.data(), int(n), KWSIG_SPECTRUM_POWER);
            for (std::size_t k = 0; k < bins; ++k) sum[k] += power[k];
        }
        ++records;
        // hop <= n: the overlap is below 100 %.
        std::memmove(record.data(), record.data() + hop * nch, (n - hop) * nch * sizeof(double));
        const std::size_t r = in.read(fresh, hop);
        Progress::advance(r);
        std::copy(fresh.begin(), fresh.begin() + std::ptrdiff_t(r * nch), record.end() - std::ptrdiff_t(hop * nch));
        more = !padded && r == hop;
    }
    if (records == 0) throw Failure("no samples");

    const double rate = in.rate(), used = double(records * (opt.channel ? 1 : nch));
    for (auto &p : sum) p /= used;
    const auto peaks = find_peaks(sum, kLobe[opt.window], mean_w2, rate, opt.peaks);

    // Full-scale values per bin: P * 4 / N^2, but P / N^2 for the two real
    // bins, 0 and N/2, which have no mirror image.
    std::vector<double> hz(bins), value(bins);
    for (std::size_t k = 0; k < bins; ++k) {
        hz[k] = double(k) * rate / double(n);
        const double v = sum[k] * (k == 0 || k == bins - 1 ? 1.0 : 4.0) / (double(n) * double(n));
        value[k] = opt.scale == Scale::db ? 10 * std::log10(std::max(v, 1e-300))
                   : opt.scale == Scale::power ? v
                                               : std::sqrt(v);
    }
    const char *unit = opt.scale == Scale::db ? "level_dbfs" : opt.scale == Scale::power ? "power" : "magnitude";
    const std::string which = opt.channel ? format("channel %d of %zu", opt.channel, nch)
                                          : format("%zu channel%s averaged", nch, nch == 1 ? "" : "s");
    std::string s = format("%s: %g Hz, %s, %zu record%s of %zu frames (%s window, %g%% overlap%s), "
                           "bins %.4g Hz apart\n",
                           path.c_str(), rate, which.c_str(), records, records == 1 ? "" : "s", n,
                           kWindowNames[opt.window], opt.overlap, padded ? ", padded with silence" : "",
                           rate / double(n));
    for (const auto &p : peaks) s += format("  peak %10.2f Hz  %7.2f dBFS\n", p.hz, p.dbfs);

    if (!csv.empty()) {
        std::string text = format("frequency_hz,%s\n", unit);
        for (std::size_t k = 0; k < bins; ++k) text += format("%.6f,%.9g\n", hz[k], value[k]);
        write_text_file(csv, text);
        s += format("  wrote %s\n", csv.c_str());
    }
    if (!svg.empty()) {
        Plot plot;
        const std::string name = path.substr(path.rfind('/') + 1);
        plot.title = format("Spectrum of %s (%s, %s window, %zu points)", name.c_str(), which.c_str(),
                            kWindowNames[opt.window], n);
        plot.x_label = "Frequency (Hz)";
        plot.y_label = opt.scale == Scale::db ? "Level (dBFS)"
                       : opt.scale == Scale::power ? "Power (full scale squared)"
                                                   : "Magnitude (full scale)";
        plot.log_x = opt.log_frequency;
        plot.x_min = opt.log_frequency ? rate / double(n) : 0.0;
        plot.x_max = rate / 2;
        if (opt.scale == Scale::db) {
            const double top = *std::max_element(value.begin(), value.end());
            const double bottom = *std::min_element(value.begin(), value.end());
            plot.y_max = std::ceil(top / 10 + 0.01) * 10;
            plot.y_min = std::max(std::floor(bottom / 10) * 10, plot.y_max - 160);
        } else {
            plot.y_min = 0;
        }
        plot.series.push_back({hz, value, ""});
        write_text_file(svg, render_svg(plot));
        s += format("  wrote %s\n", svg.c_str());
    }
    return s;
}

}  // namespace tool
