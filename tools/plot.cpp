#include "plot.h"

#include <algorithm>
#include <cmath>

#include "common.h"

namespace tool {
namespace {

constexpr double kWidth = 960, kHeight = 540;
constexpr double kLeft = 84, kRight = 24, kTop = 48, kBottom = 64;
constexpr double kPlotW = kWidth - kLeft - kRight, kPlotH = kHeight - kTop - kBottom;
const char *const kColours[] = {"#1f5fa8", "#c8372d", "#2e8b3a", "#7a4fa3"};

std::string escape(const std::string &s) {
    std::string out;
    for (char c : s) {
        if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else out += c;
    }
    return out;
}

// A step of 1, 2 or 5 times a power of ten giving about `count` ticks.
double tick_step(double span, int count) {
    const double raw = span / count;
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (m * mag >= raw) return m * mag;
    return 10 * mag;
}

// "5k" for thousands, otherwise as many decimals as the step needs.
std::string tick_label(double v, double step) {
    if (v == 0) return "0";
    if (step >= 1000 && std::fmod(v, 1000) == 0) return format("%gk", v / 1000);
    const int decimals = std::max(0, -int(std::floor(std::log10(step) + 1e-9)));
    return format("%.*f", decimals, v);
}

struct Axis {
    double lo, hi;
    bool log;
    double pixel(double v, double length) const {
        return log ? (std::log10(v) - std::log10(lo)) / (std::log10(hi) - std::log10(lo)) * length
                   : (v - lo) / (hi - lo) * length;
    }
    // (value, label) pairs; log axes mark 1, 2 and 5 in every decade.
    std::vector<std::pair<double, std::string>> ticks(int count) const {
        std::vector<std::pair<double, std::string>> t;
        if (log) {
            for (double dec = std::pow(10.0, std::floor(std::log10(lo))); dec <= hi; dec *= 10)
                for (double m : {1.0, 2.0, 5.0})
                    if (m * dec >= lo * (1 - 1e-9) && m * dec <= hi * (1 + 1e-9))
                        t.emplace_back(m * dec, tick_label(m * dec, dec));
            return t;
        }
        const double step = tick_step(hi - lo, count);
        for (double v = std::ceil(lo / step - 1e-9) * step; v <= hi + step * 1e-9; v += step) {
            const double r = std::round(v / step) * step;
            t.emplace_back(r, tick_label(r, step));
        }
        return t;
    }
};

// Data limits, widened when empty or flat; x > 0 only on a log axis.
void limits(const Plot &plot, bool x, double &lo, double &hi) {
    double a = INFINITY, b = -INFINITY;
    for (const auto &s : plot.series)
        for (std::size_t i = 0; i < s.x.size(); ++i) {
            if (plot.log_x && s.x[i] <= 0) continue;
            const double v = x ? s.x[i] : s.y[i];
            if (std::isfinite(v)) a = std::min(a, v), b = std::max(b, v);
        }
    const bool free_lo = std::isnan(lo), free_hi = std::isnan(hi);
    if (free_lo) lo = std::isfinite(a) ? a : 0;
    if (free_hi) hi = std::isfinite(b) ? b : 1;
    if (!(hi > lo)) hi = lo + (x && plot.log_x ? lo : 1.0);
    if (x && plot.log_x) return;
    // Limits taken from the data widen to the next tick.
    const double step = tick_step(hi - lo, 8);
    if (free_lo) lo = std::floor(lo / step) * step;
    if (free_hi) hi = std::ceil(hi / step) * step;
}

}  // namespace

std::string render_svg(const Plot &plot) {
    Axis xa{plot.x_min, plot.x_max, plot.log_x}, ya{plot.y_min, plot.y_max, false};
    limits(plot, true, xa.lo, xa.hi);
    limits(plot, false, ya.lo, ya.hi);
    auto px = [&](double v) { return kLeft + xa.pixel(v, kPlotW); };
    auto py = [&](double v) { return kTop + kPlotH - ya.pixel(std::clamp(v, ya.lo, ya.hi), kPlotH); };

    std::string s = format(
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%g\" height=\"%g\" viewBox=\"0 0 %g %g\" "
        "font-family=\"sans-serif\" font-size=\"13\">\n"
        "<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n"
        "<text x=\"%g\" y=\"28\" text-anchor=\"middle\" font-size=\"17\">%s</text>\n",
        kWidth, kHeight, kWidth, kHeight, kLeft + kPlotW / 2, escape(plot.title).c_str());

    for (const auto &[v, label] : xa.ticks(10)) {
        const double x = px(v);
        s += format("<line x1=\"%.1f\" y1=\"%g\" x2=\"%.1f\" y2=\"%g\" stroke=\"#ddd\"/>"
                    "<line x1=\"%.1f\" y1=\"%g\" x2=\"%.1f\" y2=\"%g\" stroke=\"black\"/>"
                    "<text x=\"%.1f\" y=\"%g\" text-anchor=\"middle\">%s</text>\n",
                    x, kTop, x, kTop + kPlotH, x, kTop + kPlotH, x, kTop + kPlotH + 5, x,
                    kTop + kPlotH + 20, label.c_str());
    }
    for (const auto &[v, label] : ya.ticks(8)) {
        const double y = py(v);
        s += format("<line x1=\"%g\" y1=\"%.1f\" x2=\"%g\" y2=\"%.1f\" stroke=\"#ddd\"/>"
                    "<line x1=\"%g\" y1=\"%.1f\" x2=\"%g\" y2=\"%.1f\" stroke=\"black\"/>"
                    "<text x=\"%g\" y=\"%.1f\" text-anchor=\"end\">%s</text>\n",
                    kLeft, y, kLeft + kPlotW, y, kLeft - 5, y, kLeft, y, kLeft - 8, y + 4.5,
                    label.c_str());
    }
    s += format("<rect x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\" fill=\"none\" stroke=\"black\"/>\n"
                "<text x=\"%g\" y=\"%g\" text-anchor=\"middle\">%s</text>\n"
                "<text transform=\"translate(22 %g) rotate(-90)\" text-anchor=\"middle\">%s</text>\n",
                kLeft, kTop, kPlotW, kPlotH, kLeft + kPlotW / 2, kHeight - 18,
                escape(plot.x_label).c_str(), kTop + kPlotH / 2, escape(plot.y_label).c_str());
    for (double m : plot.x_marks)
        if (m >= xa.lo && m <= xa.hi)
            s += format("<line x1=\"%.1f\" y1=\"%g\" x2=\"%.1f\" y2=\"%g\" stroke=\"#888\" "
                        "stroke-dasharray=\"6 4\"/>\n",
                        px(m), kTop, px(m), kTop + kPlotH);

    // Each pixel column keeps the lowest and the highest value that falls in
    // it, so long series stay small files and lose no peaks.
    for (std::size_t k = 0; k < plot.series.size(); ++k) {
        const Series &ser = plot.series[k];
        std::string points;
        long column = -1;
        double lo = 0, hi = 0;
        auto flush = [&] {
            if (column >= 0)
                points += format("%ld,%.1f %ld,%.1f ", column, py(lo), column, py(hi));
        };
        for (std::size_t i = 0; i < ser.x.size(); ++i) {
            if (!std::isfinite(ser.y[i]) || (plot.log_x && ser.x[i] <= 0) || ser.x[i] < xa.lo ||
                ser.x[i] > xa.hi)
                continue;
            const long c = std::lround(px(ser.x[i]));
            if (c != column) flush(), column = c, lo = hi = ser.y[i];
            lo = std::min(lo, ser.y[i]), hi = std::max(hi, ser.y[i]);
        }
        flush();
        s += format("<polyline fill=\"none\" stroke=\"%s\" stroke-width=\"1.5\" points=\"%s\"/>\n",
                    kColours[k % 4], points.c_str());
        if (!ser.label.empty())
            s += format("<line x1=\"%g\" y1=\"%g\" x2=\"%g\" y2=\"%g\" stroke=\"%s\" stroke-width=\"3\"/>"
                        "<text x=\"%g\" y=\"%g\">%s</text>\n",
                        kLeft + kPlotW - 170, kTop + 18 + 18 * k, kLeft + kPlotW - 146,
                        kTop + 18 + 18 * k, kColours[k % 4], kLeft + kPlotW - 140,
                        kTop + 22.5 + 18 * k, escape(ser.label).c_str());
    }
    return s + "</svg>\n";
}

}  // namespace tool
