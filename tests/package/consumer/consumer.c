/* A C program built against the installed package: transforms four values. */
#include <stdio.h>

#include <kwsig.h>

int main(void) {
    float x[4] = {1, 2, 4, 8};
    kwsig_fft_real(x, 4, 1);
    if (x[0] != 15 || x[1] != -5 || x[2] != -3 || x[3] != 6) {
        printf("consumer: wrong transform %g %g %g %g\n", x[0], x[1], x[2], x[3]);
        return 1;
    }
    printf("consumer: kwsig %s ok\n", KWSIG_VERSION_STRING);
    return 0;
}
