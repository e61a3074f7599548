/*
 * kwsig — exact, reproducible signal processing.
 *
 * Seventeen C entry points over caller-owned arrays: complex and real FFTs,
 * cosine-sum windows, windowed spectra, a streaming 11-tap resampler, a block
 * FIR filter, frequency responses and a least-squares FIR design.
 *
 * Conventions shared by every function:
 *  - Every result is defined to the last bit: IEEE round-to-nearest, no fused
 *    multiply-add, temporaries in double precision (also in the float twins),
 *    and sines, cosines and logarithms from the library's own correctly
 *    rounded functions (each the double nearest to the exact value), never
 *    from the C library. Results are identical on every CPU and operating
 *    system (x86-64 Linux and the 32-bit Windows DLL alike), with every
 *    compiler and optimisation level, and from call to call.
 *  - Accuracy: the transforms take their twiddles from a rotation recurrence
 *    seeded with the 15-digit constant 6.28318530717959 for 2 pi and never
 *    re-anchored; measured relative RMS error of kwsig_fft_double on noise,
 *    about 1e-15 at 16 points rising to 1.8e-14 at 2^20 (7 to 56 times
 *    FFTW's), of kwsig_fft 6e-8 to 1.4e-7 (slightly better than FFTW's
 *    float transform).
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
 * Forward then inverse returns N times the input. The transform allocates no
 * memory; it uses up to about 32 KiB of the caller's stack. */
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
 * whose forward transform it is (multiply by 2/n to get the sequence back).
 * Like the complex transform, it allocates nothing and uses up to about 32 KiB
 * of stack. */
KWSIG_API void KWSIG_CALL kwsig_fft_real(float *data, unsigned count, int direction);
KWSIG_API void KWSIG_CALL kwsig_fft_real_double(double *data, unsigned count, int direction);

/* ---- Windows and spectra ---------------------------------------------------- */

/* Window shapes (window_type) and normalisations (normalisation). */
#define KWSIG_WINDOW_UNIFORM 0      /* any value other than 1, 2, 3 is uniform too */
#define KWSIG_WINDOW_HANN 1
#define KWSIG_WINDOW_LOW_SIDELOBE 2 /* five-term, sidelobes below -125 dB */
#define KWSIG_WINDOW_FLAT_TOP 3     /* five-term, flat to 0.01 dB across a bin */
#define KWSIG_NORM_MEAN 0
#define KWSIG_NORM_RMS 1            /* any nonzero value */

/* Cosine-sum window of `count` samples for spectral analysis with a
 * `count`-point FFT, scaled to a mean or an RMS level. The window is periodic
 * (DFT-even): sample n is W at the angle 2 pi |n - count/2| / count, so the
 * samples are symmetric about the peak at sample count/2, and sample 0, the
 * edge, has no partner. (Equivalently: the symmetric window of count + 1
 * samples without its last sample.)
 *   window[n] = factor * W(2 pi |n - count/2| / count),   count/2 taken exactly,
 *   W(a) = sum_k c[k] cos(k a)   (all terms added; the edge sign comes from a = pi).
 *   window_type (low 16 bits): 1 Hann, c = {1, 1}, giving factor * (1 - cos(2 pi n / count));
 *               2 low-sidelobe: {1, 1.45875529058, 0.543087184, 0.08816718498, 0.00390252806};
 *               3 flat-top: {1, 1.941109216, 1.308381824, 0.40400112, 0.035108828}
 *               (slightly negative near both edges); any other value: uniform,
 *               every sample equals gain (exactly in the float version; the
 *               double version may differ by the rounding of count * gain).
 *   Which to pick (figures measured on 1024-point windows, in bins of the FFT):
 *
 *   | type           | highest sidelobe | noise bandwidth | scalloping loss | first zero | for                         |
 *   |----------------|------------------|-----------------|-----------------|------------|-----------------------------|
 *   | 0 uniform      |  -13.3 dB        | 1.00 bins       | 3.92 dB         | 1 bin      | transients, tones on a bin  |
 *   | 1 Hann         |  -31.5 dB        | 1.50 bins       | 1.42 dB         | 2 bins     | general use                 |
 *   | 2 low-sidelobe | -125.4 dB        | 2.22 bins       | 0.68 dB         | 5 bins     | weak tones beside strong    |
 *   | 3 flat-top     |  -95.1 dB        | 3.82 bins       | 0.01 dB         | 5 bins     | amplitudes of tones         |
 *
 *               (noise bandwidth: equivalent noise bandwidth, count * sum(w^2) /
 *               sum(w)^2; scalloping loss: the largest change in the gain of a
 *               tone between two bins, a loss but for the flat-top's +0.01 dB;
 *               first zero: of the main lobe.)
 *   normalisation (low 16 bits): 0 mean, factor = count * gain / sum(W), so the
 *               samples sum to count * gain; any other value RMS, factor =
 *               gain / sqrt(sum(W^2) / count), so the squares sum to count * gain^2
 *               and the window carries the sign of gain. gain = 0 gives zeros.
 *   window:     `count` values, written in full; their old contents are not read.
 *   count:      even counts (the usual case) put the centre, the maximum, at
 *               count/2 and the edge value W(pi) at sample 0, which has no
 *               partner. Odd counts put the centre between samples (count-1)/2
 *               and (count+1)/2 (the two largest of types 1 to 3); sample 0 is
 *               again W(pi). In both, samples n and count - n are bit-identical for
 *               0 < n < count. count = 1 gives the single sample gain (a
 *               one-point window is flat). count <= 0 writes nothing.
 * Both versions compute in double (angles, sums, factor); the float version
 * rounds to float only where it stores samples. No memory is allocated;
 * reentrant: concurrent calls are safe on distinct arrays. */
