// The FIR filter, the FIR response and the resamplers side by side with what
// else a program would use for the same job: FFTW's real transforms in an
// overlap-add filter, libsamplerate and speexdsp. Streams run in blocks of
// 4096 input samples with their state carried from block to block, on one
// core; every figure is the median over interleaved rounds (bench/compare.h).
//
//   kwsig_fir_resample_compare [--baseline path/to/libkwsig_32.so]
//                              [--isa portable|sse2|avx2] [fir|fir_resp|resample]
//
// --baseline loads another build of the library (an older one, say) and times
// its exports beside this build's, in the same rounds. --isa narrows this
// build's kernels to an instruction set (as the tests do). A last argument
// limits the run to one of the three parts.
#include <dlfcn.h>
#include <fftw3.h>
#include <samplerate.h>
#include <speex/speex_resampler.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "compare.h"
#include "fftw.h"
#include "frame/cpu.h"
#include "kwsig.h"

namespace {

constexpr int kBlock = 4096;
constexpr int kBlocks = 16;  // the signal cycles through this many blocks


// The exports timed here, from this build or from a loaded one.
struct Api {
    decltype(&kwsig_fir) fir = kwsig_fir;
    decltype(&kwsig_fir_double) fir_double = kwsig_fir_double;
    decltype(&kwsig_fir_resp) fir_resp = kwsig_fir_resp;
    decltype(&kwsig_resample) resample = kwsig_resample;
    decltype(&kwsig_resample_double) resample_double = kwsig_resample_double;

    void fir_any(const float *x, float *y, int n, const float *c, int m, float *s) const {
        fir(x, y, n, c, m, s);
    }
    void fir_any(const double *x, double *y, int n, const double *c, int m, double *s) const {
        fir_double(x, y, n, c, m, s);
    }
    void resample_any(const float *in, int nin, float *out, int nout, int *nw, float *ph,
                      float step, float *h) const {
        resample(in, nin, out, nout, nw, ph, step, h);
    }
    void resample_any(const double *in, int nin, double *out, int nout, int *nw, double *ph,
                      double step, double *h) const {
        resample_double(in, nin, out, nout, nw, ph, step, h);
    }
};

bool load_baseline(const char *path, Api &api) {
    using bench::bind;
    void *lib = bench::open_baseline(path);
    if (!lib) return false;
    return bind(lib, "kwsig_fir", api.fir) && bind(lib, "kwsig_fir_double", api.fir_double) &&
           bind(lib, "kwsig_fir_resp", api.fir_resp) &&
           bind(lib, "kwsig_resample", api.resample) &&
           bind(lib, "kwsig_resample_double", api.resample_double);
}

// ---- FFTW overlap-add: one real transform of 2^k >= block + taps - 1 points
// forward and one back per block, the tail carried to the next block.
template <typename T>
class OverlapAdd {
    using F = bench::Fftw<T>;

public:
    // Coefficients in the library's order: c[ntaps - 1] weights the newest sample.
    OverlapAdd(const std::vector<T> &c, int block) : block_(block), taps_(int(c.size())) {
        n_ = 1;
        while (n_ < block + taps_ - 1) n_ *= 2;
        buf_ = static_cast<T *>(F::alloc(sizeof(T) * std::size_t(n_)));
        bins_ = static_cast<typename F::Complex *>(
            F::alloc(sizeof(typename F::Complex) * std::size_t(n_ / 2 + 1)));
        gain_.resize(std::size_t(n_ / 2 + 1) * 2);
        tail_.assign(std::size_t(taps_), T(0));
        fwd_ = F::r2c(n_, buf_, bins_);
        inv_ = F::c2r(n_, bins_, buf_);
        // The impulse response h[d] = c[ntaps - 1 - d], scaled by 1/n for the
        // unnormalised inverse.
        std::fill(buf_, buf_ + n_, T(0));
        for (int d = 0; d < taps_; ++d) buf_[d] = c[std::size_t(taps_ - 1 - d)] / T(n_);
        F::run(fwd_);
        for (int k = 0; k <= n_ / 2; ++k) {
            gain_[2 * std::size_t(k)] = bins_[k][0];
            gain_[2 * std::size_t(k) + 1] = bins_[k][1];
        }
    }
    ~OverlapAdd() {
        F::destroy(fwd_);
        F::destroy(inv_);
        F::release(buf_);
        F::release(bins_);
    }
    OverlapAdd(const OverlapAdd &) = delete;
    OverlapAdd &operator=(const OverlapAdd &) = delete;

