"""Refusals, dtypes, out= and copies, threads, loading and installing."""

import concurrent.futures
import importlib.util
import os
import re
import shutil
import subprocess
import sys

import numpy as np
import pytest

import kwsig

TOP = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
x16 = np.linspace(-1, 1, 16)


@pytest.mark.parametrize("call,error,name", [
    (lambda: kwsig.fft(np.ones(12)), ValueError, "n"),
    (lambda: kwsig.fft(np.ones(8), n=4.0), TypeError, "n"),
    (lambda: kwsig.fft(np.ones(8), axis=1), ValueError, "axis"),
    (lambda: kwsig.fft(["a", "b"]), TypeError, "a"),
    (lambda: kwsig.ifft(x16, norm="half"), ValueError, "norm"),
    (lambda: kwsig.rfft(x16 + 1j), TypeError, "a"),
    (lambda: kwsig.irfft(np.ones(4)), ValueError, "n"),
    (lambda: kwsig.fft(x16, out=np.empty(16)), TypeError, "out"),
    (lambda: kwsig.rfft_packed(x16, out=np.empty(8)), ValueError, "out"),
    (lambda: kwsig.fft_unscaled(x16, direction=2**31), ValueError, "direction"),
    (lambda: kwsig.window("hamming", 8), ValueError, "kind"),
    (lambda: kwsig.window("hann", -1), ValueError, "n"),
    (lambda: kwsig.window("hann", 8, norm="peak"), ValueError, "norm"),
    (lambda: kwsig.window("hann", 8, dtype=np.int32), TypeError, "dtype"),
    (lambda: kwsig.spectrum(np.ones(10)), ValueError, "x"),
    (lambda: kwsig.spectrum(x16, window=np.ones(15)), ValueError, "window"),
    (lambda: kwsig.spectrum(x16, mode="dB20"), ValueError, "mode"),
    (lambda: kwsig.cspectrum(np.ones(3)), ValueError, "x"),
    (lambda: kwsig.Resampler(44100), TypeError, "out_rate"),
    (lambda: kwsig.Resampler(float("nan"), 48000), ValueError, "in_rate"),
    (lambda: kwsig.Resampler(44100, float("inf")), ValueError, "out_rate"),
    (lambda: kwsig.Resampler(step=0.0), ValueError, "step"),
    (lambda: kwsig.Resampler(step=1e6), ValueError, "step"),
    (lambda: kwsig.Resampler(step=1.0, phase=float("nan")), ValueError, "phase"),
    (lambda: kwsig.Resampler(step=1.0, history=np.ones(10)), ValueError, "history"),
    (lambda: kwsig.Resampler(step=1.0).process(np.ones((2, 2))), ValueError, "block"),
    (lambda: kwsig.resampler_response([0.0, 0.1, 0.3]), ValueError, "freqs"),
    (lambda: kwsig.FirFilter([]), ValueError, "coefficients"),
    (lambda: kwsig.FirFilter([1.0, 2.0], state=[0.0]), ValueError, "state"),
    (lambda: kwsig.fir_response([1j], 8), TypeError, "coefficients"),
    (lambda: kwsig.fir_design(np.ones(10), np.ones(10), 3), ValueError, "desired"),
    (lambda: kwsig.fir_design(np.ones(9), np.ones(8), 3), ValueError, "weights"),
    (lambda: kwsig.fir_design(np.ones(9), np.ones(9), 9), ValueError, "ntaps"),
    (lambda: kwsig.fir_design(np.ones(9), np.ones(9), 3, float("inf")), ValueError, "delay"),
    (lambda: kwsig.fir_design(np.ones(9), np.ones(9), 3, 1e308), ValueError, "delay"),
    (lambda: kwsig.fir_design([1.0, np.inf] + [1.0] * 7, np.ones(9), 3), ValueError, "desired"),
    (lambda: kwsig.fir_design(np.ones(9), [np.nan] + [1.0] * 8, 3), ValueError, "weights"),
    (lambda: kwsig.fir_design(np.ones(9), np.zeros(9), 3), np.linalg.LinAlgError, "singular"),
])
def test_refusals_name_the_argument(call, error, name):
    with pytest.raises(error, match=r"(^|\W)%s\W" % re.escape(name)):
        call()


def test_dtypes_pick_the_twin():
    assert kwsig.fft(np.ones(4, np.float16)).dtype == np.complex64
    assert kwsig.fft(np.ones(4, np.int8)).dtype == np.complex128
    assert kwsig.rfft([1, 2, 4, 8]).tolist() == [15, -3 + 6j, -5]
    assert kwsig.spectrum(np.ones(4, np.float32)).dtype == np.float32
    assert kwsig.FirFilter(np.ones(2, np.float32)).process([1, 2]).dtype == np.float32
    assert kwsig.resample(np.ones(4, np.float32), 1, 2).dtype == np.float32


