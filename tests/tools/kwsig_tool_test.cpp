// The kwsig command run on files written here, its results checked against
// independent computations: least-squares sine fits, direct sums of the
// frequency response, the library's filter called directly.
#include <gtest/gtest.h>
#include <kwsig.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/twins.h"

namespace fs = std::filesystem;

namespace {

constexpr long double kPi = 3.141592653589793238462643383279503L;

struct Audio {
    int rate = 0, channels = 0;
    std::vector<double> samples;  // interleaved
    int format = 0;               // as read
    std::size_t frames() const { return samples.size() / std::size_t(channels); }
    double at(std::size_t i, int c) const { return samples[i * std::size_t(channels) + std::size_t(c)]; }
};

void write_audio(const fs::path &path, int format, const Audio &a) {
    SF_INFO info{};
    info.samplerate = a.rate, info.channels = a.channels, info.format = format;
    SNDFILE *f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    EXPECT_EQ(sf_writef_double(f, a.samples.data(), sf_count_t(a.frames())), sf_count_t(a.frames()));
    sf_close(f);
}

Audio read_audio(const fs::path &path) {
    SF_INFO info{};
    Audio a;
    SNDFILE *f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) return a;
    a.rate = info.samplerate, a.channels = info.channels, a.format = info.format;
    a.samples.resize(std::size_t(info.frames) * std::size_t(info.channels));
    sf_readf_double(f, a.samples.data(), info.frames);
    sf_close(f);
    return a;
}

// Tones: {frequency, amplitude, phase} per channel.
struct Tone {
    double hz, amplitude, phase;
};
Audio tones(int rate, std::size_t frames, const std::vector<std::vector<Tone>> &channels) {
    Audio a{rate, int(channels.size()), std::vector<double>(frames * channels.size())};
    for (std::size_t i = 0; i < frames; ++i)
        for (std::size_t c = 0; c < channels.size(); ++c)
            for (const Tone &t : channels[c])
                a.samples[i * channels.size() + c] +=
                    double(t.amplitude * std::sin(2 * kPi * t.hz * i / rate + t.phase));
    return a;
}

// Least-squares fit of a sin(w t) + b cos(w t) to channel c over frames
// [first, first + count); returns amplitude, phase and the RMS residual.
struct Fit {
    double amplitude, phase, residual;
};
Fit fit_sine(const Audio &a, int c, double hz, std::size_t first, std::size_t count) {
    long double ss = 0, sc = 0, cc = 0, xs = 0, xc = 0;
    for (std::size_t i = first; i < first + count; ++i) {
        const long double w = 2 * kPi * hz * i / a.rate, s = std::sin(w), co = std::cos(w), x = a.at(i, c);
        ss += s * s, sc += s * co, cc += co * co, xs += x * s, xc += x * co;
    }
    const long double det = ss * cc - sc * sc, p = (xs * cc - xc * sc) / det, q = (xc * ss - xs * sc) / det;
    long double r = 0;
    for (std::size_t i = first; i < first + count; ++i) {
        const long double w = 2 * kPi * hz * i / a.rate, e = a.at(i, c) - p * std::sin(w) - q * std::cos(w);
        r += e * e;
    }
    return {double(std::hypot(p, q)), double(std::atan2(q, p)), double(std::sqrt(r / count))};
}

struct Outcome {
    int status;
    std::string out, err;
};

class Tool : public ::testing::Test {
protected:
    fs::path dir;

