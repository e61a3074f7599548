"""FIR filtering, FIR frequency response and least-squares FIR design.

Coefficients are in impulse-response order throughout, as in scipy:
coefficients[d] weights the sample d periods old. The library's filter and
response take them mirrored (its last coefficient weights the newest sample);
the wrappers reverse them, which changes no value.
"""

import math
import threading

import numpy as np

from . import _checks as ck
from ._library import lib

__all__ = ["FirFilter", "fir_response", "fir_design"]


class FirFilter:
    """Streaming FIR filter: ``y[i] = sum_d b[d] x[i - d]``, history carried across blocks.

    Parameters
    ----------
    coefficients : array_like
        Impulse response b[0 .. ntaps-1] (b[0] weights the newest sample), at
        least one value.
    dtype : {None, float32, float64}, optional
        Precision; by default float32 when `coefficients` are float32 or
        float16, else float64. The float filter accumulates in float32.
    state : array_like, optional
        Initial history: the ntaps samples before the stream, oldest first
        (default zeros: the stream starts from silence).

    Notes
    -----
    A stream cut into blocks of any sizes gives bit-identical output to one
    call on the whole stream. Calls on one filter are serialised by a lock;
    separate filters run in parallel in separate threads (the library runs
    without the GIL).

    Examples
    --------
    >>> f = kwsig.FirFilter([0.25, 0.5, 0.25])
    >>> f.process([1.0, 0.0, 0.0, 0.0])
    array([0.25, 0.5 , 0.25, 0.  ])
    """

    def __init__(self, coefficients, dtype=None, state=None):
        c = ck.real_array(coefficients, "coefficients")
        if dtype is not None:
            c = c.astype(ck.float_dtype(dtype), copy=False)
        # The library's order: last coefficient on the newest sample.
        self._c = np.ascontiguousarray(ck.vector(c, "coefficients", minimum=1)[::-1])
        self._ntaps = self._c.shape[0]
        self.dtype = self._c.dtype
        single = self.dtype == np.float32
        self._call = lib.kwsig_fir if single else lib.kwsig_fir_double
        if state is None:
            self._initial = np.zeros(self._ntaps, self.dtype)
        else:
            s = ck.real_array(state, "state", self.dtype)
            self._initial = ck.vector(s, "state", self._ntaps).copy()
        self._state = self._initial.copy()
        self._pointers = (self._c.ctypes.data, self._ntaps, self._state.ctypes.data)
        self._lock = threading.Lock()

    @property
    def coefficients(self):
        """Impulse response b (a copy)."""
        return self._c[::-1].copy()

    @property
    def state(self):
        """The last ntaps samples of the stream, oldest first (a copy)."""
        return self._state.copy()

    def reset(self):
        """Start a new stream from the initial state."""
        with self._lock:
            self._state[...] = self._initial

    def process(self, block, out=None):
        """Filter the next block of the stream.

        Parameters
        ----------
        block : array_like
            1-D samples, converted to the filter's dtype; any length (0 gives
            an empty result).
        out : ndarray, optional
            Array of the block's length and the filter's dtype; `block` itself
            filters in place.

        Returns
        -------
        ndarray
            One output per input sample.
        """
        x = ck.vector(ck.real_array(block, "block", self.dtype), "block")
        n = x.shape[0]
        res = ck.out_array(out, (n,), self.dtype)
        work = ck.work_array(res)
        # The library may write over its input, but only exactly over it.
        if out is not None and work is not x and np.may_share_memory(work, x) and \
                ck.address(work) != ck.address(x):
            work = np.empty(n, self.dtype)
        if n:
            with self._lock:
                self._call(ck.address(x), ck.address(work), n, *self._pointers)
        return ck.finish(work, res)


def fir_response(coefficients, freqs=512):
    """Complex frequency response of FIR coefficients, as ``scipy.signal.freqz``.

    Parameters
    ----------
    coefficients : array_like
        Impulse response b[0 .. ntaps-1], at least one value (converted to
        float64).
    freqs : int or array_like, optional
        An int n: n frequencies from 0 to 0.5 cycles per sample, both included.
        Otherwise evenly spaced frequencies in cycles per sample (ascending,
        descending or equal, e.g. from ``numpy.linspace``), or a scalar; the
        library steps through the grid from the first to the last.

    Returns
    -------
    ndarray of complex128
        ``H(f) = sum_d b[d] exp(-2j pi f d)``, shaped like `freqs`. The values
        are those of the library's response of the mirrored coefficients with
        the imaginary part negated.
    """
    c = ck.real_array(coefficients, "coefficients", np.float64)
    c = np.ascontiguousarray(ck.vector(c, "coefficients", minimum=1)[::-1])
    start, stop, n, shape = ck.grid(freqs)
    h = np.empty(n, np.complex128)
    if n:
        lib.kwsig_fir_resp(h.ctypes.data, n, start, stop, c.ctypes.data, c.shape[0])
    np.negative(h.imag, out=h.imag)
    return h.reshape(shape)


def fir_design(desired, weights, ntaps, delay=None):
    """Weighted least-squares FIR design on an even frequency grid.

    Parameters
    ----------
    desired : array_like
        Desired complex response at the N + 1 frequencies p / (2N) cycles per
        sample, p = 0 .. N, N a power of two >= 2 (real input is taken as
        complex). The imaginary part at 0 is ignored.
    weights : array_like
        N + 1 real error weights (normally >= 0).
    ntaps : int
        Number of coefficients, 1 .. N.
    delay : float, optional
        The desired response is taken relative to this delay in samples
        (default (ntaps - 1) / 2, a linear-phase design).

    Returns
    -------
    ndarray of float64
        Impulse response h[0 .. ntaps-1] minimising
        ``sum_p mu_p weights[p] |desired[p] exp(-i w_p delay) - H(w_p)|**2``
        (mu = 1 at both ends, 2 between). Use it with `FirFilter` as it stands.

    Raises
    ------
    numpy.linalg.LinAlgError
        When the normal equations meet a zero or NaN pivot (all weights zero,
        for instance).
    ValueError, TypeError
        For sizes or arguments outside the limits above, infinities or NaNs
        in `desired` or `weights`, or a delay beyond about 5.7e307 in
        magnitude (pi * delay overflows).
    """
    d = ck.vector(ck.complex_array(desired, "desired").astype(np.complex128, copy=False),
                  "desired")
    nfreq = ck.power_of_two(d.shape[0] - 1, "desired (its length - 1)", 2)
    w = ck.vector(ck.real_array(weights, "weights", np.float64), "weights", nfreq + 1)
    ntaps = ck.integer(ntaps, "ntaps", 1, nfreq)
    delay = (ntaps - 1) / 2 if delay is None else ck.real(delay, "delay")
    h = np.zeros(ntaps, np.float64)
    status = lib.kwsig_fir_synth(d.ctypes.data, w.ctypes.data, nfreq, delay, h.ctypes.data, ntaps)
    if status == 1.0:
        raise np.linalg.LinAlgError(
            "fir_design: the normal equations are singular (a zero or NaN pivot);"
            " check that the weights are not all zero")
    if status != 0.0:
        # Refused: an infinity or NaN in the inputs, a delay whose phase step
        # pi * delay / N overflows, or no scratch memory.
        for name, x in (("desired", d), ("weights", w)):
            if not np.all(np.isfinite(x)):
                raise ValueError("fir_design: %s: must be finite" % name)
        if not math.isfinite(math.pi * delay / nfreq):
            raise ValueError("fir_design: delay: too large (pi * delay overflows), got %r" % delay)
        raise MemoryError("fir_design: the library could not allocate its scratch memory")
    return h
