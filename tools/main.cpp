// The kwsig command line: subcommands, their options and help texts, and
// the exit statuses (0 done, 1 a file could not be read or written, 2 wrong
// usage). The work of each subcommand is in its own file.
#include <kwsig.h>

#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <new>
#include <thread>

#include "audio.h"
#include "commands.h"
#include "lowpass.h"

using namespace tool;

namespace {

// A number check with a message of its own; non-finite input never passes
// (CLI11's range checks let "nan" through).
CLI::Validator number(const std::string &name, const std::string &expect, std::function<bool(double)> ok) {
    return CLI::Validator(
        [=](std::string &text) -> std::string {
            char *end = nullptr;
            const double v = std::strtod(text.c_str(), &end);
            return !text.empty() && *end == '\0' && std::isfinite(v) && ok(v) ? "" : "'" + text + "' is not " + expect;
        },
        name);
}
bool whole(double v) { return v == std::floor(v); }

std::vector<std::string> inputs_of(const std::vector<std::string> &paths) {
    if (paths.size() < 2) throw UsageError("give an input file and an output file");
    return {paths.begin(), paths.end() - 1};
}

// Threads left for the channels of each file when `jobs` threads share the files.
int channel_threads(int jobs, std::size_t files) {
    return std::max(1, jobs / int(std::min<std::size_t>(std::size_t(jobs), files)));
}

int over_files(const std::string &label, const std::vector<std::string> &inputs, int jobs,
               const std::function<std::string(std::size_t)> &work) {
    Progress progress("kwsig " + label, total_frames(inputs));
    return for_each_file(inputs, jobs, work);
}

const char *const kRateHelp =
    "The library's kernel is smooth: it attenuates by 0.14 dB at 1 kHz and 2.8 dB at a tenth of the input "
    "rate (4.4 kHz at 44.1 kHz).";

}  // namespace

