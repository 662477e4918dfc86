"""Call overhead: value/2 and level/1 of mirl_nif against a bare METH_VARARGS
function (bench/bare.cpp, compiled here with the release flags -O3 -fPIC) and
against PySAT's Minisat22().nof_vars().

Each figure is the median of 9 interleaved runs of a loop of N calls; the
per-call time subtracts an empty loop of the same shape, so the ratios compare
the calls alone.
"""

import os
import subprocess
import sys
import sysconfig

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

    return bare_ext.bare


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

    bare = build_bare()
    handle = mirl_nif.new({})
    mirl_nif.add_variables(handle, 10)
    peer = Minisat22(bootstrap_with=[[1, 2]])
    env = {"clock": common.clock, "value": mirl_nif.value, "level": mirl_nif.level, "bare": bare, "s": handle,
           "peer": peer}
    timers = {
        "empty": loop_timer("pass", env),
        "bare(s)": loop_timer("bare(s)", env),
        "bare(s, 1)": loop_timer("bare(s, 1)", env),
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


if __name__ == "__main__":
    main()
