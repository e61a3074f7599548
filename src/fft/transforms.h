// The transforms of each precision under one name, for the routines built on
// them. Calls go through the exported entries, as every call inside the
// library does.
#pragma once

#include "kwsig.h"

namespace kwsig {

inline void complex_fft(float *data, unsigned n, int direction) { kwsig_fft(data, n, direction); }
inline void complex_fft(double *data, unsigned n, int direction) {
    kwsig_fft_double(data, n, direction);
}
inline void real_fft(float *data, unsigned n, int direction) { kwsig_fft_real(data, n, direction); }
inline void real_fft(double *data, unsigned n, int direction) {
    kwsig_fft_real_double(data, n, direction);
}

}  // namespace kwsig
