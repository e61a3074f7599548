// The transforms and spectra beside FFTW doing the same job, in one process, on
// one core; every figure is the median CPU time per call over interleaved
// rounds (bench/compare.h).
//
//   kwsig_fft_vs_fftw [--baseline path/to/libkwsig_32.so] [--isa portable|sse2|avx2]
//                     [--sizes 4,10,...] [complex|real|spectrum]
//
// --baseline loads another build of the library and times its exports beside
// this build's, in the same rounds. --isa narrows this build's kernels to an
// instruction set. --sizes takes base-2 logarithms of the sizes (default 4, 6,
// 8, 9, 10, 12, 14, 16, 18, 20). A last argument limits the run to one part.
//
// FFTW plans with FFTW_MEASURE once per row, before the timing. The in-place
// transforms would grow noise by about sqrt(N) per call and soon overflow, so
// every timed transform call, of either library, first copies a fresh input
// into its work array; the copy is counted in both figures alike and nothing is
// subtracted. FFTW's real transform runs out of place into N/2 + 1 bins (its
// usual form) and gets the same copy into its input array. The spectra need no
// copy: kwsig reads a const input and allocates its scratch on every call,
// which is part of its cost; FFTW's contender multiplies by a window computed
// once beforehand (as a program would precompute it), transforms into arrays
// allocated once, and forms the bins in a plain loop as kwsig defines them.
// Before timing, each row checks that the two contenders' outputs agree.
#include <dlfcn.h>
#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "compare.h"
#include "fftw.h"
#include "frame/cpu.h"
#include "kwsig.h"

namespace {

// The exports timed here, from this build or from a loaded one.
struct Api {
    decltype(&kwsig_fft) fft = kwsig_fft;
    decltype(&kwsig_fft_double) fft_double = kwsig_fft_double;
    decltype(&kwsig_fft_real) fft_real = kwsig_fft_real;
    decltype(&kwsig_fft_real_double) fft_real_double = kwsig_fft_real_double;
    decltype(&kwsig_spectrum) spectrum = kwsig_spectrum;
    decltype(&kwsig_spectrum_double) spectrum_double = kwsig_spectrum_double;
    decltype(&kwsig_cspectrum) cspectrum = kwsig_cspectrum;
    decltype(&kwsig_cspectrum_double) cspectrum_double = kwsig_cspectrum_double;

