"""Argument checks and conversions shared by every wrapper.

Each check raises TypeError (wrong kind of object) or ValueError (right kind,
unusable value) with the argument's name first, so no library call ever sees
an array shorter than its contract or a count it does not accept.

Precision: float16 and float32 (complex64 for complex data) select the float
twin of an export; every other numeric dtype (bool, integers, float64,
longdouble, complex128, clongdouble) selects the double twin, integers and
longdouble values converted as ``numpy.asarray(x, float64)`` would.
"""

import ctypes
import math
import numbers
import operator

import numpy as np

INT_MAX = 2**31 - 1
_SINGLE = (np.dtype(np.float16), np.dtype(np.float32), np.dtype(np.complex64))


def integer(value, name, minimum=None, maximum=INT_MAX):
    """`value` as a Python int within [minimum, maximum]."""
    if isinstance(value, (bool, np.bool_)):
        raise TypeError("%s: expected an integer, got a bool" % name)
    try:
        n = operator.index(value)
    except TypeError:
        raise TypeError("%s: expected an integer, got %s" % (name, type(value).__name__)) from None
    if minimum is not None and n < minimum:
        raise ValueError("%s: must be at least %d, got %d" % (name, minimum, n))
    if maximum is not None and n > maximum:
        raise ValueError("%s: must be at most %d, got %d" % (name, maximum, n))
    return n


def real(value, name, finite=True):
    """`value` as a Python float (a real number, not a bool)."""
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Real):
        raise TypeError("%s: expected a real number, got %s" % (name, type(value).__name__))
    v = float(value)
    if finite and not math.isfinite(v):
        raise ValueError("%s: must be finite, got %r" % (name, v))
    return v


def power_of_two(n, name, minimum=1, maximum=2**30):
    n = integer(n, name)
    if n < minimum or n > maximum or n & (n - 1):
        raise ValueError("%s: must be a power of two from %d to %d, got %d"
                         % (name, minimum, maximum, n))
    return n


def choice(value, name, options):
    """The entry of dict `options` that string `value` names."""
    if not isinstance(value, str):
        raise TypeError("%s: expected one of %s, got %s" % (name, ", ".join(map(repr, options)),
                                                            type(value).__name__))
    try:
        return options[value.lower()]
    except KeyError:
        raise ValueError("%s: expected one of %s, got %r" % (name, ", ".join(map(repr, options)),
                                                             value)) from None


def numeric(a, name):
    """np.asarray(a), refusing anything that is not numbers."""
    try:
        x = np.asarray(a)
    except Exception as e:  # ragged nesting and the like
        raise TypeError("%s: not an array of numbers (%s)" % (name, e)) from None
    if x.dtype.kind not in "biufc":
        raise TypeError("%s: expected numbers, got an array of dtype %s" % (name, x.dtype))
    return x


def float_dtype(dtype, name="dtype"):
    """np.float32 or np.float64 from a dtype argument."""
    try:
        d = np.dtype(dtype)
    except TypeError:
        raise TypeError("%s: not a dtype: %r" % (name, dtype)) from None
    if d not in (np.dtype(np.float32), np.dtype(np.float64)):
        raise TypeError("%s: float32 or float64, got %s" % (name, d))
    return d


def single(x):
    """True when array x selects the float twin."""
    return x.dtype in _SINGLE


_FLOATS = (np.dtype(np.float32), np.dtype(np.float64))


def real_array(a, name, dtype=None):
    """A real array of the twin's type (of `dtype` when given), not yet contiguous."""
    if type(a) is np.ndarray and (a.dtype == dtype if dtype is not None else a.dtype in _FLOATS):
        return a
    x = numeric(a, name)
    if x.dtype.kind == "c":
        raise TypeError("%s: expected real values, got %s" % (name, x.dtype))
    if dtype is None:
        dtype = np.float32 if single(x) else np.float64
    return x.astype(dtype, copy=False)


def complex_array(a, name):
    """A complex array of the twin's type (complex64 or complex128); reals are promoted."""
    x = numeric(a, name)
    return x.astype(np.complex64 if single(x) else np.complex128, copy=False)