    void SetUp() override {
        dir = fs::path(::testing::TempDir()) /
              ("kwsig-tool-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(dir);
    }

    // Runs the command in the test folder.
    Outcome kwsig(const std::string &args) {
        const std::string cmd = "cd '" + dir.string() + "' && '" KWSIG_TOOL "' " + args + " >stdout.txt 2>stderr.txt";
        const int rc = std::system(cmd.c_str());
        return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, slurp(dir / "stdout.txt"), slurp(dir / "stderr.txt")};
    }
    static std::string slurp(const fs::path &p) {
        std::ifstream f(p);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
};

// ---- resample ------------------------------------------------------------------

struct ResampleCase {
    int in_rate, out_rate, format;
};

class Resample : public Tool, public ::testing::WithParamInterface<ResampleCase> {};

// A 1 kHz tone, different in each channel, keeps its frequency (the output is
// that sine to -80 dB), its level (within 0.2 dB, and as the kernel's
// response predicts), its timing (same phase at the same time) up to the
// last frame, and the output has exactly the ceil(frames * out / in) frames
// that lie within the input.
TEST_P(Resample, ToneKeepsFrequencyLevelTimingAndFrameCount) {
    const auto [in_rate, out_rate, format] = GetParam();
    const std::size_t frames = std::size_t(in_rate) + 333;
    const std::vector<Tone> left{{1000, 0.5, 0.3}}, right{{1000, 0.25, -1.2}};
    const std::string ext = (format & SF_FORMAT_TYPEMASK) == SF_FORMAT_FLAC ? ".flac" : ".wav";
    write_audio(dir / ("in" + ext), format, tones(in_rate, frames, {left, right}));

    const Outcome r = kwsig("resample in" + ext + " out" + ext + " --rate " + std::to_string(out_rate));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("frames in"), std::string::npos);
    const Audio out = read_audio(dir / ("out" + ext));
    ASSERT_EQ(out.rate, out_rate);
    ASSERT_EQ(out.channels, 2);
    EXPECT_EQ(out.format, format);  // the input's, unless told otherwise
    EXPECT_EQ(out.frames(), (frames * std::size_t(out_rate) + std::size_t(in_rate) - 1) / std::size_t(in_rate));

