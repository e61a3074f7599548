#include <algorithm>
#include <cmath>

#include "audio.h"
#include "commands.h"

namespace tool {

namespace {

std::string duration(std::int64_t frames, int rate) {
    const double seconds = double(frames) / rate;
    const long whole = long(seconds);
    const double rest = seconds - double(whole - whole % 60);
    return whole >= 3600 ? format("%ld:%02ld:%06.3f", whole / 3600, whole / 60 % 60, rest)
                         : format("%ld:%06.3f", whole / 60, rest);
}

}  // namespace

std::string info_file(const std::string &path) {
    AudioReader in(path);
    const std::size_t nch = std::size_t(in.channels());
    std::vector<double> peak(nch, 0.0), sumsq(nch, 0.0), buf;
    std::int64_t frames = 0;
    for (std::size_t n; (n = in.read(buf, kBlockFrames)) > 0; frames += std::int64_t(n)) {
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t c = 0; c < nch; ++c) {
                const double x = buf[i * nch + c];
                peak[c] = std::max(peak[c], std::abs(x));
                sumsq[c] += x * x;
            }
        Progress::advance(n);
    }
    std::string s = format("%s: %s, %d Hz, %zu channel%s, %lld frames (%s)\n", path.c_str(),
                           describe_format(in.file_format()).c_str(), in.rate(), nch, nch == 1 ? "" : "s",
                           (long long)frames, duration(frames, in.rate()).c_str());
    for (std::size_t c = 0; c < nch; ++c)
        s += format("  channel %zu: peak %s dBFS, RMS %s dBFS\n", c + 1, db(peak[c]).c_str(),
                    db(frames ? std::sqrt(sumsq[c] / double(frames)) : 0.0).c_str());
    return s;
}

}  // namespace tool