int main(int argc, char **argv) {
    CLI::App app{"kwsig " KWSIG_VERSION_STRING
                 ": spectra, resampling and filtering of audio files (WAV, FLAC, AIFF, Ogg and more) with the kwsig "
                 "library. Exit status: 0 done, 1 a file could not be read or written, 2 wrong usage."};
    app.set_version_flag("--version", KWSIG_VERSION_STRING);
    app.require_subcommand(1);
    app.footer("Start with:  kwsig demo        (writes an example folder kwsig-demo/)\n"
               "Help on a command:  kwsig COMMAND --help");
    app.get_formatter()->column_width(34);
    std::vector<std::pair<CLI::App *, std::function<int()>>> commands;
    int jobs = int(std::max(1u, std::thread::hardware_concurrency()));
    auto add_jobs = [&](CLI::App *sub) {
        sub->add_option("-j,--jobs", jobs, "Threads: files processed at once, and the channels of a file when there are fewer files (default: the number of cores)")
            ->check(number("N", "a whole number from 1 to 256", [](double v) { return whole(v) && v >= 1 && v <= 256; }));
    };

    // ---- info
    auto *info = app.add_subcommand("info", "Rate, channels, frames, duration, sample format, peak and RMS per channel");
    std::vector<std::string> files;
    info->add_option("FILE", files, "Audio files")->required();
    add_jobs(info);
    info->footer("Levels are 20 log10 of the peak and of the RMS value, in dB relative to full scale (a full-scale "
                 "sine: peak 0 dBFS, RMS -3.01 dBFS).\n\nExamples:\n"
                 "  kwsig info take1.wav\n  kwsig info -j 4 *.flac");
    commands.emplace_back(info, [&] { return over_files("info", files, jobs, [&](std::size_t i) { return info_file(files[i]); }); });

    // ---- spectrum
    auto *spectrum = app.add_subcommand("spectrum", "Averaged spectrum of a whole file; prints the strongest peaks");
    SpectrumOptions sopt;
    std::string window = "hann", mode = "db", csv, svg;
    spectrum->add_option("FILE", files, "Audio files")->required();
    spectrum->add_option("--size", sopt.size, "Record length N in frames, a power of two (default 4096)")
        ->check(number("N", "a power of two from 2 to 16777216",
                       [](double v) { return whole(v) && v >= 2 && v <= (1 << 24) && std::fmod(std::log2(v), 1) == 0; }));
    spectrum->add_option("--window", window, "uniform, hann (default), lowsidelobe (sidelobes below -120 dB) or "
                                             "flattop (levels exact between bins)")
        ->check(CLI::IsMember({"uniform", "hann", "lowsidelobe", "flattop"}));
    spectrum->add_option("--overlap", sopt.overlap, "Overlap of successive records in percent (default 50)")
        ->check(number("P", "a percentage from 0 to below 100", [](double v) { return v >= 0 && v < 100; }));
    spectrum->add_option("--mode", mode, "Values written to the CSV and SVG: db (dBFS, default), power or magnitude")
        ->check(CLI::IsMember({"db", "power", "magnitude"}));
    spectrum->add_option("--channel", sopt.channel, "Analyse channel C only (1 is the first; default: all, averaged)")
        ->check(number("C", "a channel number from 1", [](double v) { return whole(v) && v >= 1 && v < 65536; }));
    spectrum->add_option("--peaks", sopt.peaks, "How many of the strongest peaks to print (default 5)")
        ->check(number("K", "a whole number from 0 to 1000", [](double v) { return whole(v) && v >= 0 && v <= 1000; }));
    spectrum->add_option("--csv", csv, "Write frequency (Hz) and value of every bin to OUT (a folder for several files)");
    spectrum->add_option("--svg", svg, "Plot the spectrum into OUT (a folder for several files)");
    spectrum->add_flag("--log-frequency", sopt.log_frequency, "Logarithmic frequency axis in the plot");
    add_jobs(spectrum);
    spectrum->footer(
        "Records of N frames, windowed, overlapped and averaged in power over the whole file. Levels are dB relative "
        "to full scale: a sine of amplitude A centred on a bin reads 20 log10 A dBFS. A peak's level is the power "
        "of the window's whole main lobe, so it holds wherever the tone falls between bins; its frequency is the "
        "lobe's centroid.\n\nExamples:\n"
        "  kwsig spectrum take1.wav\n"
        "  kwsig spectrum take1.wav --size 16384 --window lowsidelobe --svg take1.svg --log-frequency\n"
        "  kwsig spectrum take1.flac --channel 2 --mode power --csv take1.csv\n"
        "  kwsig spectrum *.wav --svg plots/");
    commands.emplace_back(spectrum, [&] {
        for (int t = 0; t < 4; ++t)
            if (window == kWindowNames[t]) sopt.window = t;
        sopt.scale = mode == "db" ? Scale::db : mode == "power" ? Scale::power : Scale::magnitude;
        const auto csvs = csv.empty() ? std::vector<std::string>(files.size()) : output_names(csv, files, ".csv");
        const auto svgs = svg.empty() ? std::vector<std::string>(files.size()) : output_names(svg, files, ".svg");
        return over_files("spectrum", files, jobs,
                          [&](std::size_t i) { return spectrum_file(files[i], sopt, csvs[i], svgs[i]); });
    });

    // ---- resample
    auto *resample = app.add_subcommand("resample", "Change the sample rate of audio files");
    ResampleOptions ropt;
    double rate = 0;
    bool no_lowpass = false;
    resample->add_option("IN... OUT", files, "Input file and output file, or input files and an output folder")
        ->required();
    resample->add_option("--rate", rate, "Output sample rate in Hz (a whole number)")
        ->required()
        ->check(number("HZ", "a whole number of Hz from 1 to 10000000",
                       [](double v) { return whole(v) && v >= 1 && v <= 1e7; }));
    resample->add_flag("--no-lowpass", no_lowpass, "When lowering the rate, skip the anti-alias low-pass");
    resample->add_option("--format", ropt.container,
                         "Output container: wav, flac, aiff, ogg, caf, w64, ... (default: OUT's extension, else the input's)");
    resample->add_option("--encoding", ropt.encoding,
                         "Output samples: pcm16, pcm24, pcm32, float, double, vorbis, ... (default: the input's)");
    add_jobs(resample);
    resample->footer(
        std::string("Streams each file block by block through the library's 11-tap resampler, one state per "
                    "channel, and flushes the end: OUT has round(frames x RATE / input rate) frames, frame j at time "
                    "j / RATE. ") +
        kRateHelp +
        "\nLowering the rate: the kernel is not widened, so the input is first low-pass filtered with a "
        "linear-phase FIR from the library's least-squares design (passband to 0.4 x RATE, stopband from "
        "0.5 x RATE, about 50 taps per unit of input/output rate ratio, its delay removed); --no-lowpass turns "
        "this off.\n\nExamples:\n"
        "  kwsig resample take1.wav take1-48k.wav --rate 48000\n"
        "  kwsig resample take1.flac take1-16k.flac --rate 16000\n"
        "  kwsig resample take1.wav take1.ogg --rate 44100 --encoding vorbis\n"
        "  kwsig resample -j 4 *.wav out/ --rate 48000");
    commands.emplace_back(resample, [&] {
        ropt.rate = int(rate), ropt.lowpass = !no_lowpass;
        const auto inputs = inputs_of(files);
        ropt.threads = channel_threads(jobs, inputs.size());
        const auto outs = output_names(files.back(), inputs, "");
        return over_files("resample", inputs, jobs,
                          [&](std::size_t i) { return resample_file(inputs[i], outs[i], ropt); });
    });

    // ---- design
    auto *design = app.add_subcommand("design", "Design a linear-phase low-pass FIR filter");
    DesignOptions dopt;
    std::string coef_out, design_svg;
    auto positive = [](const char *what) {
        return number(what, std::string("a positive number"), [](double v) { return v > 0; });
    };
    design->add_option("--lowpass", dopt.pass, "Passband edge F in Hz")->required()->check(positive("F"));
    design->add_option("--stop", dopt.stop, "Stopband edge F2 in Hz, above F and at most RATE / 2")
        ->required()
        ->check(positive("F2"));
    design->add_option("--taps", dopt.taps, "Number of coefficients N")
        ->required()
        ->check(number("N", "a whole number from 1 to 16383", [](double v) { return whole(v) && v >= 1 && v <= kMaxTaps; }));
    design->add_option("--stop-weight", dopt.stop_weight, "Weight of the stopband error against the passband's (default 100)")
        ->check(positive("W"));
    design->add_option("--rate", dopt.rate, "Sample rate in Hz (default 48000; 1 gives frequencies in cycles per sample)")
        ->check(positive("HZ"));
    design->add_option("-o,--output", coef_out, "Write the coefficients to FILE (default: standard output)");
    design->add_option("--svg", design_svg, "Plot the magnitude response into OUT");
    design->footer(
        "Weighted least squares with the library: gain 1 from 0 to F (weight 1), gain 0 from F2 to RATE / 2 (weight "
        "W), no constraint in between. The coefficients are symmetric (delay (N - 1) / 2 samples), one per line "
        "in impulse-response order, after comment lines (#) with the measured passband ripple and stopband level."
        "\n\nExamples:\n"
        "  kwsig design --lowpass 3000 --stop 4000 --taps 101 --rate 44100 -o lp.txt --svg lp.svg\n"
        "  kwsig design --lowpass 0.1 --stop 0.15 --taps 63 --rate 1");
    commands.emplace_back(design, [&] {
        if (!(dopt.pass < dopt.stop && dopt.stop <= dopt.rate / 2))
            throw UsageError(format("the band edges need 0 < --lowpass < --stop <= --rate / 2 (got %g, %g at %g Hz)",
                                    dopt.pass, dopt.stop, dopt.rate));
        std::fputs(design_file(dopt, coef_out, design_svg).c_str(), stdout);
        return 0;
    });

    // ---- filter
    auto *filter = app.add_subcommand("filter", "Filter audio files with FIR coefficients");
    FilterOptions fopt;
    std::string coef_in;
    filter->add_option("IN... OUT", files, "Input file and output file, or input files and an output folder")->required();
    filter->add_option("--coefficients", coef_in, "File of coefficients, one or more per line, # starts a comment")
        ->required();
    filter->add_option("--format", fopt.container, "Output container (default: OUT's extension, else the input's)");
    filter->add_option("--encoding", fopt.encoding, "Output samples: pcm16, pcm24, float, ... (default: the input's)");
    add_jobs(filter);
    filter->footer(
        "Every channel goes block by block through the library's FIR filter (double precision) with its own "
        "state; OUT has as many frames as IN. The coefficients are the impulse response, the first at delay 0, "
        "as `kwsig design` writes them; the output is not shifted, so a symmetric design of N taps delays by "
        "(N - 1) / 2 samples.\n\nExamples:\n"
        "  kwsig design --lowpass 3000 --stop 4000 --taps 101 --rate 44100 -o lp.txt\n"
        "  kwsig filter take1.wav take1-lp.wav --coefficients lp.txt");
    commands.emplace_back(filter, [&] {
        const auto inputs = inputs_of(files);
        const auto outs = output_names(files.back(), inputs, "");
        fopt.coefficients = read_coefficients(coef_in);
        fopt.threads = channel_threads(jobs, inputs.size());
        return over_files("filter", inputs, jobs, [&](std::size_t i) { return filter_file(inputs[i], outs[i], fopt); });
    });

    // ---- demo
    auto *demo = app.add_subcommand("demo", "Run every command on a built-in test signal and keep the results");
    std::string folder = "kwsig-demo";
    demo->add_option("DIR", folder, "Folder for the results (default: kwsig-demo)");
    demo->footer("Synthesises tones and a sweep, writes them as WAV, then shows info, spectrum (with SVG plots), "
                 "resample up and down, design and filter on it, printing each command and where its output went."
                 "\n\nExample:\n  kwsig demo /tmp/kwsig-demo");
    commands.emplace_back(demo, [&] {
        std::fputs(run_demo(folder).c_str(), stdout);
        return 0;
    });

    try {
        app.parse(argc, argv);
        for (auto &[sub, run] : commands)
            if (sub->parsed()) return run();
        return 2;
    } catch (const CLI::CallForHelp &e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion &e) {
        return app.exit(e);
    } catch (const CLI::ParseError &e) {
        std::string what = e.what(), where = "kwsig --help";
        bool named = false;
        for (auto &[sub, run] : commands)
            if (sub->parsed()) where = "kwsig " + sub->get_name() + " --help", named = true;
        if (!named && (argc == 1 || argv[1][0] != '-'))
            what = (argc == 1 ? std::string("give a command") : "unknown command '" + std::string(argv[1]) + "'") +
                   ": info, spectrum, resample, design, filter or demo";
        std::fprintf(stderr, "kwsig: %s (see %s)\n", what.c_str(), where.c_str());
        return 2;
    } catch (const UsageError &e) {
        std::fprintf(stderr, "kwsig: %s\n", e.what());
        return 2;
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "kwsig: out of memory\n");
        return 1;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "kwsig: %s\n", e.what());
        return 1;
    }
}
