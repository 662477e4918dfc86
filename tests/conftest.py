"""Test set-up: import the extension from a developer build when asked to."""
import os
import sys

_module_dir = os.environ.get("MIRL_TEST_MODULE_DIR")
if _module_dir:
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    sys.path.insert(0, os.path.join(root, "python"))
    sys.path.insert(0, _module_dir)
