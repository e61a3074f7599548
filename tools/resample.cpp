// Sample-rate conversion of a file, streamed block by block through the
// library's resampler (double twin) with one state per channel.
//
// Output frame j lies at time j / out_rate, the first on the first input
// frame, and the output holds every frame that lies within the input:
// ceil(frames * out_rate / in_rate) of them. The double twin keeps the
// position exact enough for that: its phase and step carry 53 bits, where
// the float twin's rounding would drift by many frames over a long file.
//
// Lowering the rate: the resampler's kernel is not widened, so it would alias
// everything above the new half rate. The input first goes through a
// linear-phase low-pass from the library's least-squares design (passband to
// 0.4 of the output rate, stopband from 0.5, 50 taps per unit of in/out
// ratio, which keeps aliases near -100 dB with the kernel's own attenuation).
// The filter's delay of (taps - 1) / 2 samples is removed, so the output
// stays aligned with the input.
#include <kwsig.h>

#include <algorithm>
#include <cmath>

#include "audio.h"
#include "commands.h"
#include "lowpass.h"

namespace tool {

namespace {

// One channel: the optional low-pass, then the resampler.
class Channel {
public:
    Channel(double step, const std::vector<double> *lowpass) : step_(step), lowpass_(lowpass) {
        if (lowpass_) state_.assign(lowpass_->size(), 0.0), skip_ = (lowpass_->size() - 1) / 2;
    }

    // Appends to `out` every output that `n` more input samples complete.
    void push(const double *in, std::size_t n, std::vector<double> &out) {
        if (lowpass_ && n > 0) {
            // The design is symmetric, so its impulse-response order is also
            // the filter's coefficient order.
            filtered_.resize(n);
            kwsig_fir_double(in, filtered_.data(), int(n), lowpass_->data(), int(lowpass_->size()),
                             state_.data());
            const std::size_t drop = std::min(skip_, n);
            skip_ -= drop, in = filtered_.data() + drop, n -= drop;
        }
        if (n == 0) return;
        // Room for every output the call can write (the library's bound nmax,
        // with e = 2^-49 covering the rounding of the phase) and one more: a
        // full array would leave input unread without saying how much.
        const double e = 0x1p-49, reach = double(n) * (1 + e) - 5.5 - phase_;
        const std::size_t nmax = reach < 0 ? 0 : std::size_t(std::floor(reach / (step_ - e))) + 1;
        const std::size_t room = nmax + 1, old = out.size();
        out.resize(old + room);
        int written = 0;
        kwsig_resample_double(in, int(n), out.data() + old, int(room), &written, &phase_, step_, history_);
        if (std::size_t(written) >= room) throw Failure("internal error: resampler output overflow");
        out.resize(old + std::size_t(written));
    }

private:
    double step_, phase_ = 0.0, history_[11] = {};
    const std::vector<double> *lowpass_;
    std::vector<double> state_, filtered_;
    std::size_t skip_ = 0;
};

}  // namespace

std::int64_t expected_frames(std::int64_t frames, int in_rate, int out_rate) {
    return std::int64_t((__int128(frames) * out_rate + in_rate - 1) / in_rate);
}

std::string resample_file(const std::string &in_path, const std::string &out_path, const ResampleOptions &opt) {
    AudioReader in(in_path);
    const std::size_t nch = std::size_t(in.channels());
    const double step = double(in.rate()) / opt.rate;
    std::vector<double> lowpass;
    if (opt.lowpass && step > 1) {
        const int taps = int(std::min(2 * std::ceil(25 * step) + 1, double(kMaxTaps)));
        lowpass = design_lowpass({0.4 / step, 0.5 / step, taps, 100.0});
    }
    AudioWriter out(out_path,
                    output_format(in.file_format(), out_path, opt.container, opt.encoding, opt.rate, int(nch)),
                    opt.rate, int(nch));
    std::vector<Channel> channels(nch, Channel(step, lowpass.empty() ? nullptr : &lowpass));
    std::vector<std::vector<double>> x(nch), produced(nch);
    std::vector<double> block, interleaved;
    std::int64_t frames = 0, written = 0;
    Workers workers(std::min(opt.threads, int(nch)));

    // Runs n frames through every channel (silence for a null input) and
    // writes what they complete, up to `limit` frames in all. Each output
    // waits for the input 5.5 samples past it, so only the flush after the
    // end completes outputs beyond the input, and those the limit drops.
    auto run = [&](const double *input, std::size_t n, std::int64_t limit) {
        workers.run(nch, [&](std::size_t c) {
            x[c].resize(n);
            for (std::size_t i = 0; i < n; ++i) x[c][i] = input ? input[i * nch + c] : 0.0;
            produced[c].clear();
            channels[c].push(x[c].data(), n, produced[c]);
        });
        const std::size_t m = std::size_t(std::min<std::int64_t>(std::int64_t(produced[0].size()), limit - written));
        interleaved.resize(m * nch);
        for (std::size_t c = 0; c < nch; ++c)
            for (std::size_t j = 0; j < m; ++j) interleaved[j * nch + c] = produced[c][j];
        out.write(interleaved.data(), m);
        written += std::int64_t(m);
    };
    // Raising the rate a lot, smaller input blocks keep the output blocks
    // near kBlockFrames.
    const std::size_t block_frames = std::clamp(std::size_t(double(kBlockFrames) * std::min(step, 1.0)),
                                                std::size_t(16), kBlockFrames);
    for (std::size_t n; (n = in.read(block, block_frames)) > 0;) {
        frames += std::int64_t(n);
        run(block.data(), n, expected_frames(frames, in.rate(), opt.rate));
        Progress::advance(n);
    }
    // Silence after the end flushes the filter's delay, then 6 samples more
    // complete every output that lies before the end of the input.
    const std::int64_t total = expected_frames(frames, in.rate(), opt.rate);
    run(nullptr, (lowpass.empty() ? 0 : (lowpass.size() - 1) / 2) + 6, total);
    if (written != total) throw Failure("internal error: the flush left outputs missing");
    out.finish();

    std::string s = format("%s -> %s: %d Hz -> %d Hz, %zu channel%s, %lld frames in, %lld out", in_path.c_str(),
                           out_path.c_str(), in.rate(), opt.rate, nch, nch == 1 ? "" : "s", (long long)frames,
                           (long long)written);
    if (!lowpass.empty())
        s += format(", low-pass %zu taps to %.0f Hz", lowpass.size(), 0.4 * opt.rate);
    if (out.clipped()) s += format(", %llu samples clipped", (unsigned long long)out.clipped());
    return s + "\n";
}

}  // namespace tool
