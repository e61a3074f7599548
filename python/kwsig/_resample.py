"""Sample-rate conversion with the library's 11-tap resampler.

Positions are in input periods. Output j of a stream lies at p0 + j * step
(p0 the start phase) and is computed once the input reaches 5.5 periods past
it. A library call that fills its output array leaves input unread and does
not say how much, so `Resampler.process` always gives a call room for more
outputs than it can write: the bound of kwsig.h,

    nmax = floor((ninput * (1 + e) - 5.5 - phase) / (step - e)) + 1,

e = 2^-20 (float) or 2^-49 (double) covering the rounding of the phase, valid
for |phase| <= 16 and e < step <= 16, which the step and start-phase limits
below keep. Should a call still fill its array, it is repeated from the saved
state with twice the room.
"""

import ctypes
import fractions
import math
import threading

import numpy as np

from . import _checks as ck
from ._library import lib

__all__ = ["Resampler", "resample", "resampler_response"]

MIN_STEP = 2.0**-16   # below, a float phase barely moves per output
MAX_STEP = 16.0       # limits of the output bound, with MAX_PHASE
MAX_PHASE = 16.0
_TAPS = 11
_REACH = 5.5          # an output needs the input up to 5.5 periods past its position
_FLUSH_ZEROS = 6      # zeros after the end that bring out every output before it
_CALL_OUTPUTS = 1 << 22  # inputs per call are chosen to give at most about this many outputs


def _rate(value, name):
    v = ck.real(value, name)
    if v <= 0:
        raise ValueError("%s: must be positive, got %r" % (name, v))
    return v


