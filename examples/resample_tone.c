/* Converts a built-in 1 kHz tone from 44100 Hz to 48000 Hz, block by block as
 * a stream would arrive, ends the stream so that no output is lost, then
 * measures the frequency and level of the result and compares the level with
 * the resampler's response at that frequency. */
#include <math.h>
#include <stdio.h>

#include "kwsig.h"

#define IN_RATE 44100.0
#define OUT_RATE 48000.0
#define TONE_HZ 1000.0
#define AMPLITUDE 0.5
#define SECONDS 1
#define BLOCK 441 /* 10 ms of input per call */
#define FLUSH 6   /* zeros that bring out the outputs near the end of the input */

/* Room a call needs: one more than the most outputs it can write (kwsig.h). */
static int room(int ninput, float phase, float step) {
    const double e = 0x1p-20; /* phase rounding of the float resampler */
    const double nmax = floor((ninput * (1 + e) - 5.5 - phase) / (step - e)) + 1;
    return nmax > 0 ? (int)nmax + 1 : 1;
}

int main(void) {
    static float out[SECONDS * 48000 + 2 * BLOCK]; /* room for the last call too */
    float in[BLOCK];
    float history[11] = {0}; /* the stream starts from silence */
    float phase = 0.0f;      /* first output on the first input sample */
    const float step = (float)(IN_RATE / OUT_RATE);
    const int nin = (int)(SECONDS * IN_RATE);
    const int wanted = (int)ceil(nin * OUT_RATE / IN_RATE); /* outputs before the input's end */
    int total = 0;

    for (int start = 0; start < nin + FLUSH; start += BLOCK) {
        int n = 0;
        for (; n < BLOCK && start + n < nin + FLUSH; ++n)
            in[n] = start + n < nin
                        ? (float)(AMPLITUDE * sin(2.0 * M_PI * TONE_HZ * (start + n) / IN_RATE))
                        : 0.0f;
        int nwritten = 0;
        kwsig_resample(in, n, out + total, room(n, phase, step), &nwritten, &phase, step, history);
        total += nwritten;
    }
    const int flushed = total;
    if (total > wanted) total = wanted; /* drop what lies past the end of the input */

    /* Skip the first 10 outputs (the kernel still sees the silence before the
     * stream), then measure the frequency from the rising zero crossings,
     * interpolated linearly, and the level as RMS * sqrt(2). */
    const int skip = 10;
    double first = -1, last = -1, sum2 = 0;
    int crossings = 0;
    for (int j = skip + 1; j < total; ++j) {
        if (out[j - 1] < 0 && out[j] >= 0) {
            const double t = j - 1 + out[j - 1] / (out[j - 1] - out[j]);
            if (first < 0) first = t;
            last = t;
            ++crossings;
        }
    }
    int nlevel = 0;
    for (int j = (int)first; j < (int)last; ++j, ++nlevel) sum2 += (double)out[j] * out[j];
    const double freq = (crossings - 1) / (last - first) * OUT_RATE;
    const double level = sqrt(sum2 / nlevel) * sqrt(2.0);

    double gain = 0;
    kwsig_resamp_resp(&gain, 1, TONE_HZ / IN_RATE, TONE_HZ / IN_RATE);

    printf("kwsig %s: %.0f Hz tone, amplitude %.2f, %g Hz -> %g Hz in blocks of %d\n",
           KWSIG_VERSION_STRING, TONE_HZ, AMPLITUDE, IN_RATE, OUT_RATE, BLOCK);
    printf("  %d input samples + %d zeros -> %d outputs, the first %d kept (%g s at %g Hz)\n",
           nin, FLUSH, flushed, total, total / OUT_RATE, OUT_RATE);
    printf("  measured frequency  %.3f Hz\n", freq);
    printf("  measured amplitude  %.5f (%.3f dB)\n", level, 20.0 * log10(level / AMPLITUDE));
    printf("  kernel response     %.5f (%.3f dB) at %.0f Hz\n", gain, 20.0 * log10(gain), TONE_HZ);
    return 0;
}
