// In-place bit-reversal permutation of n = 2^bits complex values: the value
// at index p moves to the index whose `bits` low bits are p's reversed.
//
// Large transforms swap tiles. Write p as (hi, mid, lo) with hi and lo of
// kTileBits bits each: its partner is (rev lo, rev mid, rev hi). For a mid
// and its reversal, the 16 x 16 values (hi, mid, lo) and their partners form
// two tiles of 16 rows of 16 adjacent values each, so both sides of every
// swap stay in cache however far apart they are.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kwsig {

// The low `bits` bits of v, reversed (bits <= 32).
inline std::uint32_t reverse_bits(std::uint32_t v, int bits) {
    v = ((v >> 1) & 0x55555555u) | ((v & 0x55555555u) << 1);
    v = ((v >> 2) & 0x33333333u) | ((v & 0x33333333u) << 2);
    v = ((v >> 4) & 0x0F0F0F0Fu) | ((v & 0x0F0F0F0Fu) << 4);
    v = ((v >> 8) & 0x00FF00FFu) | ((v & 0x00FF00FFu) << 8);
    v = (v >> 16) | (v << 16);
    return bits == 0 ? 0 : v >> (32 - bits);
}

template <typename T>
inline void swap_values(T *data, std::size_t p, std::size_t q) {
    const T re = data[2 * p], im = data[2 * p + 1];
    data[2 * p] = data[2 * q];
    data[2 * p + 1] = data[2 * q + 1];
    data[2 * q] = re;
    data[2 * q + 1] = im;
}

template <typename T>
void bit_reverse(T *data, std::ptrdiff_t n, int bits) {
    constexpr int kTileBits = 4;
    constexpr std::size_t kTile = std::size_t(1) << kTileBits;
    if (bits < 2 * kTileBits + 2) {
        for (std::size_t p = 0; p < std::size_t(n); ++p) {
            const std::size_t q = reverse_bits(std::uint32_t(p), bits);
            if (q > p) swap_values(data, p, q);
        }
        return;
    }
    const int mid_bits = bits - 2 * kTileBits;
    std::size_t rev[kTile];
    for (std::size_t i = 0; i < kTile; ++i) rev[i] = reverse_bits(std::uint32_t(i), kTileBits);
    const int hi_shift = bits - kTileBits;
    for (std::size_t mid = 0; mid < (std::size_t(1) << mid_bits); ++mid) {
        const std::size_t rmid = reverse_bits(std::uint32_t(mid), mid_bits);
        if (rmid < mid) continue;  // that pair of tiles was swapped already
        for (std::size_t hi = 0; hi < kTile; ++hi) {
            const std::size_t row = (hi << hi_shift) | (mid << kTileBits);
            const std::size_t col = (rmid << kTileBits) | rev[hi];
            for (std::size_t lo = 0; lo < kTile; ++lo) {
                const std::size_t p = row | lo, q = (rev[lo] << hi_shift) | col;
                if (rmid != mid || q > p) swap_values(data, p, q);
            }
        }
    }
}

}  // namespace kwsig
