"""Replacing the reference solver's decision and restart policies with Python.

The decision policy below is the static Jeroslow-Wang rule: every literal
scores the sum of 2**-len(C) over the clauses C containing it, and each
decision takes the unassigned variable with the best score, in the polarity
that scores higher.  The restart policy restarts after a fixed number of
conflicts that grows slowly with every restart.  Run it as

    python examples/custom_heuristic.py [FILE.cnf]

(FILE defaults to examples/uf50-01.cnf).
"""

import os
import sys
from collections import defaultdict

import mirl


def jeroslow_wang(clauses):
    """A decision policy: a callable that gets the solver and returns the
    literal to decide next, or None to let the kernel pick."""
    score = defaultdict(float)
    for clause in clauses:
        for literal in clause:
            score[literal] += 2.0 ** -len(clause)
    variables = {abs(literal) for literal in score}
    ranked = sorted(variables, key=lambda v: -max(score[v], score[-v]))
    order = [v if score[v] >= score[-v] else -v for v in ranked]

    def decide(solver):
        for literal in order:
            if solver.value(literal) is None:
                return literal
        return None  # every scored variable is assigned: the kernel finishes

    return decide


def slowly_growing_restarts(restarts):
    """A restart policy: conflicts allowed before restart number ``restarts``."""
    return 50 + 10 * restarts


def main(path):
    cnf = mirl.read_dimacs(path)
    with mirl.Solver(
        cnf.clauses, decision_policy=jeroslow_wang(cnf.clauses), restarts=slowly_growing_restarts
    ) as solver:
        answer = solver.solve()
        stats = solver.accum_stats()
        print("answer:", {True: "SAT", False: "UNSAT", None: "UNKNOWN"}[answer])
        print("conflicts %(conflicts)d, decisions %(decisions)d, restarts %(restarts)d" % stats)
        if answer:
            model = solver.get_model()
            assert all(any(model[abs(l) - 1] == l for l in clause) for clause in cnf.clauses)
            print("model:", " ".join(map(str, model)))


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "uf50-01.cnf"))
