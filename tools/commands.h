// The work of each subcommand, one file each; main.cpp holds the command
// line. A function for one file returns what it prints on stdout and throws
// UsageError or Failure.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common.h"

namespace tool {

// Frames per block when streaming a file: memory stays constant with length.
constexpr std::size_t kBlockFrames = 8192;

// info.cpp
std::string info_file(const std::string &path);

// spectrum.cpp
extern const char *const kWindowNames[4];  // indexed by KWSIG_WINDOW_UNIFORM .. KWSIG_WINDOW_FLAT_TOP
enum class Scale { db, power, magnitude };
struct SpectrumOptions {
    int size = 4096;
    int window = 1;         // KWSIG_WINDOW_HANN
    double overlap = 50;    // percent
    Scale scale = Scale::db;
    int channel = 0;        // 1-based; 0 averages all channels
    int peaks = 5;
    bool log_frequency = false;
};
std::string spectrum_file(const std::string &path, const SpectrumOptions &opt, const std::string &csv,
                          const std::string &svg);

// resample.cpp
struct ResampleOptions {
    int rate = 0;
    bool lowpass = true;
    std::string container, encoding;
    int threads = 1;  // for the channels of one file
};
std::int64_t expected_frames(std::int64_t frames, int in_rate, int out_rate);
std::string resample_file(const std::string &in, const std::string &out, const ResampleOptions &opt);

// design.cpp
struct DesignOptions {
    double pass = 0, stop = 0, stop_weight = 100, rate = 48000;
    int taps = 0;
};
std::string design_file(const DesignOptions &opt, const std::string &out, const std::string &svg);

// filter.cpp
std::vector<double> read_coefficients(const std::string &path);
struct FilterOptions {
    std::vector<double> coefficients;  // impulse response, coefficient j at delay j
    std::string container, encoding;
    int threads = 1;  // for the channels of one file
};
std::string filter_file(const std::string &in, const std::string &out, const FilterOptions &opt);

// demo.cpp
void run_demo(const std::string &folder);  // prints as it goes

}  // namespace tool