class Resampler:
    """Streaming sample-rate converter with carried phase and history.

    Parameters
    ----------
    in_rate, out_rate : float, optional
        Input and output sample rates (any positive unit, e.g. 44100 and
        48000). The step is ``in_rate / out_rate`` input periods per output.
    step : float, optional
        The step itself, instead of the two rates. It must lie between 2**-16
        and 16 after rounding to `dtype`.
    dtype : {float64, float32}, optional
        Precision of samples, phase and step: the library's double or float
        resampler.
    phase : float, optional
        Position of the first output in input periods, relative to the first
        input sample (default 0, |phase| <= 16). Phases of -6.5 or less give
        leading zeros.
    history : array_like, optional
        The 11 samples before the stream, oldest first (default zeros).

    Notes
    -----
    `process` returns every output of a block; `flush` returns the outputs
    still pending when the input ends, so that a stream of N samples gives
    ``ceil((N - phase) * out_rate / in_rate)`` outputs in all (positions before
    the end of the input), exactly, whatever the block sizes, and the same
    values as one `process` call on the whole input. Every output is a weighted
    sum of 11 input samples; the kernel is not widened when lowering the rate.
    With float32 the library keeps the phase in float, whose rounding shifts
    the outputs of long streams (a 10-minute stream from 8 kHz to 44.1 kHz
    falls about 100 outputs behind by its end). `flush` still completes the
    count above, with outputs computed past the end of the input (zeros); only
    a stream that has run more than 5.5 input periods ahead ends with more.
    Use float64 where long streams must keep their timing.

    Calls on one resampler are serialised by a lock; separate resamplers run in
    parallel in separate threads.

    Examples
    --------
    >>> r = kwsig.Resampler(44100, 48000)
    >>> x = np.random.default_rng(0).uniform(-1, 1, 44100)
    >>> y = np.concatenate([r.process(b) for b in np.array_split(x, 10)] + [r.flush()])
    >>> len(y), np.array_equal(y, kwsig.resample(x, 44100, 48000))
    (48000, True)
    """

    def __init__(self, in_rate=None, out_rate=None, *, step=None, dtype=np.float64,
                 phase=0.0, history=None):
        self.dtype = ck.float_dtype(dtype)
        if step is None:
            if in_rate is None or out_rate is None:
                raise TypeError("Resampler: give in_rate and out_rate, or step")
            a, b = _rate(in_rate, "in_rate"), _rate(out_rate, "out_rate")
            ratio = fractions.Fraction(a) / fractions.Fraction(b)
            wanted, name = a / b, "step (in_rate / out_rate)"
        else:
            if in_rate is not None or out_rate is not None:
                raise TypeError("Resampler: give either the rates or step, not both")
            wanted, name = _rate(step, "step"), "step"
            ratio = fractions.Fraction(wanted)
        self.step = float(self.dtype.type(wanted))
        if not MIN_STEP <= self.step <= MAX_STEP:
            raise ValueError("%s: %r is outside 2**-16 .. 16" % (name, wanted))
        self._ratio = ratio
        p = ck.real(phase, "phase")
        if abs(p) > MAX_PHASE:
            raise ValueError("phase: must lie within -16 .. 16, got %r" % p)
        self._phase0 = float(self.dtype.type(p))
        if history is None:
            self._history0 = np.zeros(_TAPS, self.dtype)
        else:
            h = ck.real_array(history, "history", self.dtype)
            self._history0 = ck.vector(h, "history", _TAPS).copy()

        single = self.dtype == np.float32
        self._library_call = lib.kwsig_resample if single else lib.kwsig_resample_double
        self._e = 2.0**-20 if single else 2.0**-49        # rounding allowance of the bound
        self._phase = (ctypes.c_float if single else ctypes.c_double)()
        self._nwritten = ctypes.c_int()
        self._history = np.empty(_TAPS, self.dtype)
        self._saved = np.empty(_TAPS, self.dtype)
        self._refs = (ctypes.addressof(self._nwritten), ctypes.addressof(self._phase),
                      self._history.ctypes.data)
        self._chunk = max(1, min(1 << 20, int(_CALL_OUTPUTS * self.step)))
        self._none = np.zeros(1, self.dtype)   # the input of a call without input
        self._none_address = self._none.ctypes.data
        self._lock = threading.Lock()
        self._retries = 0
        self._start()

    def _start(self):
        self._phase.value = self._phase0
        self._history[...] = self._history0
        self._consumed = 0      # inputs since the start of the stream
        self._produced = 0      # outputs since the start of the stream
        self._known = True      # _consumed is exact (see _call_once)

    @property
    def phase(self):
        """Position of the next output relative to the next input sample, in input periods."""
        return self._phase.value

    @property
    def history(self):
        """The 11 newest samples that entered, oldest first (a copy)."""
        return self._history.copy()

    def reset(self):
        """Start a new stream from the initial phase and history."""
        with self._lock:
            self._start()

    def _bound(self, n):
        """Room for a call with n inputs: one more than it can write, nmax + 1."""
        e = self._e
        top = n * (1.0 + e) - _REACH - self._phase.value
        return math.floor(top / (self.step - e)) + 2 if top >= 0 else 1

    def _call_once(self, x, out):
        """One library call with the room `out` gives; returns its output count.

        The call ends when the input runs out or `out` is full; in the latter
        case it keeps its pending outputs but leaves input unread without saying
        how much, and the stream's length is no longer known to `flush`.
        """
        x = ck.vector(ck.real_array(x, "x", self.dtype), "x")
        if not isinstance(out, np.ndarray) or out.dtype != self.dtype or out.ndim != 1:
            raise TypeError("out: expected a 1-D array of %s" % self.dtype)
        if not out.flags.c_contiguous or not out.flags.writeable or np.may_share_memory(out, x) \
                or out.shape[0] > ck.INT_MAX:
            raise ValueError("out: must be C-contiguous, writeable, apart from x and shorter"
                             " than 2**31")
        with self._lock:
            n = self._resample(x, out, out.shape[0])
            if n < out.shape[0]:
                self._consumed += x.shape[0]
            else:
                self._known = False
            self._produced += n
        return n

    def _resample(self, x, out, capacity):
        nw, ph, hist = self._refs
        ptr = ck.address(x) if x.shape[0] else self._none_address
        self._library_call(ptr, x.shape[0], ck.address(out), capacity, nw, ph, self.step, hist)
        return self._nwritten.value

    def _run(self, x):
        """All outputs of one call on x (no more inputs than the chunk size)."""
        bound = self._bound(x.shape[0])
        while True:
            out = np.empty(bound, self.dtype)
            phase = self._phase.value
            self._saved[...] = self._history
            n = self._resample(x, out, bound)
            if n < bound:
                return out[:n]
            # Full: input may be left unread. Repeat from the saved state.
            self._phase.value = phase
            self._history[...] = self._saved
            self._retries += 1
            bound *= 2

    def _feed(self, x):
        n = x.shape[0]
        if n == 0:   # only outputs already due, after a call that filled its array
            y = self._run(x) if self._phase.value <= -_REACH else x.copy()
        elif n <= self._chunk:
            y = self._run(x)
        else:
            y = np.concatenate([self._run(x[i:i + self._chunk]) for i in range(0, n, self._chunk)])
        self._consumed += n
        self._produced += y.shape[0]
        return y

    def process(self, block):
        """Resample the next block of the stream.

        Parameters
        ----------
        block : array_like
            1-D input samples, converted to the resampler's dtype; any length.

        Returns
        -------
        ndarray
            Every output the block completes: those lying at least 5.5 input
            periods before the end of the input so far.
        """
        x = ck.vector(ck.real_array(block, "block", self.dtype), "block")
        with self._lock:
            return self._feed(x)

    def flush(self):
        """End the stream: return its remaining outputs and start a new stream.

        Returns
        -------
        ndarray
            The outputs whose positions lie before the end of the input, computed
            with zeros after it, so that the stream has given exactly
            ``ceil((N - phase) / step)`` outputs (N inputs; the rates' exact
            ratio when the resampler was made from rates).

        Raises
        ------
        RuntimeError
            After a single library call (``_call_once``) that filled its array: the
            stream's length is then unknown.
        """
        with self._lock:
            if not self._known:
                raise RuntimeError("flush: a call that filled its output array left the"
                                   " stream's length unknown")
            end = self._consumed - fractions.Fraction(self._phase0)
            total = max(0, math.ceil(end / self._ratio))
            need = total - self._produced
            pieces, got = [], 0
            while got < need:
                zeros = np.zeros(_FLUSH_ZEROS + math.ceil((need - got) * self.step), self.dtype)
                y = self._feed(zeros)
                pieces.append(y)
                got += y.shape[0]
            y = np.concatenate(pieces)[:need] if pieces else np.zeros(0, self.dtype)
            self._start()
            return y


