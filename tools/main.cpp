// The kwsig command line: subcommands, their options and help texts, and
// the exit statuses (0 done, 1 a file could not be read or written, 2 wrong
// usage). The work of each subcommand is in its own file; this is the one
// file that includes CLI11, which is slow to compile.
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
CLI::Validator number(const std::string &expect, std::function<bool(double)> ok) {
    return CLI::Validator(
        [=](std::string &text) -> std::string {
            char *end = nullptr;
            const double v = std::strtod(text.c_str(), &end);
            const bool good = !text.empty() && *end == '\0' && std::isfinite(v) && ok(v);
            return good ? "" : "'" + text + "' is not " + expect;
        },
        "");
}
bool whole(double v) { return v == std::floor(v); }
const CLI::Validator kPositive = number("a positive number", [](double v) { return v > 0; });

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

}  // namespace

int main(int argc, char **argv) {
    CLI::App app{"kwsig " KWSIG_VERSION_STRING ": spectra, resampling and filtering of audio files\n"
                 "(WAV, FLAC, AIFF, Ogg, ...) with the kwsig library."};
    app.name("kwsig");
    app.set_version_flag("--version", KWSIG_VERSION_STRING);
    app.require_subcommand(1);
    app.footer("Start with `kwsig demo` (writes an example folder kwsig-demo/), then\n"
               "`kwsig COMMAND --help`. Exit status: 0 done, 1 a file could not be read\n"
               "or written, 2 wrong usage (one line on stderr says which).");
    app.get_formatter()->column_width(26);
    std::vector<std::pair<CLI::App *, std::function<int()>>> commands;
    std::vector<std::string> files;
    int jobs = int(std::max(1u, std::thread::hardware_concurrency()));
    auto add_jobs = [&](CLI::App *sub) {
        sub->add_option("-j,--jobs", jobs, "Threads for files, then channels (default: all cores)")
            ->type_name("N")
            ->check(number("a whole number from 1 to 256", [](double v) { return whole(v) && v >= 1 && v <= 256; }));
    };
    // Commands that write audio: inputs, the output and its format.
    auto add_outputs = [&](CLI::App *sub, std::string &container, std::string &encoding) {
        sub->add_option("FILES", files, "IN OUT, or several IN and an output FOLDER")->required();
        sub->add_option("--format", container, "Container: wav, flac, aiff, ogg, caf, ...")->type_name("NAME");
        sub->add_option("--encoding", encoding, "Samples: pcm16, pcm24, float, vorbis, ...")->type_name("NAME");
        add_jobs(sub);
    };

    // ---- info
    auto *info = app.add_subcommand("info", "Format, duration, peak and RMS level per channel");
    info->add_option("FILES", files, "Audio files")->required();
    add_jobs(info);
    info->footer("Prints rate, channels, frames, duration and sample format of each file,\n"
                 "and per channel its peak and RMS in dB relative to full scale (a\n"
                 "full-scale sine: peak 0 dBFS, RMS -3.01 dBFS).\n\n"
                 "Examples:\n  kwsig info take1.wav\n  kwsig info -j 4 *.flac");
    commands.emplace_back(info, [&] {
        return over_files("info", files, jobs, [&](std::size_t i) { return info_file(files[i]); });
    });

    // ---- spectrum
    auto *spectrum = app.add_subcommand("spectrum", "Averaged spectrum of whole files, strongest peaks");
    SpectrumOptions sopt;
    std::string window = "hann", mode = "db", csv, svg;
    spectrum->add_option("FILES", files, "Audio files")->required();
    spectrum->add_option("--size", sopt.size, "Record length, a power of two (default 4096)")
        ->type_name("N")
        ->check(number("a power of two from 2 to 16777216", [](double v) {
            return whole(v) && v >= 2 && v <= (1 << 24) && std::fmod(std::log2(v), 1) == 0;
        }));
    spectrum->add_option("--window", window, "hann (default), low-sidelobe, flat-top, uniform")
        ->type_name("NAME")
        ->check(CLI::IsMember(std::vector<std::string>(kWindowNames, kWindowNames + 4)));
    spectrum->add_option("--overlap", sopt.overlap, "Overlap of records in percent (default 50)")
        ->type_name("P")
        ->check(number("a percentage from 0 to below 100", [](double v) { return v >= 0 && v < 100; }));
    spectrum->add_option("--mode", mode, "CSV and SVG values: db (default), power, magnitude")
        ->type_name("MODE")
        ->check(CLI::IsMember({"db", "power", "magnitude"}));
    spectrum->add_option("--channel", sopt.channel, "Only channel C, 1 the first (default: all averaged)")
        ->type_name("C")
        ->check(number("a channel number from 1", [](double v) { return whole(v) && v >= 1 && v < 65536; }));
    spectrum->add_option("--peaks", sopt.peaks, "How many peaks to print (default 5)")
        ->type_name("K")
        ->check(number("a whole number from 0 to 1000", [](double v) { return whole(v) && v >= 0 && v <= 1000; }));
    spectrum->add_option("--csv", csv, "Write frequency and value of every bin")->type_name("OUT");
    spectrum->add_option("--svg", svg, "Plot the spectrum")->type_name("OUT");
    spectrum->add_flag("--log-frequency", sopt.log_frequency, "Logarithmic frequency axis in the plot");
    add_jobs(spectrum);
    spectrum->footer(
        "Records of N frames, windowed, overlapped and averaged in power over the\n"
        "whole file. Frequencies in Hz; levels in dB relative to full scale: a sine\n"
        "of amplitude A centred on a bin reads 20 log10 A dBFS. A peak's level is\n"
        "the power of the window's whole main lobe, right wherever the tone falls\n"
        "between bins; its frequency is the lobe's centroid. Windows: hann, for\n"
        "general use; low-sidelobe, sidelobes below -125 dB, for weak tones\n"
        "beside strong ones; flat-top, gain flat to 0.01 dB across a bin, for\n"
        "the levels in the CSV and plot; uniform, no window. With several files,\n"
        "--csv and --svg name a folder.\n\n"
        "Examples:\n"
        "  kwsig spectrum take1.wav\n"
        "  kwsig spectrum take1.wav --size 16384 --window low-sidelobe \\\n"
        "        --svg take1.svg --log-frequency\n"
        "  kwsig spectrum take1.flac --channel 2 --mode power --csv take1.csv\n"
        "  kwsig spectrum *.wav --svg plots/");
    commands.emplace_back(spectrum, [&] {
        for (int t = 0; t < 4; ++t)
            if (window == kWindowNames[t]) sopt.window = t;
        sopt.scale = mode == "db" ? Scale::db : mode == "power" ? Scale::power : Scale::magnitude;
        const std::vector<std::string> none(files.size());
        const auto csvs = csv.empty() ? none : output_names(csv, files, ".csv");
        const auto svgs = svg.empty() ? none : output_names(svg, files, ".svg");
        return over_files("spectrum", files, jobs,
                          [&](std::size_t i) { return spectrum_file(files[i], sopt, csvs[i], svgs[i]); });
    });

    // ---- resample
    auto *resample = app.add_subcommand("resample", "Change the sample rate of audio files");
    ResampleOptions ropt;
    double rate = 0;
    bool no_lowpass = false;
    resample->add_option("--rate", rate, "Output sample rate in Hz")
        ->required()
        ->type_name("HZ")
        ->check(number("a whole number of Hz from 1 to 10000000", [](double v) { return whole(v) && v >= 1 && v <= 1e7; }));
    resample->add_flag("--no-lowpass", no_lowpass, "No anti-alias low-pass when lowering the rate");
    add_outputs(resample, ropt.container, ropt.encoding);
    resample->footer(
        "Streams each file block by block through the library's 11-tap resampler\n"
        "with one state per channel and flushes the end: frame j of OUT lies at\n"
        "time j / RATE, and OUT holds all that lie within the input, ceil(frames x\n"
        "RATE / input rate). The kernel is smooth: -0.14 dB at 1 kHz, -2.8 dB at a\n"
        "tenth of the input rate (4.4 kHz at 44.1 kHz). OUT keeps the input's\n"
        "format unless its extension, --format or --encoding say otherwise.\n"
        "Lowering the rate: the kernel is not widened, so the input first goes\n"
        "through a linear-phase low-pass FIR designed with the library's least-\n"
        "squares design (passband to 0.4 x RATE, stopband from 0.5 x RATE, 50 taps\n"
        "per unit of input/output rate ratio, its delay removed); --no-lowpass\n"
        "turns it off.\n\n"
        "Examples:\n"
        "  kwsig resample take1.wav take1-48k.wav --rate 48000\n"
        "  kwsig resample take1.flac take1-16k.flac --rate 16000\n"
        "  kwsig resample take1.wav take1.ogg --rate 44100 --encoding vorbis\n"
        "  kwsig resample -j 4 *.wav out/ --rate 48000");
    commands.emplace_back(resample, [&] {
        ropt.rate = int(rate), ropt.lowpass = !no_lowpass;
        const auto inputs = inputs_of(files);
        const auto outs = output_names(files.back(), inputs, "");
        ropt.threads = channel_threads(jobs, inputs.size());
        return over_files("resample", inputs, jobs,
                          [&](std::size_t i) { return resample_file(inputs[i], outs[i], ropt); });
    });

    // ---- design
    auto *design = app.add_subcommand("design", "Design a linear-phase low-pass FIR filter");
    DesignOptions dopt;
    std::string coef_out, design_svg;
    design->add_option("--lowpass", dopt.pass, "Passband edge in Hz")->required()->type_name("F")->check(kPositive);
    design->add_option("--stop", dopt.stop, "Stopband edge in Hz, F < F2 <= RATE/2")
        ->required()
        ->type_name("F2")
        ->check(kPositive);
    design->add_option("--taps", dopt.taps, "Number of coefficients")
        ->required()
        ->type_name("N")
        ->check(number("a whole number from 1 to 16383", [](double v) { return whole(v) && v >= 1 && v <= kMaxTaps; }));
    design->add_option("--stop-weight", dopt.stop_weight, "Stopband error weight (default 100)")
        ->type_name("W")
        ->check(kPositive);
    design->add_option("--rate", dopt.rate, "Sample rate in Hz (default 48000)")->type_name("HZ")->check(kPositive);
    design->add_option("-o,--output", coef_out, "Coefficients to FILE (default: stdout)")->type_name("FILE");
    design->add_option("--svg", design_svg, "Plot the magnitude response")->type_name("OUT");
    design->footer(
        "Weighted least squares with the library: gain 1 from 0 to F (weight 1),\n"
        "gain 0 from F2 to RATE/2 (weight W), free in between. Writes one\n"
        "coefficient per line in impulse-response order, symmetric (a delay of\n"
        "(N - 1) / 2 samples), after # comment lines with the measured passband\n"
        "ripple and stopband level. --rate 1 takes frequencies in cycles per\n"
        "sample.\n\n"
        "Examples:\n"
        "  kwsig design --lowpass 3000 --stop 4000 --taps 101 --rate 44100 \\\n"
        "        -o lp.txt --svg lp.svg\n"
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
    filter->add_option("--coefficients", coef_in, "Coefficient file, as `design` writes")
        ->required()
        ->type_name("FILE");
    add_outputs(filter, fopt.container, fopt.encoding);
    filter->footer(
        "Every channel goes block by block through the library's FIR filter\n"
        "(double precision) with its own state; OUT has as many frames as IN.\n"
        "FILE holds the impulse response, the first coefficient at delay 0,\n"
        "numbers separated by spaces or lines, # starting a comment. The output\n"
        "is not shifted: a symmetric design of N taps delays by (N - 1) / 2.\n\n"
        "Examples:\n"
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
    auto *demo = app.add_subcommand("demo", "Every command on a built-in test signal");
    std::string folder = "kwsig-demo";
    demo->add_option("DIR", folder, "Folder for the results (default: kwsig-demo)");
    demo->footer("Synthesises tones and a sweep, writes them as WAV, and runs info,\n"
                 "spectrum (with SVG plots), resample up and down, design and filter on\n"
                 "them, printing each command line and where its output went.\n\n"
                 "Example:\n  kwsig demo /tmp/kwsig-demo");
    commands.emplace_back(demo, [&] {
        run_demo(folder);
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
