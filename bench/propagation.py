"""Propagation rate of the native loop against PySAT's MiniSat.

What is counted, on both sides, is trail assignments: every literal put on
the trail, decisions included (MiniSat's `propagations` counter counts every
literal its propagate loop dequeues, which is every literal on the trail).
For mirl that is the growth of info(number_of_bound_variables) across a call.

1. nbcp from level 0: a fresh solver with the formula loaded; one nbcp/1 call
   propagates and decides until every variable is assigned or a clause
   conflicts; rate = trail length / time of that call.  MiniSat: a whole
   solve() of the same formula, rate = its propagations / solve time.
2. Full search: the reference solver's solve(); rate = trail assignments /
   solve time (counted in a second, instrumented run that follows the same
   deterministic path; the timed run has no instrumentation).  The "native"
   column divides by the time spent inside the nbcp/bcp calls only.
3. Kernel (`--kernel DIR [DIR ...]`): CPU time inside nbcp/bcp per trail
   assignment over the reference solver's searches on one instance of each
   structured family and two random ones, for builds of the module in the
   given folders, run interleaved (each search in a fresh process); the
   searches must assign the same literals in every build.

Each figure is the median of several runs.
"""

import os
import subprocess
import sys
import time

import common

RUNS = 5


def nbcp_instances():
    rows = []
    for name, variables, ratio in (("rand3 n=100000 r=2.0", 100_000, 2.0), ("rand3 n=300000 r=1.5", 300_000, 1.5)):
        rows.append((name, variables, common.random_3sat(variables, int(variables * ratio), 7)))
    for family, name in (("blocksworld", "bw_large.c.cnf"), ("bmc", "bmc-ibm-7.cnf"),
                         ("industrial", "q_query_3_l37_lambda.cnf"), ("logistics", "logistics.d.cnf")):
        variables, clauses = common.read_cnf("%s/%s/%s" % (common.BENCH, family, name))
        rows.append((name[:-4], variables, clauses))
    return rows


def our_nbcp(variables, clauses):
    import mirl
    import mirl_nif

    solver = mirl.Solver()
    solver.ensure_vars(variables)
    solver.append_formula(clauses)
    handle = solver.handle
    before = mirl_nif.info(handle, "number_of_bound_variables")
    start = common.clock()
    mirl_nif.nbcp(handle)
    seconds = common.clock() - start
    assigned = mirl_nif.info(handle, "number_of_bound_variables") - before
    return assigned, seconds


def minisat_solve(clauses):
    from pysat.solvers import Minisat22

    with Minisat22(bootstrap_with=clauses) as peer:
        start = common.clock()
        peer.solve()
        seconds = common.clock() - start
        return peer.accum_stats()["propagations"], seconds


# The kernel functions mirl.solver binds to module-level names at import.
BOUND_NAMES = {"_nbcp": "nbcp", "_level": "level", "_conflict": "conflict", "_minimize_clause": "minimize",
               "_get_clause": "get_clause", "_implication_level": "implication_level",
               "_compress_clause": "compress_clause", "_bindings_of_level": "get_number_of_bindings",
               "_pop_to": "pop", "_move_clause": "move_clause"}


class Counting:
    """Stands in for mirl_nif inside mirl.solver (and for the functions it
    binds to module-level names, see `install`): adds up the growth of the
    trail across every call (when `assignments`), and the CPU time spent
    inside nbcp and bcp."""

    def __init__(self, nif, assignments=True):
        self._nif = nif
        self._assignments = assignments
        self.assigned = 0
        self.native = 0.0

    def install(self, driver):
        """Replaces mirl.solver's module-level kernel names; returns what to
        put back."""
        saved = {name: getattr(driver, name) for name in BOUND_NAMES if hasattr(driver, name)}
        saved["_nif"] = driver._nif
        for name in saved:
            if name != "_nif":
                setattr(driver, name, self._wrap(BOUND_NAMES[name], saved[name]))
        driver._nif = self
        return saved

    def __getattr__(self, name):
        target = getattr(self._nif, name)
        if not callable(target) or name in ("pop", "info", "new"):
            return target
        return self._wrap(name, target)

    def _wrap(self, name, target):
        info = self._nif.info
        timed = name in ("nbcp", "bcp")
        clock = time.process_time
        if not self._assignments:
            if not timed:
                return target

            def timed_call(handle, *args):
                start = clock()
                result = target(handle, *args)
                self.native += clock() - start
                return result

            return timed_call

        def call(handle, *args):
            before = info(handle, "number_of_bound_variables")
            start = clock()
            result = target(handle, *args)
            if timed:
                self.native += clock() - start
            grown = info(handle, "number_of_bound_variables") - before
            if grown > 0:
                self.assigned += grown
            return result

        return call


