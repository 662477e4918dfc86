"""Worker of the end-to-end and memory benchmarks: solve one CNF file with one
solver in this fresh process and print one JSON line.

    python bench/solve_one.py SOLVER FILE [--memory]

SOLVER is mirl, minisat, cadical or pycosat.  The time covers solving only
(the file is read first).  --memory loads the formula without solving and
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
    if name == "mirl":
        import mirl

        solver = mirl.Solver()
        solver.ensure_vars(variables)
        solver.append_formula(clauses)
        loaded = common.resident_bytes()
        answer = None if memory else solver.solve()
    elif name in ("minisat", "cadical"):
        from pysat.solvers import Cadical153, Minisat22

        solver = (Minisat22 if name == "minisat" else Cadical153)(bootstrap_with=clauses)
        loaded = common.resident_bytes()
        answer = None if memory else solver.solve()
    elif name == "pycosat":
        import pycosat

        loaded = before
        answer = None if memory else pycosat.solve(clauses, vars=variables) != "UNSAT"
    else:
        raise SystemExit("unknown solver " + name)
    seconds = common.clock() - start
    literals = sum(len(c) for c in clauses)
    print(json.dumps({"answer": answer, "seconds": seconds, "grown": loaded - before, "literals": literals,
                      "clauses": len(clauses)}))


if __name__ == "__main__":
    main()
