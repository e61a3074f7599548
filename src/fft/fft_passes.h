// The butterfly passes of the complex FFT, written once over a complex vector
// type V (fft_vectors.h); compiled twice by frame/lanes_twice.h (plain and
// SSE2, and AVX2). Needs fft.cpp's declarations: Index, kTableMax, PassMode,
// PassPlan, Transform, plan_transform, and Prerun, Twiddle, bit_reverse.
//
// A pass applies one stage (groups of 2h) or two (groups of 2h, then 4h) to
// a span of points. Two stages run in registers: the four points t, t+h,
// t+2h, t+3h of a group of 4h take both stages' butterflies, each exactly the
// radix-2 butterfly of its stage, before they are stored (a tabulated pass
// may take three stages on eight points the same way). The butterflies of
// a stage are independent, so neither this nor the lanes change a bit.
//
// How the lanes of V are filled (PassMode): narrow passes (h up to
// kTableMax) hold adjacent butterflies and read their twiddles from tables
// filled once per transform; passes narrower than the lanes take the same
// butterfly of V::width groups; wide passes take butterflies of V::width
// segments of t, or where V holds two values and a lane vector four
// twiddles, two adjacent butterflies of one of four segments in turn
// (adjacent_run). In a wide pass each segment has its own copy of the stage's
// twiddle recurrence (two for the second stage: at t and at t + h), started
// from the state the serial recurrence reaches at the segment's first
// twiddle; a copy started from the same state repeats the same steps, so
// every twiddle is the serial one, bit for bit. The copies step side by side
// in the twiddle lanes, so a step's latency is shared by the segments, and
// the twiddles never leave the registers.
//
// The starting states come from running every stage's recurrence ahead
// (Ahead), all side by side in lanes: as far as the next pass needs before
// it, and beyond that a step per butterfly vector inside the passes' loops
// (Rider), where the latency of the steps hides behind the butterflies;
// between groups, a rider that has reached a note has it made and rides on.

#include "fft/lane_rotation.h"

// The first two vectors of the recurrences running ahead (Ahead), taken
// along by a pass: one step per butterfly vector, up to `left` steps (the
// next note), so that their latency hides behind the pass's work. Passes
// copy it into a local variable, which the compiler keeps in registers.
template <typename VL>
struct Rider {
    static constexpr bool always = false;  // rides only where it costs nothing
    VL c[2], s[2], q[2], l[2];
    Index left, taken;
    bool two;  // whether the second vector holds any

    void ride() {
        if (left == 0) return;
        step(0);
        if (two) step(1);
        --left;
        ++taken;
    }
    void step(int v) { advance(c[v], s[v], q[v], l[v]); }

    // Member by member, written out: a block copy of the whole would take a
    // slow string instruction on every pass, and a loop over the members
    // becomes library calls (memmove).
    Rider() = default;
    Rider(const Rider &o) { *this = o; }
    Rider &operator=(const Rider &o) {
        c[0] = o.c[0], s[0] = o.s[0], q[0] = o.q[0], l[0] = o.l[0];
        c[1] = o.c[1], s[1] = o.s[1], q[1] = o.q[1], l[1] = o.l[1];
        left = o.left, taken = o.taken, two = o.two;
        return *this;
    }
};

// A tabulated run of twiddles for V, as doubles: per vector of W values its
// c lanes, then its s lanes (each value once, or twice for the vector
// forms), so that a table entry loads straight into Copies.
template <typename V>
constexpr Index table_doubles() { return 2 * V::parts * V::Lanes::size; }

template <typename V>
void table_put(double *table, Index t, double c, double s) {
    constexpr int per = V::parts * V::Lanes::size / V::width;  // copies of a value
    double *v = table + t / V::width * table_doubles<V>();
    const int k = int(t % V::width);
    for (int d = 0; d < per; ++d) {
        v[k * per + d] = c;
        v[V::parts * V::Lanes::size + k * per + d] = s;
    }
}

// A set of recurrence copies, one per value of V, in V's twiddle lanes.
template <typename V>
struct Copies {
    using L = typename V::Lanes;
    L c[V::parts], s[V::parts];

    Copies() = default;
    // Lane k from from[k].
    explicit Copies(const Twiddle *from) {
        double v[table_doubles<V>()];
        for (int k = 0; k < V::width; ++k) table_put<V>(v, k, from[k].c, from[k].s);
        for (int i = 0; i < V::parts; ++i) {  // just written: L::of, not L::load
            c[i] = L::of(v + i * L::size);
            s[i] = L::of(v + (V::parts + i) * L::size);
        }
    }
    // Every lane from w: splats, not a table entry built by scalar stores
    // and read back whole (a load that waits for its stores to retire).
    static Copies all(Twiddle w) {
        Copies r;
        for (int i = 0; i < V::parts; ++i) r.c[i] = L::splat(w.c), r.s[i] = L::splat(w.s);
        return r;
    }
    // The copies a table entry holds.
    static Copies at(const double *v) {
        Copies w;
        for (int i = 0; i < V::parts; ++i) {
            w.c[i] = L::load(v + i * L::size);
            w.s[i] = L::load(v + (V::parts + i) * L::size);
        }
        return w;
    }
    void step(L q, L l) {
        for (int i = 0; i < V::parts; ++i) advance(c[i], s[i], q, l);
    }
};

// Lane k's (c, s) in a set of copies.
template <typename V>
Twiddle lane_of(const Copies<V> &w, int k) {
    using L = typename V::Lanes;
    constexpr int per = V::parts * L::size / V::width;  // doubles per value
    double c[V::parts * L::size], s[V::parts * L::size];
    for (int i = 0; i < V::parts; ++i) w.c[i].store(c + i * L::size), w.s[i].store(s + i * L::size);
    return {c[k * per], s[k * per]};
}

// The butterflies on one vector of points at p0 (lane k's `stride` samples
// after lane k-1's) of a pass at h: stage A's on p0 and p0 + h with the
// twiddles a; with two_stages also on p0 + 2h and p0 + 3h, then stage B's on
// p0 and p0 + 2h (twiddles b0), p0 + h and p0 + 3h (b1).
template <typename V, typename T>
inline __attribute__((always_inline)) void butterfly_vector(T *p0, Index h, Index stride,
                                                            bool two_stages, const Copies<V> &a,
                                                            const Copies<V> &b0,
                                                            const Copies<V> &b1) {
    T *p1 = p0 + 2 * h;
    if (!two_stages) {
        const V u = V::twiddled(V::load(p1, stride), a.c, a.s);
        const V x0 = V::load(p0, stride);
        (x0 + u).store(p0, stride);
        (x0 - u).store(p1, stride);
        return;
    }
    T *p2 = p1 + 2 * h, *p3 = p2 + 2 * h;
    const V t1 = V::twiddled(V::load(p1, stride), a.c, a.s);
    const V t3 = V::twiddled(V::load(p3, stride), a.c, a.s);
    const V x0 = V::load(p0, stride), x2 = V::load(p2, stride);
    const V y0 = x0 + t1, y1 = x0 - t1, y2 = x2 + t3, y3 = x2 - t3;
    const V u2 = V::twiddled(y2, b0.c, b0.s);
    const V u3 = V::twiddled(y3, b1.c, b1.s);
    (y0 + u2).store(p0, stride);
    (y0 - u2).store(p2, stride);
    (y1 + u3).store(p1, stride);
    (y1 - u3).store(p3, stride);
}

