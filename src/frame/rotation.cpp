// Rotation::by for a batch of angles, the sines four at a time.
#include "frame/rotation.h"

#include "frame/cpu.h"

namespace kwsig {

void Rotation::by_each(const double *angle, int count, Rotation *out) {
    const bool four = kernel_isa() == Isa::avx2;
    for (int i0 = 0; i0 < count; i0 += 4) {  // four angles: eight sines
        const int m = count - i0 < 4 ? count - i0 : 4;
        double x[8], y[8];  // sin(angle / 2), sin(angle) of each
        for (int i = 0; i < m; ++i) x[2 * i] = 0.5 * angle[i0 + i], x[2 * i + 1] = angle[i0 + i];
        // A last chunk of two sines fills its other lanes with copies of its
        // first argument (each lane's result is its own argument's).
        for (int k = 2 * m; k < 8; ++k) x[k] = x[2 * m - 2];
        for (int k0 = 0; k0 < 2 * m; k0 += 4) {
            const int left = four ? math::sin4(x + k0, y + k0) : 0xF;
            for (int k = k0; k < k0 + 4 && k < 2 * m; ++k)
                if ((left >> (k - k0)) & 1) y[k] = math::sin(x[k]);
        }
        for (int i = 0; i < m; ++i) {
            const double h = y[2 * i];
            out[i0 + i] = {(-2.0 * h) * h, y[2 * i + 1]};
        }
    }
}

}  // namespace kwsig
