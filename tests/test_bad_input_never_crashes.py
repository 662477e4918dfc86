"""Every function and arity fed awkward values in every argument position
(None, booleans, huge and negative integers, floats and NaN, long strings,
deep and huge lists, subclasses of int, list, dict and str, objects whose
__eq__, __hash__ or __index__ raise, a second solver's handle): each call
answers with a result or one of the library's refusals, never a crash and
never another exception, and the solver stays consistent and keeps solving.
The sweep runs in a child process, so that a crash fails the test with its
signal instead of ending the run. Some hostile call sequences follow."""
import json
import os
import signal
import subprocess
import sys

import pytest

import mirl_nif
from call_signatures import REFUSALS, SIGNATURES, check_state, visible_invariants

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


# ---- hostile sequences ----------------------------------------------------------------


def refusal_or_result(function, *args):
    try:
        return function(*args)
    except TypeError as error:
        assert str(error) in REFUSALS, error
        return error


def test_deleting_a_reason_clause_leaves_analysis_and_inspection_sound():
    s = mirl_nif.new({"all_used": True})
    mirl_nif.add_variables(s, 5)
    mirl_nif.add_clause(s, [-1, 2])       # 0
    mirl_nif.add_clause(s, [-2, -3])      # 1, falsified below
    mirl_nif.add_clause(s, [-2, 3])       # 2, the reason of 3
    mirl_nif.push(s)
    mirl_nif.decide(s, 1)
    assert mirl_nif.bcp(s) is False
    assert mirl_nif.implication_clause(s, 3) == 2
    mirl_nif.del_clause(s, 2)
    # The id is handed out again, to a clause that implied nothing.
    assert mirl_nif.add_clause(s, [4, 5]) == (True, 2)
    for id_ in (0, 1, 2):
        refusal_or_result(mirl_nif.clause_info, s, id_, "jump")
        refusal_or_result(mirl_nif.get_clause, s, id_)
    learnt = refusal_or_result(mirl_nif.conflict, s, 1, "next", 0)
    if type(learnt) is int:
        refusal_or_result(mirl_nif.minimize, s, learnt, "global")
    check_state(s)
    visible_invariants(s)
    mirl_nif.pop(s, 0)
    assert mirl_nif.bcp(s) is True
    check_state(s)
    visible_invariants(s)


def test_very_long_literal_lists_and_deep_keys_are_handled():
    s = mirl_nif.new({"xref": True})
    mirl_nif.add_variables(s, 1000)
    long_clause = [v * (-1) ** v for v in range(1, 1001)] * 200   # 200000 literals, duplicates
    assert mirl_nif.add_clause(s, long_clause) == (True, 0)
    assert len(mirl_nif.get_clause(s, 0)) == 1000
    assert mirl_nif.find_clause(s, list(reversed(long_clause))) == 0
    assert mirl_nif.add_clause(s, list(range(1, 1001)) + [-500]) is True   # a tautology
    key = ()
    for _ in range(999):
        key = (key,)
    assert mirl_nif.add_symbol(s, [1], key) is None
    assert mirl_nif.find_symbol(s, key) == [1]
    too_deep = (key,)
    assert str(refusal_or_result(mirl_nif.add_symbol, s, [2], too_deep)) == "badarg"
    check_state(s)
    visible_invariants(s)


OUT_OF_MEMORY = r'''
import os, resource, sys
sys.path.insert(0, sys.argv[1])
if os.environ.get("MIRL_TEST_MODULE_DIR"):
    sys.path.insert(0, os.environ["MIRL_TEST_MODULE_DIR"])
import mirl_nif as m
from call_signatures import REFUSALS, check_state, visible_invariants

def address_space():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[0]) * os.sysconf("SC_PAGE_SIZE")

soft, hard = resource.getrlimit(resource.RLIMIT_AS)
refusals = set()
for step in range(1, 200, 9):
    s = m.new({"xref": True, "hash": True})
    m.subscribe(s, "variable")
    m.add_variables(s, 10)
    resource.setrlimit(resource.RLIMIT_AS, (address_space() + step * 2**18, hard))
    try:
        for k in range(200):
            m.add_variables(s, 5000)
            n = 10 + 5000 * (k + 1)
            for j in range(50):
                m.add_clause(s, [n - j, -(n - j - 1), n - 2 * j - 7])
            m.add_symbol(s, [n, -n + 1], ("key", k, "x" * 1000))
            copy = m.clone(s, {"level": -1, "set": [1, 2, 3]})
            m.subst(s, n, n - 3)
            m.bind(s, n - 5)
            m.bcp(s)
    except TypeError as error:
        assert str(error) in REFUSALS, error
        refusals.add(str(error))
    except MemoryError:
        refusals.add("MemoryError")
    finally:
        resource.setrlimit(resource.RLIMIT_AS, (soft, hard))
    copy = None
    check_state(s)
    visible_invariants(s)
    assert m.add_clause(s, [1, 2])[0] is True
    assert m.bcp(s) is True
print(" ".join(sorted(refusals)))
'''


@pytest.mark.skipif("libasan" in os.environ.get("LD_PRELOAD", ""),
                    reason="the sanitizer reserves more address space than any limit would leave")
def test_running_out_of_memory_anywhere_is_refused_and_leaves_the_solver_sound():
    # The address space is capped a little higher each round, so that the
    # allocation that fails moves through the library's allocation sites.
    run = subprocess.run([sys.executable, "-c", OUT_OF_MEMORY, HERE], capture_output=True, text=True,
                         timeout=600)
    if run.returncode < 0:
        pytest.fail(f"died of {signal.Signals(-run.returncode).name}\n{run.stderr[-3000:]}")
    assert run.returncode == 0, run.stderr[-3000:]
    assert "memory_limit" in run.stdout.split()
