"""mirl: a CDCL propagation kernel driven step by step from Python.

The extension module ``mirl_nif`` holds the solver state; this package adds a
reference solver built on it.
"""

__version__ = "0.9.46"
