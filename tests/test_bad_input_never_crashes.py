"""Every function and arity fed awkward values in every argument position
(None, booleans, huge and negative integers, floats and NaN, long strings,
deep and huge lists, subclasses of int, list, dict and str, objects whose
__eq__, __hash__ or __index__ raise, a second solver's handle): each call
answers with a result or one of the library's refusals, never a crash and
never another exception, and the solver stays consistent and keeps solving.
The sweep runs in a child process, so that a crash fails the test with its
signal instead of ending the run."""
import json
import os
import signal
import subprocess
import sys

import pytest

from call_signatures import SIGNATURES

HERE = os.path.dirname(os.path.abspath(__file__))
NAMES = sorted({name for name, _ in SIGNATURES})
# A handful of child processes, each sweeping a slice of the names.
GROUPS = [NAMES[i::6] for i in range(6)]


def child_environment():
    env = dict(os.environ)
    # Under AddressSanitizer an allocation that cannot be had must come back
    # as null (the library answers badarg) rather than end the process.
    if "ASAN_OPTIONS" in env or "libasan" in env.get("LD_PRELOAD", ""):
        env["ASAN_OPTIONS"] = env.get("ASAN_OPTIONS", "") + ":allocator_may_return_null=1"
    return env


@pytest.mark.parametrize("names", GROUPS, ids=[f"{group[0]}-and-{len(group) - 1}-more" for group in GROUPS])
def test_awkward_arguments_get_a_result_or_a_refusal(names):
    run = subprocess.run([sys.executable, os.path.join(HERE, "bad_input_sweep.py"), *names],
                         capture_output=True, text=True, env=child_environment(), timeout=600)
    last_input = run.stderr.strip().splitlines()[-1:] or ["(none)"]
    if run.returncode < 0:
        pytest.fail(f"the sweep died of {signal.Signals(-run.returncode).name} at {last_input[0]}\n"
                    f"{run.stderr[-3000:]}")
    assert run.returncode == 0, run.stderr[-3000:]
    summary = json.loads(run.stdout.strip().splitlines()[-1])
    assert summary["failures"] == []
    assert summary["inputs"] > 1000
