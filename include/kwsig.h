/*
 * kwsig — exact, reproducible signal processing.
 *
 * Seventeen C entry points over caller-owned arrays: complex and real FFTs,
 * cosine-sum windows, windowed spectra, a streaming 11-tap resampler, a block
 * FIR filter, frequency responses and a least-squares FIR design.
 *
 * Conventions shared by every function:
 *  - Every result is defined to the last bit: IEEE round-to-nearest, no fused
 *    multiply-add, temporaries in double precision (also in the float twins).
 *    Results are identical across compilers, optimisation levels and calls.
 *  - The caller owns every array and every piece of stream state. Pointers are
 *    not checked for NULL; array sizes below are what the caller must provide.
 *  - Nothing is kept between calls except the resampler's kernel table, built
 *    once, thread-safely, on the first resampler call.
 *  - Every function is reentrant: concurrent calls are safe as long as they do
 *    not share an output array or a stream state.
 *  - Transforms use X[k] = sum_p x[p] e^(-2 pi i p k / N) forward and the
 *    positive exponent inverse; nothing is scaled by 1/N.
 *  - Interleaved complex arrays store point p as (re, im) at indices 2p, 2p+1.
 *  - Selectors (`mode`, `window_type`, `normalisation`) are 16-bit signed values
 *    in a 32-bit argument slot: only the low 16 bits count, so 65538 acts as 2
 *    and 65535 as -1, also when a caller passes a full 32-bit int.
 *  - The double twin of a function carries the suffix _double.
 */
#ifndef KWSIG_H
#define KWSIG_H

#define KWSIG_VERSION_MAJOR 0
#define KWSIG_VERSION_MINOR 0
#define KWSIG_VERSION_PATCH 0
#define KWSIG_VERSION_BUILD 3
#define KWSIG_VERSION_STRING "0.0.0.3"
/* Single comparable number: (major << 24) | (minor << 16) | (patch << 8) | build. */
#define KWSIG_VERSION 0x00000003

/* Calling convention: __stdcall on 32-bit x86 Windows (the callee pops its
 * arguments), the platform's plain C convention everywhere else. */
#if defined(_WIN32) && (defined(_M_IX86) || defined(__i386__))
#  define KWSIG_CALL __stdcall
#else
#  define KWSIG_CALL
#endif

/* Export marker. The Windows DLL exports through its module-definition file;
 * ELF builds hide everything but the kwsig_ entry points. */
#if defined(_WIN32)
#  define KWSIG_API
#elif defined(KWSIG_BUILD) && defined(__GNUC__)
#  define KWSIG_API __attribute__((visibility("default")))
#else
#  define KWSIG_API
#endif

/* A selector is declared short for callers. Inside the library the whole
 * 32-bit slot is received as int and reduced to its low 16 bits there, so a
 * caller whose prototype says int (another language, say) gets the same result. */
#if defined(KWSIG_BUILD)
typedef int kwsig_selector;
#else
typedef short kwsig_selector;
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Fast Fourier transforms ------------------------------------------------ */

/* In-place radix-2 complex FFT of `count` points.
 *   data:      2*count values, interleaved (re, im); overwritten with X[k] at point k.
 *   count:     N, a power of two. N = 0 or 1 leaves the array unchanged. A count
 *              that is not a power of two leaves the array untouched.
 *   direction: 1 forward (negative exponent), -1 inverse (positive exponent).
 *              The value multiplies every twiddle angle, so 0 runs every
 *              butterfly with twiddle 1 and other values give no Fourier
 *              transform; callers pass 1 or -1.
 * Forward then inverse returns N times the input. */
KWSIG_API void KWSIG_CALL kwsig_fft(float *data, unsigned count, int direction);
KWSIG_API void KWSIG_CALL kwsig_fft_double(double *data, unsigned count, int direction);

/* In-place FFT of `count` real values into the packed half-spectrum, or back.
 *   data:      `count` values.
 *   count:     n, a power of two, at least 2. Any other count (0, 1, or not a
 *              power of two) leaves the array untouched. For n = 2 exactly the
 *              two values are read and written.
 *   direction: 1 forward; every other value is the inverse.
 * Packed half-spectrum of X[k] = sum_j x[j] e^(-2 pi i j k / n):
 *
 *   | index        | holds                         |
 *   |--------------|-------------------------------|
 *   | 0            | Re X[0]   (X[0] is real)      |
 *   | 1            | Re X[n/2] (X[n/2] is real)    |
 *   | 2k, 2k+1     | Re X[k], Im X[k], 0 < k < n/2 |
 *
 * The inverse takes a packed half-spectrum and returns n/2 times the sequence
 * whose forward transform it is (multiply by 2/n to get the sequence back). */
