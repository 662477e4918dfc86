"""End to end: the reference solver (mirl.Solver) against PySAT's MiniSat 2.2
and CaDiCaL 1.5.3 and pycosat on the shared instance families.  Each solver
runs each instance once in its own subprocess under a wall-clock limit; the
time is the solve time the worker reports (reading the file excluded), an
unsolved run counts twice the limit in PAR-2.  Answers are checked against
each other.  Writes the per-instance times for the cactus plot.

    python bench/end_to_end.py [--limit SECONDS] [--per-family N] [FAMILY ...]

--per-family limits the uf/uuf families only; every structured instance runs.
"""

import argparse
import json
import os
import subprocess
import sys

import common

SOLVERS = ["mirl", "minisat", "cadical", "pycosat"]
RANDOM = ["uf50", "uf100", "uf150", "uf200", "uf250", "uuf50", "uuf100", "uuf150", "uuf200", "uuf250"]
STRUCTURED = ["flat200", "ais", "blocksworld", "logistics", "hole", "parity", "ii", "ssa", "bmc", "industrial"]


def run(solver, path, limit):
    worker = os.path.join(common.HERE, "solve_one.py")
    try:
        done = subprocess.run([sys.executable, worker, solver, path], capture_output=True, text=True,
                              timeout=limit + 5, env=common.child_env())
    except subprocess.TimeoutExpired:
        return None
    if done.returncode != 0:
        sys.stderr.write(done.stderr)
        return None
    result = json.loads(done.stdout.strip().splitlines()[-1])
    if result["seconds"] > limit:
        return None
    return result


def main(argv=None):
    parser = argparse.ArgumentParser()
    parser.add_argument("families", nargs="*", default=RANDOM + STRUCTURED)
    parser.add_argument("--limit", type=float, default=60.0)
    parser.add_argument("--per-family", type=int, default=None)
    options = parser.parse_args(argv)
    rows = []
    for family in options.families:
        # The random families have ten instances of one kind each: a few are
        # enough. Every structured instance runs.
        for path in common.family_files(family, options.per_family if family in RANDOM else None):
            row = {"family": family, "instance": os.path.basename(path)[:-4]}
            for solver in SOLVERS:
                result = run(solver, path, options.limit)
                row[solver] = None if result is None else result["seconds"]
                row[solver + "_answer"] = None if result is None else result["answer"]
                if result is not None and solver in ("mirl", "minisat"):
                    for key in ("conflicts", "visits", "assignments", "held", "propagations"):
                        if key in result:
                            row[solver + "_" + key] = result[key]
            answers = {row[s + "_answer"] for s in SOLVERS if row[s] is not None}
            if len(answers) > 1:
                raise SystemExit("solvers disagree on " + path)
            rows.append(row)
            print("%-12s %-28s " % (family, row["instance"])
                  + " ".join("%8s" % ("-" if row[s] is None else "%.3f" % row[s]) for s in SOLVERS))
            sys.stdout.flush()
    summary = {}
    for solver in SOLVERS:
        solved = [r[solver] for r in rows if r[solver] is not None]
        summary[solver] = {
            "solved": len(solved),
            "total": sum(solved),
            "par2": sum(r[solver] if r[solver] is not None else 2 * options.limit for r in rows),
        }
    both = [r for r in rows if r["mirl"] is not None and r["minisat"] is not None]
    summary["mirl_vs_minisat_on_common"] = (sum(r["mirl"] for r in both), sum(r["minisat"] for r in both), len(both))
    result = {"limit": options.limit, "rows": rows, "summary": summary, "instances": len(rows),
              "families": options.families, "per_family": options.per_family}
    common.save("end_to_end", result)
    print(json.dumps(summary, indent=1))
    return result


if __name__ == "__main__":
    main()
