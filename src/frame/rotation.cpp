// Rotation::by for a run of halving angles, the sines four or eight at a time.
#include "frame/rotation.h"

#include "frame/cpu.h"

namespace kwsig {

void Rotation::by_halves(double angle, int count, Rotation *out, const double *other,
                         Rotation *other_out) {
    // x[i] = angle / 2^i (exact halvings) and y[i] its sine, i = 0 .. count:
    // step i's half-angle sine is step i + 1's sine, so count + 1 sines serve;
    // then other's two, of *other and *other / 2.
    double x[40], y[40];
    const int halves = count + 1, m = other ? halves + 2 : halves;
    for (int i = 0; i < halves; ++i, angle *= 0.5) x[i] = angle;
    if (other) x[halves] = *other, x[halves + 1] = 0.5 * *other;
    // A last chunk of fewer than four fills its other lanes with copies of its
    // first argument (each lane's result is its own argument's).
    const int chunks = (m + 3) / 4;
    for (int k = m; k < 4 * chunks; ++k) x[k] = x[4 * (chunks - 1)];
    const bool four = kernel_isa() == Isa::avx2;
    // Two chunks per call where there are two: their latencies overlap.
    for (int k0 = 0; k0 < m; k0 += 8) {
        const bool two = k0 + 4 < m;
        const int left = !four ? 0xFF : two ? math::sin8(x + k0, y + k0) : math::sin4(x + k0, y + k0);
        for (int k = k0; k < k0 + 8 && k < m; ++k)
            if ((left >> (k - k0)) & 1) y[k] = math::sin(x[k]);
    }
    for (int i = 0; i < count; ++i) out[i] = {(-2.0 * y[i + 1]) * y[i + 1], y[i]};
    if (other) *other_out = {(-2.0 * y[halves + 1]) * y[halves + 1], y[halves]};
}

}  // namespace kwsig
