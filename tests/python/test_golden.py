"""Every hashed golden case replayed through the Python package: the wrappers
add no rounding, so each case must hash exactly as in the C++ replay."""

import os

import numpy as np
import pytest

import kwsig

HERE = os.path.dirname(os.path.abspath(__file__))
GOLDEN_DIR = (os.environ.get("KWSIG_GOLDEN_DIR") or os.environ.get("KWSIG_GOLDEN_DEFAULT_DIR")
              or os.path.join(HERE, "..", "golden"))
M64 = (1 << 64) - 1


class Rng:
    """splitmix64, the generator of the golden inputs; array draws vectorised."""

    def __init__(self, seed):
        self.state = seed

    def draws(self, k):
        z = (self.state + np.arange(1, k + 1, dtype=np.uint64) * np.uint64(0x9E3779B97F4A7C15))
        self.state = (self.state + k * 0x9E3779B97F4A7C15) & M64
        z = (z ^ (z >> np.uint64(30))) * np.uint64(0xBF58476D1CE4E5B9)
        z = (z ^ (z >> np.uint64(27))) * np.uint64(0x94D049BB133111EB)
        return z ^ (z >> np.uint64(31))

    def uniform(self, a, b, k, dtype):
        u = (self.draws(k) >> np.uint64(11)).astype(np.float64) * 2.0**-53
        return (a + (b - a) * u).astype(dtype)

    def randint(self, lo, hi):
        return lo + int(self.draws(1)[0]) % (hi - lo + 1)


class Hash:
    """64-bit FNV-1a over the bytes of each value, little-endian."""

    def __init__(self):
        self.h = 0xCBF29CE484222325

    def add(self, *arrays):
        h = self.h
        for a in arrays:
            for b in np.asarray(a, np.asarray(a).dtype.newbyteorder("<")).tobytes():
                h = ((h ^ b) * 0x100000001B3) & M64
        self.h = h


def real(text):
    p, _, q = text.partition("/")
    return float(p) / float(q) if q else float(text)


def selector(text):
    v = int(text) & 0xFFFF
    return v - 0x10000 if v & 0x8000 else v


def read_cases():
    path = os.path.join(GOLDEN_DIR, "cases.tsv")
    with open(path) as f:
        lines = f.read().splitlines()[1:]
    cases = []
    for line in filter(None, lines):
        ident, export, params, seed, digest = line.split("\t")
        p = dict(kv.split("=", 1) for kv in params.split(";"))
        cases.append(pytest.param(export, p, int(seed), int(digest, 16), id=ident))
    return cases


def spikes(rng, n, k, dtype):
    x = np.zeros(n, dtype)
    for _ in range(k):
        i = rng.randint(0, n - 1)
        x[i] = rng.randint(1, 8)
    return x


