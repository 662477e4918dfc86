"""Every program in examples/ runs to the end (each checks its own answers)
and prints what it found."""
import contextlib
import io
import os
import runpy
import sys

import pytest

EXAMPLES = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "examples")


@pytest.mark.parametrize("name", sorted(f for f in os.listdir(EXAMPLES) if f.endswith(".py")))
def test_example_runs(name, monkeypatch):
    monkeypatch.setattr(sys, "argv", [name])
    out = io.StringIO()
    with contextlib.redirect_stdout(out):
        runpy.run_path(os.path.join(EXAMPLES, name), run_name="__main__")
    assert out.getvalue().strip()
