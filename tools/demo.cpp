// The built-in example: a synthetic test signal run through every command.
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstring>

#include <kwsig.h>

#include "audio.h"
#include "commands.h"

namespace tool {

namespace {

constexpr double kPi = 3.141592653589793;

// Four seconds at 44.1 kHz, 24-bit stereo: 1 kHz at -6 dBFS and 5 kHz at
// -26 dBFS in both channels, and a logarithmic sweep from 20 Hz to 20 kHz at
// -40 dBFS, rising on the left and falling on the right.
void write_signal(const std::string &path) {
    const int rate = 44100, frames = 4 * rate;
    const double f1 = 20, f2 = 20000, seconds = double(frames) / rate, k = std::log(f2 / f1);
    AudioWriter out(path, SF_FORMAT_WAV | SF_FORMAT_PCM_24, rate, 2);
    std::vector<double> block(2 * kBlockFrames);
    for (int start = 0; start < frames; start += int(kBlockFrames)) {
        const int n = std::min(frames - start, int(kBlockFrames));
        for (int i = 0; i < n; ++i) {
            const double t = double(start + i) / rate;
            const double tones = 0.5 * std::sin(2 * kPi * 1000 * t) + 0.05 * std::sin(2 * kPi * 5000 * t);
            auto sweep = [&](double u) { return 0.01 * std::sin(2 * kPi * f1 * seconds / k * (std::exp(u / seconds * k) - 1)); };
            block[2 * std::size_t(i)] = tones + sweep(t);
            block[2 * std::size_t(i) + 1] = tones + sweep(seconds - t);
        }
        out.write(block.data(), std::size_t(n));
    }
    out.finish();
}

}  // namespace

void run_demo(const std::string &folder) {
    if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
        throw Failure(format("cannot create folder '%s': %s", folder.c_str(), std::strerror(errno)));
    const std::string dir = folder + "/";
    auto say = [](const std::string &text) { Progress::print(stdout, text); };
    auto step = [&](const std::string &command, const std::string &result) {
        say("$ kwsig " + command + "\n" + result + "\n");
    };
    say("kwsig demo: a test signal through every command, written to " + dir + "\n\n");

    write_signal(dir + "signal.wav");
    say("signal.wav: 4 s at 44100 Hz, 24-bit stereo: 1 kHz at -6 dBFS, 5 kHz at -26 dBFS, and a sweep\n"
         "from 20 Hz to 20 kHz at -40 dBFS (rising on the left, falling on the right)\n\n");
    step("info " + dir + "signal.wav", info_file(dir + "signal.wav"));

    SpectrumOptions analysis;
    analysis.window = KWSIG_WINDOW_LOW_SIDELOBE;
    analysis.log_frequency = true;
    analysis.size = 8192;
    step("spectrum " + dir + "signal.wav --window low-sidelobe --size 8192 --log-frequency --svg " + dir +
             "spectrum.svg --csv " + dir + "spectrum.csv",
         spectrum_file(dir + "signal.wav", analysis, dir + "spectrum.csv", dir + "spectrum.svg"));

    ResampleOptions up;
    up.rate = 48000;
    step("resample " + dir + "signal.wav " + dir + "signal-48k.wav --rate 48000",
         resample_file(dir + "signal.wav", dir + "signal-48k.wav", up));
    ResampleOptions down;
    down.rate = 16000;
    step("resample " + dir + "signal.wav " + dir + "signal-16k.wav --rate 16000",
         resample_file(dir + "signal.wav", dir + "signal-16k.wav", down));
    step("spectrum " + dir + "signal-16k.wav --window low-sidelobe --size 8192 --log-frequency --svg " + dir +
             "spectrum-16k.svg",
         spectrum_file(dir + "signal-16k.wav", analysis, "", dir + "spectrum-16k.svg"));

    DesignOptions design;
    design.pass = 2000, design.stop = 3000, design.taps = 201, design.rate = 44100;
    step("design --lowpass 2000 --stop 3000 --taps 201 --rate 44100 -o " + dir + "lowpass.txt --svg " + dir +
             "lowpass.svg",
         design_file(design, dir + "lowpass.txt", dir + "lowpass.svg"));
    FilterOptions filter;
    filter.coefficients = read_coefficients(dir + "lowpass.txt");
    step("filter " + dir + "signal.wav " + dir + "signal-lowpass.wav --coefficients " + dir + "lowpass.txt",
         filter_file(dir + "signal.wav", dir + "signal-lowpass.wav", filter));

    say("Everything is in " + dir +
         ": signal.wav, signal-48k.wav, signal-16k.wav, signal-lowpass.wav,\n"
         "spectrum.svg, spectrum.csv, spectrum-16k.svg, lowpass.txt, lowpass.svg (SVG opens in any browser).\n");
}

}  // namespace tool
