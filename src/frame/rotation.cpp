// Rotation::by for a batch of angles, the sines four at a time.
#include "frame/rotation.h"

#include "frame/cpu.h"

namespace kwsig {

void Rotation::by_each(const double *angle, int count, Rotation *out) {
    double x[2 * kBatch], y[2 * kBatch];  // sin(angle / 2), sin(angle) of each
    const int n = 2 * count;
    for (int i = 0; i < count; ++i) x[2 * i] = 0.5 * angle[i], x[2 * i + 1] = angle[i];
    const bool four = kernel_isa() == Isa::avx2;
    for (int i = 0; i < n; i += 4) {
        const int left = four && i + 4 <= n ? math::sin4(x + i, y + i) : 0xF;
        for (int k = 0; k < 4 && i + k < n; ++k)
            if ((left >> k) & 1) y[i + k] = math::sin(x[i + k]);
    }
    for (int i = 0; i < count; ++i) {
        const double h = y[2 * i];
        out[i] = {(-2.0 * h) * h, y[2 * i + 1]};
    }
}

}  // namespace kwsig
