// In-place iterative radix-2 decimation-in-time complex FFT.
//
// Arithmetic, exactly:
//   theta = -direction * (6.28318530717959 / G)      per stage of group size G
//   twiddle (wr, wi) = Rotation::by(theta) from (1, 0) (frame/rotation.h,
//   the stages' sines taken together, Rotation::by_halves):
//     h = sin(theta/2), q = (-2 h) h, l = sin(theta);
//     wr' = wr + (wr q - wi l),  wi' = wi + (wi q + wr l)
//   butterfly: tr = wr*Re[b] - wi*Im[b], ti = wr*Im[b] + wi*Re[b], each rounded
//   to the sample type; b = a - t; a = a + t.
// The angle constant is 2*pi rounded to 15 significant digits (kTwoPi15, four
// units in the last place above the double nearest 2*pi); it is part of the
// result.
//
// Every butterfly of a stage is independent of the others, so they may run
// in any order, side by side in vector lanes, and stage by stage in blocks:
// none of that changes a bit. For speed the transform
//   - swaps 8 x 8 tiles in the bit reversal (bit_reverse.h), and from 128
//     points takes stages 1 to 3 on the way: a column of a tile is a group
//     of 8 of stage 3, whose butterflies run in registers before it is
//     stored as a row (fft_passes.h);
//   - takes stages two at a time through memory (three in the first
//     tabulated pass of the double vector forms where an odd number is
//     left; fft_passes.h), and runs the early stages, whose groups fit in
//     kBlockBytes, block by block while the block is in cache;
//   - tabulates the twiddles of narrow passes once, all their recurrences
//     side by side; in wide passes runs each stage's recurrence in one copy
//     per segment, each started from the state the serial recurrence has
//     there, noted by running all recurrences ahead inside earlier passes'
//     loops: the steps' latency hides behind butterflies. Where vectors hold
//     two values (AVX2), a vector takes two adjacent butterflies of one
//     segment, and four segments' copies step in one lane vector;
//   - from 16 to 128 points, without that set-up: stages 1 to 3 in registers
//     on groups of 8 while the later stages' twiddles are tabulated, then
//     those stages in tabulated passes (small_transform); 8, 16 and 32
//     points with vectors of two values in registers, the bit reversal done
//     by the loads (transform_registers); up to 128 points the
//     bit reversal as straight-line swaps.
// The butterflies run in AVX2, SSE2 or plain code as kernel_isa() says. The
// transform allocates nothing; it uses about 30 KiB of stack (tables, plan).
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "fft/bit_reverse.h"
#include "fft/fft_vectors.h"
#include "fft/transforms.h"
#include "frame/cpu.h"
#include "frame/lanes.h"
#include "frame/numeric.h"
#include "frame/rotation.h"
#include "kwsig.h"

