// Accuracy of the complex FFT: relative RMS error of kwsig_fft_double and
// kwsig_fft, and of FFTW's double and float transforms, against a long-double
// reference, for sizes 16 ... 2^20 on uniform noise in [-1, 1).
//
// The reference is a radix-2 FFT in long double (64-bit significands) whose
// twiddles come from sinl and cosl of each twiddle's own angle, so its error
// (about 1e-19 log2 N) is negligible here. Error = sqrt(sum |X - R|^2 /
// sum |R|^2) over all bins.
#include <fftw3.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <random>
#include <vector>

#include "kwsig.h"

namespace {

using cld = std::complex<long double>;

void reference_fft(std::vector<cld> &a) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    const long double pi = 3.141592653589793238462643383279502884L;
    std::vector<cld> w(n / 2);
    for (std::size_t k = 0; k < n / 2; ++k) {
        const long double ang = -2 * pi * (long double)k / (long double)n;
        w[k] = cld(cosl(ang), sinl(ang));
    }
    for (std::size_t len = 2; len <= n; len <<= 1)
        for (std::size_t i = 0; i < n; i += len)
            for (std::size_t k = 0; k < len / 2; ++k) {
                const cld u = a[i + k], v = a[i + k + len / 2] * w[k * (n / len)];
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
}

template <typename T>
double rel_rms(const T *x, const std::vector<cld> &ref) {
    long double num = 0, den = 0;
    for (std::size_t k = 0; k < ref.size(); ++k) {
        const long double dr = (long double)x[2 * k] - ref[k].real(), di = (long double)x[2 * k + 1] - ref[k].imag();
        num += dr * dr + di * di;
        den += std::norm(ref[k]);
    }
    return double(sqrtl(num / den));
}

}  // namespace

int main() {
    std::printf("| N | kwsig_fft_double | FFTW double | ratio | kwsig_fft (float) | FFTW float | ratio |\n");
    std::printf("|---:|---:|---:|---:|---:|---:|---:|\n");
    std::mt19937_64 g(9);
    std::uniform_real_distribution<double> u(-1, 1);
    for (int lg = 4; lg <= 20; ++lg) {
        const std::size_t n = std::size_t(1) << lg;
        std::vector<double> xd(2 * n);
        for (auto &v : xd) v = u(g);
        std::vector<float> xf(2 * n);
        for (std::size_t i = 0; i < 2 * n; ++i) xf[i] = float(xd[i]);
        // references for the double input and for the float-rounded input
        std::vector<cld> rd(n), rf(n);
        for (std::size_t k = 0; k < n; ++k) {
            rd[k] = cld(xd[2 * k], xd[2 * k + 1]);
            rf[k] = cld(xf[2 * k], xf[2 * k + 1]);
        }
        reference_fft(rd);
        reference_fft(rf);

        std::vector<double> kd = xd;
        kwsig_fft_double(kd.data(), unsigned(n), 1);
        std::vector<float> kf = xf;
        kwsig_fft(kf.data(), unsigned(n), 1);

        std::vector<double> fd(2 * n);
        fftw_plan pd = fftw_plan_dft_1d(int(n), reinterpret_cast<fftw_complex *>(fd.data()),
                                        reinterpret_cast<fftw_complex *>(fd.data()), FFTW_FORWARD, FFTW_ESTIMATE);
        fd = xd;
        fftw_execute(pd);
        fftw_destroy_plan(pd);
        std::vector<float> ff(2 * n);
        fftwf_plan pf = fftwf_plan_dft_1d(int(n), reinterpret_cast<fftwf_complex *>(ff.data()),
                                          reinterpret_cast<fftwf_complex *>(ff.data()), FFTW_FORWARD, FFTW_ESTIMATE);
        ff = xf;
        fftwf_execute(pf);
        fftwf_destroy_plan(pf);

        const double ekd = rel_rms(kd.data(), rd), efd = rel_rms(fd.data(), rd);
        const double ekf = rel_rms(kf.data(), rf), eff = rel_rms(ff.data(), rf);
        std::printf("| 2^%d | %.2g | %.2g | %.1f | %.2g | %.2g | %.2f |\n", lg, ekd, efd, ekd / efd, ekf, eff,
                    ekf / eff);
        std::fflush(stdout);
    }
    return 0;
}
