/* Transforms a built-in test signal (two tones plus a little noise) with the
 * real FFT and prints its strongest bins. */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include "kwsig.h"

#define N 1024
#define RATE 8000.0

int main(void) {
    static double x[N];
    static double power[N / 2 + 1];
    unsigned seed = 12345u;
    for (int j = 0; j < N; ++j) {
        seed = seed * 1103515245u + 12345u; /* small fixed LCG: the example is repeatable */
        const double noise = ((seed >> 8) & 0xffff) / 65536.0 - 0.5;
        x[j] = 1.0 * sin(2 * M_PI * 1000.0 * j / RATE) + 0.25 * sin(2 * M_PI * 2750.0 * j / RATE) +
               0.01 * noise;
    }
    kwsig_fft_real_double(x, N, 1);

    /* Unpack the half-spectrum: index 0 is bin 0, index 1 is bin N/2, 2k and
     * 2k+1 are the real and imaginary parts of bin k. */
    power[0] = x[0] * x[0];
    power[N / 2] = x[1] * x[1];
    for (int k = 1; k < N / 2; ++k) power[k] = x[2 * k] * x[2 * k] + x[2 * k + 1] * x[2 * k + 1];

    printf("kwsig %s: %d-point real FFT of two tones (1000 Hz, 2750 Hz) at %.0f Hz\n",
           KWSIG_VERSION_STRING, N, RATE);
    printf("strongest bins:\n");
    for (int rank = 0; rank < 4; ++rank) {
        int best = 0;
        for (int k = 1; k <= N / 2; ++k)
            if (power[k] > power[best]) best = k;
        const double amplitude = 2.0 * sqrt(power[best]) / N;
        printf("  bin %3d  %7.1f Hz  amplitude %.4f  (%.1f dB)\n", best, best * RATE / N, amplitude,
               10.0 * log10(power[best]));
        power[best] = -1.0;
    }
    return 0;
}
