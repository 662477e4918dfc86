"""Time the reference solver next to PySAT's MiniSat, side by side, on
benchmark families, and count the work of each (conflicts).

    python bench/reference_vs_minisat.py [FAMILY ...] [--csv OUT.csv] [--profile]

FAMILY names folders of the shared benchmark set (default: uf250 uuf250),
looked up in ../shared/bench next to the repository.  Each instance is solved
once by each solver in this process; the table shows seconds and conflicts and
the time ratio.  ``--profile`` runs the reference solver under cProfile and
prints where the Python loop spends its time.
"""

import argparse
import csv
import os
import re
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "python"))

import mirl  # noqa: E402

BENCH = os.path.normpath(os.path.join(HERE, "..", "..", "shared", "bench"))


def natural(name):
    return [int(part) if part.isdigit() else part for part in re.split(r"(\d+)", name)]


def family_files(family):
    folder = os.path.join(BENCH, family)
    return [os.path.join(folder, n) for n in sorted(os.listdir(folder), key=natural) if n.endswith(".cnf")]


def run_reference(clauses, nvars):
    start = time.perf_counter()
    with mirl.Solver() as solver:
        solver.ensure_vars(nvars)
        solver.append_formula(clauses)
        answer = solver.solve()
        conflicts = solver.accum_stats()["conflicts"]
        if answer:
            model = set(solver.get_model())
            assert all(any(l in model for l in c) for c in clauses)
    return answer, time.perf_counter() - start, conflicts


def run_minisat(clauses):
    from pysat.solvers import Minisat22

    start = time.perf_counter()
    with Minisat22(bootstrap_with=clauses) as peer:
        answer = peer.solve()
        conflicts = peer.accum_stats()["conflicts"]
    return answer, time.perf_counter() - start, conflicts


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("families", nargs="*", default=["uf250", "uuf250"])
    parser.add_argument("--csv", help="also write the rows to this CSV file")
    parser.add_argument("--profile", action="store_true", help="profile the reference solver's loop")
    options = parser.parse_args()
    if options.profile:
        import cProfile
        import pstats

        formulas = [mirl.read_dimacs(path) for family in options.families for path in family_files(family)]
        profile = cProfile.Profile()
        profile.enable()
        for cnf in formulas:
            run_reference(cnf.clauses, cnf.nvars)
        profile.disable()
        pstats.Stats(profile).sort_stats("tottime").print_stats(15)
        return
    rows = []
    row = "%-14s %7s | %9.3f %9d | %9.3f %9d | %7.1f"
    print("%-14s %7s | %9s %9s | %9s %9s | %7s"
          % ("instance", "answer", "mirl s", "conflicts", "minisat s", "conflicts", "ratio"))
    totals = {}
    for family in options.families:
        for path in family_files(family):
            cnf = mirl.read_dimacs(path)
            ours = run_reference(cnf.clauses, cnf.nvars)
            peer = run_minisat(cnf.clauses)
            assert ours[0] == peer[0], path
            name = os.path.basename(path)[:-4]
            ratio = ours[1] / max(peer[1], 1e-9)
            answer = "SAT" if ours[0] else "UNSAT"
            print(row % (name, answer, ours[1], ours[2], peer[1], peer[2], ratio))
            rows.append((family, name, ours[0], ours[1], ours[2], peer[1], peer[2]))
            total = totals.setdefault(family, [0.0, 0, 0.0, 0])
            total[0] += ours[1]
            total[1] += ours[2]
            total[2] += peer[1]
            total[3] += peer[2]
    for family, (t1, c1, t2, c2) in totals.items():
        print(row % (family + " total", "", t1, c1, t2, c2, t1 / max(t2, 1e-9)))
    if options.csv:
        with open(options.csv, "w", newline="") as stream:
            writer = csv.writer(stream)
            writer.writerow(["family", "instance", "answer", "mirl_seconds", "mirl_conflicts",
                             "minisat_seconds", "minisat_conflicts"])
            writer.writerows(rows)


if __name__ == "__main__":
    main()
