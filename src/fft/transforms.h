// The transforms of each precision under one name, for the routines built on
// them. Calls go through the exported entries, as every call inside the
// library does, except the real FFT's, which has the complex transform run
// its own recurrence ahead (complex_fft_ahead).
#pragma once

#include <cstddef>

#include "kwsig.h"

namespace kwsig {

// A value of a twiddle recurrence: (cos, sin) of the angle reached.
struct Twiddle {
    double c, s;
};

// A recurrence to run ahead (rotation step (q, l) from `start`), and where to
// note the states it reaches at twiddles offset + k spacing, k < count.
struct Prerun {
    double q, l;
    Twiddle start;
    std::ptrdiff_t offset, spacing, count;
    Twiddle *out;
};

inline void complex_fft(float *data, unsigned n, int direction) { kwsig_fft(data, n, direction); }
inline void complex_fft(double *data, unsigned n, int direction) {
    kwsig_fft_double(data, n, direction);
}
inline void real_fft(float *data, unsigned n, int direction) { kwsig_fft_real(data, n, direction); }
inline void real_fft(double *data, unsigned n, int direction) {
    kwsig_fft_real_double(data, n, direction);
}

// The complex FFT (n >= 4), which also runs `job` beside its own recurrences
// (ahead of its passes, or below 256 points tabulated with them where the
// job's last position is below n), so that the caller's pass after it finds
// its starting states noted at no cost in latency. The job's step is Rotation::by(angle), its
// sines taken with the transform's own; it is written into job.q and job.l,
// and the job starts one step from (1, 0), at (1 + q, l).
void complex_fft_ahead(float *data, unsigned n, int direction, Prerun &job, double angle);
void complex_fft_ahead(double *data, unsigned n, int direction, Prerun &job, double angle);

// The forward real FFT (n a power of two, at least 2), which also stores
// the magnitude of each bin 0 < k < n/2 it leaves, as the spectra form it:
// mags[k] = sqrt(data[2k]^2 + data[2k+1]^2), the power rounded to double,
// then its root. Formed in the transform's last pass, whose latency-bound
// recurrence leaves room for the roots. (Double only: in float the
// conversions cost more than the separate pass, measured.)
void real_fft_magnitudes(double *data, unsigned n, double *mags);

}  // namespace kwsig