KWSIG_API void KWSIG_CALL kwsig_fft_real(float *data, unsigned count, int direction);
KWSIG_API void KWSIG_CALL kwsig_fft_real_double(double *data, unsigned count, int direction);

/* ---- Windows and spectra ---------------------------------------------------- */

/* Symmetric cosine-sum window of `count` samples in DFT-even (periodic) form,
 * window[n] = factor * W(2 pi |n - count/2| / count), scaled so that its mean
 * (normalisation 0) or its RMS (any other normalisation, sign of gain kept)
 * equals `gain`.
 *   window_type: 1 Hann, 2 and 3 five-term cosine sums, anything else uniform.
 *   window:      `count` values, written. count <= 0 writes nothing. */
KWSIG_API void KWSIG_CALL kwsig_window(float *window, int count, kwsig_selector window_type,
                                       kwsig_selector normalisation, float gain);
KWSIG_API void KWSIG_CALL kwsig_window_double(double *window, int count, kwsig_selector window_type,
                                              kwsig_selector normalisation, double gain);

/* One-sided spectrum of `count` real samples times `window`, unnormalised.
 *   input, window: `count` values each, read. output: count/2 + 1 values, bin k
 *   at output[k]. count: a power of two, at least 2.
 *   mode: 0 magnitude, 2 decibels (10 log10 of the power, -500 for a zero or
 *   NaN bin), anything else power. `output` may alias `input` or `window`. */
KWSIG_API void KWSIG_CALL kwsig_spectrum(const float *input, float *output, const float *window,
                                         int count, kwsig_selector mode);
KWSIG_API void KWSIG_CALL kwsig_spectrum_double(const double *input, double *output,
                                                const double *window, int count,
                                                kwsig_selector mode);

/* Two-sided, centred spectrum of `count` complex samples times `window`.
 *   input: 2*count values (interleaved). window: `count` values. output:
 *   `count` values; output[(k + count/2) mod count] holds bin k.
 *   count: a power of two. mode as for kwsig_spectrum. `output` may alias
 *   `input` or `window`. */
KWSIG_API void KWSIG_CALL kwsig_cspectrum(const float *input, float *output, const float *window,
                                          int count, kwsig_selector mode);
KWSIG_API void KWSIG_CALL kwsig_cspectrum_double(const double *input, double *output,
                                                 const double *window, int count,
                                                 kwsig_selector mode);

/* ---- Resampling ------------------------------------------------------------- */

/* Streaming 11-tap resampler: changes the sample rate of a stream by any
 * ratio. Every output is a weighted sum of 11 consecutive input samples, the
 * weights taken from a fixed interpolation kernel (11 input periods wide,
 * response: kwsig_resamp_resp) tabulated at 380 points per period and
 * interpolated linearly. Consumes input[0 .. ninput-1] in order, writes
 * output[0 .. *nwritten-1].
 *   input:    `ninput` samples, read. ninput <= 0 acts as 0.
 *   output:   `noutput` values, not overlapping input or history; noutput <= 0
 *             writes nothing, consumes nothing and leaves phase and history
 *             unchanged.
 *   nwritten: set to the number of outputs of this call (not a running total).
 *   phase:    position of the next output relative to the next unread input
 *             sample, in input periods; carried between calls. Start a stream
 *             at 0 to put its first output on input sample 0 (output j then
 *             lies at j*step). While phase <= -6.5 at the start of a call
 *             the outputs are 0.0 (the kernel would reach before the history).
 *   step:     input periods per output period, input rate / output rate
 *             (44100.0/48000.0 converts 44.1 kHz to 48 kHz). The kernel is not
 *             widened for step > 1, so lowering the rate filters no more than
 *             raising it. A zero step repeats one output until the output
 *             array is full.
 *   history:  11 values, the newest samples that entered (history[10] the
 *             newest); carried. Zeros for a stream starting from silence.
 * A call ends when its input runs out or its output array is full. It yields
 * about (ninput - 5.5 - phase) / step + 1 outputs (in a running stream about
 * ninput / step); give room for a few more. A stream cut into blocks gives
 * exactly the output of one call as long as every call ends for lack of
 * input. A call
 * that ends on a full array keeps its pending outputs in the state (the next
 * call, even with ninput = 0, produces them first) but does not report how
 * much input it consumed.
 * Unsafe arguments: with a negative or non-finite step, or a non-finite phase,
 * the call sets *nwritten = 0 and changes nothing else (no output, phase and
 * history untouched).
 * Precision: the float twin keeps phase, weights and the running sum in float
 * (the sum rounded after each tap), the double twin in double; both read the
 * same single-precision kernel table. The weights of one output sum to
 * 1.0000034 .. 1.0000042.
 * Threads: the kernel table is built once per process, on the first call of
 * either twin, safely also when first calls come from several threads at
 * once; afterwards calls read it without locking. Calls on different streams
 * may run concurrently; one stream's phase, history and nwritten must not be
 * used by two calls at once. */