// The butterflies at t = t0 .. t0+len-1 of the groups g0, g0 + group_step, ..
// below `span`, lane k taking the points `stride` samples after lane k-1's,
// with the twiddles of copies a (stage A), b0 and b1 (stage B at t and t+h),
// which step once per t. Returns with the copies stepped len times.
template <typename V, typename T, typename R>
void butterflies(T *x, Index span, Index g0, Index group_step, Index h, Index t0, Index len,
                 Index stride, bool two_stages, Copies<V> &a_io, Copies<V> &b0_io, Copies<V> &b1_io,
                 const PassPlan &p, R &rider) {
    using L = typename V::Lanes;
    // Double's butterflies leave room for the rider in registers; float's
    // need them for their conversions and take the rider where it is (a
    // local copy made float's transforms 2-3 % slower from 2^14, measured).
    std::conditional_t<sizeof(T) == sizeof(float), R &, R> r = rider;
    Copies<V> a = a_io, b0 = b0_io, b1 = b1_io;  // in registers, not through memory
    const L qa = L::splat(p.qa), la = L::splat(p.la), qb = L::splat(p.qb), lb = L::splat(p.lb);
    for (Index t = t0; t < t0 + len; ++t) {
        for (Index g = g0; g < span; g += group_step) {
            r.ride();
            butterfly_vector<V>(x + 2 * (g + t), h, stride, two_stages, a, b0, b1);
        }
        a.step(qa, la);
        if (two_stages) {
            b0.step(qb, lb);
            b1.step(qb, lb);
        }
    }
    a_io = a, b0_io = b0, b1_io = b1;
    if constexpr (sizeof(T) != sizeof(float)) rider = r;
}

// One pass over `span` points (a multiple of its group size, 4h or 2h), in
// segments mode (or plain code: one lane), or in groups mode.
template <typename V, typename T, typename R, typename A>
void pass_run(T *x, Index span, const PassPlan &p, R &rider, A &ahead) {
    const Index h = p.h, W = V::width;
    const Index group = p.two_stages ? 4 * h : 2 * h;
    if (p.mode == PassMode::groups) {  // every lane from the recurrence's start
        Copies<V> a = Copies<V>::all(p.a[0]), b0 = Copies<V>::all(p.b[0]),
                  b1 = Copies<V>::all(p.b_high[0]);
        butterflies<V>(x, span, 0, W * group, h, 0, h, 2 * group, p.two_stages, a, b0, b1, p,
                       rider);
        return;
    }
    // Lane k runs t = k spacing .. (k+1) spacing - 1 (the last lane up to h),
    // first side by side for the last lane's len values, then the rest of
    // each other lane alone.
    for (Index g = 0; g < span; g += group) {
        if (g > 0) ahead.renew(rider);
        Copies<V> a(p.a), b0(p.b), b1(p.b_high);
        butterflies<V>(x, span, g, span, h, 0, p.len, 2 * p.spacing, p.two_stages, a, b0, b1, p,
                       rider);
        for (int k = 0; k + 1 < W; ++k) {
            const Twiddle wa = lane_of(a, k), wb0 = lane_of(b0, k), wb1 = lane_of(b1, k);
            Copies<Complex1<T>> a1(&wa), b01(&wb0), b11(&wb1);
            butterflies<Complex1<T>>(x, span, g, span, h, k * p.spacing + p.len,
                                     p.spacing - p.len, 0, p.two_stages, a1, b01, b11, p,
                                     rider);
        }
    }
}

// Whether V's vectors hold two adjacent values with each twiddle twice in
// one vector of four lanes, as adjacent_run needs.
template <typename V>
constexpr bool adjacent_lanes() {
    return V::width == 2 && V::parts == 1 && V::Lanes::size == 4;
}

// One wide pass in adjacent mode: a vector holds two adjacent butterflies
// (t, t + 1) of one segment, so that it loads and stores whole; segment k
// (k < 4) runs t = k spacing .. (k+1) spacing - 1 (the last up to h), all
// four in turn for the last one's len values (even), then the other three
// on to spacing (skewed segments), in turn too. Each stage's four
// recurrence copies, one per segment
// and started from the serial state at its first twiddle, run in the four
// lanes of one vector, as two vectors: the states at t and at t + 1. Each
// vector steps twice per pair of t, so every lane takes the serial steps,
// and the twiddles of segment k's pair are lane k of both, spread
// (spread_pairs). A step serves four segments, where segments mode's
// copies, each twice in a vector, serve two.
template <typename V, typename T, typename R, typename A>
void adjacent_run(T *x, Index span, const PassPlan &p, R &rider, A &ahead) {
    using L = typename V::Lanes;
    static_assert(adjacent_lanes<V>(), "two adjacent values, four recurrences per vector");
    const Index h = p.h, group = p.two_stages ? 4 * h : 2 * h;
    const int chains = p.two_stages ? 3 : 1;  // A at t; B at t, at t + h
    const L q[3] = {L::splat(p.qa), L::splat(p.qb), L::splat(p.qb)};
    const L l[3] = {L::splat(p.la), L::splat(p.lb), L::splat(p.lb)};
    const Twiddle *from[3] = {p.a, p.b, p.b_high};
    for (Index g = 0; g < span; g += group) {
        if (g > 0) ahead.renew(rider);
        L c[3][2], s[3][2];  // [chain][t, t + 1]
        for (int j = 0; j < chains; ++j) {
            double cs[4], ss[4];
            for (int k = 0; k < 4; ++k) cs[k] = from[j][k].c, ss[k] = from[j][k].s;
            c[j][0] = c[j][1] = L::of(cs), s[j][0] = s[j][1] = L::of(ss);
            advance(c[j][1], s[j][1], q[j], l[j]);
        }
        // (The stage count a constant in each copy of the loop.)
        auto sweep = [&](auto two) __attribute__((always_inline)) {
            constexpr bool two_stages = decltype(two)::value;
            constexpr int n = two_stages ? 3 : 1;
            std::conditional_t<sizeof(T) == sizeof(float), R &, R> r = rider;
            // All four segments to len, then the first three on to spacing
            // (where the segments are skewed apart), their copies stepping on.
            for (Index t = 0; t < p.spacing; t += 2) {
                const int segments = t < p.len ? 4 : 3;
                L wc[3][4], ws[3][4];
                for (int j = 0; j < n; ++j) {
                    L::spread_pairs(c[j][0], c[j][1], wc[j]);
                    L::spread_pairs(s[j][0], s[j][1], ws[j]);
                }
#pragma GCC unroll 4
                for (int k = 0; k < 4; ++k) {
                    if (k == 3 && segments == 3) break;
                    Copies<V> w[3];
                    for (int j = 0; j < n; ++j) w[j].c[0] = wc[j][k], w[j].s[0] = ws[j][k];
                    r.ride();
                    butterfly_vector<V>(x + 2 * (g + k * p.spacing + t), h, 2, two_stages, w[0],
                                        w[n > 1 ? 1 : 0], w[n > 1 ? 2 : 0]);
                }
                for (int j = 0; j < n; ++j) {
                    c[j][0] = c[j][1], s[j][0] = s[j][1];
                    advance(c[j][0], s[j][0], q[j], l[j]);
                    c[j][1] = c[j][0], s[j][1] = s[j][0];
                    advance(c[j][1], s[j][1], q[j], l[j]);
                }
            }
            if constexpr (sizeof(T) != sizeof(float)) rider = r;
        };
        if (p.two_stages)
            sweep(std::true_type{});
        else
            sweep(std::false_type{});
    }
}