KWSIG_API void KWSIG_CALL kwsig_window(float *window, int count, kwsig_selector window_type,
                                       kwsig_selector normalisation, float gain);
KWSIG_API void KWSIG_CALL kwsig_window_double(double *window, int count, kwsig_selector window_type,
                                              kwsig_selector normalisation, double gain);

/* Spectrum output modes (mode). */
#define KWSIG_SPECTRUM_MAGNITUDE 0
#define KWSIG_SPECTRUM_POWER 1      /* any value other than 0 and 2 */
#define KWSIG_SPECTRUM_DB 2

/* One-sided spectrum of a windowed real record, unnormalised:
 *   P[k] = |X[k]|^2, X = forward transform of input[i] * window[i], k = 0 .. count/2.
 *   input, window: `count` values each, read (the products are rounded to the
 *                  array type before the transform, kwsig_fft_real).
 *   output:        count/2 + 1 values, written; output[k] is bin k, from 0 to
 *                  half the sample rate.
 *   count:         a power of two, at least 2. Any other count (0, 1, negative,
 *                  not a power of two) returns without writing output.
 *   mode (low 16 bits): 0 magnitude sqrt(P); 2 decibels 10 log10(P), computed
 *                  as ln(P) * (10 / ln 10) with the factor rounded to the
 *                  function's precision (a power of 1e6 reads 59.999996 in the
 *                  float version, 60 in the double one), -500 for a bin that
 *                  is zero or NaN; any other value the power P.
 * `output` may be the same array as `input` or `window` (both are read in full
 * before output is written); only its first count/2 + 1 values change.
 * Allocates count + 1 values of scratch; when that fails, output is left
 * untouched. Reentrant: concurrent calls are safe with distinct outputs. */
KWSIG_API void KWSIG_CALL kwsig_spectrum(const float *input, float *output, const float *window,
                                         int count, kwsig_selector mode);
KWSIG_API void KWSIG_CALL kwsig_spectrum_double(const double *input, double *output,
                                                const double *window, int count,
                                                kwsig_selector mode);