def test_copies_and_out():
    z = (np.arange(32.0) + 1j).reshape(2, 16)
    want = kwsig.fft(z[:, ::2])
    assert np.array_equal(kwsig.fft(np.ascontiguousarray(z[:, ::2])), want)  # strided input
    out = np.empty((2, 16), complex)[:, ::2]                                 # strided out filled
    assert kwsig.fft(z[:, ::2], out=out) is out and np.array_equal(out, want)
    a = z.copy()
    assert kwsig.fft_unscaled(a, out=a) is a and np.array_equal(a, kwsig.fft(z))  # in place
    a = x16.copy()
    f, g = kwsig.FirFilter([0.5, 0.5]), kwsig.FirFilter([0.5, 0.5])
    assert f.process(a, out=a) is a and np.array_equal(a, g.process(x16))
    assert np.array_equal(kwsig.window("hann", 8), kwsig.window("HANN", 8)) and \
        kwsig.window("hann", 0).shape == (0,)


def test_threads_on_separate_objects_agree_with_one_thread():
    x = np.random.default_rng(1).uniform(-1, 1, 200000)
    want = kwsig.FirFilter(np.hanning(64)).process(x)
    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        got = pool.map(lambda _: kwsig.FirFilter(np.hanning(64)).process(x), range(4))
    assert all(np.array_equal(g, want) for g in got)


def python(code, env, cwd=None):
    env = {k: v for k, v in os.environ.items() if k not in ("KWSIG_LIBRARY", "PYTHONPATH")} | env
    return subprocess.run([sys.executable, "-c", code], env=env, cwd=cwd, capture_output=True,
                          text=True)


def test_load_errors_say_where_they_looked(tmp_path):
    r = python("import kwsig", {"KWSIG_LIBRARY": str(tmp_path / "none.so"),
                                "PYTHONPATH": os.path.dirname(kwsig.__path__[0])})
    assert r.returncode != 0 and "KWSIG_LIBRARY=%s" % (tmp_path / "none.so") in r.stderr
    shutil.copytree(kwsig.__path__[0], tmp_path / "kwsig")
    r = python("import kwsig", {"PYTHONPATH": str(tmp_path), "LD_LIBRARY_PATH": ""})
    assert r.returncode != 0
    assert "beside the package: %s" % (tmp_path / "kwsig") in r.stderr
    assert "system loader" in r.stderr


def test_version_matches_the_header():
    with open(os.path.join(TOP, "include", "kwsig.h")) as f:
        assert '#define KWSIG_VERSION_STRING "%s"' % kwsig.__version__ in f.read()


@pytest.mark.skipif("KWSIG_BUILD_DIR" not in os.environ, reason="KWSIG_BUILD_DIR (CTest) not set")
def test_cmake_install_puts_the_package_beside_the_library(tmp_path):
    for component in ("Unspecified", "python"):   # leaves install_manifest.txt alone
        subprocess.run(["cmake", "--install", os.environ["KWSIG_BUILD_DIR"], "--prefix",
                        str(tmp_path), "--component", component], check=True, capture_output=True)
    site = next(p.parent.parent for p in tmp_path.rglob("kwsig/__init__.py"))
    r = python("import kwsig; print(kwsig.library_path); print(kwsig.rfft([1, 2, 4, 8]))",
               {"PYTHONPATH": str(site)}, cwd=tmp_path)
    assert r.returncode == 0, r.stderr
    assert r.stdout.startswith(str(site)) and "[15.+0.j -3.+6.j -5.+0.j]" in r.stdout


def test_pip_install_in_a_virtual_environment(tmp_path):
    if not all(importlib.util.find_spec(m) for m in ("ensurepip", "pip", "setuptools", "wheel")):
        pytest.skip("needs python3-venv, python3-pip, python3-setuptools and python3-wheel")
    shutil.copytree(os.path.join(TOP, "python"), tmp_path / "src",
                    ignore=shutil.ignore_patterns("__pycache__"))
    venv = tmp_path / "venv"
    subprocess.run([sys.executable, "-m", "venv", "--system-site-packages", str(venv)], check=True)
    pip = [str(venv / "bin" / "python"), "-m", "pip", "install", "-q", "--no-index",
           "--no-build-isolation", str(tmp_path / "src")]
    r = subprocess.run(pip, capture_output=True, text=True)
    assert r.returncode == 0, r.stderr
    r = subprocess.run([str(venv / "bin" / "python"), "-c",
                        "import kwsig; print(kwsig.__file__); print(kwsig.fft([1, 1]))"],
                       capture_output=True, text=True, cwd=tmp_path,
                       env=dict(os.environ, KWSIG_LIBRARY=kwsig.library_path, PYTHONPATH=""))
    assert r.returncode == 0, r.stderr
    assert str(venv) in r.stdout and "[2.+0.j 0.+0.j]" in r.stdout