KWSIG_API void KWSIG_CALL kwsig_resample(const float *input, int ninput, float *output,
                                         int noutput, int *nwritten, float *phase, float step,
                                         float *history);
KWSIG_API void KWSIG_CALL kwsig_resample_double(const double *input, int ninput, double *output,
                                                int noutput, int *nwritten, double *phase,
                                                double step, double *history);

/* Frequency response of the resampler's kernel (its continuous Fourier
 * transform, a signed real gain, not a magnitude and not in decibels) at
 * `npoints` frequencies from start_freq to stop_freq, in cycles per input
 * sample (0.5 is half the input rate). Point p lies at
 * start_freq + p * (stop_freq - start_freq) / (npoints - 1), built by repeated
 * addition; start_freq > stop_freq gives a descending grid.
 *   response: `npoints` doubles, written; nothing else is read or written.
 *   npoints:  <= 0 writes nothing; 1 gives the value at start_freq alone.
 * The response is 1 at f = 0, even in f, 0.5 near f = 0.1469 (amplitude) and
 * 0.7071 near f = 0.1044. Within about 4.5e-6/q of f = q/11 (q = 1 .. 5; 0.0009
 * of f = 0) it returns the exact limit at q/11 (1, and a_q/2 with a_q the
 * kernel's coefficients). The resamplers' tabulated kernel has a gain at
 * f = 0 of 1.0000034 .. 1.0000042 instead of exactly 1. Stateless: calls may
 * run concurrently with each other and with the resamplers. */
KWSIG_API void KWSIG_CALL kwsig_resamp_resp(double *response, int npoints, double start_freq,
                                            double stop_freq);

/* ---- FIR filters ------------------------------------------------------------ */

/* Block FIR filter with carried state: y[i] = sum_k c[k] x[i - ntaps + 1 + k]
 * (the last coefficient weights the newest sample).
 *   input, output: `count` values; output may be input.
 *   coefficients:  `ntaps` values. state: `ntaps` values, the stream history. */
KWSIG_API void KWSIG_CALL kwsig_fir(const float *input, float *output, int count,
                                    const float *coefficients, int ntaps, float *state);
KWSIG_API void KWSIG_CALL kwsig_fir_double(const double *input, double *output, int count,
                                           const double *coefficients, int ntaps, double *state);

/* Complex frequency response of `ntaps` coefficients (kwsig_fir order) at
 * `npoints` frequencies from start_freq to stop_freq (cycles per sample).
 *   response: 2*npoints doubles, interleaved (re, im). */
KWSIG_API void KWSIG_CALL kwsig_fir_resp(double *response, int npoints, double start_freq,
                                         double stop_freq, const double *coefficients, int ntaps);

/* Weighted least-squares FIR design from a desired complex response.
 *   desired:      2*nfreq + 2 doubles: nfreq + 1 interleaved complex points
 *                 from 0 to 0.5 cycles per sample.
 *   weights:      nfreq + 1 doubles.
 *   nfreq:        a power of two, at least 2.
 *   delay:        group delay in samples removed from the desired response.
 *   coefficients: `ntaps` doubles, impulse response order; 1 <= ntaps <= nfreq.
 * Returns 0.0 on success and 1.0 when the linear solve meets a zero pivot. */
KWSIG_API double KWSIG_CALL kwsig_fir_synth(const double *desired, const double *weights, int nfreq,
                                            double delay, double *coefficients, int ntaps);

#ifdef __cplusplus
}
#endif

#endif /* KWSIG_H */
