#include <algorithm>
#include <cmath>

#include "commands.h"
#include "lowpass.h"
#include "plot.h"

namespace tool {

std::string design_file(const DesignOptions &opt, const std::string &out, const std::string &svg) {
    const LowpassBands bands{opt.pass / opt.rate, opt.stop / opt.rate, opt.taps, opt.stop_weight};
    const std::vector<double> h = design_lowpass(bands);
    const LowpassFigures fig = measure_lowpass(h, bands.pass, bands.stop);

    const std::string summary[] = {
        format("low-pass, %d taps at %g Hz, linear phase (delay %g samples), stopband weight %g",
               opt.taps, opt.rate, (opt.taps - 1) / 2.0, opt.stop_weight),
        format("passband 0 - %g Hz: ripple +-%.4g dB", opt.pass, fig.ripple_db),
        format("stopband %g - %g Hz: at most %.2f dB", opt.stop, opt.rate / 2, fig.stop_db)};
    // The coefficient file carries the summary as comments, which
    // `kwsig filter` skips.
    std::string text, shown;
    for (const auto &line : summary) text += "# " + line + "\n", shown += line + "\n";
    for (double c : h) text += format("%.17g\n", c);
    if (out.empty()) shown = text;
    else write_text_file(out, text), shown += format("wrote %s\n", out.c_str());

    if (!svg.empty()) {
        int size = 4096;
        while (size < opt.taps) size *= 2;
        Plot plot;
        plot.title = format("Low-pass design: %d taps, passband to %g Hz, stopband from %g Hz", opt.taps,
                            opt.pass, opt.stop);
        plot.x_label = "Frequency (Hz)";
        plot.y_label = "Magnitude (dB)";
        plot.x_min = 0, plot.x_max = opt.rate / 2;
        plot.y_max = 10;
        plot.y_min = std::clamp(std::floor(fig.stop_db / 20 - 1) * 20, -300.0, -20.0);
        plot.x_marks = {opt.pass, opt.stop};
        Series s{{}, response_db(h, size), ""};
        for (std::size_t k = 0; k < s.y.size(); ++k) s.x.push_back(opt.rate * double(k) / size);
        plot.series.push_back(std::move(s));
        write_text_file(svg, render_svg(plot));
        shown += format("wrote %s\n", svg.c_str());
    }
    return shown;
}

}  // namespace tool
