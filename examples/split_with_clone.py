"""Splitting a search into independent parts with ``clone/2``.

A short search on the whole formula learns some clauses first; then the two
most frequent variables split the problem into four cubes, and each cube is
solved on its own copy of the solver.  ``clone(s, {"set": ["gamma"]})``
copies the variables, the root assignments and the original clauses (clause
set ``delta``) together with the learnt ones (``gamma``), so every part
starts from what the short search found; the copies share nothing and could
run in separate processes.  Run it as

    python examples/split_with_clone.py [FILE.cnf]

(FILE defaults to examples/uf50-01.cnf).
"""

import itertools
import os
import sys
from collections import Counter

import mirl
import mirl_nif as m


def search(s, n, budget=None):
    """Kernel-driven CDCL: a model, False (unsatisfiable), or None when more
    than ``budget`` conflicts were needed (the solver is then back at level 0)."""
    while True:
        if m.nbcp(s):
            return [v if m.value(s, v) else -v for v in range(1, n + 1)]
        level = m.level(s)
        if level == 0:
            return False
        if budget is not None:
            budget -= 1
            if budget < 0:
                m.pop(s, 0)
                return None
        learnt = m.conflict(s, level, "next", 0)
        if learnt is False:
            return False
        if learnt is None or learnt is True:
            m.pop(s, level - 1)
            continue
        if m.minimize(s, learnt, "recursive") == 1:
            m.pop(s, 0)
        else:
            m.pop(s, m.clause_info(s, learnt, "jump")[3])
        m.move_clause(s, learnt, "gamma")


def main(path):
    cnf = mirl.read_dimacs(path)
    n = cnf.nvars
    parent = m.new({"all_used": True, "use_phase": True, "init_phase": False})
    m.add_variables(parent, n)
    for clause in cnf.clauses:
        m.add_clause(parent, clause)
    if search(parent, n, budget=20) is not None:
        print("solved before splitting")
        return
    print("learnt %d clauses in 20 conflicts" % m.info(parent, "number_of_learnt_clauses"))
    counts = Counter(abs(l) for clause in cnf.clauses for l in clause)
    split = [v for v, _ in counts.most_common(2)]
    models = []
    for signs in itertools.product((1, -1), repeat=len(split)):
        cube = [sign * v for sign, v in zip(signs, split)]
        child = m.clone(parent, {"set": ["gamma"]})
        assert m.info(child, "number_of_learnt_clauses") == m.info(parent, "number_of_learnt_clauses")
        answer = search(child, n) if all(m.bind(child, l) for l in cube) else False
        print("cube %-10s %-5s %3d conflicts" % (cube, "SAT" if answer else "UNSAT",
                                                  m.info(child, "conflict_counter")))
        if answer:
            assert all(any(answer[abs(l) - 1] == l for l in clause) for clause in cnf.clauses)
            models.append(answer)
    print("%d of 4 cubes satisfiable; the parent still has %d clauses at level %d"
          % (len(models), m.info(parent, "number_of_clauses"), m.level(parent)))


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "uf50-01.cnf"))
