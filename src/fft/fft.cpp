// In-place iterative radix-2 decimation-in-time complex FFT.
//
// Arithmetic, exactly:
//   theta = -direction * (6.28318530717959 / G)      per stage of group size G
//   twiddle (wr, wi) = Rotation::by(theta) from (1, 0) (frame/rotation.h):
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
// none of that changes a bit. What the transform does for speed:
//   - the bit reversal swaps 16 x 16 tiles, so that both sides of every swap
//     stay in cache (bit_reverse.h);
//   - stages go two at a time through memory (fft_passes.h), and the early
//     stages, whose groups fit in a block of kBlockBytes, run block by block
//     while the block is in cache;
//   - each stage's recurrence is run once ahead, serially, to note its state
//     at the start of each segment of the pass (prerun below); the pass then
//     runs one copy per segment side by side, which hides the latency of the
//     recurrence's steps. The copies repeat the serial steps exactly.
// The butterflies run in AVX2, SSE2 or plain code as kernel_isa() says.
#include <cstddef>
#include <cstdint>

#include "fft/bit_reverse.h"
#include "fft/fft_vectors.h"
#include "frame/cpu.h"
#include "frame/lanes.h"
#include "frame/numeric.h"
#include "frame/rotation.h"
#include "kwsig.h"

namespace kwsig {
namespace {

using Index = std::ptrdiff_t;

constexpr Index kChunk = 32;         // twiddles per recurrence copy and round
constexpr int kMaxSegments = 8;      // recurrence copies per stage and pass
constexpr int kMaxChains = 3 * kMaxSegments;
constexpr Index kBlockBytes = Index(1) << 17;  // early stages run per block

struct ChainStart {
    double c, s;
};

// A recurrence to run ahead: its step, and where to note the states it
// reaches at twiddles 0, spacing, .., (count-1) spacing.
struct Prerun {
    double q, l;
    Index spacing, count;
    ChainStart *out;
};

// One pass: stage A (groups of 2h) and, if two_stages, stage B (groups of
// 4h). a[j] is A's recurrence state at twiddle j seg, b[j] B's at j seg
// (j < 2 segments), seg = h / segments.
struct PassPlan {
    Index h;
    Index segments;
    bool two_stages;
    double qa, la, qb, lb;
    ChainStart a[kMaxSegments], b[2 * kMaxSegments];
};

#define KWSIG_LANES_KERNELS "fft/fft_passes.h"
#include "frame/lanes_twice.h"

// The passes for stages first .. last (stage s has groups of 2^s): a single
// stage first if their number is odd, then pairs. Returns the number of
// passes.
int plan_passes(int first, int last, int direction, PassPlan *plans) {
    Prerun jobs[2 * 32];
    int npass = 0, njobs = 0;
    for (int s = first; s <= last; ++npass) {
        PassPlan &p = plans[npass];
        p.two_stages = (last - s + 1) % 2 == 0;
        p.h = Index(1) << (s - 1);
        p.segments = p.h >= 64 ? kMaxSegments : 1;
        const Index seg = p.h / p.segments;
        for (int stage = 0; stage < (p.two_stages ? 2 : 1); ++stage, ++s) {
            const double group = double(Index(1) << s);
            const double theta = -double(direction) * (kTwoPi15 / group);
            const Rotation r = Rotation::by(theta);
            (stage == 0 ? p.qa : p.qb) = r.step_cm1;
            (stage == 0 ? p.la : p.lb) = r.step_sin;
            jobs[njobs++] = {r.step_cm1, r.step_sin, seg, stage == 0 ? p.segments : 2 * p.segments,
                             stage == 0 ? p.a : p.b};
        }
    }
    switch (kernel_isa()) {
#if defined(KWSIG_X86_KERNELS)
    case Isa::avx2:
        lanes_avx2::prerun<LanesAvx2>(jobs, njobs);
        break;
    case Isa::sse2:
        lanes::prerun<LanesSse2>(jobs, njobs);
        break;
#endif
    default:
        lanes::prerun<Lanes1>(jobs, njobs);
    }
    return npass;
}

template <typename T>
void run_passes(T *x, Index span, const PassPlan *plans, int npass) {
    for (int k = 0; k < npass; ++k) {
        switch (kernel_isa()) {
#if defined(KWSIG_X86_KERNELS)
        case Isa::avx2:
            lanes_avx2::pass_run<ComplexAvx2<T>, LanesAvx2>(x, span, plans[k]);
            break;
        case Isa::sse2:
            lanes::pass_run<ComplexSse2<T>, LanesSse2>(x, span, plans[k]);
            break;
#endif
        default:
            lanes::pass_run<Complex1<T>, Lanes1>(x, span, plans[k]);
        }
    }
}

template <typename T>
void fft(T *data, unsigned count, int direction) {
    const Index n = count;
    if (n < 2 || !is_pow2(std::uint64_t(n))) return;  // N = 1 is the identity; others refused
    int stages = 0;
    while ((Index(1) << stages) < n) ++stages;
    bit_reverse(data, n, stages);

    PassPlan plans[32];
    const Index block = kBlockBytes / Index(2 * sizeof(T));
    int inner = 0;  // stages done block by block
    if (n > block) {
        while ((Index(1) << inner) < block) ++inner;
        const int npass = plan_passes(1, inner, direction, plans);
        for (Index b = 0; b < n; b += block) run_passes(data + 2 * b, block, plans, npass);
    }
    const int npass = plan_passes(inner + 1, stages, direction, plans);
    run_passes(data, n, plans, npass);
}

}  // namespace
}  // namespace kwsig

extern "C" {

KWSIG_API void KWSIG_CALL kwsig_fft(float *data, unsigned count, int direction) {
    kwsig::fft(data, count, direction);
}

KWSIG_API void KWSIG_CALL kwsig_fft_double(double *data, unsigned count, int direction) {
    kwsig::fft(data, count, direction);
}

}  // extern "C"
