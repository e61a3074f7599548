"""Fast Fourier transforms: numpy's layouts and scaling, and the library's own forms."""

import math

import numpy as np

from . import _checks as ck
from ._library import lib

__all__ = ["fft", "ifft", "rfft", "irfft", "fft_unscaled", "rfft_packed", "irfft_packed"]

_NORMS = {"backward": 0, "forward": 1, "ortho": 2}


def _norm(norm):
    return 0 if norm is None else ck.choice(norm, "norm", _NORMS)


def _scale(norm, n, inverse):
    """Factor numpy's `norm` applies after an unscaled transform of n points."""
    if norm == 2:
        return 1.0 / math.sqrt(n)
    return 1.0 / n if (norm == 1) != inverse else 1.0


def _axis(x, axis):
    """x with `axis` moved last, and the axis to move the result's last axis back to."""
    ck.last_axis(x, "a")
    axis = ck.integer(axis, "axis", None, None)
    if not -x.ndim <= axis < x.ndim:
        raise np.AxisError(axis, x.ndim, "axis")
    if axis in (-1, x.ndim - 1):
        return x, None
    return np.moveaxis(x, axis, -1), axis


def _fill(dst, x, n):
    """The first n values of each row of x into dst, zero-padded."""
    m = min(n, x.shape[-1])
    dst[..., :m] = x[..., :m]
    if m < n:
        dst[..., m:n] = 0


def _rows(work, call, n, direction):
    """The library transform of n points on every row of C-contiguous work."""
    for row in ck.rows(work, work.shape[-1]):
        call(row, n, direction)


def _finish(work, factor, axis, out):
    """numpy's scaling and axis order, into `out` when given."""
    if factor != 1.0:
        work *= factor
    result = work if axis is None else np.moveaxis(work, -1, axis)
    if out is None:
        return result
    ck.out_array(out, result.shape, result.dtype)
    out[...] = result
    return out


def _complex(a, n, axis, norm, out, inverse):
    x, axis = _axis(ck.complex_array(a, "a"), axis)
    n = ck.power_of_two(x.shape[-1] if n is None else n, "n")
    work = np.empty(x.shape[:-1] + (n,), x.dtype)
    _fill(work, x, n)
    _rows(work, lib.kwsig_fft if x.dtype == np.complex64 else lib.kwsig_fft_double, n,
          -1 if inverse else 1)
    return _finish(work, _scale(_norm(norm), n, inverse), axis, out)


def fft(a, n=None, axis=-1, norm=None, out=None):
    """Discrete Fourier transform, as ``numpy.fft.fft``.

    Parameters
    ----------
    a : array_like
        Input values, real or complex. complex64, float32 and float16 use the
        library's float transform and give complex64; every other numeric dtype
        is converted to complex128 and uses the double transform.
    n : int, optional
        Number of points, a power of two (1 included); ``a`` is cropped or
        padded with zeros along `axis`. Default: its length, which must then be
        a power of two.
    axis : int, optional
        Axis to transform (default: the last).
    norm : {None, 'backward', 'forward', 'ortho'}, optional
        numpy's scaling: 'backward' (default) scales nothing forward.
    out : ndarray, optional
        Array of the result's shape and dtype to write into.

    Returns
    -------
    ndarray
        ``X[k] = sum_p a[p] exp(-2j pi p k / n)`` along `axis`.

    Raises
    ------
    ValueError
        When n is not a power of two or `axis` is out of range.
    TypeError
        For non-numeric input or a mismatching `out`.

    See Also
    --------
    fft_unscaled : the library's transform as it stands, in place if asked.
    """
    return _complex(a, n, axis, norm, out, False)


def ifft(a, n=None, axis=-1, norm=None, out=None):
    """Inverse discrete Fourier transform, as ``numpy.fft.ifft`` (divides by n).

    Parameters
    ----------
    a, n, axis, norm, out
        As for `fft`.

    Returns
    -------
    ndarray
        ``x[p] = (1/n) sum_k a[k] exp(+2j pi p k / n)`` along `axis` with
        norm='backward'. The division by a power of two is exact: the values are
        the library's unscaled inverse divided by n without a further rounding.
    """
    return _complex(a, n, axis, norm, out, True)


