// The FIR filter's outputs over a lane type V (frame/lanes.h), V::size
// outputs per vector. fir.cpp includes this file twice, inside two
// namespaces: once for the plain and SSE2 lanes and once in its AVX2 region,
// so it has no include guard and includes nothing itself.
//
// Every output is the sum of the filter, its terms c[k] * e[o - m + 1 + k]
// taken from k = m-1 down to 0 into a sum rounded to T after every addition
// (the extended sequence e: input for t >= 0, saved history for t < 0). A
// vector holds the sums of consecutive outputs and adds the same k to all of
// them at once, so every lane sees its own terms in its own order.

// Outputs lo .. lo + J * V::size - 1, in J vectors whose sums are
// interleaved (enough independent sums to cover the latency of one step).
// The terms split into three runs of k: all from the input, a short run that
// straddles the start of the input (read from `join`, where join[t] = e[t]
// for -kJoin <= t < kJoin), all from the history. Stores come last, so an
// output array equal to the input array is read before it is written.
template <typename V, int J, typename T>
inline void block_outputs(const T *x, T *y, const T *c, Index m, const T *saved, const T *join,
                          Index lo) {
    constexpr Index N = V::size;
    const Index hi = lo + J * N - 1;
    V sum[J];
#pragma GCC unroll 16
    for (int q = 0; q < J; ++q) sum[q] = V::splat(0.0);
    Index k = m - 1;
    // One run of k, down to k_end + 1: the term of output o at k is
    // src[o + k - back].
    const auto run = [&](Index k_end, const T *src, Index back) {
        for (; k > k_end; --k) {
            const V ck = V::splat(wide(c[k]));
            const T *p = src + (lo + k - back);
#pragma GCC unroll 16
            for (int q = 0; q < J; ++q) sum[q] = V::rounded(sum[q] + ck * V::load(p + q * N), T());
        }
    };
    // Every output reads the input while k >= m-1-lo, some the input and some
    // the history while k > m-2-hi, then only the history: e[t] with
    // t = o - m + 1 + k is x[t], join[t] or saved[t + m].
    run(m - 2 - lo > -1 ? m - 2 - lo : -1, x, m - 1);
    run(m - 2 - hi > -1 ? m - 2 - hi : -1, join, m - 1);
    run(-1, saved, -1);
#pragma GCC unroll 16
    for (int q = 0; q < J; ++q) sum[q].store(y + lo + q * N);
}

// Outputs 0 .. n-1 from the highest down: y[i] reads only x[0 .. i], so every
// input sample a lower output needs is still unwritten when it is read. Blocks
// of J vectors, then single vectors, then single outputs.
template <typename V, int J, typename T>
void filter_outputs(const T *x, T *y, const T *c, Index m, const T *saved, const T *join,
                    Index n) {
    static_assert(J * V::size <= kJoin, "a block's straddling terms lie within join");
    constexpr Index N = V::size;
    Index i = n;  // outputs 0 .. i-1 remain
    for (; i >= J * N; i -= J * N) block_outputs<V, J>(x, y, c, m, saved, join, i - J * N);
    for (; i >= N; i -= N) block_outputs<V, 1>(x, y, c, m, saved, join, i - N);
    for (; i > 0; --i) block_outputs<Lanes1, 1>(x, y, c, m, saved, join, i - 1);
}
