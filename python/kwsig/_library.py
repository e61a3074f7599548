"""Finding and loading the kwsig shared library; the prototypes of its exports.

Places tried, in order:

1. the file named by the environment variable ``KWSIG_LIBRARY`` (when it is
   set, nothing else is tried, so a wrong path is reported, not bypassed);
2. beside the package: the package's own folder and the folder that holds it
   (``cmake --install`` puts the package next to the library);
3. the build tree of a source checkout: ``build/`` at the top of the checkout,
   then the other ``build*`` folders there;
4. the system loader (``LD_LIBRARY_PATH``, the ld.so cache, ``PATH`` on
   Windows).

On Windows the library is ``kwsig_32.dll`` with ``__stdcall`` exports, loaded
with ``ctypes.WinDLL``; it is a 32-bit DLL and loads only into 32-bit Python.
"""

import ctypes
import os
import sys

__all__ = ["lib", "library_path"]

_WINDOWS = sys.platform == "win32"
if _WINDOWS:
    _FILE_NAMES = ("kwsig_32.dll",)
elif sys.platform == "darwin":
    _FILE_NAMES = ("libkwsig_32.0.dylib", "libkwsig_32.dylib")
else:
    # The soname first: a runtime-only install has no unversioned link.
    _FILE_NAMES = ("libkwsig_32.so.0", "libkwsig_32.so")

_HERE = os.path.dirname(os.path.abspath(__file__))


def _open(path):
    if _WINDOWS:
        return ctypes.WinDLL(path)
    return ctypes.CDLL(path)


def _load_error_hint():
    if _WINDOWS and ctypes.sizeof(ctypes.c_void_p) == 8:
        return (" (kwsig_32.dll is a 32-bit DLL; this Python is 64-bit and cannot load it:"
                " use a 32-bit Python)")
    return ""


def _folders():
    """(description, folder) of every place searched before the system loader."""
    yield "beside the package", _HERE
    yield "beside the package", os.path.dirname(_HERE)
    top = os.path.dirname(os.path.dirname(_HERE))  # the checkout, for python/kwsig
    if not os.path.isfile(os.path.join(top, "include", "kwsig.h")):
        return
    builds = sorted(d for d in os.listdir(top) if d.startswith("build") and d != "build")
    for name in ["build"] + builds:
        yield "build tree", os.path.join(top, name)


def _load():
    tried = []
    explicit = os.environ.get("KWSIG_LIBRARY")
    if explicit:
        if os.path.exists(explicit):  # else a bare name for the system loader
            explicit = os.path.abspath(explicit)
        try:
            return _open(explicit), explicit
        except OSError as e:
            raise ImportError(
                "kwsig: cannot load the library named by KWSIG_LIBRARY=%s: %s%s"
                % (explicit, e, _load_error_hint())) from None

    for where, folder in _folders():
        for name in _FILE_NAMES:
            path = os.path.join(folder, name)
            if not os.path.isfile(path):
                continue
            try:
                return _open(path), path
            except OSError as e:
                tried.append("%s: %s (%s)" % (where, path, e))
                break
        else:
            tried.append("%s: %s (no %s)" % (where, folder, " or ".join(_FILE_NAMES)))

    for name in _FILE_NAMES:
        try:
            return _open(name), name
        except OSError as e:
            tried.append("system loader: %s (%s)" % (name, e))

    raise ImportError(
        "kwsig: cannot find or load the kwsig library%s. Set KWSIG_LIBRARY to its path."
        " Looked in:\n  " % _load_error_hint() + "\n  ".join(tried))


lib, library_path = _load()

# Prototypes. Arrays travel as plain addresses (ctypes.c_void_p); the wrappers
# check every size before a call. The selectors (mode, window type,
# normalisation) are declared short in the header but occupy a full 32-bit
# slot, of which the library reads the low 16 bits: passed here as int.
_P, _I, _U = ctypes.c_void_p, ctypes.c_int, ctypes.c_uint
_F, _D = ctypes.c_float, ctypes.c_double

_PROTOTYPES = {
    "kwsig_fft": (None, [_P, _U, _I]),
    "kwsig_fft_double": (None, [_P, _U, _I]),
    "kwsig_fft_real": (None, [_P, _U, _I]),
    "kwsig_fft_real_double": (None, [_P, _U, _I]),
    "kwsig_window": (None, [_P, _I, _I, _I, _F]),
    "kwsig_window_double": (None, [_P, _I, _I, _I, _D]),
    "kwsig_spectrum": (None, [_P, _P, _P, _I, _I]),
    "kwsig_spectrum_double": (None, [_P, _P, _P, _I, _I]),
    "kwsig_cspectrum": (None, [_P, _P, _P, _I, _I]),
    "kwsig_cspectrum_double": (None, [_P, _P, _P, _I, _I]),
    "kwsig_resample": (None, [_P, _I, _P, _I, _P, _P, _F, _P]),
    "kwsig_resample_double": (None, [_P, _I, _P, _I, _P, _P, _D, _P]),
    "kwsig_resamp_resp": (None, [_P, _I, _D, _D]),
    "kwsig_fir": (None, [_P, _P, _I, _P, _I, _P]),
    "kwsig_fir_double": (None, [_P, _P, _I, _P, _I, _P]),
    "kwsig_fir_resp": (None, [_P, _I, _D, _D, _P, _I]),
    "kwsig_fir_synth": (_D, [_P, _P, _I, _D, _P, _I]),
}

for _name, (_restype, _argtypes) in _PROTOTYPES.items():
    try:
        _function = getattr(lib, _name)
    except AttributeError:
        raise ImportError("kwsig: %s does not export %s" % (library_path, _name)) from None
    _function.restype = _restype
    _function.argtypes = _argtypes
