"""Call overhead: value/2 and level/1 of mirl_nif against a bare METH_VARARGS
function (bench/bare.cpp, compiled here with the release flags -O3 -fPIC),
against a bare METH_FASTCALL one (the convention mirl_nif's functions use)
and against PySAT's Minisat22().nof_vars().

Each figure is the median of 9 interleaved runs of a loop of N calls; the
per-call time subtracts an empty loop of the same shape, so the ratios compare
the calls alone.

    python bench/overhead.py --instructions

counts instructions instead (valgrind's callgrind, which the shared machine
cannot disturb): each loop of N calls runs in its own process under callgrind
beside the same process with an empty loop; the difference divided by N is
the instructions a call costs, loop included, and the empty loop's own cost
is subtracted once more to leave the call alone.
"""

import os
import re
import shutil
import subprocess
import sys
import sysconfig
import tempfile

import common

N = 200_000


def build_bare():
    out = os.path.join(common.RESULTS, "bare")
    os.makedirs(out, exist_ok=True)
    target = os.path.join(out, "bare_ext" + sysconfig.get_config_var("EXT_SUFFIX"))
    subprocess.run(
        ["c++", "-O3", "-DNDEBUG", "-std=c++20", "-fPIC", "-shared", "-I" + sysconfig.get_paths()["include"],
         os.path.join(common.HERE, "bare.cpp"), "-o", target],
        check=True,
    )
    sys.path.insert(0, out)
    import bare_ext

    return bare_ext.bare, bare_ext.bare_fast


def loop_timer(body, setup):
    """A zero-argument timer running `body` N times; returns seconds per call."""
    namespace = dict(setup)
    source = "def run():\n    r = range(%d)\n    t = clock()\n    for _ in r:\n        %s\n    return (clock() - t) / %d\n" % (
        N, body, N)
    exec(source, namespace)
    return namespace["run"]


def main():
    common.use_module()
    import mirl_nif
    from pysat.solvers import Minisat22

    bare, bare_fast = build_bare()
    handle = mirl_nif.new({})
    mirl_nif.add_variables(handle, 10)
    peer = Minisat22(bootstrap_with=[[1, 2]])
    env = {"clock": common.clock, "value": mirl_nif.value, "level": mirl_nif.level, "bare": bare, "bare_fast": bare_fast,
           "s": handle,
           "peer": peer}
    timers = {
        "empty": loop_timer("pass", env),
        "bare(s)": loop_timer("bare(s)", env),
        "bare(s, 1)": loop_timer("bare(s, 1)", env),
        "bare_fast(s)": loop_timer("bare_fast(s)", env),
        "bare_fast(s, 1)": loop_timer("bare_fast(s, 1)", env),
        "level(s)": loop_timer("level(s)", env),
        "value(s, 1)": loop_timer("value(s, 1)", env),
        "minisat.nof_vars()": loop_timer("peer.nof_vars()", env),
    }
    samples = {name: [] for name in timers}
    for _ in range(9):
        for name, timer in timers.items():
            samples[name].append(timer())
    base = common.median(samples["empty"])
    ns = {name: (common.median(values) - base) * 1e9 for name, values in samples.items() if name != "empty"}
    result = {
        "ns": ns,
        "rows": [
            ["level(s)", ns["level(s)"], ns["bare(s)"], ns["level(s)"] / ns["bare(s)"]],
            ["value(s, 1)", ns["value(s, 1)"], ns["bare(s, 1)"], ns["value(s, 1)"] / ns["bare(s, 1)"]],
            ["level(s) vs bare_fast(s)", ns["level(s)"], ns["bare_fast(s)"], ns["level(s)"] / ns["bare_fast(s)"]],
            ["value(s, 1) vs bare_fast(s, 1)", ns["value(s, 1)"], ns["bare_fast(s, 1)"],
             ns["value(s, 1)"] / ns["bare_fast(s, 1)"]],
            ["value(s, 1) vs minisat.nof_vars()", ns["value(s, 1)"], ns["minisat.nof_vars()"],
             ns["value(s, 1)"] / ns["minisat.nof_vars()"]],
        ],
        "calls": N,
    }
    peer.delete()
    common.save("overhead", result)
    for row in result["rows"]:
        print("%-36s %8.1f ns %8.1f ns  ratio %.2f" % tuple(row))
    return result


COUNTED = r"""
import sys
sys.path[:0] = sys.argv[1].split(":")
import mirl_nif, bare_ext
s = mirl_nif.new({})
mirl_nif.add_variables(s, 10)
value, level, bare, bare_fast = mirl_nif.value, mirl_nif.level, bare_ext.bare, bare_ext.bare_fast
def run(n):
    for _ in range(n):
        %s
run(int(sys.argv[2]))
"""


def instructions(body, n):
    """Instructions callgrind counts for a process running `body` n times."""
    path = os.pathsep.join([os.path.join(common.RESULTS, "bare"), common.module_dir()])
    with tempfile.TemporaryDirectory() as scratch:
        out = os.path.join(scratch, "callgrind.out")
        run = subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=" + out, sys.executable, "-c",
                              COUNTED % body, path, str(n)], capture_output=True, text=True, check=True)
    return int(re.search(r"Collected : (\d+)", run.stderr).group(1))


def count_instructions():
    common.use_module()
    build_bare()
    if shutil.which("valgrind") is None:
        raise SystemExit("valgrind is not installed")
    n = 100_000
    base = instructions("pass", 0)
    per_call = {body: (instructions(body, n) - base) / n for body in
                ("pass", "bare(s)", "bare(s, 1)", "bare_fast(s)", "bare_fast(s, 1)", "level(s)", "value(s, 1)")}
    loop = per_call.pop("pass")
    net = {body: count - loop for body, count in per_call.items()}
    rows = [["level(s)", net["level(s)"], net["bare(s)"], net["level(s)"] / net["bare(s)"]],
            ["value(s, 1)", net["value(s, 1)"], net["bare(s, 1)"], net["value(s, 1)"] / net["bare(s, 1)"]],
            ["level(s) vs bare_fast(s)", net["level(s)"], net["bare_fast(s)"], net["level(s)"] / net["bare_fast(s)"]],
            ["value(s, 1) vs bare_fast(s, 1)", net["value(s, 1)"], net["bare_fast(s, 1)"],
             net["value(s, 1)"] / net["bare_fast(s, 1)"]]]
    common.save("overhead_instructions", {"rows": rows, "calls": n})
    for row in rows:
        print("%-36s %8.0f instr %8.0f instr  ratio %.2f" % tuple(row))
    return rows


if __name__ == "__main__":
    if "--instructions" in sys.argv:
        count_instructions()
    else:
        main()