def our_search(variables, clauses, counting=False, limit=0):
    import mirl
    import mirl.solver as driver

    counter = Counting(driver._nif, assignments=counting != "time") if counting else None
    saved = counter.install(driver) if counter else {}
    try:
        solver = mirl.Solver()
        solver.ensure_vars(variables)
        solver.append_formula(clauses)
        if limit:
            solver.conf_budget(limit)
        start = common.clock()
        solver.solve_limited() if limit else solver.solve()
        seconds = common.clock() - start
        conflicts = solver.accum_stats()["conflicts"]
    finally:
        for name, value in saved.items():
            setattr(driver, name, value)
    return seconds, conflicts, counter


def search_instances():
    rows = []
    for family, limit in (("uf150", 4), ("uuf150", 4)):
        for path in common.family_files(family, limit):
            rows.append(path)
    for family, name in (("flat200", "flat200-1.cnf"), ("logistics", "logistics.c.cnf"), ("ssa", "ssa2670-141.cnf"),
                         ("blocksworld", "bw_large.b.cnf"), ("ii", "ii32a1.cnf"), ("parity", "par16-1-c.cnf")):
        rows.append("%s/%s/%s" % (common.BENCH, family, name))
    return rows


def main():
    common.use_module()
    nbcp_rows = []
    print("nbcp from level 0: trail assignments per second")
    for name, variables, clauses in nbcp_instances():
        ours, theirs = [], []
        for _ in range(RUNS):
            assigned, seconds = our_nbcp(variables, clauses)
            ours.append(assigned / seconds)
            props, seconds = minisat_solve(clauses)
            theirs.append(props / seconds)
        a, b = common.median(ours), common.median(theirs)
        nbcp_rows.append([name, assigned, a, props, b, a / b])
        print("  %-28s %9d %10.3g/s | minisat %9d %10.3g/s | ratio %.2f" % tuple(nbcp_rows[-1]))
    search_rows = []
    print("full search: trail assignments per second")
    import os

    for path in search_instances():
        variables, clauses = common.read_cnf(path)
        times, peer_rates = [], []
        for _ in range(3):
            seconds, conflicts, _ = our_search(variables, clauses)
            times.append(seconds)
            props, peer_seconds = minisat_solve(clauses)
            peer_rates.append(props / peer_seconds)
        _, _, counter = our_search(variables, clauses, counting=True)
        seconds = common.median(times)
        rate = counter.assigned / seconds
        native = counter.assigned / counter.native if counter.native else 0.0
        peer = common.median(peer_rates)
        name = os.path.basename(path)[:-4]
        search_rows.append([name, conflicts, counter.assigned, rate, native, peer, rate / peer, native / peer])
        print("  %-16s %8d confl %10d assigned %9.3g/s native %9.3g/s | minisat %9.3g/s | ratio %.2f native %.2f"
              % tuple(search_rows[-1]))
        sys.stdout.flush()
    result = {"nbcp": nbcp_rows, "search": search_rows}
    common.save("propagation", result)
    return result