    void complex(float *x, unsigned n) const { fft(x, n, 1); }
    void complex(double *x, unsigned n) const { fft_double(x, n, 1); }
    void real(float *x, unsigned n) const { fft_real(x, n, 1); }
    void real(double *x, unsigned n) const { fft_real_double(x, n, 1); }
    void spectrum_of(bool cplx, const float *x, float *y, const float *w, int n, int mode) const {
        (cplx ? cspectrum : spectrum)(x, y, w, n, kwsig_selector(mode));
    }
    void spectrum_of(bool cplx, const double *x, double *y, const double *w, int n, int mode) const {
        (cplx ? cspectrum_double : spectrum_double)(x, y, w, n, kwsig_selector(mode));
    }
};

bool load_baseline(const char *path, Api &api) {
    using bench::bind;
    void *lib = bench::open_baseline(path);
    if (!lib) return false;
    return bind(lib, "kwsig_fft", api.fft) && bind(lib, "kwsig_fft_double", api.fft_double) &&
           bind(lib, "kwsig_fft_real", api.fft_real) &&
           bind(lib, "kwsig_fft_real_double", api.fft_real_double) &&
           bind(lib, "kwsig_spectrum", api.spectrum) &&
           bind(lib, "kwsig_spectrum_double", api.spectrum_double) &&
           bind(lib, "kwsig_cspectrum", api.cspectrum) &&
           bind(lib, "kwsig_cspectrum_double", api.cspectrum_double);
}


// A 64-byte aligned array, used for every contender alike (FFTW plans for
// it). Inputs are copied from arrays aligned the same way: this machine's
// memcpy runs thirty times slower when source and destination are 8 or 16
// bytes apart modulo 32, which would otherwise depend on where the heap
// happened to place them.
template <typename T>
struct Buffer {
    explicit Buffer(std::size_t n)
        : p(static_cast<T *>(std::aligned_alloc(64, (sizeof(T) * n + 63) / 64 * 64))) {}
    explicit Buffer(const std::vector<T> &v) : Buffer(v.size()) {
        std::memcpy(p, v.data(), v.size() * sizeof(T));
    }
    ~Buffer() { std::free(p); }
    Buffer(const Buffer &) = delete;
    Buffer &operator=(const Buffer &) = delete;
    template <typename U>
    U *as() const { return reinterpret_cast<U *>(p); }
    T *p;
};


// The bins X[0 .. count-1] into out[], as kwsig's spectra define them: the
// magnitude sqrt(P), decibels ln(P) * (10 / ln 10) with -500 for P zero or NaN,
// or the power P, with P = re^2 + im^2. One loop per mode, the test outside.
template <typename T, typename C>
void form_bins(const C *X, int count, int mode, T *out) {
    const T db = T(10 / std::log(10.0L));
    if (mode == KWSIG_SPECTRUM_MAGNITUDE) {
        for (int k = 0; k < count; ++k) out[k] = std::sqrt(X[k][0] * X[k][0] + X[k][1] * X[k][1]);
    } else if (mode == KWSIG_SPECTRUM_DB) {
        for (int k = 0; k < count; ++k) {
            const T p = X[k][0] * X[k][0] + X[k][1] * X[k][1];
            out[k] = p > 0 ? std::log(p) * db : T(-500);
        }
    } else {
        for (int k = 0; k < count; ++k) out[k] = X[k][0] * X[k][0] + X[k][1] * X[k][1];
    }
}

// Largest difference between two outputs relative to the largest value of b.
template <typename T>
double mismatch(const T *a, const T *b, std::size_t n) {
    double worst = 0, scale = 0;
    for (std::size_t i = 0; i < n; ++i) {
        worst = std::max(worst, std::fabs(double(a[i]) - double(b[i])));
        scale = std::max(scale, std::fabs(double(b[i])));
    }
    return worst / scale;
}

// ---- rows ---------------------------------------------------------------------

// Microseconds per call: kwsig, FFTW, then the baseline if any. The kwsig
// contender is a function of the Api, so the baseline runs the same code.
using Kwsig = std::function<void(const Api &)>;

std::vector<double> time_row(const Kwsig &kwsig, const std::function<void()> &fftw,
                             const Api &now, const Api *base) {
    std::vector<bench::Contender> cs{{"kwsig", [&] { kwsig(now); }}, {"FFTW", fftw}};
    if (base) cs.push_back({"baseline", [&] { kwsig(*base); }});
    auto s = bench::median_seconds(cs);
    for (auto &v : s) v *= 1e6;
    return s;
}

void warn_if(double m, double tolerance, const char *what, int n) {
    if (!(m <= tolerance)) std::printf("  warning: %s differs from FFTW by %g at N = %d\n", what, m, n);
}

template <typename T>
constexpr double tolerance() { return sizeof(T) == 4 ? 1e-3 : 1e-10; }  // float: 2^20 points reach 1.2e-4

template <typename T>
std::vector<double> complex_row(int n, const Api &now, const Api *base) {
    using F = bench::Fftw<T>;
    const std::size_t len = 2 * std::size_t(n), bytes = len * sizeof(T);
    const Buffer<T> input(bench::noise<T>(len, 1));
    Buffer<T> work(len), fw(len);
    auto plan = F::c2c(n, fw.template as<typename F::Complex>(), fw.template as<typename F::Complex>());
    const Kwsig kwsig = [&](const Api &api) {
        std::memcpy(work.p, input.p, bytes);
        api.complex(work.p, unsigned(n));
    };
    const auto fftw = [&] {
        std::memcpy(fw.p, input.p, bytes);
        F::run(plan);
    };
    kwsig(now);
    fftw();
    warn_if(mismatch(work.p, fw.p, len), tolerance<T>(), "complex transform", n);
    auto us = time_row(kwsig, fftw, now, base);
    F::destroy(plan);
    return us;
}

template <typename T>
std::vector<double> real_row(int n, const Api &now, const Api *base) {
    using F = bench::Fftw<T>;
    const std::size_t bytes = std::size_t(n) * sizeof(T);
    const Buffer<T> input(bench::noise<T>(std::size_t(n), 2));
    Buffer<T> work{std::size_t(n)}, in{std::size_t(n)}, out{std::size_t(n) + 2};
    auto *bins = out.template as<typename F::Complex>();
    auto plan = F::r2c(n, in.p, bins);
    const Kwsig kwsig = [&](const Api &api) {
        std::memcpy(work.p, input.p, bytes);
        api.real(work.p, unsigned(n));
    };
    const auto fftw = [&] {
        std::memcpy(in.p, input.p, bytes);
        F::run(plan);
    };
    kwsig(now);
    fftw();
    // FFTW's bins in kwsig's packed order: Re X[0], Re X[n/2], then Re, Im of X[k].
    std::vector<T> packed(static_cast<std::size_t>(n));
    packed[0] = bins[0][0];
    packed[1] = bins[n / 2][0];
    for (int k = 1; k < n / 2; ++k) {
        packed[2 * std::size_t(k)] = bins[k][0];
        packed[2 * std::size_t(k) + 1] = bins[k][1];
    }
    warn_if(mismatch(work.p, packed.data(), std::size_t(n)), tolerance<T>(), "real transform", n);
    auto us = time_row(kwsig, fftw, now, base);
    F::destroy(plan);
    return us;
}

// kwsig_spectrum (cplx false) or kwsig_cspectrum (cplx true) with a Hann window.
template <typename T>
std::vector<double> spectrum_row(bool cplx, int mode, int n, const Api &now, const Api *base) {
    using F = bench::Fftw<T>;
    using C = typename F::Complex;
    const std::size_t points = std::size_t(n), nout = cplx ? points : points / 2 + 1;
    const Buffer<T> input(bench::noise<T>(cplx ? 2 * points : points, 3));
    Buffer<T> window(points), y(nout), z(nout), in(2 * points), out(2 * points + 2);
    if constexpr (sizeof(T) == 4)
        kwsig_window(window.p, n, KWSIG_WINDOW_HANN, KWSIG_NORM_MEAN, 1.0f);
    else
        kwsig_window_double(window.p, n, KWSIG_WINDOW_HANN, KWSIG_NORM_MEAN, 1.0);
    C *X = out.template as<C>();
    auto plan = cplx ? F::c2c(n, in.template as<C>(), X) : F::r2c(n, in.p, X);
    const T *x = input.p, *w = window.p;
    const Kwsig kwsig = [&](const Api &api) { api.spectrum_of(cplx, x, y.p, w, n, mode); };
    const auto fftw = [&] {
        if (cplx) {
            // Each point's two parts times its window sample; the bins stored
            // centred, frequency -n/2 first.
            C *c = in.template as<C>();
            for (int p = 0; p < n; ++p) {
                c[p][0] = x[2 * p] * w[p];
                c[p][1] = x[2 * p + 1] * w[p];
            }
            F::run(plan);
            form_bins(X, n / 2, mode, z.p + n / 2);
            form_bins(X + n / 2, n - n / 2, mode, z.p);
        } else {
            for (int i = 0; i < n; ++i) in.p[i] = x[i] * w[i];
            F::run(plan);
            form_bins(X, n / 2 + 1, mode, z.p);
        }
    };
    kwsig(now);
    fftw();
    warn_if(mismatch(y.p, z.p, nout), tolerance<T>(), cplx ? "complex spectrum" : "spectrum", n);
    auto us = time_row(kwsig, fftw, now, base);
    F::destroy(plan);
    return us;
}

// ---- report -------------------------------------------------------------------

void table_head(const char *title, bool base) {
    std::printf("\n%s\n  %-33s %8s %11s %11s %10s", title, "function", "N", "kwsig us", "FFTW us",
                "kwsig/FFTW");
    if (base) std::printf(" %11s %10s", "baseline us", "base/FFTW");
    std::printf("\n");
}

void table_row(const std::string &label, int n, const std::vector<double> &us) {
    std::printf("  %-33s %8d %11.3f %11.3f %10.2f", label.c_str(), n, us[0], us[1], us[0] / us[1]);
    if (us.size() > 2) std::printf(" %11.3f %10.2f", us[2], us[2] / us[1]);
    std::printf("\n");
    std::fflush(stdout);
}

std::string cpu_model() {
    std::string line, model = "unknown";
    if (FILE *f = std::fopen("/proc/cpuinfo", "r")) {
        char buf[512];
        while (std::fgets(buf, sizeof buf, f)) {
            line = buf;
            if (line.rfind("model name", 0) == 0) {
                model = line.substr(line.find(':') + 2);
                model.erase(model.find_last_not_of("\n ") + 1);
                break;
            }
        }
        std::fclose(f);
    }
    return model;
}

std::string utc_now() {
    char buf[64];
    const std::time_t t = std::time(nullptr);
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S UTC", std::gmtime(&t));
    return buf;
}

}  // namespace

