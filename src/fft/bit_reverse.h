// In-place bit-reversal permutation of n = 2^bits complex values: the value
// at index p moves to the index whose `bits` low bits are p's reversed.
//
// It swaps tiles. Write p as (hi, mid, lo) with hi and lo of b bits each (b
// up to 3): its partner is (rev lo, rev mid, rev hi). For a mid and its
// reversal, the values (hi, mid, lo) and their partners form two tiles of
// 2^b rows of 2^b adjacent values each, so both sides of every swap stay in
// cache however far apart they are, and no swap depends on a comparison.
// The rows of a tile lie a power of two apart and so share cache sets: with
// 8 rows of at most two cache lines, a tile fits the ways of its sets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kwsig {

// The low `bits` bits of v, reversed (bits <= 32).
constexpr std::uint32_t reverse_bits(std::uint32_t v, int bits) {
    v = ((v >> 1) & 0x55555555u) | ((v & 0x55555555u) << 1);
    v = ((v >> 2) & 0x33333333u) | ((v & 0x33333333u) << 2);
    v = ((v >> 4) & 0x0F0F0F0Fu) | ((v & 0x0F0F0F0Fu) << 4);
    v = ((v >> 8) & 0x00FF00FFu) | ((v & 0x00FF00FFu) << 8);
    v = (v >> 16) | (v << 16);
    return bits == 0 ? 0 : v >> (32 - bits);
}

// Swaps two complex values, each moved whole (one 16- or 8-byte copy).
template <typename T>
inline void swap_values(T *data, std::size_t p, std::size_t q) {
    T a[2], b[2];
    std::memcpy(a, data + 2 * p, sizeof a);
    std::memcpy(b, data + 2 * q, sizeof b);
    std::memcpy(data + 2 * p, b, sizeof b);
    std::memcpy(data + 2 * q, a, sizeof a);
}

// The swaps of 2^bits points (p, q with q p's reversal and q > p), in
// ascending p, found at compile time.
template <int bits>
struct ReversalSwaps {
    static constexpr int n = 1 << bits;
    int count = 0;
    std::uint8_t p[n / 2] = {}, q[n / 2] = {};
    constexpr ReversalSwaps() {
        for (int i = 0; i < n; ++i) {
            const int r = int(reverse_bits(std::uint32_t(i), bits));
            if (r > i) p[count] = std::uint8_t(i), q[count++] = std::uint8_t(r);
        }
    }
};

// 4 to 128 points: straight-line swaps at constant offsets (the loop is
// unrolled completely), where the tiles' index arithmetic would take more
// instructions than the moves. Every index is in one swap at most, so any
// order of them gives the same permutation.
template <int bits, typename T>
void bit_reverse_unrolled(T *data) {
    static constexpr ReversalSwaps<bits> swaps{};
#pragma GCC unroll 64
    for (int i = 0; i < swaps.count; ++i) swap_values(data, swaps.p[i], swaps.q[i]);
}

template <typename T>
void bit_reverse(T *data, int bits) {
    switch (bits) {
    case 2: return bit_reverse_unrolled<2>(data);
    case 3: return bit_reverse_unrolled<3>(data);
    case 4: return bit_reverse_unrolled<4>(data);
    case 5: return bit_reverse_unrolled<5>(data);
    case 6: return bit_reverse_unrolled<6>(data);
    case 7: return bit_reverse_unrolled<7>(data);
    default: break;
    }
    const int tile_bits = bits / 2 < 3 ? bits / 2 : 3;
    if (tile_bits == 0) return;  // n <= 2: every index is its own reversal
    const std::size_t tile = std::size_t(1) << tile_bits;
    const int mid_bits = bits - 2 * tile_bits, hi_shift = bits - tile_bits;
    std::size_t rev[8];
    for (std::size_t i = 0; i < tile; ++i) rev[i] = reverse_bits(std::uint32_t(i), tile_bits);
    for (std::size_t mid = 0; mid < (std::size_t(1) << mid_bits); ++mid) {
        const std::size_t rmid = reverse_bits(std::uint32_t(mid), mid_bits);
        if (rmid < mid) continue;  // that pair of tiles was swapped already
        for (std::size_t hi = 0; hi < tile; ++hi) {
            const std::size_t row = (hi << hi_shift) | (mid << tile_bits);
            const std::size_t col = (rmid << tile_bits) | rev[hi];
            if (rmid != mid) {
                for (std::size_t lo = 0; lo < tile; ++lo)
                    swap_values(data, row | lo, (rev[lo] << hi_shift) | col);
            } else {
                // A tile onto itself: (hi, lo) and (rev lo, rev hi) swap
                // once, from the row with the smaller hi.
                for (std::size_t r = hi + 1; r < tile; ++r)
                    swap_values(data, row | rev[r], (r << hi_shift) | col);
            }
        }
    }
}

}  // namespace kwsig
