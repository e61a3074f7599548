// The resampler's outputs over a lane type V (frame/lanes.h), one output per
// lane. resample.cpp includes this file twice, inside two namespaces: once
// for the plain and SSE2 lanes and once in its AVX2 region, so it has no
// include guard and includes nothing itself.
//
// The serial part (which outputs exist, where their windows start, their
// phases) is decided before; here each output is formed from its phase and
// its window with the operations of one output alone (resample.cpp). With c
// in 1711 .. 2090, taps 0 to 4 always lie before the output point (n > 0),
// taps 6 to 10 always on or after it, and tap 5 before it when c > 1900.
// Each tap reads its two table entries as one adjacent pair (lo, hi): at
// n - 1 before the output point (kv = w0 hi + w1 lo) and at -n on or after it
// (kv = w0 lo + w1 hi); the two products are the same as one output alone
// forms, and so is their sum, addition being commutative.

// One vector of outputs: its weights and table positions, lane by lane.
template <typename V, typename T>
struct Outputs {
    static constexpr int N = V::size;
    V w0, w1;      // the weights
    int c[N];      // the ceilings of the positions
    int at5[N];    // tap 5's pair, and its weights (lo5 for its lo, hi5 for its hi)
    V lo5, hi5;
    V sum;

    void start(const double *phase) {
        const V x = (V::load(phase) + V::splat(11.0)) * V::splat(double(kKernelSteps));
        const V ceil_x = x.ceil();
        w1 = V::rounded(ceil_x - V::rounded(x, T()), T());
        w0 = V::rounded(V::splat(1.0) - w1, T());
        ceil_x.store_int(c);
        for (int l = 0; l < N; ++l)
            at5[l] = c[l] > 5 * kKernelSteps ? c[l] - 5 * kKernelSteps - 1 : 5 * kKernelSteps - c[l];
        lo5 = ceil_x.above(5 * kKernelSteps, w1, w0);
        hi5 = ceil_x.above(5 * kKernelSteps, w0, w1);
        sum = V::splat(0.0);
    }

    // Adds tap k, whose history values are h.
    void tap(const float *table, int k, V h) {
        int pair[N];
        V lo, hi, kv;
        if (k < 5) {
            for (int l = 0; l < N; ++l) pair[l] = c[l] - k * kKernelSteps - 1;
            V::load_pairs(table, pair, lo, hi);
            kv = w0 * hi + w1 * lo;
        } else if (k == 5) {
            V::load_pairs(table, at5, lo, hi);
            kv = hi5 * hi + lo5 * lo;
        } else {
            for (int l = 0; l < N; ++l) pair[l] = k * kKernelSteps - c[l];
            V::load_pairs(table, pair, lo, hi);
            kv = w0 * lo + w1 * hi;
        }
        sum = V::rounded(sum + h * kv, T());
    }
};

// Outputs out[0 .. count-1] from the windows window + at[j] (11 samples each)
// and phases phase[j]; both arrays hold a multiple of J * V::size entries. J
// vectors at a time, their taps interleaved: each sum is a chain of 11
// dependent steps (longer for float, rounded through float after each).
template <typename V, int J, typename T>
void outputs_from_plan(const T *window, const int *at, const double *phase, int count,
                       const float *table, T *out) {
    constexpr int N = V::size;
    for (int j = 0; j < count; j += J * N) {
        Outputs<V, T> o[J];
#pragma GCC unroll 4
        for (int q = 0; q < J; ++q) o[q].start(phase + j + q * N);
        // The history values of tap k in h[q][k], lane l from its own window
        // (the last run of columns ends at tap 10 and may repeat some).
        V h[J][12];
#pragma GCC unroll 4
        for (int q = 0; q < J; ++q) {
#pragma GCC unroll 11
            for (int k = 0; k < kTaps; k += N) {
                const int k0 = k + N <= kTaps ? k : kTaps - N;
                V::load_columns(window + k0, at + j + q * N, h[q] + k0);
            }
        }
#pragma GCC unroll 11
        for (int k = 0; k < kTaps; ++k) {
#pragma GCC unroll 4
            for (int q = 0; q < J; ++q) o[q].tap(table, k, h[q][k]);
        }
#pragma GCC unroll 4
        for (int q = 0; q < J; ++q) {
            const int first = j + q * N;
            if (first + N <= count) {
                o[q].sum.store(out + first);
            } else {
                T last[N];
                o[q].sum.store(last);
                for (int l = 0; first + l < count; ++l) out[first + l] = last[l];
            }
        }
    }
}
