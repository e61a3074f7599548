"""Cosine-sum windows and windowed spectra."""

import functools

import numpy as np

from . import _checks as ck
from ._library import lib

__all__ = ["window", "spectrum", "cspectrum", "WINDOWS"]

# Window kinds and the library's selector for each.
WINDOWS = {
    "uniform": 0, "boxcar": 0,
    "hann": 1,
    "low_sidelobe": 2,            # five-term, sidelobes below -125 dB
    "flat_top": 3, "flattop": 3,  # five-term, flat to 0.01 dB across a bin
}
_NORMS = {"mean": 0, "rms": 1}
_MODES = {"magnitude": 0, "power": 1, "db": 2}


def window(kind, n, norm="mean", gain=1.0, dtype=np.float64, out=None):
    """Periodic (DFT-even) cosine-sum window of n samples.

    Parameters
    ----------
    kind : str
        'hann'; 'low_sidelobe' (five terms, sidelobes below -125 dB, for weak
        tones beside strong ones); 'flat_top' or 'flattop' (five terms, gain
        flat to 0.01 dB across a bin, for amplitudes; slightly negative near the
        edges); 'uniform' or 'boxcar'. kwsig.h tabulates their sidelobes, noise
        bandwidths and scalloping losses.
    n : int
        Number of samples, >= 0 (0 gives an empty array). Odd counts get the
        same DFT-even form, centred between samples (n-1)/2 and (n+1)/2.
    norm : {'mean', 'rms'}, optional
        Scale so that the mean, or the root mean square, equals `gain` (the RMS
        form keeps the sign of `gain`).
    gain : float, optional
        Target level (rounded to float32 for the float window).
    dtype : {float64, float32}, optional
        Selects the library's double or float window.
    out : ndarray, optional
        Array of shape (n,) and `dtype` to write into.

    Returns
    -------
    ndarray
        ``factor * W(2 pi |k - n/2| / n)``; for 'hann' this is scipy's
        ``get_window('hann', n)`` scaled to the requested mean or RMS.
    """
    t = ck.choice(kind, "kind", WINDOWS)
    n = ck.integer(n, "n", 0)
    m = ck.choice(norm, "norm", _NORMS)
    gain = ck.real(gain, "gain", finite=False)
    d = ck.float_dtype(dtype)
    res = ck.out_array(out, (n,), d)
    work = ck.work_array(res)
    if n:
        call = lib.kwsig_window if d == np.float32 else lib.kwsig_window_double
        call(ck.address(work), n, t, m, gain)
    return ck.finish(work, res)


@functools.lru_cache(maxsize=16)
def _named_window(kind, n, dtype):
    w = window(kind, n, dtype=dtype)
    w.flags.writeable = False
    return w, w.ctypes.data


def _window_for(win, n, dtype):
    """The window array a spectrum multiplies by (a kind name, None or values), and its address."""
    if win is None:
        win = "uniform"
    if isinstance(win, str):
        ck.choice(win, "window", WINDOWS)
        return _named_window(win.lower(), n, dtype)
    w = ck.vector(ck.real_array(win, "window", dtype), "window", n)
    return w, ck.address(w)


def _spectrum(x, win, mode, out, n, nout, real_dtype, call):
    w, wp = _window_for(win, n, real_dtype)
    m = ck.choice(mode, "mode", _MODES)
    x = np.ascontiguousarray(x)
    res = ck.out_array(out, x.shape[:-1] + (nout,), real_dtype)
    work = ck.work_array(res)
    # One call may write over its own input or window; a later row must not
    # find its input or the window already overwritten by an earlier one.
    if x.size > n and (np.may_share_memory(work, x) or np.may_share_memory(work, w)):
        work = np.empty(res.shape, res.dtype)
    for src, dst in zip(ck.rows(x, x.shape[-1]), ck.rows(work, nout)):
        call(src, dst, wp, n, m)
    return ck.finish(work, res)


def spectrum(x, window="hann", mode="power", out=None):
    """One-sided spectrum of windowed real records, unnormalised.

    Parameters
    ----------
    x : array_like
        Real records of n samples along the last axis, n a power of two >= 2;
        leading axes are separate records. float32/float16 use the float
        twin, every other real dtype float64.
    window : str, None or array_like, optional
        A kind of `window` (generated with unit mean), None for no window, or n
        values (converted to the dtype of `x`).
    mode : {'power', 'magnitude', 'db'}, optional
        ``|X[k]|**2``, ``|X[k]|``, or ``10 log10 |X[k]|**2`` with -500 for an
        empty (or NaN) bin.
    out : ndarray, optional
        Array of shape ``x.shape[:-1] + (n//2 + 1,)`` to write into.

    Returns
    -------
    ndarray
        Bins 0 .. n/2 of ``rfft(x * window)`` in the chosen mode.
    """
    a = ck.real_array(x, "x")
    n = ck.power_of_two(ck.last_axis(a, "x"), "x (its last axis)", 2)
    call = lib.kwsig_spectrum if a.dtype == np.float32 else lib.kwsig_spectrum_double
    return _spectrum(a, window, mode, out, n, n // 2 + 1, a.dtype, call)


def cspectrum(x, window="hann", mode="power", out=None):
    """Two-sided, centred spectrum of windowed complex records, unnormalised.

    Parameters
    ----------
    x : array_like
        Complex records of n points along the last axis, n a power of two
        (1 included); real input is taken as complex. complex64/float32 use the
        float twin, the rest complex128.
    window : str, None or array_like, optional
        As for `spectrum`: n real values multiplying both parts of each point.
    mode : {'power', 'magnitude', 'db'}, optional
        As for `spectrum`.
    out : ndarray, optional
        Real array of the shape of `x` to write into.

    Returns
    -------
    ndarray
        n bins in centred order (``numpy.fft.fftshift`` order): element m
        belongs to frequency m - n/2 bins, element n/2 to zero frequency.
    """
    a = ck.complex_array(x, "x")
    n = ck.power_of_two(ck.last_axis(a, "x"), "x (its last axis)", 1)
    if a.dtype == np.complex64:
        return _spectrum(a, window, mode, out, n, n, np.dtype(np.float32), lib.kwsig_cspectrum)
    return _spectrum(a, window, mode, out, n, n, np.dtype(np.float64), lib.kwsig_cspectrum_double)