/* Two-sided, centred spectrum of a windowed complex record, unnormalised:
 *   P[k] = |X[k]|^2, X = forward transform (kwsig_fft) of the points
 *   (input[2p] * window[p], input[2p+1] * window[p]), p = 0 .. count-1.
 *   input:  2*count values, interleaved (re, im), read.
 *   window: `count` real values, read; each multiplies both parts of its point.
 *   output: `count` values, written in centred order: output[(k + count/2) mod
 *           count] = P[k], so output[m] belongs to frequency m - count/2 (in
 *           bins): output[0] is -count/2, output[count/2] zero frequency,
 *           output[count-1] is count/2 - 1. For count = 1, output[0] = P[0].
 *   count:  a power of two (1 included). Any other count (0, negative, not a
 *           power of two) returns without writing output.
 *   mode:   as for kwsig_spectrum (0 magnitude, 2 decibels with -500 for zero
 *           or NaN, anything else power; low 16 bits).
 * `output` may be the same array as `input` or `window` (both are read in full
 * before output is written); only its first `count` values change.
 * Allocates 2*count values of scratch; when that fails, output is left
 * untouched. Reentrant: concurrent calls are safe with distinct outputs. */
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
 * A call ends when its input runs out or its output array is full. The output
 * lying at `phase` needs the input up to 5.5 periods after it, so a call with
 * step > 0 writes at most
 *
 *   nmax = floor((ninput * (1 + e) - 5.5 - phase) / (step - e)) + 1
 *
 * outputs (none when the numerator is negative), with e = 2^-20 for
 * kwsig_resample and 2^-49 for kwsig_resample_double: e covers the rounding of
 * the phase, which is valid for |phase| <= 16 and e < step <= 16. Compute nmax
 * in double and pass noutput >= nmax + 1: then *nwritten < noutput and the call
 * has consumed all its input. In a running stream nmax is about ninput / step
 * + 1. A stream cut into blocks gives exactly the output of one call as long as
 * every call ends for lack of input. A call that ends on a full array keeps its
 * pending outputs in the state (the next call, even with ninput = 0, produces
 * them first) but leaves the rest of its input unread without saying how much;
 * that input is lost to the stream.
 * Ending a stream: output j of a stream that starts at phase 0 lies at input
 * position j * step. Feed 6 zeros after the last of n input samples: then every
 * output lying before the end of the input has been written, ceil(n / step) of
 * them, followed by the few (fewer than 0.5 / step + 1) that lie within half a
 * period after it, which a caller who wants exactly n / step outputs drops.
 * The float twin keeps its phase in float: its rate deviates from 1 / step by
 * the float rounding of step and of each phase update (a 10-minute stream at
 * 8 kHz -> 44.1 kHz ends about 100 outputs short), so count outputs with the
 * double twin when exact lengths matter.
 * Unsafe arguments: with a negative or non-finite step, or a non-finite phase,
 * the call sets *nwritten = 0 and changes nothing else (no output, phase and
 * history untouched).
 * Precision: the float twin keeps phase, weights and the running sum in float
 * (the sum rounded after each tap), the double twin in double; both read the
 * same single-precision kernel table. The gain at zero frequency is
 * 1.0000034 .. 1.0000042 (depending on the phase), not exactly 1.
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
 * 0.7071 near f = 0.1044. At f = q/11 (q = 0 .. 5), where the closed form is
 * 0/0, and within a narrow band around it (under 0.001 either side), it
 * returns the exact limit at q/11. This is the continuous kernel's response;
 * the resamplers' tabulated kernel has a slightly different gain at f = 0
 * (see kwsig_resample). Stateless: calls may run concurrently with each other
 * and with the resamplers. */
KWSIG_API void KWSIG_CALL kwsig_resamp_resp(double *response, int npoints, double start_freq,
                                            double stop_freq);

/* ---- FIR filters ------------------------------------------------------------ */

/* Block FIR filter of one block of a stream, with the history carried in
 * `state` between calls:
 *   y[i] = sum_{k = ntaps-1 down to 0} c[k] * e[i - ntaps + 1 + k],  i = 0 .. count-1,
 * over the extended sequence e = (incoming state[0 .. ntaps-1], input[0 ..
 * count-1]), i.e. e[t] = input[t] for t >= 0 and state[t + ntaps] for t < 0.
 * The last coefficient weights the newest sample (impulse response h[d] =
 * c[ntaps-1-d]). Each sum takes its terms newest first into a running sum of
 * the sample type that starts at +0: every product and addition is done in
 * double and the sum is rounded to the sample type after every addition, so
 * kwsig_fir accumulates in single precision.
 *   input:        `count` values, read.
 *   output:       `count` values, written; may be the same array as input.
 *   count:        block length, any count >= 1. Blocks shorter than ntaps are
 *                 filtered over the extended sequence like any other, so a
 *                 stream cut into blocks of any sizes gives bit-identical
 *                 outputs and state to one call on the whole stream.
 *   coefficients: `ntaps` values, read.
 *   state:        `ntaps` values, read and written: on entry the last ntaps
 *                 samples of the stream before this block, oldest first; on
 *                 return the last ntaps samples of the extended sequence
 *                 (state[0] is kept as history but never enters an output).
 *                 Zeros start a stream from silence. Must not overlap input or
 *                 output.
 * count <= 0 or ntaps <= 0 writes nothing. Uses one heap array of ntaps
 * samples per call; if it cannot be allocated, nothing is written (output and
 * state unchanged). Calls on different state arrays may run concurrently. */
