// The butterfly passes of the complex FFT, written once over a complex vector
// type V (fft_vectors.h) for the butterflies and a lane type VL (lanes.h) for
// the twiddle recurrences; compiled twice by frame/lanes_twice.h (plain and
// SSE2, and AVX2). Needs fft.cpp's declarations: Index, PassPlan, kChunk,
// kMaxChains.
//
// A pass applies one stage (groups of 2h) or two (groups of 2h, then of 4h)
// to a span of points. Two stages run in registers: the four points t, t+h,
// t+2h, t+3h of a group of 4h take both stages' butterflies, each exactly the
// radix-2 butterfly of its stage, before they are stored. Butterflies of one
// stage are independent, so this changes no bit.
//
// The twiddles of a stage are the values of its rotation recurrence, in order.
// Their latency, not their arithmetic, would bound the pass: each step waits
// for the one before. So a pass splits its butterflies into P segments of
// t, and runs one copy of the recurrence per segment (two for the second
// stage: one at t, one at t + h), each started from the state the serial
// recurrence reaches at the segment's first twiddle (fft.cpp's pre-run). A
// copy started from the same state makes the same steps: same bits. The
// copies advance side by side in vector lanes, a chunk of kChunk twiddles at
// a time, written out as the butterflies read them (fft_vectors.h).

// One stage, groups of 2h, butterflies t0 .. t0+len-1 of each group.
template <typename V, typename T>
void stage_run(T *x, Index span, Index h, Index t0, Index len, const double *R, const double *S) {
    for (Index g = 0; g < span; g += 2 * h) {
        T *a = x + 2 * (g + t0), *b = a + 2 * h;
        for (Index i = 0; i < len; i += V::width) {
            const V t = V::twiddled(V::load(b + 2 * i), R + 2 * i, S + 2 * i);
            const V u = V::load(a + 2 * i);
            (u + t).store(a + 2 * i);
            (u - t).store(b + 2 * i);
        }
    }
}

// Two stages, groups of 4h: the first with twiddles (RA, SA) at t, the second
// with (RB0, SB0) at t and (RB1, SB1) at t + h, for t = t0 .. t0+len-1.
template <typename V, typename T>
void stage_pair_run(T *x, Index span, Index h, Index t0, Index len, const double *RA,
                    const double *SA, const double *RB0, const double *SB0, const double *RB1,
                    const double *SB1) {
    for (Index g = 0; g < span; g += 4 * h) {
        T *p0 = x + 2 * (g + t0), *p1 = p0 + 2 * h, *p2 = p1 + 2 * h, *p3 = p2 + 2 * h;
        for (Index i = 0; i < len; i += V::width) {
            const Index k = 2 * i;
            const V t1 = V::twiddled(V::load(p1 + k), RA + k, SA + k);
            const V t3 = V::twiddled(V::load(p3 + k), RA + k, SA + k);
            const V x0 = V::load(p0 + k), x2 = V::load(p2 + k);
            const V y0 = x0 + t1, y1 = x0 - t1, y2 = x2 + t3, y3 = x2 - t3;
            const V u2 = V::twiddled(y2, RB0 + k, SB0 + k);
            const V u3 = V::twiddled(y3, RB1 + k, SB1 + k);
            (y0 + u2).store(p0 + k);
            (y0 - u2).store(p2 + k);
            (y1 + u3).store(p1 + k);
            (y1 - u3).store(p3 + k);
        }
    }
}

// Advances `count` recurrences (a multiple of VL::size) by `len` steps,
// writing the value each has before each step as twiddles: recurrence k's
// step i to R[k][2i], R[k][2i+1] = c and S[k][2i], S[k][2i+1] = -s, s, with
// rows of 2 kChunk doubles. The step is the rotation of frame/rotation.h,
// c' = c + (c q - s l), s' = s + (s q + c l), lane by lane.
template <typename VL>
void chains_run(double *c, double *s, const double *q, const double *l, int count, Index len,
                double *R, double *S) {
    double cs[kChunk][kMaxChains], ss[kChunk][kMaxChains];
    for (int k = 0; k < count; k += VL::size) {
        VL vc = VL::load(c + k), vs = VL::load(s + k);
        const VL vq = VL::load(q + k), vl = VL::load(l + k);
        for (Index i = 0; i < len; ++i) {
            vc.store(&cs[i][k]);
            vs.store(&ss[i][k]);
            const VL c0 = vc;
            vc = c0 + (c0 * vq - vs * vl);
            vs = vs + (vs * vq + c0 * vl);
        }
        vc.store(c + k);
        vs.store(s + k);
    }
    for (int k = 0; k < count; ++k) {
        double *r = R + k * 2 * kChunk, *t = S + k * 2 * kChunk;
        for (Index i = 0; i < len; ++i) {
            r[2 * i] = r[2 * i + 1] = cs[i][k];
            t[2 * i] = -ss[i][k];
            t[2 * i + 1] = ss[i][k];
        }
    }
}