// A recurrence to tabulate: its step, `count` twiddles from *from (from
// (1, 0) if null) into `out`.
struct TableJob {
    double q, l;
    Index count;
    double *out;
    const Twiddle *from;
};

// Runs NV vectors of recurrences side by side, each writing its twiddles
// into its table straight from its lane; lanes beyond the jobs idle at
// (1, 0) with a zero step. The jobs come shortest first, so a vector whose
// last job is done is done, and stops. With Chain, lane 0 runs the first
// `chained` jobs one after another (each but the last a multiple of
// V::width twiddles long), and lane k > 0 job chained - 1 + k.
template <typename V, typename VL, int NV, bool Chain = false, typename R>
void tabulate(const TableJob *jobs, int njobs, R &rider, int chained = 1) {
    constexpr Index W = V::width, per = V::parts * V::Lanes::size / V::width,
                    half = table_doubles<V>() / 2;
    static_assert(per == 1 || per == 2, "a value once or twice per table entry");
    alignas(32) double c[NV * VL::size], s[NV * VL::size], q[NV * VL::size], l[NV * VL::size];
    Index count[NV * VL::size], until[NV];  // per lane its job's end step; per vector, the last
    double *out[NV * VL::size];
    const int lanes = Chain ? njobs - (chained - 1) : njobs;
    auto job_of = [&](int k) -> const TableJob & {
        return jobs[Chain && k > 0 ? k + chained - 1 : k];
    };
    for (int k = 0; k < NV * VL::size; ++k) {
        const bool job = k < lanes;
        const Twiddle w = job && job_of(k).from ? *job_of(k).from : Twiddle{1.0, 0.0};
        c[k] = w.c;
        s[k] = w.s;
        q[k] = job ? job_of(k).q : 0.0;
        l[k] = job ? job_of(k).l : 0.0;
        count[k] = job ? job_of(k).count : 0;
        out[k] = job ? job_of(k).out : nullptr;
    }
    VL vc[NV], vs[NV], vq[NV], vl[NV];
    for (int v = 0; v < NV; ++v) {
        vc[v] = VL::of(c + v * VL::size), vs[v] = VL::of(s + v * VL::size);
        vq[v] = VL::of(q + v * VL::size), vl[v] = VL::of(l + v * VL::size);
        const int last = (v + 1) * VL::size < lanes ? (v + 1) * VL::size : lanes;
        until[v] = job_of(last - 1).count;
    }
    // Lane 0's chain: its current job, and the step where that job's table
    // starts (the table positions lie start / W entries behind the step's).
    int current = 0;
    Index start = 0;
    if constexpr (Chain) {
        Index end = 0;
        for (int k = 0; k < chained; ++k) end += jobs[k].count;
        if (end > until[0]) until[0] = end;
    }
    const Index steps = until[0] > jobs[njobs - 1].count ? until[0] : jobs[njobs - 1].count;
    // At the end of lane 0's job: the next job of its chain in its place.
    auto next_in_chain = [&]() __attribute__((always_inline)) {
        if constexpr (!Chain) return;
        const TableJob &job = jobs[++current];
        vc[0].store(c), vs[0].store(s), vq[0].store(q), vl[0].store(l);
        const Twiddle w = job.from ? *job.from : Twiddle{1.0, 0.0};
        c[0] = w.c, s[0] = w.s, q[0] = job.q, l[0] = job.l;
        vc[0] = VL::of(c), vs[0] = VL::of(s), vq[0] = VL::of(q), vl[0] = VL::of(l);
        start = count[0];
        count[0] += job.count;
        out[0] = job.out;
    };
    // put(j, table position, job's end step) for each lane j of vector v whose
    // job is still running at step i (j a constant once unrolled; inlined
    // always: left to itself, GCC made the two-vector loop of 128 points
    // with the real pass's recurrence 16 % slower).
    auto running = [&](int v, Index i, Index at, auto put) __attribute__((always_inline)) {
#pragma GCC unroll 4
        for (int j = 0; j < VL::size; ++j) {
            const int k = v * VL::size + j;
            if (i < count[k])
                put(j, out[k] + (Chain && k == 0 ? at - start / W * table_doubles<V>() : at),
                    count[k]);
        }
    };
    R r = rider;
    if constexpr (per == 2 && W == 2 && R::always) {
        // Entries of two values, each twice: written whole from the lanes of
        // two steps (a job ending on an entry's first value writes it alone).
        // Fewer instructions (a fifth of the loop's); kept to the small
        // transforms, whose rider does work that has to be done anyway: in
        // the run ahead's transforms it measured no faster.
        for (Index i = 0; i < steps; i += 2) {
            if (Chain && i == count[0] && current + 1 < chained) next_in_chain();
            r.ride();
            const Index at = i / W * table_doubles<V>();
            VL c0[NV], s0[NV];
            for (int v = 0; v < NV; ++v) {
                c0[v] = vc[v], s0[v] = vs[v];
                if (i < until[v]) advance(vc[v], vs[v], vq[v], vl[v]);
            }
            r.ride();
            for (int v = 0; v < NV; ++v) {
                if (i >= until[v]) continue;
                auto put = [&](int j, double *o, Index job_count) __attribute__((always_inline)) {
                    if (i + 1 < job_count) {
                        VL::store_pair_twice(j, c0[v], vc[v], o);
                        VL::store_pair_twice(j, s0[v], vs[v], o + half);
                    } else {
                        c0[v].store_twice(j, o);
                        s0[v].store_twice(j, o + half);
                    }
                };
                running(v, i, at, put);
                advance(vc[v], vs[v], vq[v], vl[v]);
            }
        }
        rider = r;
        return;
    }
    for (Index i = 0; i < steps; ++i) {
        // One vector of recurrences leaves the loop waiting on its latency,
        // room for the rider's steps; more fill it (measured). Work that has
        // to be done anyway rides along always.
        if (Chain && i == count[0] && current + 1 < chained) next_in_chain();
        if constexpr (NV == 1 || R::always) r.ride();
        const Index at = i / W * table_doubles<V>() + i % W * per;
        for (int v = 0; v < NV; ++v) {
            if (i >= until[v]) continue;
            running(v, i, at, [&](int j, double *o, Index) __attribute__((always_inline)) {
                if constexpr (per == 2) {
                    vc[v].store_twice(j, o);
                    vs[v].store_twice(j, o + half);
                } else {
                    vc[v].store(o);
                    vs[v].store(o + half);
                }
            });
            advance(vc[v], vs[v], vq[v], vl[v]);
        }
    }
    rider = r;
}