def rfft(a, n=None, axis=-1, norm=None, out=None):
    """Transform of real input, as ``numpy.fft.rfft``: the n/2 + 1 bins 0 .. n/2.

    Parameters
    ----------
    a : array_like
        Real values; float32 and float16 give complex64 (float transform), every
        other real dtype complex128. Complex input raises TypeError.
    n : int, optional
        Number of points, a power of two of at least 2 (cropping or zero-padding
        `a` along `axis`). Default: the length of `a` along `axis`.
    axis : int, optional
        Axis to transform (default: the last).
    norm : {None, 'backward', 'forward', 'ortho'}, optional
        numpy's scaling; 'backward' (default) scales nothing.
    out : ndarray, optional
        Array of the result's shape and dtype to write into.

    Returns
    -------
    ndarray
        Complex bins ``X[0] .. X[n/2]``; bins 0 and n/2 have imaginary part 0.

    See Also
    --------
    rfft_packed : the library's packed half-spectrum of n real values.
    """
    x, axis = _axis(ck.real_array(a, "a"), axis)
    n = ck.power_of_two(x.shape[-1] if n is None else n, "n", 2)
    ctype = np.complex64 if x.dtype == np.float32 else np.complex128
    work = np.empty(x.shape[:-1] + (n // 2 + 1,), ctype)
    flat = work.view(x.dtype)                     # n + 2 reals per row
    _fill(flat, x, n)
    _rows(work, lib.kwsig_fft_real if x.dtype == np.float32 else lib.kwsig_fft_real_double, n, 1)
    # Packed (X0, Xn/2, X1 ...) becomes (X0, 0, X1 ..., Xn/2, 0): bins 1 .. n/2-1
    # already sit where numpy wants them.
    flat[..., n] = flat[..., 1]
    flat[..., 1] = 0
    flat[..., n + 1] = 0
    return _finish(work, _scale(_norm(norm), n, False), axis, out)


def irfft(a, n=None, axis=-1, norm=None, out=None):
    """Inverse of `rfft`, as ``numpy.fft.irfft``: n real values from n/2 + 1 bins.

    Parameters
    ----------
    a : array_like
        Bins 0 .. n/2 (complex; real input is taken as complex). complex64 and
        float32 give float32, everything else float64. The imaginary parts of
        bins 0 and n/2 are ignored; missing bins count as zero, extra ones are
        dropped.
    n : int, optional
        Length of the output, a power of two of at least 2. Default
        ``2 * (len(a) - 1)`` along `axis`.
    axis, norm, out
        As for `rfft`; with norm='backward' the result is divided by n.

    Returns
    -------
    ndarray
        Real sequence of length n whose `rfft` is `a`. The library's inverse
        gives n/2 times this sequence; the factor 2/n is a power of two, applied
        exactly.
    """
    x, axis = _axis(ck.complex_array(a, "a"), axis)
    m = x.shape[-1]
    if n is None:
        n = ck.power_of_two(2 * (m - 1), "n (by default 2 * (bins - 1))", 2)
    n = ck.power_of_two(n, "n", 2)
    rtype = np.float32 if x.dtype == np.complex64 else np.float64
    work = np.zeros(x.shape[:-1] + (n,), rtype)
    h = n // 2
    work[..., 0] = x[..., 0].real
    if m > h:
        work[..., 1] = x[..., h].real
    j = min(m, h)
    work[..., 2:2 * j:2] = x[..., 1:j].real
    work[..., 3:2 * j:2] = x[..., 1:j].imag
    _rows(work, lib.kwsig_fft_real if rtype is np.float32 else lib.kwsig_fft_real_double, n, -1)
    return _finish(work, 2.0 * _scale(_norm(norm), n, True), axis, out)


def fft_unscaled(a, direction=1, out=None):
    """The library's complex FFT as it stands: unscaled, along the last axis.

    Parameters
    ----------
    a : array_like
        Complex points (reals are promoted); complex64/float32 use the float
        transform, the rest complex128. The last axis has N points, a power of
        two (1 included); leading axes are transformed row by row.
    direction : int, optional
        1 forward ``exp(-2j pi pk/N)``, -1 inverse ``exp(+2j pi pk/N)``. The
        library multiplies every twiddle angle by it, so other values (0: all
        twiddles 1) give no Fourier transform.
    out : ndarray, optional
        Result array; passing `a` itself (C-contiguous, of the twin's dtype)
        transforms in place.

    Returns
    -------
    ndarray
        The transform, not divided by N: inverse after forward gives N times
        the input.
    """
    x = ck.complex_array(a, "a")
    n = ck.power_of_two(ck.last_axis(x, "a"), "a (its last axis)")
    direction = ck.integer(direction, "direction", -2**31)
    res = ck.out_array(out, x.shape, x.dtype)
    work = ck.work_array(res)
    if work is not x:
        work[...] = x
    _rows(work, lib.kwsig_fft if x.dtype == np.complex64 else lib.kwsig_fft_double, n, direction)
    return ck.finish(work, res)


def _packed(a, out, direction):
    x = ck.real_array(a, "a")
    n = ck.power_of_two(ck.last_axis(x, "a"), "a (its last axis)", 2)
    res = ck.out_array(out, x.shape, x.dtype)
    work = ck.work_array(res)
    if work is not x:
        work[...] = x
    _rows(work, lib.kwsig_fft_real if x.dtype == np.float32 else lib.kwsig_fft_real_double, n,
          direction)
    return ck.finish(work, res)


def rfft_packed(a, out=None):
    """The library's real FFT: n real values to the packed half-spectrum.

    Parameters
    ----------
    a : array_like
        Real values, n a power of two of at least 2 along the last axis
        (float32/float16 use the float transform, the rest float64).
    out : ndarray, optional
        Result array; `a` itself transforms in place.

    Returns
    -------
    ndarray
        n values per row: ``[Re X0, Re X(n/2), Re X1, Im X1, Re X2, Im X2, ...]``,
        unscaled.
    """
    return _packed(a, out, 1)


def irfft_packed(a, out=None):
    """The library's inverse real FFT: packed half-spectrum to n/2 times the sequence.

    Parameters
    ----------
    a : array_like
        Packed half-spectra (the layout of `rfft_packed`), n a power of two of at
        least 2 along the last axis.
    out : ndarray, optional
        Result array; `a` itself transforms in place.

    Returns
    -------
    ndarray
        n/2 times the sequence whose packed spectrum `a` is (no 2/n factor).
    """
    return _packed(a, out, -1)
