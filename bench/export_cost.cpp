// Cost of every export per call, and of the library's sine, cosine and
// logarithm per call next to the C library's, on the arguments the library
// passes. Built twice: against the library (kwsig_export_cost) and against the
// same sources with the C library's sin, cos and log (kwsig_export_cost_libm);
// bench/math-cost runs both and prints them side by side.
//
//   kwsig_export_cost      one line per measurement: "name nanoseconds"
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

#include "kwsig.h"
#include "math/crmath.h"

namespace {

// Best of many timed repetitions, in nanoseconds per repetition.
double best_ns(const std::function<void()> &body, int reps) {
    double best = 1e300;
    for (int r = 0; r < reps; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        body();
        const double t = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count();
        if (t < best) best = t;
    }
    return best;
}

template <typename T>
std::vector<T> noise(std::size_t n, double a = -1, double b = 1) {
    std::mt19937_64 g(5);
    std::uniform_real_distribution<double> u(a, b);
    std::vector<T> v(n);
    for (auto &x : v) x = T(u(g));
    return v;
}

volatile double sink;

void report(const char *name, double ns) { std::printf("%-28s %10.1f\n", name, ns); }

// Per call of the elementary function, over arguments of the library's own
// kinds: window angles k * m * 2 pi / count, resampler-response arguments
// pi * 11 f, decibel arguments (powers of noise spectra).
void elementary() {
    std::vector<double> angles, powers;
    for (int m = 0; m < 512; ++m)
        for (int k = 1; k < 5; ++k) angles.push_back(double(k) * (double(m) * (6.283185307179586 / 1024)));
    for (double f : noise<double>(2048, -0.5, 0.5)) angles.push_back(3.141592653589793 * (11.0 * f));
    for (double v : noise<double>(4096, -12, 3)) powers.push_back(std::pow(10.0, v));
    auto run = [&](const char *name, const std::vector<double> &args, double (*fn)(double)) {
        const double ns = best_ns([&] {
            double s = 0;
            for (double x : args) s += fn(x);
            sink = s;
        }, 400) / double(args.size());
        report(name, ns);
    };
    run("sin (per call)", angles, [](double x) { return kwsig::math::sin(x); });
    run("cos (per call)", angles, [](double x) { return kwsig::math::cos(x); });
    run("log (per call)", powers, [](double x) { return kwsig::math::log(x); });
}

void exports() {
    const int n = 1024;
    auto xd = noise<double>(2 * n), wd = noise<double>(n, 0, 1);
    auto xf = noise<float>(2 * n), wf = noise<float>(n, 0, 1);
    std::vector<double> od(2 * n + 2), buf(2 * n);
    std::vector<float> of(2 * n + 2), buff(2 * n);
    auto time = [&](const char *name, const std::function<void()> &call) { report(name, best_ns(call, 300)); };
    time("kwsig_window_double", [&] { kwsig_window_double(od.data(), n, 3, 1, 1.0); });
    time("kwsig_window", [&] { kwsig_window(of.data(), n, 3, 1, 1.0f); });
    time("kwsig_resamp_resp", [&] { kwsig_resamp_resp(od.data(), n, 0.0, 0.5); });
    time("kwsig_spectrum_double dB", [&] { kwsig_spectrum_double(xd.data(), od.data(), wd.data(), n, 2); });
    time("kwsig_spectrum dB", [&] { kwsig_spectrum(xf.data(), of.data(), wf.data(), n, 2); });
    time("kwsig_cspectrum_double dB", [&] { kwsig_cspectrum_double(xd.data(), od.data(), wd.data(), n, 2); });
    time("kwsig_cspectrum dB", [&] { kwsig_cspectrum(xf.data(), of.data(), wf.data(), n, 2); });
    time("kwsig_spectrum_double", [&] { kwsig_spectrum_double(xd.data(), od.data(), wd.data(), n, 1); });
    time("kwsig_cspectrum", [&] { kwsig_cspectrum(xf.data(), of.data(), wf.data(), n, 1); });
    time("kwsig_fft_double", [&] { buf = xd; kwsig_fft_double(buf.data(), n, 1); });
    time("kwsig_fft", [&] { buff = xf; kwsig_fft(buff.data(), n, 1); });
    time("kwsig_fft_real_double", [&] { buf = xd; kwsig_fft_real_double(buf.data(), n, 1); });
    time("kwsig_fft_real", [&] { buff = xf; kwsig_fft_real(buff.data(), n, 1); });
    auto coef = noise<double>(31);
    time("kwsig_fir_resp", [&] { kwsig_fir_resp(od.data(), n, 0.0, 0.5, coef.data(), 31); });
    auto desired = noise<double>(2 * 256 + 2), weights = noise<double>(257, 0.5, 1.5);
    std::vector<double> taps(31);
    time("kwsig_fir_synth", [&] { sink = kwsig_fir_synth(desired.data(), weights.data(), 256, 15.0, taps.data(), 31); });
    std::vector<double> state(31, 0.0);
    time("kwsig_fir_double", [&] { kwsig_fir_double(xd.data(), od.data(), n, coef.data(), 31, state.data()); });
    auto coeff = noise<float>(31);
    std::vector<float> statef(31, 0.0f);
    time("kwsig_fir", [&] { kwsig_fir(xf.data(), of.data(), n, coeff.data(), 31, statef.data()); });
    std::vector<double> hist(11, 0.0), out(4 * n);
    double phase = 0;
    int written = 0;
    time("kwsig_resample_double", [&] {
        kwsig_resample_double(xd.data(), n, out.data(), int(out.size()), &written, &phase, 44100.0 / 48000.0,
                              hist.data());
    });
    std::vector<float> histf(11, 0.0f), outf(4 * n);
    float phasef = 0;
    time("kwsig_resample", [&] {
        kwsig_resample(xf.data(), n, outf.data(), int(outf.size()), &written, &phasef, 44100.0f / 48000.0f,
                       histf.data());
    });
}

}  // namespace

int main() {
    elementary();
    exports();
    return 0;
}