// How many of the shortest jobs lane 0 runs one after another so that the
// jobs take one vector fewer: as many as that needs, if their steps fit in
// the longest job's (and each but the last is whole table entries long);
// else 1, none chained.
template <typename V, typename VL>
int chained_jobs(const TableJob *jobs, int njobs) {
    const int vectors = (njobs + VL::size - 1) / VL::size;
    if (vectors < 2) return 1;
    const int chained = njobs - (vectors - 1) * VL::size + 1;
    Index steps = 0;
    for (int k = 0; k < chained; ++k) {
        if (k + 1 < chained && jobs[k].count % V::width != 0) return 1;
        steps += jobs[k].count;
    }
    return steps <= jobs[njobs - 1].count ? chained : 1;
}

// Every job tabulated (sorted shortest first), four vectors at a time; with
// Chains, the shortest in lane 0 one after another where that saves a
// vector. (Measured: it does where the real transform's recurrence is a
// fifth job, 256 values; in the run ahead's transforms, where the halves of
// the longest chain make six, it gains nothing.)
template <typename V, bool Chains, typename R>
inline __attribute__((always_inline)) void tabulate_all(const TableJob *jobs, int njobs,
                                                        R &rider) {
    using VL = typename V::Lanes;
    for (int j0 = 0; j0 < njobs; j0 += 4 * VL::size) {
        const int count = njobs - j0 < 4 * VL::size ? njobs - j0 : 4 * VL::size;
        const int chained = Chains ? chained_jobs<V, VL>(jobs + j0, count) : 1;
        auto run = [&](auto chain) {
            constexpr bool C = decltype(chain)::value;
            switch ((count - (chained - 1) + VL::size - 1) / VL::size) {
            case 1: return tabulate<V, VL, 1, C>(jobs + j0, count, rider, chained);
            case 2: return tabulate<V, VL, 2, C>(jobs + j0, count, rider, chained);
            case 3: return tabulate<V, VL, 3, C>(jobs + j0, count, rider, chained);
            default: return tabulate<V, VL, 4, C>(jobs + j0, count, rider, chained);
            }
        };
        if (Chains && chained > 1)
            run(std::integral_constant<bool, Chains>{});
        else
            run(std::false_type{});
    }
}

// A pass whose twiddles are tabulated (ta: stage A's h, tb: stage B's 2h, W
// a vector): the lanes hold W adjacent butterflies, and each group is swept
// in turn, so that the pass walks memory in order. With `ahead`, the rider
// renews between groups (where a later pass needs its states far ahead:
// elsewhere the steps cost more ridden here than run alone, measured).
template <typename V, typename T, typename R, typename A>
void table_pass_run(T *x, Index span, const PassPlan &p, const double *ta, const double *tb,
                    R &rider, A *ahead) {
    const Index h = p.h, W = V::width, n = h / W, e = table_doubles<V>();
    R r = rider;
    if (!p.two_stages) {
        for (Index g = 0; g < span; g += 2 * h)
            for (Index i = 0; i < n; ++i) {
                r.ride();
                const Copies<V> a = Copies<V>::at(ta + i * e);
                butterfly_vector<V>(x + 2 * (g + i * W), h, 2, false, a, a, a);
            }
        rider = r;
        return;
    }
    for (Index g = 0; g < span; g += 4 * h) {
        if (ahead) ahead->renew(r);
        for (Index i = 0; i < n; ++i) {
            r.ride();
            const Copies<V> a = Copies<V>::at(ta + i * e), b0 = Copies<V>::at(tb + i * e),
                            b1 = Copies<V>::at(tb + (n + i) * e);
            butterfly_vector<V>(x + 2 * (g + i * W), h, 2, true, a, b0, b1);
        }
    }
    rider = r;
}

// Three stages' butterflies on the eight points y[k] = t + k h of a group of
// 8h, in place: (k, k+1) with twiddle w[0]; (k, k+2) with w[1 + k % 2] (at t,
// t + h); (k, k+4) with w[3 + k % 4] (at t + k h).
template <typename V>
inline __attribute__((always_inline)) void three_stages_on(V *y, const Copies<V> *w) {
    for (int k = 0; k < 8; k += 2) {
        const V u = V::twiddled(y[k + 1], w[0].c, w[0].s), y0 = y[k];
        y[k] = y0 + u, y[k + 1] = y0 - u;
    }
    for (int j = 0; j < 2; ++j)
        for (int k = j; k < 8; k += 4) {
            const V u = V::twiddled(y[k + 2], w[1 + j].c, w[1 + j].s), y0 = y[k];
            y[k] = y0 + u, y[k + 2] = y0 - u;
        }
    for (int k = 0; k < 4; ++k) {
        const V u = V::twiddled(y[k + 4], w[3 + k].c, w[3 + k].s), y0 = y[k];
        y[k] = y0 + u, y[k + 4] = y0 - u;
    }
}