    void process(const T *x, T *y) {
        std::copy(x, x + block_, buf_);
        std::fill(buf_ + block_, buf_ + n_, T(0));
        F::run(fwd_);
        for (int k = 0; k <= n_ / 2; ++k) {
            const T re = bins_[k][0], im = bins_[k][1];
            const T gr = gain_[2 * std::size_t(k)], gi = gain_[2 * std::size_t(k) + 1];
            bins_[k][0] = re * gr - im * gi;
            bins_[k][1] = re * gi + im * gr;
        }
        F::run(inv_);
        for (int i = 0; i < block_; ++i) y[i] = buf_[i] + (i < taps_ - 1 ? tail_[std::size_t(i)] : T(0));
        for (int j = 0; j < taps_ - 1; ++j) tail_[std::size_t(j)] = buf_[block_ + j];
    }

private:
    int block_, taps_, n_;
    T *buf_;
    typename F::Complex *bins_;
    std::vector<T> gain_, tail_;
    typename F::Plan fwd_, inv_;
};

// ---- rows of the report ------------------------------------------------------

struct Figures {
    std::vector<std::string> names;
    std::vector<double> values;
};

void print_row(const char *label, const Figures &f, const char *unit, int precision = 0) {
    std::printf("  %-12s", label);
    for (std::size_t i = 0; i < f.names.size(); ++i)
        std::printf(" | %s %.*f", f.names[i].c_str(), precision, f.values[i]);
    std::printf("  (%s)\n", unit);
}

// Msamples/s of each FIR contender at `taps` taps. Checks first that FFTW's
// overlap-add and the library filter the same signal alike.
template <typename T>
Figures fir_row(int taps, const Api &now, const Api *base) {
    const auto x = bench::noise<T>(std::size_t(kBlock) * kBlocks, 1);
    const auto c = bench::noise<T>(std::size_t(taps), 2);
    std::vector<T> y(kBlock), state(std::size_t(taps), T(0)), state_b = state;
    OverlapAdd<T> ola(c, kBlock);
    {
        std::vector<T> ya(kBlock), yb(kBlock), s(std::size_t(taps), T(0));
        OverlapAdd<T> check(c, kBlock);
        double worst = 0, scale = 0;
        for (int b = 0; b < 3; ++b) {
            now.fir_any(x.data() + b * kBlock, ya.data(), kBlock, c.data(), taps, s.data());
            check.process(x.data() + b * kBlock, yb.data());
            for (int i = 0; i < kBlock; ++i) {
                worst = std::max(worst, std::fabs(double(ya[i]) - double(yb[i])));
                scale = std::max(scale, std::fabs(double(ya[i])));
            }
        }
        if (!(worst <= 1e-4 * scale))
            std::printf("  warning: overlap-add differs from kwsig by %g at %d taps\n", worst, taps);
    }
    int bn = 0, bb = 0, bo = 0;
    std::vector<bench::Contender> cs;
    Figures f;
    cs.push_back({"", [&] {
                      now.fir_any(x.data() + bn * kBlock, y.data(), kBlock, c.data(), taps,
                                  state.data());
                      bn = (bn + 1) % kBlocks;
                  }});
    f.names.push_back("kwsig");
    if (base) {
        cs.push_back({"", [&] {
                          base->fir_any(x.data() + bb * kBlock, y.data(), kBlock, c.data(), taps,
                                        state_b.data());
                          bb = (bb + 1) % kBlocks;
                      }});
        f.names.push_back("baseline");
    }
    cs.push_back({"", [&] {
                      ola.process(x.data() + bo * kBlock, y.data());
                      bo = (bo + 1) % kBlocks;
                  }});
    f.names.push_back("FFTW overlap-add");
    for (double s : bench::median_seconds(cs)) f.values.push_back(kBlock / s * 1e-6);
    return f;
}

// Microseconds per call of kwsig_fir_resp, 4096 points from 0 to 0.5.
Figures fir_resp_row(int taps, const Api &now, const Api *base) {
    const int npoints = 4096;
    const auto c = bench::noise<double>(std::size_t(taps), 3);
    std::vector<double> r(2 * std::size_t(npoints));
    std::vector<bench::Contender> cs;
    Figures f;
    cs.push_back({"", [&] { now.fir_resp(r.data(), npoints, 0.0, 0.5, c.data(), taps); }});
    f.names.push_back("kwsig");
    if (base) {
        cs.push_back({"", [&] { base->fir_resp(r.data(), npoints, 0.0, 0.5, c.data(), taps); }});
        f.names.push_back("baseline");
    }
    for (double s : bench::median_seconds(cs)) f.values.push_back(s * 1e6);
    return f;
}

// A resampler stream of one precision: 4096 input samples per call.
template <typename T>
struct KwsigStream {
    const Api &api;
    T step;
    T phase = T(0);
    std::vector<T> history = std::vector<T>(11, T(0)), out;
    int block = 0;
    KwsigStream(const Api &a, double s)
        : api(a), step(T(s)), out(std::size_t(kBlock / s) + 64) {}
    void run(const std::vector<T> &x) {
        int nw = 0;
        api.resample_any(x.data() + block * kBlock, kBlock, out.data(), int(out.size()), &nw,
                         &phase, step, history.data());
        block = (block + 1) % kBlocks;
    }
};

// Output Msamples/s from 44.1 kHz to `rate`; the others in float.
Figures resample_row(double rate, const Api &now, const Api *base) {
    const double step = 44100.0 / rate;
    const auto xf = bench::noise<float>(std::size_t(kBlock) * kBlocks, 4);
    const auto xd = bench::noise<double>(std::size_t(kBlock) * kBlocks, 4);
    KwsigStream<float> kf(now, step);
    KwsigStream<double> kd(now, step);
    KwsigStream<float> bf(base ? *base : now, step);
    KwsigStream<double> bd(base ? *base : now, step);

    std::vector<float> out(std::size_t(kBlock / step) + 64);
    int err = 0;
    SRC_STATE *fastest = src_new(SRC_SINC_FASTEST, 1, &err);
    SRC_STATE *linear = src_new(SRC_LINEAR, 1, &err);
    SpeexResamplerState *speex = speex_resampler_init(1, 44100, spx_uint32_t(rate), 3, &err);
    int block_src = 0, block_lin = 0, block_spx = 0;
    auto src_call = [&](SRC_STATE *st, int &block) {
        SRC_DATA d{};
        d.data_in = xf.data() + block * kBlock;
        d.input_frames = kBlock;
        d.data_out = out.data();
        d.output_frames = long(out.size());
        d.src_ratio = rate / 44100.0;
        src_process(st, &d);
        block = (block + 1) % kBlocks;
    };

    std::vector<bench::Contender> cs;
    Figures f;
    cs.push_back({"", [&] { kf.run(xf); }});
    f.names.push_back("kwsig float");
    if (base) {
        cs.push_back({"", [&] { bf.run(xf); }});
        f.names.push_back("baseline float");
    }
    cs.push_back({"", [&] { kd.run(xd); }});
    f.names.push_back("kwsig double");
    if (base) {
        cs.push_back({"", [&] { bd.run(xd); }});
        f.names.push_back("baseline double");
    }
    cs.push_back({"", [&] { src_call(fastest, block_src); }});
    f.names.push_back("SRC_SINC_FASTEST");
    cs.push_back({"", [&] { src_call(linear, block_lin); }});
    f.names.push_back("SRC_LINEAR");
    cs.push_back({"", [&] {
                      spx_uint32_t nin = kBlock, nout = spx_uint32_t(out.size());
                      speex_resampler_process_float(speex, 0, xf.data() + block_spx * kBlock, &nin,
                                                    out.data(), &nout);
                      block_spx = (block_spx + 1) % kBlocks;
                  }});
    f.names.push_back("speexdsp q3");
    for (double s : bench::median_seconds(cs)) f.values.push_back(kBlock / step / s * 1e-6);
    src_delete(fastest);
    src_delete(linear);
    speex_resampler_destroy(speex);
    return f;
}

}  // namespace

