# The package of this checkout, unless PYTHONPATH already provides one.
import importlib.util
import os
import sys

if importlib.util.find_spec("kwsig") is None:
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "python"))