    double kernel;
    kwsig_resamp_resp(&kernel, 1, 1000.0 / in_rate, 1000.0 / in_rate);
    const double quantum = (format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_24 ? 1e-7 : 1e-12;
    for (int c = 0; c < 2; ++c) {
        const Tone t = (c ? right : left)[0];
        // The middle, and the last 1000 frames but the final 20 (whose kernel
        // reaches past the end of the input).
        for (std::size_t first : {out.frames() / 4, out.frames() - 1020}) {
            const std::size_t count = first < out.frames() / 2 ? out.frames() / 2 : 1000;
            const Fit fit = fit_sine(out, c, 1000, first, count);
            EXPECT_LT(fit.residual, 1e-4 * t.amplitude + quantum) << "channel " << c << " from " << first;
            EXPECT_NEAR(20 * std::log10(fit.amplitude / t.amplitude), 0.0, 0.2);
            EXPECT_NEAR(20 * std::log10(fit.amplitude / (t.amplitude * kernel)), 0.0, 0.01);
            EXPECT_NEAR(std::remainder(fit.phase - t.phase, 2 * M_PI), 0.0, 1e-3);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, Resample,
                         ::testing::Values(ResampleCase{44100, 48000, SF_FORMAT_WAV | SF_FORMAT_DOUBLE},
                                           ResampleCase{48000, 44100, SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
                                           ResampleCase{44100, 16000, SF_FORMAT_WAV | SF_FORMAT_FLOAT}),
                         [](const auto &info) {
                             return std::to_string(info.param.in_rate) + "to" + std::to_string(info.param.out_rate);
                         });

// Lowering the rate, a tone above the new half rate would alias: the
// low-pass keeps it 80 dB down, and --no-lowpass shows what it prevents.
TEST_F(Tool, LoweringTheRateFiltersWhatWouldAlias) {
    write_audio(dir / "high.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, tones(44100, 44100, {{{10000, 0.5, 0}}}));
    for (const char *option : {"", " --no-lowpass"}) {
        ASSERT_EQ(kwsig(std::string("resample high.wav low.wav --rate 16000") + option).status, 0);
        const Audio out = read_audio(dir / "low.wav");
        double sum = 0;
        for (std::size_t i = 1000; i < 15000; ++i) sum += out.at(i, 0) * out.at(i, 0);
        const double rms_db = 10 * std::log10(sum / 14000 / (0.5 * 0.5 / 2));
        if (*option) EXPECT_GT(rms_db, -30);
        else EXPECT_LT(rms_db, -80);
    }
}

// ---- spectrum ------------------------------------------------------------------

class Spectrum : public Tool, public ::testing::WithParamInterface<const char *> {};

// Two tones, one between bins, are found at their frequencies (within a tenth
// of a bin) and levels (within 0.05 dB) with every window that has a main
// lobe narrower than their distance; the CSV lists every bin.
TEST_P(Spectrum, FindsTwoTones) {
    const int rate = 48000, size = 4096;
    const std::vector<Tone> two{{1000, 0.5, 0}, {7234.5, 0.0316227766, 1}};
    write_audio(dir / "two.wav", SF_FORMAT_WAV | SF_FORMAT_DOUBLE, tones(rate, 3 * rate, {two, two}));
    const Outcome r = kwsig(std::string("spectrum two.wav --size 4096 --peaks 2 --csv two.csv --window ") + GetParam());
    ASSERT_EQ(r.status, 0) << r.err;

    std::istringstream lines(r.out);
    std::string line;
    std::vector<std::pair<double, double>> peaks;
    while (std::getline(lines, line)) {
        double hz, dbfs;
        if (std::sscanf(line.c_str(), " peak %lf Hz %lf dBFS", &hz, &dbfs) == 2) peaks.emplace_back(hz, dbfs);
    }
    ASSERT_EQ(peaks.size(), 2u) << r.out;
    for (std::size_t k = 0; k < 2; ++k) {
        EXPECT_NEAR(peaks[k].first, two[k].hz, 0.1 * rate / size) << r.out;
        EXPECT_NEAR(peaks[k].second, 20 * std::log10(two[k].amplitude), 0.05) << r.out;
    }

    std::ifstream csv(dir / "two.csv");
    std::getline(csv, line);
    EXPECT_EQ(line, "frequency_hz,level_dbfs");
    int rows = 0;
    double hz, level, best = -1e9, best_hz = 0;
    char comma;
    while (csv >> hz >> comma >> level) {
        EXPECT_NEAR(hz, double(rows) * rate / size, 1e-5);
        if (level > best) best = level, best_hz = hz;
        ++rows;
    }
    EXPECT_EQ(rows, size / 2 + 1);
    EXPECT_NEAR(best_hz, 1000.0, rate / size / 2.0);
}

INSTANTIATE_TEST_SUITE_P(Windows, Spectrum, ::testing::Values("hann", "low-sidelobe", "flat-top"),
                         [](const auto &info) {
                             std::string name = info.param;
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name;
                         });

// One channel, flat-top window, powers: the largest bin of the CSV holds the
// tone's power A^2 to within the window's 0.01 dB scalloping.
TEST_F(Tool, SpectrumOfOneChannelInPower) {
    const std::vector<Tone> weak{{1500.7, 0.1, 0}}, strong{{1500.7, 0.8, 0}};
    write_audio(dir / "two.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, tones(44100, 44100, {strong, weak}));
    ASSERT_EQ(kwsig("spectrum two.flac --channel 2 --window flat-top --mode power --csv p.csv").status, 0);
    std::ifstream csv(dir / "p.csv");
    std::string header;
    std::getline(csv, header);
    EXPECT_EQ(header, "frequency_hz,power");
    double hz, power, best = 0;
    char comma;
    while (csv >> hz >> comma >> power) best = std::max(best, power);
    EXPECT_NEAR(10 * std::log10(best / (0.1 * 0.1)), 0.0, 0.011);
}

// ---- design and filter -------------------------------------------------------

// The number that starts each line but comment lines.
std::vector<double> read_numbers(const fs::path &path) {
    std::ifstream f(path);
    std::vector<double> v;
    for (std::string line; std::getline(f, line);)
        if (!line.empty() && line[0] != '#') v.push_back(std::stod(line));
    return v;
}

// The response of the written coefficients, summed directly in long double,
// stays within the ripple and stopband level the command prints, and those
// are what 101 taps buy for a transition of 1/24 of the rate (about 68 dB
// by Kaiser's estimate, 14.36 * 100 / 24 + 8) with a passband flat to 0.1 dB.
// The coefficients are symmetric: the phase is linear.
TEST_F(Tool, DesignMeetsItsBands) {
    const Outcome r = kwsig("design --lowpass 4000 --stop 6000 --taps 101 --rate 48000 -o h.txt --svg h.svg");
    ASSERT_EQ(r.status, 0) << r.err;
    double ripple = 0, stop = 0;
    ASSERT_EQ(std::sscanf(r.out.substr(r.out.find("ripple")).c_str(), "ripple +-%lf dB", &ripple), 1) << r.out;
    ASSERT_EQ(std::sscanf(r.out.substr(r.out.find("at most")).c_str(), "at most %lf dB", &stop), 1) << r.out;
    EXPECT_LT(ripple, 0.1);
    EXPECT_LT(stop, -60);

    const std::vector<double> h = read_numbers(dir / "h.txt");
    ASSERT_EQ(h.size(), 101u);
    for (std::size_t j = 0; j < h.size(); ++j) EXPECT_EQ(h[j], h[h.size() - 1 - j]);
    double worst_pass = 0, worst_stop = -1e9;
    for (int p = 0; p <= 4800; ++p) {
        const long double f = p * 5.0L / 48000;  // every 5 Hz
        long double re = 0, im = 0;
        for (std::size_t j = 0; j < h.size(); ++j)
            re += h[j] * std::cos(2 * kPi * f * j), im -= h[j] * std::sin(2 * kPi * f * j);
        const double level = double(10 * std::log10(re * re + im * im));
        if (p * 5 <= 4000) worst_pass = std::max(worst_pass, std::abs(level));
        if (p * 5 >= 6000) worst_stop = std::max(worst_stop, level);
    }
    EXPECT_LE(worst_pass, ripple + 1e-4);
    EXPECT_LE(worst_stop, stop + 0.01);
    EXPECT_NE(slurp(dir / "h.svg").find("Frequency (Hz)"), std::string::npos);
}

// Every channel of the output equals the library's filter run on the whole
// channel at once (the command goes block by block), with the file's
// coefficients reversed into the filter's order; a three-tap asymmetric set
// also checks that order against y[i] = x[i] + x[i-1] / 2 - x[i-2] / 4.
TEST_F(Tool, FilterEqualsTheLibrary) {
    Audio in{44100, 3, twin::random_values<double>(3 * 20011, 7)};
    write_audio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_DOUBLE, in);
    ASSERT_EQ(kwsig("design --lowpass 3000 --stop 4000 --taps 63 --rate 44100 -o lp.txt").status, 0);
    std::ofstream(dir / "skew.txt") << "# y[i] = x[i] + x[i-1]/2 - x[i-2]/4\n1\n0.5   # delay 1\n-0.25\n";

    for (const char *coefficients : {"lp.txt", "skew.txt"}) {
        const Outcome r = kwsig(std::string("filter in.wav out.wav --coefficients ") + coefficients);
        ASSERT_EQ(r.status, 0) << r.err;
        const Audio out = read_audio(dir / "out.wav");
        ASSERT_EQ(out.samples.size(), in.samples.size());
        const std::vector<double> h = read_numbers(dir / coefficients);
        const std::vector<double> c(h.rbegin(), h.rend());
        for (int ch = 0; ch < 3; ++ch) {
            std::vector<double> x(in.frames()), state(c.size(), 0.0);
            for (std::size_t i = 0; i < x.size(); ++i) x[i] = in.at(i, ch);
            kwsig_fir_double(x.data(), x.data(), int(x.size()), c.data(), int(c.size()), state.data());
            for (std::size_t i = 0; i < x.size(); ++i) {
                ASSERT_EQ(out.at(i, ch), x[i]) << coefficients << " channel " << ch << " frame " << i;
                if (c.size() == 3 && i >= 2) {
                    ASSERT_NEAR(out.at(i, ch), in.at(i, ch) + in.at(i - 1, ch) / 2 - in.at(i - 2, ch) / 4, 1e-15);
                }
            }
        }
    }
}

// ---- several files, errors --------------------------------------------------

TEST_F(Tool, InfoOnSeveralFilesInParallelKeepsTheirOrder) {
    write_audio(dir / "a.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, tones(8000, 800, {{{1000, 0.5, 0}}}));
    write_audio(dir / "b.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, tones(44100, 4410, {{{100, 1, kPi / 2}}, {}}));
    const Outcome r = kwsig("info -j 2 a.flac b.wav");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("a.flac: FLAC"), 0u) << r.out;
    EXPECT_NE(r.out.find("8000 Hz, 1 channel, 800 frames (0:00.100)\n  channel 1: peak -6.02 dBFS, RMS -9.03 dBFS"),
              std::string::npos) << r.out;
    EXPECT_NE(r.out.find("b.wav: WAV"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  channel 1: peak 0.00 dBFS, RMS -3.01 dBFS\n  channel 2: peak -inf dBFS, RMS -inf dBFS"),
              std::string::npos) << r.out;
}

// Several inputs write into a folder under their own names, in parallel;
// the plots carry a title, axis labels with units and tick labels.
TEST_F(Tool, SeveralFilesIntoAFolder) {
    write_audio(dir / "a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, tones(8000, 8000, {{{440, 0.5, 0}}}));
    write_audio(dir / "b.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, tones(22050, 22050, {{{440, 0.5, 0}}, {}}));
    fs::create_directory(dir / "out");
    ASSERT_EQ(kwsig("resample -j 2 a.wav b.flac out --rate 11025").status, 0);
    EXPECT_EQ(read_audio(dir / "out/a.wav").frames(), 11025u);
    EXPECT_EQ(read_audio(dir / "out/b.flac").frames(), 11025u);
    ASSERT_EQ(kwsig("spectrum -j 2 a.wav b.flac --svg out --log-frequency").status, 0);
    for (const char *name : {"out/a.svg", "out/b.svg"}) {
        const std::string svg = slurp(dir / name);
        EXPECT_EQ(svg.find("<svg"), 0u) << name;
        EXPECT_EQ(svg.rfind("</svg>\n"), svg.size() - 7) << name;
        for (const char *text : {">Spectrum of ", ">Frequency (Hz)<", ">Level (dBFS)<", ">100<", ">1k<", ">-20<"})
            EXPECT_NE(svg.find(text), std::string::npos) << name << " lacks " << text;
    }
}

// Each error: one line on stderr naming the problem, exit status 2 for
// wrong usage and 1 for a file that cannot be used, no output file left
// (and a good old one untouched), no temporary file left behind.
TEST_F(Tool, ErrorsGiveOneLineAStatusAndNoOutput) {
    write_audio(dir / "tone.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, tones(8000, 8000, {{{440, 0.5, 0}}, {}}));
    std::ofstream(dir / "text.wav") << "not audio\n";
    std::ofstream(dir / "bad.txt") << "0.5\n0.25 x\n";
    std::ofstream(dir / "good.wav") << "keep me";
    const struct {
        const char *args;
        int status;
        const char *message, *output;
    } cases[] = {
        {"resample missing.wav out.wav --rate 48000", 1, "kwsig: missing.wav: no such file", "out.wav"},
        {"resample text.wav out.wav --rate 48000", 1, "kwsig: text.wav: not an audio file", "out.wav"},
        {"resample tone.wav out.wav --rate 0", 2, "--rate: '0' is not a whole number", "out.wav"},
        {"resample tone.wav out.wav --rate -48000", 2, "--rate: '-48000' is not", "out.wav"},
        {"resample tone.wav out.wav --rate nan", 2, "--rate: 'nan' is not", "out.wav"},
        {"resample tone.wav out.flac --rate 16000 --encoding float", 2, "cannot hold float samples", "out.flac"},
        {"resample tone.wav text.wav out.wav --rate 16000", 2, "'out.wav' must be an existing folder", "out.wav"},
        {"spectrum tone.wav --size 1000 --csv s.csv", 2, "--size: '1000' is not a power of two", "s.csv"},
        {"spectrum tone.wav --size 0 --svg s.svg", 2, "--size: '0' is not a power of two", "s.svg"},
        {"spectrum tone.wav --channel 3 --csv s.csv", 2, "tone.wav: has 2 channels, there is no channel 3", "s.csv"},
        {"design --lowpass 5000 --stop 4000 --taps 11 -o h.txt", 2, "0 < --lowpass < --stop", "h.txt"},
        {"design --lowpass 1000 --stop 2000 --taps 0 -o h.txt", 2, "--taps: '0' is not", "h.txt"},
        {"filter tone.wav good.wav --coefficients bad.txt", 1, "bad.txt line 2: 'x' is not a finite number",
         nullptr},
        {"frobnicate", 2, "unknown command 'frobnicate'", nullptr},
    };
    for (const auto &c : cases) {
        const Outcome r = kwsig(c.args);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.args << "\n" << r.err;
        if (c.output) {
            EXPECT_FALSE(fs::exists(dir / c.output)) << c.args;
        }
        EXPECT_EQ(slurp(dir / "good.wav"), "keep me") << c.args;
        for (const auto &entry : fs::directory_iterator(dir))
            EXPECT_EQ(entry.path().filename().string().find(".kwsig-"), std::string::npos) << c.args;
    }
}

}  // namespace