namespace kwsig {
namespace {

using Index = std::ptrdiff_t;

constexpr int kMaxWidth = 4;                   // values per butterfly vector
constexpr Index kBlockBytes = Index(1) << 17;  // early stages run per block
constexpr Index kSmall = 256;                  // below this, small_transform (small_fft below 16)
constexpr Index kTableMax = 64;                // passes up to this h tabulate twiddles
constexpr int kFirst3Min = 7;                  // from 2^this points the bit reversal does stages 1-3

// How a pass's lanes are filled: with the butterflies of `width` segments of
// t, of `width` groups (h narrower than the lanes), of adjacent t with
// tabulated twiddles (h up to kTableMax), of adjacent t of four segments in
// turn (adjacent: wide passes where vectors hold two values and a lane
// vector four twiddles), or one at a time in plain code (fewer groups than
// lanes, h narrower than them).
enum class PassMode { segments, groups, table, adjacent, plain };

// One pass: stage A (groups of 2h) and, if two_stages, stage B (groups of
// 4h); if three_stages (tabulated passes only), stages A, B and C (groups of
// 8h). In segments mode lane k (in adjacent mode segment k of four) runs t
// from k spacing, all side by side (in turn) for len values of t, then each
// but the last alone (the three in turn) to (k+1) spacing: where a segment's
// h / lanes values span a multiple of 4 KiB, segments start a little more
// than that apart, so that the points they touch at once fall in different
// cache sets.
// a[k] is A's recurrence state at twiddle k spacing, b[k] and b_high[k] B's
// at k spacing and h + k spacing (in groups and plain modes k = 0 only);
// they are all noted once the recurrences ahead have reached position
// `need`.
struct PassPlan {
    Index h, spacing, len, need;
    bool two_stages, three_stages;  // three: stage C (groups of 8h) too, table mode only
    PassMode mode;
    double qa, la, qb, lb, qc, lc;
    Twiddle a[kMaxWidth], b[kMaxWidth], b_high[kMaxWidth];
};

// A transform of 2^stages points: passes[0 .. inner-1] run block by block
// over blocks of `block` points (the whole transform when they are all the
// stages), passes[inner ..] over the whole array.
struct Transform {
    Index block;
    int inner, npasses, njobs;
    PassPlan passes[32];
    Prerun jobs[64];
    Twiddle first3[7];  // stages 1, 2, 3's twiddles, when the bit reversal does them
};

// Room for every stage's rotation, left unset: stage_rotations sets the
// entries 1 .. stages that are read (setting all 33 to their defaults first
// would cost more than the rest of planning a small transform).
struct StageRotations {
    StageRotations() {}
    union {
        Rotation at[33];
    };
};

// rotation[s] for stages s = 1 .. stages (groups of G = 2^s): the step of
// theta_s = -direction (2 pi / G). theta_(s+1) = theta_s / 2 exactly, so the
// steps come from one run of halving angles, each stage's half-angle sine
// being the next stage's sine (Rotation::by_halves). Stage 1 has the single
// twiddle (1, 0), where its recurrence starts: its step is never taken, its
// sines are not computed and it keeps a zero step. For direction +-1 stage
// 2's sine, of -+kTwoPi15 / 4 (within 2^-50 of -+pi/2, whose sine differs
// from -+1 by about 2^-101), rounds to -+1 exactly; it is taken as that
// rather than from the scalar sine, to which the four-lane sine leaves
// arguments so near an axis.
void stage_rotations(int stages, int direction, Rotation *rotation, const double *other = nullptr,
                     Rotation *other_out = nullptr) {
    rotation[1] = Rotation{};
    if (stages < 2) {
        if (other) *other_out = Rotation::by(*other);
        return;
    }
    const double theta2 = -double(direction) * (kTwoPi15 / 4.0);
    if (direction == 1 || direction == -1) {
        // (Of 2 stages, rotation[3] is room only: its sine is stage 2's h.)
        Rotation::by_halves(0.5 * theta2, stages >= 3 ? stages - 2 : 1, rotation + 3, other,
                            other_out);
        const double h = rotation[3].step_sin;  // sin(theta_2 / 2) = sin(theta_3)
        rotation[2] = {(-2.0 * h) * h, -double(direction)};
    } else {
        Rotation::by_halves(theta2, stages - 1, rotation + 2, other, other_out);
    }
}

// Plans the passes for stages first .. last (stage s has groups of 2^s) over
// spans of `span` points with vectors of `width` values: if their number is
// odd, a single stage first (or, where three_ok, three in a tabulated pass),
// then pairs.
void plan_stages(Transform &t, int first, int last, Index span, int width, bool three_ok,
                 bool adjacent, Index sample_bytes, const Rotation *rotation, Index reach) {
    // Where three_ok, an odd number of stages starts with a tabulated pass of
    // three where it fits, so that the rest pairs up.
    const Index h1 = Index(1) << (first - 1);
    const bool lead = three_ok && (last - first + 1) % 2 == 1 && last - first + 1 >= 3 &&
                      h1 >= width && 4 * h1 <= kTableMax;
    for (int s = first; s <= last;) {
        PassPlan &p = t.passes[t.npasses++];
        // States never noted stay (0, 0). Each written as a constant: a
        // chained assignment copies through memory, a load that waits for
        // the two stores just made.
        for (int k = 0; k < kMaxWidth; ++k) {
            p.a[k] = Twiddle{0.0, 0.0};
            p.b[k] = Twiddle{0.0, 0.0};
            p.b_high[k] = Twiddle{0.0, 0.0};
        }
        p.qb = p.lb = p.qc = p.lc = 0.0;
        p.h = Index(1) << (s - 1);
        p.three_stages = lead && s == first;
        p.two_stages = !p.three_stages && (last - s + 1) % 2 == 0;
        const int count = p.three_stages ? 3 : p.two_stages ? 2 : 1;
        const Index groups = span >> (s + count - 1);  // span / group
        // In double, a lone group of h = kTableMax (the last pass of 256
        // points) takes its twiddles from recurrences run ahead in the
        // earlier passes' loops rather than tabulate the longest chain first;
        // narrower lone groups have too few earlier butterflies to hide that,
        // unless the caller's recurrence runs ahead as far anyway (`reach`
        // positions: its lanes come free), and float's segments cost more
        // than the table saves (measured).
        const bool lone = groups == 1 && sample_bytes == 8 &&
                          (p.h == kTableMax || p.h + p.h / 2 <= reach);
        p.mode = p.h > kTableMax || lone ? PassMode::segments
                 : p.h >= width         ? PassMode::table
                 : groups >= width ? PassMode::groups
                                   : PassMode::plain;
        // Four segments of adjacent pairs (each of an even length: h / 4 is
        // even, and so the skew) from h = 256. They need the run ahead
        // further on (to h + 3h/4); where the passes before ride too few
        // steps to reach it (at h = 64 and 128, and at 256 where the pass
        // spans all of 1024 points: 384 of 448), the steps run alone cost
        // more than four segments save (measured).
        if (adjacent && (p.h >= 512 || (p.h == 256 && span > 1024))) p.mode = PassMode::adjacent;
        const int lanes = p.mode == PassMode::segments   ? width
                          : p.mode == PassMode::adjacent ? 4
                                                         : 1;
        // Lanes a multiple of 4 KiB apart would share cache sets: move them
        // 64 bytes further apart.
        // (Shifts for divisions: every count here is a power of two.)
        const int lane_bits = __builtin_ctz(unsigned(lanes));
        const bool shared_sets = lanes > 1 && (p.h >> lane_bits) * 2 * sample_bytes >= 4096;
        const Index skew = shared_sets ? Index(sample_bytes == 8 ? 4 : 8) : 0;  // 32 bytes
        p.spacing = (p.h >> lane_bits) + skew;
        p.len = p.h - (lanes - 1) * p.spacing;
        p.need = 0;
        for (int stage = 0; stage < count; ++stage, ++s) {
            const Rotation &r = rotation[s];
            (stage == 0 ? p.qa : stage == 1 ? p.qb : p.qc) = r.step_cm1;
            (stage == 0 ? p.la : stage == 1 ? p.lb : p.lc) = r.step_sin;
            if (p.mode == PassMode::table) continue;  // tabulated from (1, 0)
            const Twiddle one{1.0, 0.0};
            t.jobs[t.njobs++] = {r.step_cm1, r.step_sin, one, 0, p.spacing, lanes,
                                 stage == 0 ? p.a : p.b};
            if (stage == 1)
                t.jobs[t.njobs++] = {r.step_cm1, r.step_sin, one, p.h, p.spacing, lanes, p.b_high};
            const Index need = (stage == 0 ? 0 : p.h) + (lanes - 1) * p.spacing;
            if (need > p.need) p.need = need;
        }
    }
}

// three_ok: a tabulated pass may take three stages (a gain in the double
// vector forms; float's longer products and the plain loops' registers gain
// nothing from it, measured). adjacent: wide passes may run in adjacent
// mode. first3: the bit reversal does stages 1 to 3.
// other: a caller's step angle, whose rotation goes to *other_out, its sines
// taken with the stages' own.
void plan_transform(Transform &t, Index n, int stages, std::size_t sample_bytes, int width,
                    bool three_ok, bool adjacent, bool first3, int direction, Index reach,
                    const double *other, Rotation *other_out) {
    t.npasses = t.njobs = 0;
    // The block: at most kBlockBytes, of an even number of stages, so that
    // they go in pairs.
    int inner = 0;
    while ((Index(2 * sample_bytes) << (inner + 2)) <= kBlockBytes) inner += 2;
    t.block = Index(1) << inner;
    if (n <= t.block) {
        t.block = n;
        inner = stages;
    }
    StageRotations steps;
    const Rotation *rotation = steps.at;
    stage_rotations(stages, direction, steps.at, other, other_out);
    const int first = first3 ? 4 : 1;
    if (first3) {
        Twiddle *w = t.first3;
        for (int s = 1; s <= 3; ++s) {
            Rotation r = rotation[s];
            for (Index k = 0; k < (Index(1) << (s - 1)); ++k, r.advance()) *w++ = Twiddle{r.c, r.s};
        }
    }
    plan_stages(t, first, inner, t.block, width, three_ok && first3, adjacent,
                Index(sample_bytes), rotation, reach);
    t.inner = t.npasses;
    plan_stages(t, inner + 1, stages, n, width, false, adjacent, Index(sample_bytes), rotation,
                reach);
}

// A caller's recurrence (complex_fft_ahead) in the transforms without the
// run ahead: its step is `step`, and it starts one step from (1, 0), at
// (1 + q, l) exactly.
void start_extra(Prerun &job, const Rotation &step) {
    job.q = step.step_cm1, job.l = step.step_sin;
    job.start = Twiddle{1.0 + step.step_cm1, step.step_sin};
}
// The last position it is to be noted at.
inline Index extra_reach(const Prerun &job) { return job.offset + (job.count - 1) * job.spacing; }
// Started, and its states noted, step by step.
void note_extra(Prerun &job, const Rotation &step) {
    start_extra(job, step);
    Rotation w = step;
    w.start_at(job.start.c, job.start.s);
    for (Index k = 0, pos = 0; k < job.count; ++k) {
        for (; pos < job.offset + k * job.spacing; ++pos) w.advance();
        job.out[k] = Twiddle{w.c, w.s};
    }
}

#define KWSIG_LANES_KERNELS "fft/fft_passes.h"
#include "frame/lanes_twice.h"

// Transforms of 2 to 8 points: the stages one at a time in plain code, each
// twiddle straight from its recurrence (fewer than 16 points do not fill
// small_transform's lanes). Below kSmall points setting up the run ahead
// would cost more than it saves.
template <typename T>
void small_fft(T *x, Index n, int stages, int direction, Prerun *extra, double angle) {
    StageRotations steps;
    const Rotation *rotation = steps.at;
    Rotation extra_step;
    stage_rotations(stages, direction, steps.at, extra ? &angle : nullptr, &extra_step);
    if (extra) note_extra(*extra, extra_step);
    bit_reverse(x, stages);
    for (Index h = 1, s = 1; h < n; h *= 2, ++s) {
        Rotation w = rotation[s];
        for (Index t = 0; t < h; ++t, w.advance())
            for (Index g = 0; g < n; g += 2 * h) {
                T *a = x + 2 * (g + t), *b = a + 2 * h;
                const double br = wide(b[0]), bi = wide(b[1]);
                const T tr = T(w.c * br - w.s * bi), ti = T(w.c * bi + w.s * br);
                const double ar = wide(a[0]), ai = wide(a[1]);
                b[0] = T(ar - wide(tr));
                b[1] = T(ai - wide(ti));
                a[0] = T(ar + wide(tr));
                a[1] = T(ai + wide(ti));
            }
    }
}

template <bool with_extra, typename T>
void small_isa(T *x, Index n, int stages, int direction, Prerun *extra, double angle) {
    switch (kernel_isa()) {
#if defined(KWSIG_X86_KERNELS)
    case Isa::avx2:
        return lanes_avx2::small_transform<ComplexAvx2<T>, with_extra>(x, n, stages, direction,
                                                                       extra, angle);
    case Isa::sse2:
        return lanes::small_transform<ComplexSse2<T>, with_extra>(x, n, stages, direction, extra,
                                                                  angle);
#endif
    default:
        return lanes::small_transform<Complex1<T>, with_extra>(x, n, stages, direction, extra,
                                                               angle);
    }
}

// With extra, its recurrence runs ahead too, its step made from `angle`.
template <typename T>
void fft(T *data, unsigned count, int direction, Prerun *extra = nullptr, double angle = 0.0) {
    const Index n = count;
    if (n < 2 || !is_pow2(std::uint64_t(n))) return;  // N = 1 is the identity; others refused
    int stages = 0;
    while ((Index(1) << stages) < n) ++stages;
    // (A caller's recurrence noted beyond n takes the run ahead.)
    const bool small = n < kSmall && (!extra || extra_reach(*extra) < n);
    // 8 points in registers where vectors hold two values (AVX2; SSE2 in float).
    const Isa isa = kernel_isa();
    const bool pairs = isa == Isa::avx2 || (isa == Isa::sse2 && sizeof(T) == sizeof(float));
    if (n < 16 && small && !(n == 8 && pairs))
        return small_fft(data, n, stages, direction, extra, angle);
    if (small && extra) return small_isa<true>(data, n, stages, direction, extra, angle);
    if (small) return small_isa<false>(data, n, stages, direction, nullptr, 0.0);
    switch (kernel_isa()) {
#if defined(KWSIG_X86_KERNELS)
    case Isa::avx2:
        lanes_avx2::transform<ComplexAvx2<T>>(data, n, stages, direction, extra, angle);
        return;
    case Isa::sse2:
        lanes::transform<ComplexSse2<T>>(data, n, stages, direction, extra, angle);
        return;
#endif
    default:
        lanes::transform<Complex1<T>>(data, n, stages, direction, extra, angle);
    }
}

}  // namespace

void complex_fft_ahead(float *data, unsigned n, int direction, Prerun &job, double angle) {
    fft(data, n, direction, &job, angle);
}
void complex_fft_ahead(double *data, unsigned n, int direction, Prerun &job, double angle) {
    fft(data, n, direction, &job, angle);
}

}  // namespace kwsig

extern "C" {

KWSIG_API void KWSIG_CALL kwsig_fft(float *data, unsigned count, int direction) {
    kwsig::fft(data, count, direction);
}

KWSIG_API void KWSIG_CALL kwsig_fft_double(double *data, unsigned count, int direction) {
    kwsig::fft(data, count, direction);
}

}  // extern "C"
