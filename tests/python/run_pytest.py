"""Runs the Python package's tests (arguments go to pytest). Exits with 77,
which CTest reports as skipped, when numpy, scipy or pytest is missing."""
import importlib.util
import sys

missing = [m for m in ("numpy", "scipy", "pytest") if importlib.util.find_spec(m) is None]
if missing:
    print("Python tests skipped: %s lacks %s (Debian: apt-get install %s)"
          % (sys.executable, ", ".join(missing), " ".join("python3-" + m for m in missing)))
    sys.exit(77)

import pytest  # noqa: E402

sys.exit(pytest.main(sys.argv[1:]))
