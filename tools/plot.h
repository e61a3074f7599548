// Line plots as self-contained SVG: title, axes with units and ticks, grid,
// optional legend and dashed vertical marks.
#pragma once

#include <limits>
#include <string>
#include <vector>

namespace tool {

struct Series {
    std::vector<double> x, y;
    std::string label;  // shown in a legend when any series has one
};

struct Plot {
    std::string title, x_label, y_label;  // labels carry their unit: "Frequency (Hz)"
    bool log_x = false;
    // Axis limits; NaN takes them from the data.
    double x_min = std::numeric_limits<double>::quiet_NaN(), x_max = x_min;
    double y_min = x_min, y_max = x_min;
    std::vector<Series> series;
    std::vector<double> x_marks;  // dashed vertical lines, e.g. band edges
};

std::string render_svg(const Plot &plot);

}  // namespace tool