def vector(x, name, length=None, minimum=0):
    """Contiguous 1-D array x, `length` long when given."""
    if x.ndim != 1:
        raise ValueError("%s: expected a 1-D array, got %d dimensions" % (name, x.ndim))
    if length is not None and x.shape[0] != length:
        raise ValueError("%s: expected %d values, got %d" % (name, length, x.shape[0]))
    if x.shape[0] < minimum:
        raise ValueError("%s: expected at least %d values, got %d" % (name, minimum, x.shape[0]))
    if x.shape[0] > INT_MAX:
        raise ValueError("%s: at most %d values" % (name, INT_MAX))
    return np.ascontiguousarray(x)


def last_axis(x, name):
    """Number of points along the last axis of x, which needs at least one dimension."""
    if x.ndim == 0:
        raise ValueError("%s: expected an array, got a scalar" % name)
    return x.shape[-1]


def out_array(out, shape, dtype):
    """A fresh C-contiguous result array, or the caller's `out` after checking it."""
    if out is None:
        return np.empty(shape, dtype)
    if not isinstance(out, np.ndarray):
        raise TypeError("out: expected a numpy array, got %s" % type(out).__name__)
    if out.dtype != dtype:
        raise TypeError("out: expected dtype %s, got %s" % (np.dtype(dtype), out.dtype))
    if out.shape != tuple(shape):
        raise ValueError("out: expected shape %s, got %s" % (tuple(shape), out.shape))
    if not out.flags.writeable:
        raise ValueError("out: array is read-only")
    return out


def work_array(out):
    """Where the library may write: `out` itself when C-contiguous, else a scratch array
    copied into `out` by `finish`."""
    return out if out.flags.c_contiguous else np.empty(out.shape, out.dtype)


def finish(work, out):
    if work is not out:
        out[...] = work
    return out


def address(x):
    """Address of the first value of C-contiguous x (the quicker route when writeable)."""
    if x.flags.writeable:
        return ctypes.addressof(ctypes.c_char.from_buffer(x)) if x.size else x.ctypes.data
    return x.ctypes.data


def rows(x, n):
    """Addresses of the rows of C-contiguous x viewed as (-1, n)."""
    if x.ndim == 1:
        return (address(x),)
    base = address(x)
    return range(base, base + x.size * x.itemsize, n * x.itemsize) if x.size else ()


def grid(freqs, name="freqs"):
    """(start, stop, npoints, shape) of an evenly spaced frequency grid.

    `freqs` is an int n (n points from 0 to 0.5 cycles per sample, both
    included), a real scalar, or a 1-D array of evenly spaced frequencies
    (ascending, descending or all equal), which the library evaluates on the grid
    from freqs[0] to freqs[-1]."""
    if isinstance(freqs, numbers.Integral) and not isinstance(freqs, (bool, np.bool_)):
        n = integer(freqs, name, 0)
        return 0.0, 0.5, n, (n,)
    f = numeric(freqs, name)
    if f.dtype.kind == "c":
        raise TypeError("%s: expected real frequencies, got %s" % (name, f.dtype))
    f = f.astype(np.float64, copy=False)
    if f.ndim > 1:
        raise ValueError("%s: expected a 1-D array, got %d dimensions" % (name, f.ndim))
    if f.size > INT_MAX:
        raise ValueError("%s: at most %d frequencies" % (name, INT_MAX))
    if not np.all(np.isfinite(f)):
        raise ValueError("%s: frequencies must be finite" % name)
    if f.size == 0:
        return 0.0, 0.0, 0, f.shape
    flat = f.reshape(-1)
    start, stop, n = float(flat[0]), float(flat[-1]), flat.size
    if n > 2:
        even = start + (stop - start) * (np.arange(n) / (n - 1))
        scale = max(abs(start), abs(stop), abs(stop - start))
        if np.max(np.abs(flat - even)) > 1e-9 * scale:
            raise ValueError("%s: the library evaluates evenly spaced frequencies only"
                             " (like numpy.linspace); got an uneven grid" % name)
    return start, stop, n, f.shape
