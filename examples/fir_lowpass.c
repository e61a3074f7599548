/* Designs a 63-tap low-pass filter by weighted least squares, prints its
 * response in decibels at a few frequencies, and filters a built-in two-tone
 * signal block by block, carrying the filter state between blocks. */
#include <math.h>
#include <stdio.h>

#include "kwsig.h"

#define NFREQ 256 /* design grid: NFREQ + 1 points from 0 to 0.5 cycles/sample */
#define NTAPS 63
#define LENGTH 4000

int main(void) {
    static double desired[2 * NFREQ + 2], weights[NFREQ + 1];
    double coef[NTAPS];

    /* Pass band up to 0.10, stop band from 0.15 (cycles per sample); the
     * transition band carries no weight, the stop band ten times more. */
    for (int p = 0; p <= NFREQ; ++p) {
        const double f = 0.5 * p / NFREQ;
        desired[2 * p] = f <= 0.10 ? 1.0 : 0.0;
        desired[2 * p + 1] = 0.0;
        weights[p] = f <= 0.10 ? 1.0 : (f >= 0.15 ? 10.0 : 0.0);
    }
    /* A real target delayed by (NTAPS - 1) / 2 gives a symmetric, linear-phase
     * filter, which kwsig_fir applies as it stands. */
    const double status =
        kwsig_fir_synth(desired, weights, NFREQ, (NTAPS - 1) / 2.0, coef, NTAPS);
    if (status != 0.0) {
        fprintf(stderr, "design failed (status %g)\n", status);
        return 1;
    }

    printf("kwsig %s: %d-tap least-squares low-pass, pass <= 0.10, stop >= 0.15\n",
           KWSIG_VERSION_STRING, NTAPS);
    double resp[2 * 11];
    kwsig_fir_resp(resp, 11, 0.0, 0.25, coef, NTAPS); /* every 0.025 cycles/sample */
    for (int p = 0; p < 11; ++p) {
        const double mag2 = resp[2 * p] * resp[2 * p] + resp[2 * p + 1] * resp[2 * p + 1];
        printf("  f = %.3f  %8.2f dB\n", 0.025 * p, 10.0 * log10(mag2));
    }

    /* Two tones: 0.04 cycles/sample (pass band) and 0.30 (stop band). */
    static float x[LENGTH], y[LENGTH];
    for (int j = 0; j < LENGTH; ++j)
        x[j] = (float)(sin(2 * M_PI * 0.04 * j) + 0.5 * sin(2 * M_PI * 0.30 * j));

    float c32[NTAPS], state[NTAPS] = {0}; /* zero state: the stream starts from silence */
    for (int k = 0; k < NTAPS; ++k) c32[k] = (float)coef[k];
    int blocks = 0;
    for (int start = 0, len = 17; start < LENGTH; start += len, len = len * 7 % 293 + 1) {
        if (len > LENGTH - start) len = LENGTH - start;
        kwsig_fir(x + start, y + start, len, c32, NTAPS, state); /* any block size works */
        ++blocks;
    }

    /* Amplitudes of the two tones in the output, after the filter has filled. */
    double a1c = 0, a1s = 0, a2c = 0, a2s = 0;
    const int first = 1000, n = 3000; /* 120 and 900 whole periods */
    for (int j = first; j < first + n; ++j) {
        a1c += y[j] * cos(2 * M_PI * 0.04 * j);
        a1s += y[j] * sin(2 * M_PI * 0.04 * j);
        a2c += y[j] * cos(2 * M_PI * 0.30 * j);
        a2s += y[j] * sin(2 * M_PI * 0.30 * j);
    }
    printf("filtered %d samples in %d blocks of varying size (1 to 293):\n", LENGTH, blocks);
    printf("  tone at 0.04: amplitude 1.0 -> %.4f\n", 2.0 / n * sqrt(a1c * a1c + a1s * a1s));
    printf("  tone at 0.30: amplitude 0.5 -> %.6f\n", 2.0 / n * sqrt(a2c * a2c + a2s * a2s));
    return 0;
}
