#include <kwsig.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "audio.h"
#include "commands.h"

namespace tool {

std::vector<double> read_coefficients(const std::string &path) {
    std::ifstream file(path);
    if (!file) throw Failure(format("%s: %s", path.c_str(), errno == ENOENT ? "no such file" : std::strerror(errno)));
    std::vector<double> h;
    std::string line, word;
    for (int number = 1; std::getline(file, line); ++number) {
        std::istringstream words(line.substr(0, line.find('#')));
        while (words >> word) {
            char *end = nullptr;
            const double v = std::strtod(word.c_str(), &end);
            if (*end != '\0' || !std::isfinite(v))
                throw Failure(format("%s line %d: '%s' is not a finite number", path.c_str(), number, word.c_str()));
            h.push_back(v);
        }
    }
    if (file.bad()) throw Failure(format("%s: read error", path.c_str()));
    if (h.empty()) throw Failure(format("%s: no coefficients", path.c_str()));
    return h;
}

std::string filter_file(const std::string &in_path, const std::string &out_path, const FilterOptions &opt) {
    AudioReader in(in_path);
    const std::size_t nch = std::size_t(in.channels()), ntaps = opt.coefficients.size();
    AudioWriter out(out_path,
                    output_format(in.file_format(), out_path, opt.container, opt.encoding, in.rate(), int(nch)),
                    in.rate(), int(nch));
    // The file lists the impulse response (coefficient j at delay j); the
    // library's filter weights the newest sample with its last coefficient.
    const std::vector<double> c(opt.coefficients.rbegin(), opt.coefficients.rend());
    std::vector<std::vector<double>> state(nch, std::vector<double>(ntaps, 0.0));
    std::vector<std::vector<double>> x(nch);
    std::vector<double> block;
    std::int64_t frames = 0;
    Workers workers(std::min(opt.threads, int(nch)));
    for (std::size_t n; (n = in.read(block, kBlockFrames)) > 0; frames += std::int64_t(n)) {
        workers.run(nch, [&](std::size_t ch) {
            x[ch].resize(n);
            for (std::size_t i = 0; i < n; ++i) x[ch][i] = block[i * nch + ch];
            kwsig_fir_double(x[ch].data(), x[ch].data(), int(n), c.data(), int(ntaps), state[ch].data());
            for (std::size_t i = 0; i < n; ++i) block[i * nch + ch] = x[ch][i];
        });
        out.write(block.data(), n);
        Progress::advance(n);
    }
    out.finish();
    std::string s = format("%s -> %s: %zu channel%s, %lld frames filtered with %zu taps", in_path.c_str(),
                           out_path.c_str(), nch, nch == 1 ? "" : "s", (long long)frames, ntaps);
    if (out.clipped()) s += format(", %llu samples clipped", (unsigned long long)out.clipped());
    return s + "\n";
}

}  // namespace tool
