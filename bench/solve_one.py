"""Worker of the end-to-end and memory benchmarks: solve one CNF file with one
solver in this fresh process and print one JSON line.

    python bench/solve_one.py SOLVER FILE [--memory]

SOLVER is mirl, minisat, cadical or pycosat.  The time covers solving only
(the file is read first).  mirl and MiniSat also report their counts:
conflicts, and clause visits, trail assignments and learnt clauses held
(mirl, counted by bench/policy.py's ``Counted`` from the solver's statistics
and a sample of the held clauses at each restart and every 1024 conflicts,
so nothing is added to the conflict loop) or propagations (MiniSat's trail
assignments).  --memory loads the formula without solving and
reports the resident-size growth that loading into the solver caused.
"""

import json
import sys

import common


def main():
    name, path = sys.argv[1], sys.argv[2]
    memory = "--memory" in sys.argv
    variables, clauses = common.read_cnf(path)
    before = common.resident_bytes()
    start = common.clock()
    counts = {}
    if name == "mirl":
        from policy import Counted

        solver = Counted()
        solver.ensure_vars(variables)
        solver.append_formula(clauses)
        loaded = common.resident_bytes()
        answer = None if memory else solver.solve()
        if not memory:
            counts = solver.counts()
    elif name in ("minisat", "cadical"):
        from pysat.solvers import Cadical153, Minisat22

        solver = (Minisat22 if name == "minisat" else Cadical153)(bootstrap_with=clauses)
        loaded = common.resident_bytes()
        answer = None if memory else solver.solve()
        if not memory:
            stats = solver.accum_stats()
            counts = {"conflicts": stats["conflicts"], "propagations": stats["propagations"]}
    elif name == "pycosat":
        import pycosat

        loaded = before
        answer = None if memory else pycosat.solve(clauses, vars=variables) != "UNSAT"
    else:
        raise SystemExit("unknown solver " + name)
    seconds = common.clock() - start
    literals = sum(len(c) for c in clauses)
    result = {"answer": answer, "seconds": seconds, "grown": loaded - before, "literals": literals,
              "clauses": len(clauses)}
    result.update(counts)
    print(json.dumps(result))


if __name__ == "__main__":
    main()