int main(int argc, char **argv) {
    Api now, loaded;
    const Api *base = nullptr;
    std::string only;
    std::vector<int> logs{4, 6, 8, 9, 10, 12, 14, 16, 18, 20};
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
        } else if (a == "--sizes" && i + 1 < argc) {
            logs.clear();
            std::stringstream list(argv[++i]);
            for (std::string item; std::getline(list, item, ',');) {
                const int k = std::atoi(item.c_str());
                if (k < 1 || k > 24) {
                    std::fprintf(stderr, "--sizes: %s is not a log2 size from 1 to 24\n", item.c_str());
                    return 2;
                }
                logs.push_back(k);
            }
        } else if (only.empty() && (a == "complex" || a == "real" || a == "spectrum")) {
            only = a;
        } else {
            std::fprintf(stderr,
                         "usage: %s [--baseline path/to/libkwsig_32.so] [--isa portable|sse2|avx2] "
                         "[--sizes 4,10,...] [complex|real|spectrum]\n",
                         argv[0]);
            return 2;
        }
    }
    static const char *const isa_names[] = {"plain loops", "SSE2", "AVX2"};
    std::printf("machine: %s\n", cpu_model().c_str());
    std::printf("date: %s\n", utc_now().c_str());
    std::printf("kwsig kernels: %s; %s, FFTW_MEASURE\n", isa_names[int(kwsig::kernel_isa())],
                fftw_version);
    std::printf("load average at start: %s\n", bench::load_average().c_str());
    std::printf("microseconds per call, median CPU time over interleaved rounds\n");
    const auto part = [&](const char *name) { return only.empty() || only == name; };

    if (part("complex")) {
        table_head("complex transforms, forward, in place (fresh input copied in before each call)",
                   base);
        for (int k : logs) table_row("kwsig_fft_double", 1 << k, complex_row<double>(1 << k, now, base));
        for (int k : logs) table_row("kwsig_fft", 1 << k, complex_row<float>(1 << k, now, base));
    }
    if (part("real")) {
        table_head("real transforms, forward (kwsig in place, packed; FFTW r2c out of place;"
                   " fresh input copied in before each call)",
                   base);
        for (int k : logs)
            table_row("kwsig_fft_real_double", 1 << k, real_row<double>(1 << k, now, base));
        for (int k : logs) table_row("kwsig_fft_real", 1 << k, real_row<float>(1 << k, now, base));
    }
    if (part("spectrum")) {
        table_head("spectra, Hann window (FFTW: window multiply, r2c or c2c, loop over the bins)",
                   base);
        static const struct { const char *name; int mode; } modes[] = {
            {"magnitude", KWSIG_SPECTRUM_MAGNITUDE}, {"dB", KWSIG_SPECTRUM_DB}};
        for (bool cplx : {false, true})
            for (bool dbl : {true, false})
                for (const auto &m : modes) {
                    const std::string label = std::string(cplx ? "kwsig_cspectrum" : "kwsig_spectrum") +
                                              (dbl ? "_double " : " ") + m.name;
                    for (int k : logs)
                        table_row(label, 1 << k,
                                  dbl ? spectrum_row<double>(cplx, m.mode, 1 << k, now, base)
                                      : spectrum_row<float>(cplx, m.mode, 1 << k, now, base));
                }
    }
    std::printf("\nload average at end: %s\n", bench::load_average().c_str());
    std::printf("date: %s\n", utc_now().c_str());
    return 0;
}
