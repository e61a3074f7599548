// The FIR response's points over a lane type V (frame/lanes.h), one point per
// lane. fir_resp.cpp includes this file twice, inside two namespaces: once
// for the plain and SSE2 lanes and once in its AVX2 region, so it has no
// include guard and includes nothing itself.
//
// Each point's Horner sum is its own: with t the old re,
//   re = (t C - im S) + c[k];  im = t S + im C,   k = 0 .. ntaps-1,
// and a vector runs the sums of V::size points side by side, each lane with
// its own (C, S), operation for operation as the scalar loop.

// The Horner sums of J * V::size points whose rotation values are cs[], sn[],
// into re_out[], im_out[].
template <typename V, int J>
inline void horner_points(const double *cs, const double *sn, const double *coef, int ntaps,
                          double *re_out, double *im_out) {
    constexpr int N = V::size;
    V re[J], im[J];
#pragma GCC unroll 8
    for (int q = 0; q < J; ++q) re[q] = im[q] = V::splat(0.0);
    for (int k = 0; k < ntaps; ++k) {
        const V ck = V::splat(coef[k]);
#pragma GCC unroll 8
        for (int q = 0; q < J; ++q) {
            const V c = V::load(cs + q * N), s = V::load(sn + q * N);
            const V t = re[q];
            re[q] = (t * c - im[q] * s) + ck;
            im[q] = t * s + im[q] * c;
        }
    }
#pragma GCC unroll 8
    for (int q = 0; q < J; ++q) {
        re[q].store(re_out + q * N);
        im[q].store(im_out + q * N);
    }
}

// Points 0 .. n-1, J * V::size at a time. The rotation is serial: it runs one
// block ahead, so that its steps for the next block overlap this block's sums.
// It advances once per point, as the plain loop does; lanes past the last
// point take the value it reaches and are not stored.
template <typename V, int J>
void response_points(double *response, std::size_t n, Rotation &rot, const double *coef,
                     int ntaps) {
    constexpr std::size_t kBlock = std::size_t(J) * V::size;
    double cs[2][kBlock], sn[2][kBlock], re[kBlock], im[kBlock];
    const auto ahead = [&](std::size_t p0, double *c, double *s) {
        const std::size_t lanes = n - p0 < kBlock ? n - p0 : kBlock;
        for (std::size_t l = 0; l < kBlock; ++l) {
            c[l] = rot.c;
            s[l] = rot.s;
            if (l < lanes) rot.advance();
        }
    };
    ahead(0, cs[0], sn[0]);
    for (std::size_t p0 = 0, b = 0; p0 < n; p0 += kBlock, b ^= 1) {
        if (n - p0 > kBlock) ahead(p0 + kBlock, cs[b ^ 1], sn[b ^ 1]);
        horner_points<V, J>(cs[b], sn[b], coef, ntaps, re, im);
        const std::size_t lanes = n - p0 < kBlock ? n - p0 : kBlock;
        for (std::size_t l = 0; l < lanes; ++l) {
            response[2 * (p0 + l)] = re[l];
            response[2 * (p0 + l) + 1] = im[l];
        }
    }
}
