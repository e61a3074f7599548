// Exact argument reduction by 2/pi for arguments of any size (Payne-Hanek).
#include "math/internal.h"

namespace kwsig {
namespace math {
namespace {

// The first 1728 bits of 2/pi = 0.a2f9836e 4e441529 ... (hexadecimal), in
// 32-bit words, most significant first, truncated. Generated with MPFR
// (mpfr_const_pi at 2000 bits, 2/pi, then 32 bits at a time by
// multiplication by 2^32 and truncation).
const uint32_t kTwoOverPi[54] = {
    0xa2f9836eu, 0x4e441529u, 0xfc2757d1u, 0xf534ddc0u, 0xdb629599u, 0x3c439041u,
    0xfe5163abu, 0xdebbc561u, 0xb7246e3au, 0x424dd2e0u, 0x06492eeau, 0x09d1921cu,
    0xfe1deb1cu, 0xb129a73eu, 0xe88235f5u, 0x2ebb4484u, 0xe99c7026u, 0xb45f7e41u,
    0x3991d639u, 0x835339f4u, 0x9c845f8bu, 0xbdf9283bu, 0x1ff897ffu, 0xde05980fu,
    0xef2f118bu, 0x5a0a6d1fu, 0x6d367ecfu, 0x27cb09b7u, 0x4f463f66u, 0x9e5fea2du,
    0x7527bac7u, 0xebe5f17bu, 0x3d0739f7u, 0x8a5292eau, 0x6bfb5fb1u, 0x1f8d5d08u,
    0x56033046u, 0xfc7b6babu, 0xf0cfbc20u, 0x9af4361du, 0xa9e39161u, 0x5ee61b08u,
    0x6599855fu, 0x14a06840u, 0x8dffd880u, 0x4d732731u, 0x06061556u, 0xca73a8c9u,
    0x60e27bc0u, 0x8c6b47c4u, 0x19c367cdu, 0xdce8092au, 0x8359c476u, 0x8b961ca6u,
};

}  // namespace

// x * 2/pi = sum over i, j of M_i * T_j * 2^(32 i + 32 Q - 32 (j + 1)) with
// x = M * 2^(32 Q), M = m * 2^(e - 32 Q) < 2^85 in three words M_i, and T_j
// the words of 2/pi. Every partial product is an exact 64-bit integer whose
// halves fall on word boundaries: product (i, j) lands at word position
// p = i + Q - 1 - j (weight 2^(32 p)), low half at p, high half at p + 1.
// Positions p >= 1 are multiples of 2^32 and only change I by a multiple of
// 2^32, so they are skipped; the fraction takes positions -1 .. -nwords and
// one guard word -(nwords + 1). The products left out (positions below the
// guard) sum to less than three units of the last word, the truncated guard
// to less than one.
uint32_t reduce_two_over_pi(uint64_t m, int e, uint32_t *out, int nwords) {
    const int q = (e >= 0) ? e / 32 : -((31 - e) / 32);  // floor(e / 32)
    const int shift = e - 32 * q;                          // 0 .. 31
    // M = m << shift in three 32-bit words (m < 2^53, M < 2^84).
    const uint64_t lo = m << shift;                        // bits 0 .. 63 of M
    const uint64_t hi = shift ? (m >> (64 - shift)) : 0;   // bits 64 .. 84
    const uint64_t mw[3] = {lo & 0xFFFFFFFFu, lo >> 32, hi};
    uint64_t col[24] = {};                  // col[d] is position -d, d = 0 .. nwords + 1
    const int last = nwords + 1;
    for (int i = 0; i < 3; ++i) {
        if (mw[i] == 0) continue;
        for (int d = 0; d <= last; ++d) {
            const int j = i + q - 1 + d;
            if (j < 0) continue;
            if (j >= 54) break;
            const uint64_t p = mw[i] * kTwoOverPi[j];
            col[d] += p & 0xFFFFFFFFu;
            if (d > 0) col[d - 1] += p >> 32;
        }
    }
    uint64_t carry = 0;
    for (int d = last; d >= 1; --d) {
        const uint64_t s = col[d] + carry;
        if (d <= nwords) out[d - 1] = uint32_t(s);
        carry = s >> 32;
    }
    return uint32_t(col[0] + carry);
}

}  // namespace math
}  // namespace kwsig
