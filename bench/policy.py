"""The search policy of the reference solver, judged by its counts: each
instance is solved by mirl.Solver and by PySAT's MiniSat side by side in this
process, each under a time limit, and the table gives next to each time the
work that bought it.

    python bench/policy.py [--limit SECONDS] [--json NAME] [INSTANCE ...]

INSTANCE is FAMILY/NAME of the shared benchmark set, or a FAMILY for all of
its instances (default: a handful across the families).  Columns: seconds, conflicts, clause visits per
conflict and per trail assignment, the learnt clauses held on average (sampled
at every conflict a multiple of 64) for mirl; seconds, conflicts and
propagations per conflict for MiniSat (its ``propagations`` counts trail
assignments, so it is the figure to put next to mirl's assignments per
conflict).  A run that hits the limit prints its time with a ``>``.
"""

import argparse
import os
import sys
import threading
import time

import common

common.use_module()

import mirl  # noqa: E402
import mirl_nif  # noqa: E402

QUICK = [
    "uf200/uf200-01", "uf250/uf250-01", "uuf200/uuf200-04", "uuf250/uuf250-01",
    "blocksworld/bw_large.c", "hole/hole8", "ii/ii16b1", "ssa/ssa2670-141", "bmc/bmc-ibm-5",
    "logistics/logistics.d", "parity/par16-1-c", "industrial/q_query_3_l37_lambda",
    "industrial/32bits_10", "industrial/manol-pipe-c9", "flat200/flat200-3", "ais/ais10",
]


class Counted(mirl.Solver):
    """The reference solver, sampling the learnt clauses it holds at every
    restart and every 1024 conflicts (through the progress callback, so the
    conflict loop runs as it does for any user)."""

    def __init__(self, *args, **kwargs):
        super().__init__(*args, progress=self._sample, **kwargs)
        self.held = []

    def _sample(self, solver):
        self.held.append(mirl_nif.info(self.handle, "number_of_learnt_clauses"))

    def counts(self):
        """Conflicts, visits, trail assignments and average learnt clauses
        held, once the solve is over."""
        stats = self.stats
        held = sum(self.held) / len(self.held) if self.held else stats["learnt_clauses"]
        return {"conflicts": stats["conflicts"], "visits": stats["clause_visits"],
                "assignments": stats["propagations"], "held": held}


def solve_mirl(clauses, nvars, limit, **options):
    solver = Counted(**options)
    solver.ensure_vars(nvars)
    solver.append_formula(clauses)
    timer = threading.Timer(limit, solver.interrupt)
    start = time.perf_counter()
    timer.start()
    answer = solver.solve()
    seconds = time.perf_counter() - start
    timer.cancel()
    if answer:
        model = set(solver.get_model())
        assert all(any(l in model for l in c) for c in clauses)
    result = solver.counts()
    result.update({"answer": answer, "seconds": seconds,
                   "per_conflict": result["visits"] / max(1, result["conflicts"]),
                   "per_assignment": result["visits"] / max(1, result["assignments"])})
    return result


def solve_minisat(clauses, limit):
    from pysat.solvers import Minisat22

    with Minisat22(bootstrap_with=clauses) as peer:
        timer = threading.Timer(limit, peer.interrupt)
        start = time.perf_counter()
        timer.start()
        answer = peer.solve_limited(expect_interrupt=True)
        seconds = time.perf_counter() - start
        timer.cancel()
        stats = peer.accum_stats()
    return {"answer": answer, "seconds": seconds, "conflicts": stats["conflicts"],
            "per_conflict": stats["propagations"] / max(1, stats["conflicts"])}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("instances", nargs="*", default=QUICK)
    parser.add_argument("--limit", type=float, default=20.0)
    parser.add_argument("--json", help="save the rows under this name in build/bench-results")
    parser.add_argument("--option", action="append", default=[],
                        help="a Solver option NAME=VALUE (a Python literal), e.g. bump='next'")
    options = parser.parse_args()
    settings = {}
    for item in options.option:
        name, _, value = item.partition("=")
        settings[name] = eval(value, {})
    header = "%-24s %6s | %8s %8s %8s %7s %7s | %8s %8s %7s | %6s"
    row = "%-24s %6s | %7s%s %8d %8.0f %7.1f %7.0f | %7s%s %8d %7.0f | %6.2f"
    print(header % ("instance", "answer", "mirl s", "confl", "vis/cfl", "vis/asg", "held", "mini s", "confl",
                    "prp/cfl", "ratio"))
    rows = []
    totals = [0.0, 0.0]
    names = []
    for name in options.instances:
        if "/" in name:
            names.append(name)
        else:  # a whole family
            names += [name + "/" + os.path.basename(path)[:-4] for path in common.family_files(name)]
    for name in names:
        path = os.path.join(common.BENCH, name + ".cnf")
        nvars, clauses = common.read_cnf(path)
        ours = solve_mirl(clauses, nvars, options.limit, **settings)
        peer = solve_minisat(clauses, options.limit)
        if ours["answer"] is not None and peer["answer"] is not None:
            assert ours["answer"] == peer["answer"], name
        answer = ours["answer"] if ours["answer"] is not None else peer["answer"]
        ratio = ours["seconds"] / max(peer["seconds"], 1e-6)
        totals[0] += ours["seconds"]
        totals[1] += peer["seconds"]
        print(row % (name.split("/")[-1][:24], {True: "SAT", False: "UNSAT", None: "?"}[answer],
                     "%.3f" % ours["seconds"], ">" if ours["answer"] is None else " ", ours["conflicts"],
                     ours["per_conflict"], ours["per_assignment"], ours["held"],
                     "%.3f" % peer["seconds"], ">" if peer["answer"] is None else " ", peer["conflicts"],
                     peer["per_conflict"], ratio))
        sys.stdout.flush()
        rows.append({"instance": name, "mirl": ours, "minisat": peer})
    print("total: mirl %.2f s, MiniSat %.2f s, ratio %.2f" % (totals[0], totals[1], totals[0] / max(totals[1], 1e-6)))
    if options.json:
        common.save(options.json, {"limit": options.limit, "options": options.option, "rows": rows})


if __name__ == "__main__":
    main()