// A tabulated pass of three stages (ta: stage A's h twiddles, tb: B's 2h,
// tc: C's 4h): the eight points t + k h of a group of 8h take the three
// stages' butterflies in registers, W adjacent t in the lanes. With `ahead`,
// the rider renews between groups.
template <typename V, typename T, typename R, typename A>
void table_pass3_run(T *x, Index span, const PassPlan &p, const double *ta, const double *tb,
                     const double *tc, R &rider, A *ahead) {
    const Index h = p.h, W = V::width, n = h / W, e = table_doubles<V>();
    R r = rider;
    for (Index g = 0; g < span; g += 8 * h) {
        if (ahead) ahead->renew(r);
        for (Index i = 0; i < n; ++i) {
            T *p0 = x + 2 * (g + i * W);
            r.ride();
            r.ride();
            Copies<V> w[7];  // A's at t; B's at t, t + h; C's at t + k h
            w[0] = Copies<V>::at(ta + i * e);
            for (int j = 0; j < 2; ++j) w[1 + j] = Copies<V>::at(tb + (j * n + i) * e);
            for (int k = 0; k < 4; ++k) w[3 + k] = Copies<V>::at(tc + (k * n + i) * e);
            V y[8];
            for (int k = 0; k < 8; ++k) y[k] = V::load(p0 + 2 * k * h, 2);
            three_stages_on(y, w);
            for (int k = 0; k < 8; ++k) y[k].store(p0 + 2 * k * h, 2);
        }
    }
    rider = r;
}

