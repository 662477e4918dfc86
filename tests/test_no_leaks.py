"""Nothing leaks: calls leave the reference counts of their arguments as they
were and release every result the caller drops; memory stays flat over many
solvers made, used and dropped; and memcheck sees no invalid access and no
definite leak in a representative workload."""
import gc
import os
import shutil
import subprocess
import sys
import textwrap
import tracemalloc

import pytest

import mirl_nif
from bad_input_sweep import VALID, prepared_solver
from call_signatures import KEYS_FOR, SIGNATURES, IntSub, ListSub

HERE = os.path.dirname(os.path.abspath(__file__))
UNDER_ASAN = "libasan" in os.environ.get("LD_PRELOAD", "")


def fresh_arguments(name, kinds, s):
    """Valid arguments made anew, so that their reference counts are ours."""
    args = []
    for kind in kinds:
        if kind == "key":
            args.append("".join(KEYS_FOR.get(name, ["level"])[0]))
        elif kind in ("lits", "setarg"):
            args.append(list(VALID[kind]))
        elif kind == "map":
            args.append({})
        elif kind == "symkey":
            args.append(("key", 10**20))
        else:
            args.append(VALID[kind])
    return [s] + args if name != "new" else args


def call_quietly(function, args):
    try:
        function(*args)
    except TypeError:
        pass


@pytest.mark.parametrize("signature", sorted(SIGNATURES), ids=lambda sig: f"{sig[0]}/{sig[1]}")
def test_a_call_leaves_the_reference_counts_of_its_arguments_as_they_were(signature):
    name, _ = signature
    s = prepared_solver()
    function = getattr(mirl_nif, name)
    for args in (fresh_arguments(name, SIGNATURES[signature], s),
                 # The same through subclasses and refused values.
                 [a if a is s else IntSub(7) if type(a) is int else ListSub(a) if type(a) is list else 2**70
                  for a in fresh_arguments(name, SIGNATURES[signature], s)]):
        call_quietly(function, args)  # first-use caches (atoms, pools) settle here
        # The interpreter shares None, the booleans and small integers, and
        # their counts move with every result; the other arguments are ours.
        owned = [a for a in args if a is not None and type(a) is not bool and not (type(a) is int and -5 <= a <= 256)]
        before = [sys.getrefcount(a) for a in owned]
        for _ in range(20):
            call_quietly(function, args)
        after = [sys.getrefcount(a) for a in owned]
        assert after == before, [(repr(a)[:40], b, c) for a, b, c in zip(owned, before, after) if b != c]


@pytest.mark.parametrize("signature", sorted(SIGNATURES), ids=lambda sig: f"{sig[0]}/{sig[1]}")
def test_results_and_temporaries_are_released(signature):
    name, _ = signature
    s = prepared_solver()
    function = getattr(mirl_nif, name)
    args = fresh_arguments(name, SIGNATURES[signature], s)
    for _ in range(50):
        call_quietly(function, args)
    gc.collect()
    tracemalloc.start()
    try:
        start, _ = tracemalloc.get_traced_memory()
        for _ in range(500):
            call_quietly(function, args)
        gc.collect()
        end, _ = tracemalloc.get_traced_memory()
    finally:
        tracemalloc.stop()
    # A leak of even one small object per call would add 500 of them.
    assert end - start < 4096, end - start


def child_environment():
    env = dict(os.environ)
    if UNDER_ASAN:
        # Freed blocks wait in the sanitizer's quarantine; keep it small so
        # that the resident size shows what the library holds.
        env["ASAN_OPTIONS"] = env.get("ASAN_OPTIONS", "") + ":quarantine_size_mb=1:thread_local_quarantine_size_kb=64"
    return env


def test_memory_stays_flat_over_many_solvers_made_used_and_dropped():
    code = textwrap.dedent(f"""
        import os, sys
        if os.environ.get("MIRL_TEST_MODULE_DIR"):
            sys.path.insert(0, os.environ["MIRL_TEST_MODULE_DIR"])
        import mirl_nif as m

        def resident_kb():
            with open("/proc/self/statm") as f:
                return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE") // 1024

        def cycle(k):
            s = m.new({{"xref": k % 2 == 0, "hash": k % 3 == 0}})
            m.add_variables(s, 6)
            m.add_clause(s, [1, 2, -3])
            m.add_clause(s, [-1, 4])
            m.add_clause(s, [3, 5, 6], 3)
            m.add_symbol(s, [1, -2], ("name", k))
            m.push(s)
            m.decide(s, -4)
            m.bcp(s)
            copy = m.clone(s, {{"level": -1, "set": 3}})
            m.find_symbol(copy, ("name", k))
            m.get_nbindings(copy, 10, True)
            try:
                m.add_clause(s, [1, "x"])
            except TypeError:
                pass

        cycles = int(sys.argv[1])
        for k in range(cycles // 10):
            cycle(k)
        settled = resident_kb()
        for k in range(cycles - cycles // 10):
            cycle(k)
        print(resident_kb() - settled)
    """)
    run = subprocess.run([sys.executable, "-c", code, "100000"], capture_output=True, text=True,
                         env=child_environment(), timeout=600)
    assert run.returncode == 0, run.stderr[-2000:]
    growth_kb = int(run.stdout.split()[-1])
    # 2 MB over 90000 cycles: a leak of some 20 bytes a cycle would show.
    assert growth_kb < 2 * 1024, f"resident size grew by {growth_kb} kB over 90000 cycles"


@pytest.mark.skipif(shutil.which("valgrind") is None, reason="valgrind is not installed")
@pytest.mark.skipif(UNDER_ASAN, reason="memcheck cannot run under AddressSanitizer")
def test_memcheck_sees_no_invalid_access_and_no_definite_leak():
    run = subprocess.run(["bash", os.path.join(HERE, "valgrind", "run.sh"), "3"], capture_output=True, text=True,
                         timeout=900)
    assert run.returncode == 0, run.stderr[-6000:]
    assert run.stdout.strip().splitlines()[-1] == "done"