def resample(x, in_rate, out_rate, dtype=None):
    """Resample a whole signal from `in_rate` to `out_rate` (one-shot `Resampler`).

    Parameters
    ----------
    x : array_like
        1-D real signal; float32/float16 use the float resampler, every other
        real dtype float64 (or as `dtype` says).
    in_rate, out_rate : float
        Sample rates; the step in_rate / out_rate must lie within 2**-16 .. 16.
    dtype : {None, float32, float64}, optional
        Precision, overriding the choice by the dtype of `x`.

    Returns
    -------
    ndarray
        ``ceil(len(x) * out_rate / in_rate)`` samples; output j lies at
        ``j * in_rate / out_rate`` input periods, the signal taken as zero
        before its start and after its end.
    """
    a = ck.real_array(x, "x", None if dtype is None else ck.float_dtype(dtype))
    a = ck.vector(a, "x")
    r = Resampler(in_rate, out_rate, dtype=a.dtype)
    y = r.process(a)
    return np.concatenate([y, r.flush()])


def resampler_response(freqs=512):
    """Frequency response of the resampler's interpolation kernel.

    Parameters
    ----------
    freqs : int or array_like, optional
        Frequencies in cycles per input sample (0.5 is half the input rate): an
        int n for n points from 0 to 0.5 (both included), evenly spaced values
        (ascending, descending or equal), or a scalar.

    Returns
    -------
    ndarray of float64
        The kernel's continuous Fourier transform, a signed real gain (1 at
        f = 0, 0.5 near f = 0.1469), shaped like `freqs`.
    """
    start, stop, n, shape = ck.grid(freqs)
    r = np.empty(n, np.float64)
    if n:
        lib.kwsig_resamp_resp(r.ctypes.data, n, start, stop)
    return r.reshape(shape)