KWSIG_API void KWSIG_CALL kwsig_fir(const float *input, float *output, int count,
                                    const float *coefficients, int ntaps, float *state);
KWSIG_API void KWSIG_CALL kwsig_fir_double(const double *input, double *output, int count,
                                           const double *coefficients, int ntaps, double *state);

/* Complex frequency response of `ntaps` coefficients in kwsig_fir order,
 *   H(f) = sum_{k=0}^{ntaps-1} c[k] e^(+i 2 pi f (ntaps - 1 - k)),
 * (the newest-sample coefficient has phase 0; for real coefficients the
 * imaginary part is the negative of that of the usual e^(-i...) convention),
 * at `npoints` frequencies f_p = start_freq + p (stop_freq - start_freq) /
 * (npoints - 1) in cycles per sample (0.5 is half the sample rate); the limits
 * may be in either order, equal, or outside [0, 0.5].
 *   response:     2*npoints doubles, written, interleaved (re, im) at 2p, 2p+1.
 *   npoints:      1 gives the single point at start_freq (stop_freq unused);
 *                 npoints <= 0 writes nothing.
 *   coefficients: `ntaps` doubles, read. ntaps <= 0 gives (0, 0) at every point.
 * Evaluated by Horner's rule with the frequency stepped by a sine/cosine
 * rotation (four sine/cosine calls per call, none per point), so the values
 * carry a rounding drift that grows slowly with the point index. No memory is
 * allocated; reentrant. */
KWSIG_API void KWSIG_CALL kwsig_fir_resp(double *response, int npoints, double start_freq,
                                         double stop_freq, const double *coefficients, int ntaps);

/* Weighted least-squares FIR design. With N = nfreq and the grid w_p = pi p / N
 * (f_p = p / (2N) cycles per sample, p = 0 .. N), finds h = coefficients that
 * minimise
 *   sum_p mu_p weights[p] |D_p - sum_{j=0}^{ntaps-1} h[j] e^(-i w_p j)|^2,
 *   D_p = desired_p e^(-i w_p delay),  mu_0 = mu_N = 1, mu_p = 2 otherwise,
 * by two inverse real FFTs (cross- and autocorrelation) and a Levinson solve of
 * the Toeplitz normal equations.
 *   desired:      2N+2 doubles: N+1 interleaved complex points (re, im) from 0
 *                 to 0.5 cycles per sample. The imaginary part at frequency 0,
 *                 and that of the delayed target at 0.5, do not affect the
 *                 result (but must be finite, like every value read).
 *   weights:      N+1 doubles, the error weight per point (normally >= 0).
 *   nfreq:        N, a power of two, at least 2.
 *   delay:        in samples, any finite value: the desired response is taken
 *                 relative to this delay (linear phase).
 *   coefficients: `ntaps` doubles, written; coefficients[j] is the impulse
 *                 response at delay j (apply with kwsig_fir after reversing, or
 *                 directly when the design is symmetric).
 *   ntaps:        1 <= ntaps <= N.
 * Returns 0.0 on success. Returns 1.0 when the solve meets a zero or NaN pivot
 * (for instance all weights zero): with a zero lag-0 term the coefficients are
 * untouched, on a later pivot they hold a partial solution. Returns -1.0 and
 * leaves `coefficients` untouched when nfreq or ntaps is outside the limits
 * above; when delay is not finite or so large that pi * delay overflows; when
 * any of desired[0 .. 2N+1] or weights[0 .. N] is an infinity or a NaN (the
 * ignored imaginary parts included); or when scratch memory (2 arrays of 2N
 * doubles, 2 of ntaps doubles) cannot be allocated. Finite inputs can still
 * overflow inside the design, and a small but nonzero pivot is not detected:
 * a caller that needs finite coefficients checks them. Reentrant. */
KWSIG_API double KWSIG_CALL kwsig_fir_synth(const double *desired, const double *weights, int nfreq,
                                            double delay, double *coefficients, int ntaps);

#ifdef __cplusplus
}
#endif

#endif /* KWSIG_H */