// One pass over `span` points (a multiple of the pass's group size), with the
// butterflies in V and, where a segment is narrower than V, in Complex1.
template <typename V, typename VL, typename T>
void pass_run(T *x, Index span, const PassPlan &pass) {
    const Index h = pass.h, P = pass.segments, seg = h / P;
    const int chains = pass.two_stages ? 3 * int(P) : int(P);
    const int padded = (chains + VL::size - 1) / VL::size * VL::size;
    // Recurrence k: stage A's copy for segment k (k < P), then stage B's
    // copies at t = j seg and at t = h + j seg (P <= k < 3P); idle lanes
    // beyond.
    double c[kMaxChains], s[kMaxChains], q[kMaxChains], l[kMaxChains];
    for (int k = 0; k < padded; ++k) {
        const bool a = k < P;
        const ChainStart *from = k >= chains ? nullptr : a ? pass.a + k : pass.b + (k - P);
        c[k] = from ? from->c : 1.0;
        s[k] = from ? from->s : 0.0;
        q[k] = a ? pass.qa : pass.qb;
        l[k] = a ? pass.la : pass.lb;
    }
    alignas(32) double R[kMaxChains * 2 * kChunk], S[kMaxChains * 2 * kChunk];
    const Index chunk = seg < kChunk ? seg : kChunk;
    for (Index i0 = 0; i0 < seg; i0 += chunk) {
        chains_run<VL>(c, s, q, l, padded, chunk, R, S);
        for (Index j = 0; j < P; ++j) {
            const Index t0 = j * seg + i0;
            const double *RA = R + j * 2 * kChunk, *SA = S + j * 2 * kChunk;
            if (!pass.two_stages) {
                if (chunk >= V::width)
                    stage_run<V>(x, span, h, t0, chunk, RA, SA);
                else
                    stage_run<Complex1<T>>(x, span, h, t0, chunk, RA, SA);
                continue;
            }
            const Index b0 = (P + j) * 2 * kChunk, b1 = (2 * P + j) * 2 * kChunk;
            if (chunk >= V::width)
                stage_pair_run<V>(x, span, h, t0, chunk, RA, SA, R + b0, S + b0, R + b1, S + b1);
            else
                stage_pair_run<Complex1<T>>(x, span, h, t0, chunk, RA, SA, R + b0, S + b0, R + b1,
                                            S + b1);
        }
    }
}

// Runs the recurrences of `jobs` ahead, side by side in lanes, noting the
// states each reaches at its multiples of its spacing (Prerun). Between two
// notes, every recurrence still needed advances the same number of steps.
template <typename VL>
void prerun(Prerun *jobs, int njobs) {
    Index end = 0;
    for (int k = 0; k < njobs; ++k) {
        const Index need = (jobs[k].count - 1) * jobs[k].spacing;
        if (need > end) end = need;
    }
    constexpr int kMax = 64;
    double c[kMax], s[kMax], q[kMax], l[kMax];
    for (int k = 0; k < njobs; ++k) {
        c[k] = 1.0;
        s[k] = 0.0;
    }
    for (Index i = 0;;) {
        Index next = end;
        int active = 0;  // the ones still stepping, packed at the front
        int slot[kMax];
        for (int k = 0; k < njobs; ++k) {
            const Prerun &j = jobs[k];
            if (i % j.spacing == 0 && i / j.spacing < j.count) j.out[i / j.spacing] = {c[k], s[k]};
            if (i < (j.count - 1) * j.spacing) {
                const Index mult = (i / j.spacing + 1) * j.spacing;
                if (mult < next) next = mult;
                slot[active++] = k;
            }
        }
        if (active == 0) break;
        double pc[kMax], ps[kMax];
        for (int a = 0; a < active; ++a) {
            pc[a] = c[slot[a]];
            ps[a] = s[slot[a]];
            q[a] = jobs[slot[a]].q;
            l[a] = jobs[slot[a]].l;
        }
        const int padded = (active + VL::size - 1) / VL::size * VL::size;
        for (int a = active; a < padded; ++a) pc[a] = 1.0, ps[a] = q[a] = l[a] = 0.0;
        // Four vectors of recurrences at a time, held in registers.
        for (int a0 = 0; a0 < padded; a0 += 4 * VL::size) {
            const int nv = (padded - a0) / VL::size < 4 ? (padded - a0) / VL::size : 4;
            VL vc[4], vs[4], vq[4], vl[4];
            for (int v = 0; v < nv; ++v) {
                const int a = a0 + v * VL::size;
                vc[v] = VL::load(pc + a), vs[v] = VL::load(ps + a);
                vq[v] = VL::load(q + a), vl[v] = VL::load(l + a);
            }
            for (Index m = i; m < next; ++m)
                for (int v = 0; v < nv; ++v) {
                    const VL c0 = vc[v];
                    vc[v] = c0 + (c0 * vq[v] - vs[v] * vl[v]);
                    vs[v] = vs[v] + (vs[v] * vq[v] + c0 * vl[v]);
                }
            for (int v = 0; v < nv; ++v) {
                vc[v].store(pc + a0 + v * VL::size);
                vs[v].store(ps + a0 + v * VL::size);
            }
        }
        for (int a = 0; a < active; ++a) {
            c[slot[a]] = pc[a];
            s[slot[a]] = ps[a];
        }
        i = next;
    }
}