int main(int argc, char **argv) {
    Api now, loaded;
    const Api *base = nullptr;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--baseline" && i + 1 < argc) {
            if (!load_baseline(argv[++i], loaded)) return 1;
            base = &loaded;
        } else if (a == "--isa" && i + 1 < argc) {
            const std::string isa = argv[++i];
            kwsig::limit_isa(isa == "portable" ? kwsig::Isa::portable
                             : isa == "sse2"   ? kwsig::Isa::sse2
                                               : kwsig::Isa::avx2);
        } else if (only.empty() && (a == "fir" || a == "fir_resp" || a == "resample")) {
            only = a;
        } else {
            std::fprintf(stderr,
                         "usage: %s [--baseline path/to/libkwsig_32.so] [--isa portable|sse2|avx2] "
                         "[fir|fir_resp|resample]\n",
                         argv[0]);
            return 2;
        }
    }
    static const char *const isa_names[] = {"plain loops", "SSE2", "AVX2"};
    std::printf("kernels: %s\n", isa_names[int(kwsig::kernel_isa())]);
    const auto part = [&](const char *name) { return only.empty() || only == name; };
    std::printf("load average %s\n", bench::load_average().c_str());
    if (part("fir")) {
        std::printf("kwsig_fir_double, %d-sample blocks, state carried\n", kBlock);
        for (int taps : {16, 64, 256}) {
            const std::string label = std::to_string(taps) + " taps";
            print_row(label.c_str(), fir_row<double>(taps, now, base), "Msamples/s");
        }
        std::printf("kwsig_fir\n");
        for (int taps : {16, 64, 256}) {
            const std::string label = std::to_string(taps) + " taps";
            print_row(label.c_str(), fir_row<float>(taps, now, base), "Msamples/s");
        }
    }
    if (part("fir_resp")) {
        std::printf("kwsig_fir_resp, 4096 points\n");
        for (int taps : {64, 1024}) {
            const std::string label = std::to_string(taps) + " taps";
            print_row(label.c_str(), fir_resp_row(taps, now, base), "microseconds per call", 1);
        }
    }
    if (part("resample")) {
        std::printf("resamplers, %d-sample input blocks, output rate\n", kBlock);
        for (double rate : {48000.0, 16000.0}) {
            const std::string label = "44.1->" + std::to_string(int(rate / 1000)) + " kHz";
            print_row(label.c_str(), resample_row(rate, now, base), "Msamples/s", 1);
        }
    }
    std::printf("load average %s\n", bench::load_average().c_str());
    return 0;
}