# (family, instance, conflict limit or 0, searches per process): one
# instance of each structured family, then random 3-SAT.
KERNEL_SET = (
    ("blocksworld", "bw_large.c", 0, 4), ("bmc", "bmc-ibm-7", 0, 8), ("logistics", "logistics.d", 0, 6),
    ("ii", "ii32a1", 0, 4), ("ssa", "ssa2670-141", 0, 10), ("parity", "par16-1-c", 0, 2),
    ("flat200", "flat200-1", 0, 10), ("industrial", "q_query_3_l37_lambda", 0, 1),
    ("industrial", "cmu-bmc-longmult15", 5000, 1), ("industrial", "manol-pipe-c9", 5000, 1),
    ("uuf200", "uuf200-04", 8000, 1), ("uf250", "uf250-01", 8000, 1),
)
RANDOM_FAMILIES = ("uuf200", "uf250")


def kernel_child(argv):
    """In a process of its own: MODE (time or count), limit, repeats, path."""
    mode, limit, repeats, path = argv[0], int(argv[1]), int(argv[2]), argv[3]
    variables, clauses = common.read_cnf(path)
    native = assigned = 0
    for _ in range(repeats):
        _, _, counter = our_search(variables, clauses, counting=mode, limit=limit)
        native += counter.native
        assigned += counter.assigned
    print(native / repeats, assigned // repeats)


def kernel(folders, rounds):
    """Interleaved CPU time inside nbcp/bcp per assignment for each build."""
    here = os.path.abspath(__file__)
    times = {}
    counts = {}
    for r in range(rounds):
        order = folders if r % 2 == 0 else folders[::-1]
        for family, name, limit, repeats in KERNEL_SET:
            path = "%s/%s/%s.cnf" % (common.BENCH, family, name)
            for folder in order:
                env = dict(os.environ, MIRL_BENCH_MODULE_DIR=folder)
                modes = ("time", "count") if r == 0 else ("time",)
                for mode in modes:
                    out = subprocess.run([sys.executable, here, "--kernel-child", mode, str(limit),
                                          str(repeats if mode == "time" else 1), path],
                                         env=env, capture_output=True, text=True, check=True).stdout.split()
                    if mode == "time":
                        times.setdefault((name, folder), []).append(float(out[0]))
                    else:
                        counts[(name, folder)] = int(out[1])
        print("round %d of %d" % (r + 1, rounds), file=sys.stderr)
    rows = []
    print("CPU inside nbcp/bcp per trail assignment (ns), median of %d interleaved runs" % rounds)
    print("  %-22s %10s " % ("instance", "assigned") + " ".join("%10s" % ("build %d" % i) for i in range(len(folders)))
          + "  ratios to build 0")
    for family, name, _, _ in KERNEL_SET:
        assigned = counts[(name, folders[0])]
        if any(counts[(name, f)] != assigned for f in folders):
            print("  %s: the builds assign different literals %s" % (name, [counts[(name, f)] for f in folders]))
        per = [common.median(times[(name, f)]) / assigned * 1e9 for f in folders]
        rows.append([family, name, assigned] + per)
        print("  %-22s %10d " % (name, assigned) + " ".join("%10.1f" % x for x in per) + "  "
              + " ".join("%.3f" % (x / per[0]) for x in per[1:]))
    for label, chosen in (("structured", [r for r in rows if r[0] not in RANDOM_FAMILIES]),
                          ("random", [r for r in rows if r[0] in RANDOM_FAMILIES])):
        for i in range(1, len(folders)):
            product = 1.0
            for row in chosen:
                product *= row[3 + i] / row[3]
            print("  %s, build %d / build 0: geometric mean %.3f" % (label, i, product ** (1.0 / len(chosen))))
    return rows


if __name__ == "__main__":
    if sys.argv[1:2] == ["--kernel-child"]:
        common.use_module()
        kernel_child(sys.argv[2:])
    elif sys.argv[1:2] == ["--kernel"]:
        arguments = sys.argv[2:]
        rounds = 5
        if arguments[:1] == ["--runs"]:
            rounds, arguments = int(arguments[1]), arguments[2:]
        common.use_module()
        kernel([os.path.abspath(f) for f in arguments], rounds)
    else:
        main()
