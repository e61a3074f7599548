"""Resampler streams: any block sizes plus flush give the one-shot result and
exactly the output count the rates imply; the output room is always enough."""

import math
from fractions import Fraction

import numpy as np
import pytest

import kwsig

RNG = np.random.default_rng(2015)


def stream(r, x, max_block):
    cuts = []
    while sum(cuts) < len(x):
        cuts.append(int(RNG.integers(0, max_block + 1)))
    blocks = np.split(x, np.cumsum(cuts)[:-1])
    return np.concatenate([r.process(b) for b in blocks] + [r.flush()])


@pytest.mark.parametrize("dtype", [np.float32, np.float64])
@pytest.mark.parametrize("in_rate,out_rate", [(44100, 48000), (48000, 44100), (1, 3), (3, 1),
                                              (8000, 160000), (96000, 8000), (1, 1)])
def test_blocks_and_flush_equal_one_shot_with_the_implied_count(dtype, in_rate, out_rate):
    for n in (0, 1, 7, 147, 4410, 9999):
        x = RNG.uniform(-1, 1, n).astype(dtype)
        whole = kwsig.resample(x, in_rate, out_rate)
        assert whole.dtype == dtype
        assert len(whole) == math.ceil(Fraction(n * out_rate, in_rate))
        r = kwsig.Resampler(in_rate, out_rate, dtype=dtype)
        for _ in range(2):                       # flush starts a new stream
            assert stream(r, x, 300).tobytes() == whole.tobytes()


@pytest.mark.parametrize("dtype", [np.float32, np.float64])
@pytest.mark.parametrize("step", [2.0**-16, 1 / 3, 0.05, 1 - 2.0**-20, 1.0, 1.5, 8.0, 16.0])
def test_output_room_is_never_short(dtype, step):
    """A call that filled its array would be repeated (_retries): the bound must
    cover every call, from every phase, at the extreme steps too."""
    n = int(min(20000, 20000 * step + 50))
    for phase in (0.0, -16.0, 16.0, -6.5, 0.3):
        r = kwsig.Resampler(step=step, dtype=dtype, phase=phase)
        y = stream(r, RNG.uniform(-1, 1, n).astype(dtype), 700)
        assert r._retries == 0
        want = max(0, math.ceil((n - Fraction(float(dtype(phase)))) / Fraction(step)))
        assert len(y) == want


def test_leading_zeros_and_positions():
    # Phase -8: outputs at -8 and -7 would reach before the history: zeros.
    y = kwsig.Resampler(step=1.0, phase=-8.0, history=np.ones(11)).process(np.ones(20))
    assert y[0] == 0.0 and y[1] == 0.0 and abs(y[2] - 1) < 1e-5
    # A tone comes out at the new rate, scaled by the kernel's response.
    f, t = 1000.0, np.arange(44100) / 44100
    y = kwsig.resample(np.sin(2 * np.pi * f * t), 44100, 48000)
    want = kwsig.resampler_response(f / 44100) * np.sin(2 * np.pi * f * np.arange(len(y)) / 48000)
    np.testing.assert_allclose(y[100:-100], want[100:-100], atol=2e-4)


def test_pending_outputs_of_a_full_call_come_first():
    r = kwsig.Resampler(step=0.25)
    out = np.empty(2)
    assert r._call_once(np.arange(20.0), out) == 2    # outputs at 0 and 0.25
    assert r.phase == -5.5                            # the one at 0.5 is due
    assert len(r.process([])) == 1                    # from the history alone
    with pytest.raises(RuntimeError, match="flush"):
        r.flush()
