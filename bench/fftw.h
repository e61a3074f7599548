// FFTW in either precision under one name, for the benchmarks that set it
// beside kwsig: plans measured once (FFTW_MEASURE), then executed.
#pragma once

#include <fftw3.h>

#include <cstddef>

namespace bench {

template <typename T>
struct Fftw;

template <>
struct Fftw<double> {
    using Plan = fftw_plan;
    using Complex = fftw_complex;
    static void *alloc(std::size_t bytes) { return fftw_malloc(bytes); }
    static void release(void *p) { fftw_free(p); }
    static Plan c2c(int n, Complex *in, Complex *out) {
        return fftw_plan_dft_1d(n, in, out, FFTW_FORWARD, FFTW_MEASURE);
    }
    static Plan r2c(int n, double *in, Complex *out) {
        return fftw_plan_dft_r2c_1d(n, in, out, FFTW_MEASURE);
    }
    static Plan c2r(int n, Complex *in, double *out) {
        return fftw_plan_dft_c2r_1d(n, in, out, FFTW_MEASURE);
    }
    static void run(Plan p) { fftw_execute(p); }
    static void destroy(Plan p) { fftw_destroy_plan(p); }
};

template <>
struct Fftw<float> {
    using Plan = fftwf_plan;
    using Complex = fftwf_complex;
    static void *alloc(std::size_t bytes) { return fftwf_malloc(bytes); }
    static void release(void *p) { fftwf_free(p); }
    static Plan c2c(int n, Complex *in, Complex *out) {
        return fftwf_plan_dft_1d(n, in, out, FFTW_FORWARD, FFTW_MEASURE);
    }
    static Plan r2c(int n, float *in, Complex *out) {
        return fftwf_plan_dft_r2c_1d(n, in, out, FFTW_MEASURE);
    }
    static Plan c2r(int n, Complex *in, float *out) {
        return fftwf_plan_dft_c2r_1d(n, in, out, FFTW_MEASURE);
    }
    static void run(Plan p) { fftwf_execute(p); }
    static void destroy(Plan p) { fftwf_destroy_plan(p); }
};

}  // namespace bench
