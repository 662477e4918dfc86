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

Each figure is the median of several runs.
"""

import sys

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


class Counting:
    """Stands in for mirl_nif inside mirl.solver: adds up the growth of the
    trail across every call, and the time spent inside nbcp and bcp."""

    def __init__(self, nif):
        self._nif = nif
        self.assigned = 0
        self.native = 0.0

    def __getattr__(self, name):
        target = getattr(self._nif, name)
        if not callable(target) or name in ("pop", "info", "new"):
            return target
        info = self._nif.info
        timed = name in ("nbcp", "bcp")

        def call(handle, *args):
            before = info(handle, "number_of_bound_variables")
            start = common.clock()
            result = target(handle, *args)
            if timed:
                self.native += common.clock() - start
            grown = info(handle, "number_of_bound_variables") - before
            if grown > 0:
                self.assigned += grown
            return result

        return call


def our_search(variables, clauses, counting=False):
    import mirl
    import mirl.solver as driver

    saved = driver._nif
    counter = Counting(saved) if counting else None
    if counter:
        driver._nif = counter
    try:
        solver = mirl.Solver()
        solver.ensure_vars(variables)
        solver.append_formula(clauses)
        start = common.clock()
        solver.solve()
        seconds = common.clock() - start
        conflicts = solver.accum_stats()["conflicts"]
    finally:
        driver._nif = saved
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


if __name__ == "__main__":
    main()
