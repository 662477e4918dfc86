"""The Python examples in the README run and print what their comments say."""
import contextlib
import io
import os
import re

import pytest

README = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "README.md")


def python_blocks():
    with open(README, encoding="utf-8") as f:
        text = f.read()
    return re.findall(r"```python\n(.*?)```", text, re.S)


@pytest.mark.parametrize("index", range(len(python_blocks())))
def test_readme_example_runs(index):
    out = io.StringIO()
    with contextlib.redirect_stdout(out):
        exec(compile(python_blocks()[index], "README.md", "exec"), {"__name__": "readme"})
    assert out.getvalue().strip()


def test_first_look_prints_the_documented_values():
    out = io.StringIO()
    with contextlib.redirect_stdout(out):
        exec(compile(python_blocks()[0], "README.md", "exec"), {})
    assert out.getvalue().split() == ["True", "True", "1", "3"]


def test_hand_driven_learning_loop_finds_a_model():
    out = io.StringIO()
    with contextlib.redirect_stdout(out):
        block = [b for b in python_blocks() if "def solve(clauses, n)" in b][0]
        exec(compile(block, "README.md", "exec"), {})
    assert out.getvalue().strip() == "[1, 2, 3]"


def test_pysat_users_example_prints_the_optimum():
    out = io.StringIO()
    with contextlib.redirect_stdout(out):
        block = [b for b in python_blocks() if "rc2.RC2" in b][0]
        exec(compile(block, "README.md", "exec"), {})
    assert out.getvalue().strip() == "[1, -2] 2"
