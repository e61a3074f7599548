/* Hann-windowed decibel spectrum of a built-in test signal (two tones plus a
 * little noise): one window for all records, one kwsig_spectrum call per
 * record, then the strongest peaks in dB. */
#include <stdio.h>
#include <math.h>

#include "kwsig.h"

#define N 1024
#define RATE 8000.0

int main(void) {
    static double x[N], window[N], db[N / 2 + 1];
    unsigned seed = 12345u;
    for (int j = 0; j < N; ++j) {
        seed = seed * 1103515245u + 12345u; /* small fixed LCG: the example is repeatable */
        const double noise = ((seed >> 8) & 0xffff) / 65536.0 - 0.5;
        x[j] = 1.0 * sin(2 * M_PI * 1000.0 * j / RATE) + 0.25 * sin(2 * M_PI * 2750.0 * j / RATE) +
               0.01 * noise;
    }

    /* Hann window (type 1) with unit mean (normalisation 0): a tone of
     * amplitude A then reads (A N / 2)^2 in its bin. */
    kwsig_window_double(window, N, 1, 0, 1.0);
    /* Mode 2: decibels, 10 log10 of the power; -500 for an empty bin. */
    kwsig_spectrum_double(x, db, window, N, 2);

    /* Full scale: a unit sine on a bin centre, (N / 2)^2 in power. */
    const double full_scale = 20.0 * log10(N / 2.0);
    printf("kwsig %s: %d-point Hann spectrum of two tones (1000 Hz, 2750 Hz) at %.0f Hz\n",
           KWSIG_VERSION_STRING, N, RATE);
    printf("peaks (local maxima above -60 dB re full scale):\n");
    for (int k = 1; k < N / 2; ++k) {
        if (db[k] > db[k - 1] && db[k] >= db[k + 1] && db[k] - full_scale > -60.0)
            printf("  bin %3d  %7.1f Hz  %7.2f dB  (%6.2f dB re full scale)\n", k, k * RATE / N,
                   db[k], db[k] - full_scale);
    }
    return 0;
}
