"""mypy with the module's stub accepts a call of every arity with arguments of
the documented types, and flags every call with an argument count the
function does not take."""
import os
import re
import shutil
import subprocess
import sys

import pytest

import mirl_nif
from mirl import signatures as table

pytest.importorskip("mypy")

# An argument of each stub type.
SAMPLES = {
    "_Handle": "s", "_Literal": "-1", "List[_Literal]": "[1, -2]", "int": "0", "bool": "True",
    "_ClauseSet": '"alpha"', "_Atom": '"level"', "Any": '("key", 1)', "Dict[Any, Any]": '{"xref": True}',
    "Optional[_Literal]": "None", "_Distance": "0.5", "_SortKey": '"+rank"', "Union[_SortKey, int]": "7",
    "_Set": "(1, 2)", "Union[int, List[int]]": "[1, 2]", "Union[int, List[_Literal]]": "[1, 2]",
    "Union[_Literal, List[_Literal]]": "[1]", "Union[_Atom, List[str], List[int], List[_Atom]]": '["variable", "atom"]',
}


def test_mypy_accepts_every_arity_and_flags_wrong_argument_counts(tmp_path):
    valid = ["from typing import Any, List, Optional, Tuple, Union", "import mirl_nif as m", "s = m.new({})"]
    invalid = ["import mirl_nif as m", "s = m.new({})"]
    for function in table.FUNCTIONS:
        for variant in function.variants:
            # The result annotation names the stub's private aliases through the module.
            result = re.sub(r"\b(_[A-Z]\w*)", r"m.\1", variant.result)
            arguments = ", ".join(SAMPLES[a.type] for a in variant.arguments)
            call = "m.%s(%s)" % (function.name, arguments)
            valid.append(call if result == "None" else "r%d: %s = %s" % (len(valid), result, call))
        arities = [len(v.arguments) for v in function.variants]
        for wrong in (min(arities) - 1, max(arities) + 1):
            if wrong >= 0:
                invalid.append("m.%s(%s)" % (function.name, ", ".join(["s"] * wrong)))
    invalid.append("m.bind(s, lit=1)")  # positional only, as the module is
    invalid.append("m.add_clause(s, 1)")
    stubs = tmp_path / "stubs"
    stubs.mkdir()
    shutil.copy(os.path.join(os.path.dirname(mirl_nif.__file__), "mirl_nif.pyi"), stubs)
    (tmp_path / "valid.py").write_text("\n".join(valid) + "\n")
    (tmp_path / "invalid.py").write_text("\n".join(invalid) + "\n")
    run = subprocess.run(
        [sys.executable, "-m", "mypy", "--no-error-summary", "--show-error-codes", "--cache-dir",
         str(tmp_path / "cache"), "valid.py", "invalid.py"],
        cwd=str(tmp_path), env=dict(os.environ, MYPYPATH=str(stubs)), capture_output=True, text=True)
    errors = {}
    for line in run.stdout.splitlines():
        found = re.match(r"(\w+)\.py:(\d+): error:", line)
        if found:
            errors.setdefault(found.group(1), set()).add(int(found.group(2)))
    assert "valid" not in errors, run.stdout
    assert errors.get("invalid") == set(range(3, len(invalid) + 1)), run.stdout + run.stderr
