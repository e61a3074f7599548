"""The package against numpy and scipy, to tolerance."""

import numpy as np
import pytest
import scipy.signal

import kwsig

RNG = np.random.default_rng(15)
TOL = {np.float32: 2e-5, np.float64: 1e-12}   # relative to the largest value


def close(got, want, dtype):
    assert got.shape == np.shape(want)
    scale = max(1.0, float(np.max(np.abs(want))))
    np.testing.assert_allclose(got, want, rtol=0, atol=TOL[dtype] * scale)


@pytest.mark.parametrize("dtype", [np.float32, np.float64])
def test_fft_family_matches_numpy(dtype):
    ctype = np.result_type(dtype, np.complex64)
    x = RNG.uniform(-1, 1, (3, 64)).astype(dtype)
    z = (x + 1j * RNG.uniform(-1, 1, x.shape)).astype(ctype)
    close(kwsig.fft(z), np.fft.fft(z), dtype)
    close(kwsig.ifft(z, norm="ortho"), np.fft.ifft(z, norm="ortho"), dtype)
    close(kwsig.fft(z, n=128), np.fft.fft(z, 128), dtype)
    close(kwsig.fft(z.T, n=4, axis=0), np.fft.fft(z.T, 4, axis=0), dtype)
    close(kwsig.rfft(x, n=32, norm="forward"), np.fft.rfft(x, 32, norm="forward"), dtype)
    close(kwsig.irfft(np.fft.rfft(x)), x, dtype)
    close(kwsig.irfft(z.T[:20], n=64, axis=0), np.fft.irfft(z.T[:20], 64, axis=0), dtype)
    assert kwsig.fft(z).dtype == ctype and kwsig.irfft(z[:, :33]).dtype == dtype
    packed = kwsig.rfft_packed(x)
    bins = np.fft.rfft(x)
    close(packed[:, 0], bins[:, 0].real, dtype)
    close(packed[:, 1], bins[:, -1].real, dtype)
    close(packed[:, 2:].view(ctype), bins[:, 1:-1], dtype)
    close(kwsig.irfft_packed(packed), 32 * x, dtype)
    close(kwsig.fft_unscaled(kwsig.fft_unscaled(z), -1), 64 * z, dtype)


def test_windows_match_scipy_periodic_forms():
    shapes = {"hann": "hann", "uniform": "boxcar",
              "low_sidelobe": ("general_cosine",
                                  [1, 1.45875529058, 0.543087184, 0.08816718498, 0.00390252806]),
              "flattop": ("general_cosine", [1, 1.941109216, 1.308381824, 0.40400112, 0.035108828])}
    for kind, peer in shapes.items():
        for n in (8, 1024, 999):
            w = scipy.signal.get_window(peer, n, fftbins=True)
            close(kwsig.window(kind, n), w / np.mean(w), np.float64)
            rms = np.sqrt(np.mean(w * w))
            close(kwsig.window(kind, n, "rms", -2.0, np.float32), -2 * w / rms, np.float32)


@pytest.mark.parametrize("dtype", [np.float32, np.float64])
def test_spectra_match_numpy(dtype):
    x = RNG.uniform(-1, 1, (2, 256)).astype(dtype)
    w = kwsig.window("hann", 256, dtype=dtype)
    p = np.abs(np.fft.rfft(x * w)) ** 2
    close(kwsig.spectrum(x), p, dtype)
    close(kwsig.spectrum(x, w, "magnitude"), np.sqrt(p), dtype)
    close(kwsig.spectrum(x, None, "db"), 10 * np.log10(np.abs(np.fft.rfft(x)) ** 2), dtype)
    z = (x + 1j * x[::-1]).astype(np.result_type(dtype, np.complex64))
    close(kwsig.cspectrum(z, "flattop"),
          np.fft.fftshift(np.abs(np.fft.fft(z * kwsig.window("flattop", 256, dtype=dtype))) ** 2,
                          axes=-1), dtype)


@pytest.mark.parametrize("dtype", [np.float32, np.float64])
def test_fir_filter_matches_lfilter_with_carried_state(dtype):
    b = RNG.uniform(-1, 1, 37)
    x = RNG.uniform(-1, 1, 5000).astype(dtype)
    f = kwsig.FirFilter(b.astype(dtype))
    zi = np.zeros(len(b) - 1)
    cuts = np.sort(RNG.integers(0, len(x), 40))
    for block in np.split(x, cuts):
        want, zi = scipy.signal.lfilter(b.astype(dtype), [1.0], block, zi=zi)
        close(f.process(block), want, dtype)


def test_fir_response_matches_freqz():
    b = RNG.uniform(-1, 1, 21)
    f = np.linspace(0, 0.5, 300)
    close(kwsig.fir_response(b, f), scipy.signal.freqz(b, worN=2 * np.pi * f)[1], np.float64)
    close(kwsig.fir_response(b, np.linspace(0.7, -0.3, 11)),
          scipy.signal.freqz(b, worN=2 * np.pi * np.linspace(0.7, -0.3, 11))[1], np.float64)


def test_fir_design_matches_dense_least_squares():
    nfreq, ntaps, delay = 64, 17, 5.5
    desired = RNG.uniform(-1, 1, nfreq + 1) + 1j * RNG.uniform(-1, 1, nfreq + 1)
    weights = RNG.uniform(0.5, 1.5, nfreq + 1)
    omega = np.pi * np.arange(nfreq + 1) / nfreq
    mu = np.where((omega == 0) | (omega == np.pi), 1.0, 2.0)
    root = np.sqrt(mu * weights)[:, None]
    a = root * np.exp(-1j * np.outer(omega, np.arange(ntaps)))
    t = root[:, 0] * desired * np.exp(-1j * omega * delay)
    want = np.linalg.lstsq(np.vstack([a.real, a.imag]), np.concatenate([t.real, t.imag]),
                           rcond=None)[0]
    close(kwsig.fir_design(desired, weights, ntaps, delay), want, np.float64)