def run_fft(p, rng, h, dtype, real_transform):
    n = int(p["count"])
    size = n if real_transform else 2 * n
    x = spikes(rng, size, int(p["spikes"]), dtype) if "spikes" in p else \
        rng.uniform(-1, 1, size, dtype)
    ctype = np.result_type(dtype, np.complex64)
    for direction in [int(p["direction"])] + ([int(p["back"])] if "back" in p else []):
        # numpy-style and library forms: the same bits either way.
        if real_transform and direction == 1:
            y = kwsig.rfft_packed(x)
            bins = kwsig.rfft(x)
            other = np.concatenate([[bins[0].real, bins[-1].real], bins[1:-1].view(dtype)])
        elif real_transform:
            y = kwsig.irfft_packed(x)
            bins = np.zeros(n // 2 + 1, ctype)
            bins[0], bins[-1], bins[1:-1] = x[0], x[1], x[2:].view(ctype)
            other = kwsig.irfft(bins, n) * dtype(n // 2)   # both scalings are powers of two
        else:
            y = kwsig.fft_unscaled(x.view(ctype), direction).view(dtype)
            other = kwsig.fft(x.view(ctype)).view(dtype) if direction == 1 else y
        assert y.tobytes() == other.tobytes()
        h.add(y)
        x = y


KINDS = {1: "hann", 2: "low_sidelobe", 3: "flat_top"}
MODES = {0: "magnitude", 2: "db"}


def run_window(p, rng, h, dtype):
    kind = KINDS.get(selector(p["type"]), "uniform")
    norm = "mean" if selector(p["norm"]) == 0 else "rms"
    h.add(kwsig.window(kind, int(p["count"]), norm, real(p["gain"]), dtype))


def run_spectrum(p, rng, h, dtype, is_complex):
    n = int(p["count"])
    if "constant" in p:
        x, w = np.full(2 * n if is_complex else n, real(p["constant"]), dtype), np.ones(n, dtype)
    else:
        x = rng.uniform(-1, 1, 2 * n if is_complex else n, dtype)
        w = np.ones(n, dtype) if p.get("window") == "ones" else rng.uniform(0, 1, n, dtype)
    mode = MODES.get(selector(p["mode"]), "power")
    if is_complex:
        h.add(kwsig.cspectrum(x.view(np.result_type(dtype, np.complex64)), w, mode))
    else:
        h.add(kwsig.spectrum(x, w, mode))


def run_resample(p, rng, h, dtype):
    history = rng.uniform(-1, 1, 11, dtype) if p["history"] == "random" else None
    r = kwsig.Resampler(step=real(p["step"]), dtype=dtype, phase=real(p["phase"]), history=history)
    for _ in range(int(p["calls"])):
        nin = rng.randint(0, int(p["ninmax"]))
        cap = None if p["cap"] == "ample" else rng.randint(0, int(p["cap"]))
        x = rng.uniform(-1, 1, nin, dtype)
        if cap is None:                     # every call ends for lack of input
            y = r.process(x)
        else:
            y = np.empty(cap, dtype)
            y = y[:r._call_once(x, y)]
        h.add(y, np.array([r.phase], dtype), r.history, np.array([y.shape[0]], np.int32))


def grid(p):
    n = int(p["npoints"])
    return np.linspace(real(p["start"]), real(p["stop"]), n)


def run_fir(p, rng, h, dtype):
    ntaps = int(p["ntaps"])
    c = rng.uniform(-1, 1, ntaps, dtype)
    state = rng.uniform(-1, 1, ntaps, dtype) if p["state"] == "random" else None
    f = kwsig.FirFilter(c[::-1], state=state)
    for _ in range(int(p["blocks"])):
        x = rng.uniform(-1, 1, rng.randint(ntaps, ntaps + int(p["extra"])), dtype)
        y = f.process(x, out=x if p["inplace"] == "1" else None)
        h.add(y, f.state)


def run_fir_synth(p, rng, h):
    nfreq, ntaps = int(p["nfreq"]), int(p["ntaps"])
    d = rng.uniform(-1, 1, 2 * nfreq + 2, np.float64) if p["desired"] == "random" else \
        np.tile([1.0, 0.0], nfreq + 1)
    w = {"random": lambda: rng.uniform(0.5, 1.5, nfreq + 1, np.float64),
         "ones": lambda: np.ones(nfreq + 1), "zero": lambda: np.zeros(nfreq + 1)}[p["weights"]]()
    try:
        h.add(kwsig.fir_design(d.view(np.complex128), w, ntaps, real(p["delay"])), np.array([0.0]))
    except np.linalg.LinAlgError:
        h.add(np.zeros(ntaps), np.array([1.0]))


def replay(export, p, seed):
    rng, h = Rng(seed), Hash()
    dtype = np.float64 if export.endswith("_double") else np.float32
    name = export[len("kwsig_"):].replace("_double", "")
    if name in ("fft", "fft_real"):
        run_fft(p, rng, h, dtype, name == "fft_real")
    elif name == "window":
        run_window(p, rng, h, dtype)
    elif name in ("spectrum", "cspectrum"):
        run_spectrum(p, rng, h, dtype, name == "cspectrum")
    elif name == "resample":
        run_resample(p, rng, h, dtype)
    elif name == "resamp_resp":
        h.add(kwsig.resampler_response(grid(p)))
    elif name == "fir":
        run_fir(p, rng, h, dtype)
    elif name == "fir_resp":
        c = rng.uniform(-1, 1, int(p["ntaps"]), np.float64)
        h.add(np.conj(kwsig.fir_response(c[::-1], grid(p))).view(np.float64))
    elif name == "fir_synth":
        run_fir_synth(p, rng, h)
    else:
        raise AssertionError("no replay for " + export)
    return h.h


@pytest.mark.parametrize("export,params,seed,digest", read_cases())
def test_case(export, params, seed, digest):
    assert "%016x" % replay(export, params, seed) == "%016x" % digest
