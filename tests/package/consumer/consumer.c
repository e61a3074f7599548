/* A C program built against the installed package: transforms four values and
 * resamples a short block, which pulls in the resampler's one-time table build. */
#include <stdio.h>

#include <kwsig.h>

int main(void) {
    float x[4] = {1, 2, 4, 8};
    kwsig_fft_real(x, 4, 1);
    if (x[0] != 15 || x[1] != -5 || x[2] != -3 || x[3] != 6) {
        printf("consumer: wrong transform %g %g %g %g\n", x[0], x[1], x[2], x[3]);
        return 1;
    }
    /* A constant stream keeps its level through the resampler (the kernel's
     * weights sum to 1 within a few parts per million). */
    double in[64], out[80], history[11] = {0}, phase = 0.0;
    int n = 0;
    for (int i = 0; i < 64; ++i) in[i] = 1.0;
    kwsig_resample_double(in, 64, out, 80, &n, &phase, 0.9, history);
    if (n < 50 || out[n - 1] < 0.9999 || out[n - 1] > 1.0001) {
        printf("consumer: resampler gave %d outputs, last %g\n", n, n > 0 ? out[n - 1] : 0.0);
        return 1;
    }
    printf("consumer: kwsig %s ok\n", KWSIG_VERSION_STRING);
    return 0;
}
