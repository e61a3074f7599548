"""kwsig for Python: the library's exact signal processing over numpy arrays.

Every function returns exactly the bits of the library's C export it wraps
(any reordering or scaling the wrapper adds is exact); the dtype of the input
picks the export's twin: float32 and complex64 (and float16) the float one,
every other numeric dtype the double one.

Fourier transforms, numpy's layouts and scaling
    fft, ifft, rfft, irfft
The library's own transforms, unscaled and packed
    fft_unscaled, rfft_packed, irfft_packed
Windows and spectra
    window, spectrum, cspectrum
Resampling
    Resampler, resample, resampler_response
FIR filters
    FirFilter, fir_response, fir_design

Arguments are checked before any library call: a wrong size, a count that is
not a power of two or a rate that is not positive and finite raises ValueError,
a wrong type TypeError, each naming the argument. The library runs without the
GIL, so threads working on separate arrays or objects run in parallel.

``library_path`` tells which library file was loaded (``KWSIG_LIBRARY``
overrides the search).
"""

from ._library import library_path
from ._fft import fft, ifft, rfft, irfft, fft_unscaled, rfft_packed, irfft_packed
from ._spectral import WINDOWS, window, spectrum, cspectrum
from ._resample import Resampler, resample, resampler_response
from ._fir import FirFilter, fir_response, fir_design

__version__ = "0.0.0.3"

__all__ = [
    "fft", "ifft", "rfft", "irfft", "fft_unscaled", "rfft_packed", "irfft_packed",
    "WINDOWS", "window", "spectrum", "cspectrum",
    "Resampler", "resample", "resampler_response",
    "FirFilter", "fir_response", "fir_design",
    "library_path",
]
