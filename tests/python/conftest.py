# The package of this checkout, unless PYTHONPATH already provides one.
import importlib.util
import os
import sys

if importlib.util.find_spec("kwsig") is None:
    here = os.path.dirname(os.path.abspath(__file__))
    sys.path.insert(0, os.path.join(here, "..", "..", "python"))