// Stages 1 to 3 on the columns of a tile of the bit reversal (see
// reverse_first3): column lo (lo = 0, W, 2W, ..; W adjacent columns side by
// side in the lanes) of the 8 rows at src, src + row, .. holds, read with the
// row index reversed, the group of 8 adjacent points that lands at row rev(lo)
// of the destination tile dst (rows 2^hs values apart). The group takes its
// three stages' butterflies in registers (twiddles w: stage 1's, stage 2's
// two, stage 3's four, each in every lane) and is stored as that row.
template <typename V, typename T, typename R, typename A>
inline __attribute__((always_inline)) void first3_columns(const T *src, Index row, T *dst, int hs,
                                                          const Copies<V> *w, R &r, A &ahead) {
    static_assert(V::width <= 2, "lane j's row is rev(lo) + 4 j");
    static constexpr int rev3[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    const Index lane_rows = Index(2) << (hs + 2);  // samples from row rev(lo) to rev(lo) + 4
    for (int lo = 0; lo < 8; lo += V::width) {
        ahead.renew(r);
        r.ride();
        r.ride();
        V y[8];
        for (int k = 0; k < 8; ++k) y[k] = V::load(src + rev3[k] * row + 2 * lo, 2);
        three_stages_on(y, w);
        T *d = dst + (Index(rev3[lo]) << hs) * 2;
        for (int k = 0; k < 8; k += 2) V::store_adjacent(y[k], y[k + 1], d + 2 * k, lane_rows);
    }
}

// The bit reversal of 2^bits points (bits >= 6) with stages 1 to 3 done on
// the way. As in bit_reverse, write an index (hi, mid, lo) with hi and lo of 3
// bits: the values of tile mid (rows (hi, mid, .)) go to tile rev(mid), and a
// column of one is a row of the other, read bit-reversed: a whole group of
// stage 3. Each pair of tiles is read column by column and written row by
// row; every row of a tile is written only after all of its columns are
// read, so the second tile of each pair goes through a buffer first.
// w: the first three stages' twiddles in order (1 + 2 + 4).
template <typename V, typename T, typename R, typename A>
void reverse_first3(T *x, int bits, const Twiddle *w, R &rider, A &ahead) {
    const int hs = bits - 3, mid_bits = bits - 6;
    Copies<V> lanes[7];
    for (int j = 0; j < 7; ++j) lanes[j] = Copies<V>::all(w[j]);
    R r = rider;
    alignas(32) T buffer[8 * 16];
    for (Index mid = 0; mid < (Index(1) << mid_bits); ++mid) {
        const Index rmid = Index(reverse_bits(std::uint32_t(mid), mid_bits));
        if (rmid < mid) continue;  // that pair was done with rmid
        // A pair's column groups take longer than three steps' latency.
        ahead.renew_or_run(r, 3);
        T *a = x + 2 * (mid << 3), *b = x + 2 * (rmid << 3);
        for (Index hi = 0; hi < 8; ++hi)  // in whole vectors, as first3_columns loads them
            for (int lo = 0; lo < 8; lo += V::width)
                V::load(b + 2 * ((hi << hs) + lo), 2).store(buffer + 2 * (8 * hi + lo), 2);
        if (rmid != mid) first3_columns<V>(a, Index(2) << hs, b, hs, lanes, r, ahead);
        first3_columns<V>(buffer, 16, a, hs, lanes, r, ahead);
    }
    rider = r;
}

// `count` steps of NV vectors of recurrences, held in registers.
template <typename VL, int NV>
void steps(double *c, double *s, const double *q, const double *l, Index count) {
    VL vc[NV], vs[NV];
    for (int v = 0; v < NV; ++v) vc[v] = VL::load(c + v * VL::size), vs[v] = VL::load(s + v * VL::size);
    for (Index m = 0; m < count; ++m)
        for (int v = 0; v < NV; ++v)
            advance(vc[v], vs[v], VL::load(q + v * VL::size), VL::load(l + v * VL::size));
    for (int v = 0; v < NV; ++v) vc[v].store(c + v * VL::size), vs[v].store(s + v * VL::size);
}

// Every stage's recurrence run ahead from (1, 0) (and the caller's extra
// one from its start), side by side in lanes,
// noting for each job (Prerun) the states at its offset plus multiples of its
// spacing.
// All advance together, one position at a time; a job drops out once it has
// noted its last state. Between two notes the lanes run `steps` on their own.
template <typename VL>
class Ahead {
public:
    Ahead(const Prerun *jobs, int njobs) : jobs_(jobs) {
        for (int k = 0; k < njobs; ++k) {
            slot_[k] = k;
            c_[k] = jobs[k].start.c;
            s_[k] = jobs[k].start.s;
            q_[k] = jobs[k].q;
            l_[k] = jobs[k].l;
        }
        active_ = njobs;
        note();
    }

    // Up to `count` more positions, as far as any job needs.
    void run(Index count) {
        while (count > 0 && active_ > 0) {
            const Index d = next_ - pos_ < count ? next_ - pos_ : count;
            const int vectors = (active_ + VL::size - 1) / VL::size;
            for (int v0 = 0; v0 < vectors; v0 += 4) {
                const int a = v0 * VL::size;
                switch (vectors - v0 < 4 ? vectors - v0 : 4) {
                case 1: steps<VL, 1>(c_ + a, s_ + a, q_ + a, l_ + a, d); break;
                case 2: steps<VL, 2>(c_ + a, s_ + a, q_ + a, l_ + a, d); break;
                case 3: steps<VL, 3>(c_ + a, s_ + a, q_ + a, l_ + a, d); break;
                default: steps<VL, 4>(c_ + a, s_ + a, q_ + a, l_ + a, d);
                }
            }
            pos_ += d;
            count -= d;
            if (pos_ == next_) note();
        }
    }
    // The recurrences as a Rider, if they fit in two vectors (else one that
    // takes no step), and back.
    Rider<VL> mount() const {
        Rider<VL> r;
        for (int v = 0; v < 2; ++v) {
            const int a = v * VL::size;
            r.c[v] = VL::load(c_ + a), r.s[v] = VL::load(s_ + a);
            r.q[v] = VL::load(q_ + a), r.l[v] = VL::load(l_ + a);
        }
        r.left = active_ > 0 && active_ <= 2 * VL::size ? next_ - pos_ : 0;
        r.taken = 0;
        r.two = active_ > VL::size;
        return r;
    }
    void dismount(const Rider<VL> &r) {
        if (r.taken == 0) return;
        for (int v = 0; v < 2; ++v) r.c[v].store(c_ + v * VL::size), r.s[v].store(s_ + v * VL::size);
        pos_ += r.taken;
        if (pos_ == next_) note();
    }
    // A rider at a note (no step left after some taken): the note made, on
    // to the next. Passes call it between groups, where it costs little.
    // (The call takes a copy: a rider whose address reaches a call is kept
    // in memory throughout, each of its steps loading and storing it.)
    void renew(Rider<VL> &r) {
        if (__builtin_expect(r.left == 0 && r.taken > 0, 0)) {
            Rider<VL> held = r;
            remount(held);
            r = held;
        }
    }
    // The same, and where the recurrences are too many to ride, `count`
    // positions here instead.
    void renew_or_run(Rider<VL> &r, Index count) {
        if (__builtin_expect(r.left == 0 && (r.taken > 0 || active_ > 0), 0)) {
            if (r.taken == 0) run(count);
            Rider<VL> held = r;
            remount(held);
            r = held;
        }
    }
    __attribute__((noinline)) void remount(Rider<VL> &r) {
        dismount(r);
        r = mount();
    }
    // On to position `to` (or as far as any job needs).
    void run_to(Index to) {
        if (to > pos_) run(to - pos_);
    }

private:
    static constexpr int kMax = 80;
    const Prerun *jobs_;
    Index pos_ = 0, next_ = 0;
    int active_ = 0, slot_[kMax];
    alignas(32) double c_[kMax + 8], s_[kMax + 8], q_[kMax + 8], l_[kMax + 8];

    // At pos_: notes the states due, drops the jobs that are done, packs the
    // rest at the front (idle lanes after them hold (1, 0) and a zero step)
    // and finds the next position where a note is due.
    void note() {
        int kept = 0;
        next_ = pos_;
        for (int a = 0; a < active_; ++a) {
            const Prerun &j = jobs_[slot_[a]];
            const Index at = pos_ - j.offset;  // noted at j.offset + k spacing
            if (at >= 0 && at % j.spacing == 0) j.out[at / j.spacing] = Twiddle{c_[a], s_[a]};
            if (at >= (j.count - 1) * j.spacing) continue;
            const Index due = at < 0 ? j.offset : j.offset + (at / j.spacing + 1) * j.spacing;
            if (kept == 0 || due < next_) next_ = due;
            slot_[kept] = slot_[a];
            c_[kept] = c_[a], s_[kept] = s_[a], q_[kept] = q_[a], l_[kept] = l_[a];
            ++kept;
        }
        active_ = kept;
        // Two vectors' worth from the first idle lane: a fixed count, so
        // plain stores rather than library calls.
        double *c = c_ + kept, *s = s_ + kept, *q = q_ + kept, *l = l_ + kept;
        for (int i = 0; i < 2 * VL::size; ++i) c[i] = 1.0, s[i] = q[i] = l[i] = 0.0;
    }
};

// The whole transform after the checks: bit reversal, then the passes, with
// the recurrences running ahead between them. Passes whose lanes would not
// fill (fewer groups than lanes, and h below the lane count) run in plain
// code.
template <typename V, typename T>
void transform(T *x, Index n, int stages, int direction, Prerun *extra, double angle) {
    using VL = typename V::Lanes;
    Transform plan;
    const bool first3 = stages >= kFirst3Min;
    const Index reach = extra ? extra->offset + (extra->count - 1) * extra->spacing : 0;
    Rotation step;
    plan_transform(plan, n, stages, sizeof(T), V::width, sizeof(T) == 8 && V::Lanes::size > 1,
                   adjacent_lanes<V>(), first3, direction, reach, extra ? &angle : nullptr, &step);
    if (extra) {  // its step, starting one step from (1, 0): (1 + q, l) exactly
        extra->q = step.step_cm1, extra->l = step.step_sin;
        extra->start = Twiddle{1.0 + step.step_cm1, step.step_sin};
        plan.jobs[plan.njobs++] = *extra;
    }
    // The tabulated passes' twiddles, once for all blocks, all recurrences
    // side by side.
    // Tabulated passes have h from 8 (after the bit reversal's three stages;
    // below 1 only in transforms of at most 64 points) up to kTableMax = 64,
    // tables of h and 2h twiddles (and 4h in a pass of three): at most
    // 8 + 16 + 32 + 64 + 128 = 248 twiddles, four doubles each at most.
    static_assert(kTableMax == 64, "table size below");
    double tables[4 * 256];
    const double *ta[32], *tb[32], *tc[32];  // set for the tabulated passes only
    TableJob jobs[16];
    int njobs = 0;
    double *free = tables;
    // A chain longer than kTableMax (stage B's 2h = 128 of a pass at h =
    // kTableMax, one per transform at most) is tabulated in two halves side
    // by side, the second from the state the recurrences running ahead note
    // at its middle: half the latency. The bit reversal's loops take them
    // that far; they renew at each column group, so that stopping at the
    // note costs them few steps (each step lost there is one the passes
    // after it cannot make up, and is run alone before the wide passes).
    Twiddle middle[1];
    int nmiddle = 0;
    Index reach_middle = 0;
    auto table = [&](double q, double l, Index count) {
        double *out = free;
        free += count / V::width * table_doubles<V>();
        if (count <= kTableMax || !first3 || nmiddle == 1) {
            jobs[njobs++] = {q, l, count, out, nullptr};
            return out;
        }
        const Index half = count / 2;
        Twiddle *mid = &middle[nmiddle++];
        plan.jobs[plan.njobs++] = {q, l, Twiddle{1.0, 0.0}, half, half, 1, mid};
        if (half > reach_middle) reach_middle = half;
        jobs[njobs++] = {q, l, half, out, nullptr};
        jobs[njobs++] = {q, l, half, out + half / V::width * table_doubles<V>(), mid};
        return out;
    };
    // The jobs come shortest first, as tabulate wants them: a pass's tables
    // grow (h, 2h, 4h), and the next pass's first is no shorter than its
    // last (its h is at least the last table's length).
    for (int k = 0; k < plan.npasses; ++k) {
        const PassPlan &p = plan.passes[k];
        if (p.mode != PassMode::table) continue;
        ta[k] = table(p.qa, p.la, p.h);
        tb[k] = p.two_stages || p.three_stages ? table(p.qb, p.lb, 2 * p.h) : nullptr;
        tc[k] = p.three_stages ? table(p.qc, p.lc, 4 * p.h) : nullptr;
    }
    Ahead<VL> ahead(plan.jobs, plan.njobs);
    // The tabulated passes renew their rider where a pass in adjacent mode
    // follows, which needs states from further ahead.
    Ahead<VL> *renew = nullptr;
    for (int k = 0; k < plan.npasses; ++k)
        if (plan.passes[k].mode == PassMode::adjacent) renew = &ahead;
    if (first3) {
        Rider<VL> rider = ahead.mount();
        reverse_first3<V>(x, stages, plan.first3, rider, ahead);
        ahead.dismount(rider);
    } else {
        bit_reverse(x, stages);
    }
    ahead.run_to(reach_middle);
    Rider<VL> rider = ahead.mount();
    tabulate_all<V, false>(jobs, njobs, rider);
    ahead.dismount(rider);
    auto run = [&](T *at, Index span, int k) {
        const PassPlan &p = plan.passes[k];
        ahead.run_to(p.need);
        Rider<VL> rider = ahead.mount();
        switch (p.mode) {
        case PassMode::plain: pass_run<Complex1<T>>(at, span, p, rider, ahead); break;
        case PassMode::adjacent:
            if constexpr (adjacent_lanes<V>()) adjacent_run<V>(at, span, p, rider, ahead);
            break;
        case PassMode::table:
            if (p.three_stages)
                table_pass3_run<V>(at, span, p, ta[k], tb[k], tc[k], rider, renew);
            else
                table_pass_run<V>(at, span, p, ta[k], tb[k], rider, renew);
            break;
        default: pass_run<V>(at, span, p, rider, ahead);
        }
        ahead.dismount(rider);
    };
    for (Index b = 0; b < n; b += plan.block)
        for (int k = 0; k < plan.inner; ++k) run(x + 2 * b, plan.block, k);
    for (int k = plan.inner; k < plan.npasses; ++k) run(x, n, k);
    ahead.run(n);  // whatever is left of `extra`
}

// Stages 1 to 3 of a small transform after its bit reversal: the groups of
// 8 adjacent points, V::width groups side by side in the lanes, one batch of
// them per ride, so that tabulate interleaves them with the steps of the
// later stages' recurrences (whose latency they hide behind).
template <typename V, typename T>
struct SmallFirst3 {
    static constexpr bool always = true;
    T *x;
    Index next, end;  // the next batch's first point; n
    const Copies<V> *w;
    int every, tick;  // a batch every `every` rides

    // (Inlined: a call would spill the recurrences' registers around it.)
    inline __attribute__((always_inline)) void batch() {
        V y[8];
        for (int k = 0; k < 8; ++k) y[k] = V::load(x + 2 * (next + k), 16);
        three_stages_on(y, w);
        for (int k = 0; k < 8; ++k) y[k].store(x + 2 * (next + k), 16);
        next += 8 * V::width;
    }
    inline __attribute__((always_inline)) void ride() {
        if (next < end && ++tick == every) tick = 0, batch();
    }
    void finish() {
        while (next < end) batch();
    }
};

// Stages 1 to 3's twiddles, each in every lane: stage 1's, stage 2's two,
// stage 3's four, in the order three_stages_on takes them.
template <typename V>
void first3_copies(const Rotation *rotation, Copies<V> *w) {
    for (int s = 1, j = 0; s <= 3; ++s) {
        Rotation r = rotation[s];
        for (Index k = 0; k < (Index(1) << (s - 1)); ++k, r.advance())
            w[j++] = Copies<V>::all(Twiddle{r.c, r.s});
    }
}

// 8, 16 or 32 points (stages 3 to 5) with vectors of two values, in
// registers. 8 points: both lanes of vector k hold the point k of the
// bit-reversed order (loaded twice from its place), stages 1 to 3 run on the
// eight vectors, and each vector's lanes, equal, are stored to the same
// place. 16 and 32 points, in registers but for one transposition: in the
// bit-reversed order, vector k of batch b
// holds the points 16b + k and 16b + k + 8, which come from points 2 or 1
// apart (5-bit rev(16b + k + 8) = rev(16b + k) + 2; 4-bit, + 1): one load
// per vector does the bit reversal. Stages 1 to 3 run on the eight vectors
// of a batch. Stage 4 pairs each vector's two lanes, so the lanes go through
// memory once (store_adjacent; the first of two batches to a buffer, as the
// second still reads the array), coming back as vectors of the points
// (2j, 2j + 1) and (2j + 8, 2j + 9) of each batch; stage 4 runs on those,
// and for 32 points stage 5 on the same vectors of both batches. The later
// stages' twiddles come from their recurrences, stepped while stages 1 to 3
// run. With extra, the caller's recurrence is noted step by step too.
template <typename V, int stages, typename T>
void transform_registers(T *x, int direction, Prerun *extra, double angle) {
    static_assert(V::width == 2 && stages >= 3 && stages <= 5, "two values per vector");
    constexpr int batches = stages == 5 ? 2 : 1;  // groups of 16 points (stages 4, 5)
    StageRotations steps;
    const Rotation *rotation = steps.at;
    Rotation extra_step;
    stage_rotations(stages, direction, steps.at, extra ? &angle : nullptr, &extra_step);
    if (extra) note_extra(*extra, extra_step);
    Copies<V> w[7];
    first3_copies(rotation, w);
    if constexpr (stages == 3) {
        V y[8];
        for (int k = 0; k < 8; ++k) y[k] = V::load(x + 2 * reverse_bits(std::uint32_t(k), 3), 0);
        three_stages_on(y, w);
        for (int k = 0; k < 8; ++k) y[k].store(x + 2 * k, 0);
        return;
    }
    // Stages 4 and 5's twiddles, their recurrences stepped in pieces between
    // the batches, so that the butterflies fill the steps' latency.
    Twiddle w4[8], w5[16];
    Rotation r4 = rotation[4], r5 = rotation[5];
    int k4 = 0, k5 = 0;
    auto twiddles_to = [&](int e4, int e5) {
        for (; k4 < e4; ++k4, r4.advance()) w4[k4] = Twiddle{r4.c, r4.s};
        if constexpr (stages == 5)
            for (; k5 < e5; ++k5, r5.advance()) w5[k5] = Twiddle{r5.c, r5.s};
    };
    twiddles_to(4, 6);
    T buffer[batches > 1 ? 32 : 1];
    T *stage3[2] = {batches > 1 ? buffer : x, x + 32};  // each batch's 16 points
    // (Unrolled: every index a constant, every vector in a register.)
#pragma GCC unroll 2
    for (int b = 0; b < batches; ++b) {
        V y[8];
#pragma GCC unroll 8
        for (int k = 0; k < 8; ++k) {
            const std::uint32_t p = reverse_bits(std::uint32_t(16 * b + k), stages);
            const std::uint32_t q = reverse_bits(std::uint32_t(16 * b + k + 8), stages);
            y[k] = V::load(x + 2 * p, 2 * (q - p));
        }
        three_stages_on(y, w);
#pragma GCC unroll 4
        for (int j = 0; j < 4; ++j)
            V::store_adjacent(y[2 * j], y[2 * j + 1], stage3[b] + 4 * j, 16);
        twiddles_to(8, b == 0 ? 11 : 16);
    }
#pragma GCC unroll 4
    for (int j = 0; j < 4; ++j) {
        const Copies<V> c4(w4 + 2 * j);
        V a[2], bb[2];
#pragma GCC unroll 2
        for (int b = 0; b < batches; ++b) {
            const V a0 = V::load(stage3[b] + 4 * j, 2);
            const V u = V::twiddled(V::load(stage3[b] + 4 * j + 16, 2), c4.c, c4.s);
            a[b] = a0 + u, bb[b] = a0 - u;
        }
        if constexpr (stages == 5) {
            const Copies<V> ca(w5 + 2 * j), cb(w5 + 8 + 2 * j);
            const V ua = V::twiddled(a[1], ca.c, ca.s), ub = V::twiddled(bb[1], cb.c, cb.s);
            (a[0] + ua).store(x + 4 * j, 2);
            (a[0] - ua).store(x + 32 + 4 * j, 2);
            (bb[0] + ub).store(x + 16 + 4 * j, 2);
            (bb[0] - ub).store(x + 48 + 4 * j, 2);
        } else {
            a[0].store(x + 4 * j, 2);
            bb[0].store(x + 16 + 4 * j, 2);
        }
    }
}

// A transform of 2^stages points, 16 <= n < kSmall (or 8 where vectors hold
// two values), without the run ahead's
// set-up: the bit reversal, stages 1 to 3 in registers on groups of 8 while
// the later stages' recurrences are tabulated side by side, then those
// stages in tabulated passes.
// With_extra: the caller's recurrence `extra` too (else null), tabulated
// with the stages' and noted from its table.
template <typename V, bool with_extra, typename T>
void small_transform(T *x, Index n, int stages, int direction, Prerun *extra, double angle) {
    static_assert(V::width <= 2, "groups of 8 fill the lanes from 16 points");
    if constexpr (V::width == 2)
        if (n <= 32) {
            Prerun *job = with_extra ? extra : nullptr;
            if (n == 8) return transform_registers<V, 3>(x, direction, job, angle);
            if (n == 16) return transform_registers<V, 4>(x, direction, job, angle);
            return transform_registers<V, 5>(x, direction, job, angle);
        }
    StageRotations steps;
    const Rotation *rotation = steps.at;
    Rotation extra_step;
    stage_rotations(stages, direction, steps.at, with_extra ? &angle : nullptr, &extra_step);
    bit_reverse(x, stages);
    Copies<V> w[7];
    first3_copies(rotation, w);
    // Tables of stages 4 .. stages: 8, 16, .. twiddles, shortest first; and
    // of the caller's recurrence as far as it is to be noted (within n, the
    // real transform's pass), in its place by length.
    constexpr Index e = table_doubles<V>();
    double tables[(2 * kSmall - 8) / V::width * e + e];
    TableJob jobs[16];
    const double *t[8];
    int njobs = 0;
    double *free = tables;
    const Index extra_count = with_extra ? extra_reach(*extra) + 1 : 0;
    double *extra_table = nullptr;
    if constexpr (with_extra) start_extra(*extra, extra_step);
    for (int s = 4; s <= stages + 1; ++s) {
        const Index count = Index(1) << (s - 1);
        if (with_extra && extra_table == nullptr && (extra_count <= count || s > stages)) {
            extra_table = free;
            jobs[njobs++] = {extra->q, extra->l, extra_count, free, &extra->start};
            free += (extra_count + V::width - 1) / V::width * e;
        }
        if (s > stages) break;
        jobs[njobs] = {rotation[s].step_cm1, rotation[s].step_sin, count, free, nullptr};
        t[s - 4] = free;
        ++njobs;
        free += count / V::width * e;
    }
    // A batch every `every` steps of the longest recurrence, all done in its
    // first half.
    const Index batches = n / (8 * V::width), every = jobs[njobs - 1].count / 2 / batches;
    SmallFirst3<V, T> first3{x, 0, n, w, int(every > 0 ? every : 1), 0};
    tabulate_all<V, with_extra>(jobs, njobs, first3);
    first3.finish();
    if constexpr (with_extra) {  // its states, from its table
        constexpr Index per = V::parts * V::Lanes::size / V::width;
        for (Index k = 0; k < extra->count; ++k) {
            const Index p = extra->offset + k * extra->spacing;
            const double *v = extra_table + p / V::width * e + p % V::width * per;
            extra->out[k] = Twiddle{v[0], v[e / 2]};
        }
    }
    // Stages 4 .. stages: an odd count starts with a pass of three (one if
    // it is 1), then pairs.
    Rider<typename V::Lanes> idle{};  // takes no step (zeros: left = 0)
    Ahead<typename V::Lanes> *none = nullptr;
    for (int s = 4; s <= stages;) {
        PassPlan p;  // the tabulated passes read h and two_stages only
        p.h = Index(1) << (s - 1);
        const int left = stages - s + 1;
        if (left % 2 == 1 && left >= 3) {
            table_pass3_run<V>(x, n, p, t[s - 4], t[s - 3], t[s - 2], idle, none);
            s += 3;
        } else {
            p.two_stages = left % 2 == 0;
            table_pass_run<V>(x, n, p, t[s - 4], p.two_stages ? t[s - 3] : nullptr, idle, none);
            s += p.two_stages ? 2 : 1;
        }
    }
}
