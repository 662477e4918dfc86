"""Conflict-driven learning written in Python on top of the kernel.

The kernel decides nothing here and analyses nothing: this program picks
every decision, and when propagation fails it derives the first-UIP clause
itself from the explanations the kernel keeps, the clause that implied each
assignment (``implication_clause``) and the level it was made at
(``implication_level``).  It backjumps and adds the clause as a learnt
clause, which asserts its first literal at once.  On the first conflict it
prints the explanation chain and checks its clause against the kernel's own
analysis (``conflict/4``).  Run it as

    python examples/learning_by_hand.py [FILE.cnf]

(FILE defaults to examples/uf50-01.cnf).
"""

import os
import sys

import mirl
import mirl_nif as m


def analyse(s, conflicting, verbose=False):
    """The first-UIP clause of a conflict on the current level: the literals
    of the conflicting clause are resolved, newest assignment first, with
    the clauses that implied them until one literal of the level is left."""
    level = m.level(s)
    trail = m.get_bindings(s, level)  # the literals made true on this level, oldest first
    clause = m.get_clause(s, conflicting, None, True)  # raw: every literal, none dropped
    if verbose:
        print("conflict: clause %s is false" % (clause,))
    seen, learnt, open_here, i, steps = set(), [], 0, len(trail) - 1, 0
    while True:
        for literal in clause:
            v = abs(literal)
            if v in seen or m.implication_level(s, v) <= 0:
                continue  # met already, or fixed at the root: never part of a learnt clause
            seen.add(v)
            if m.implication_level(s, v) == level:
                open_here += 1
            else:
                learnt.append(literal)
        while abs(trail[i]) not in seen:  # the newest assignment still to resolve
            i -= 1
        p = trail[i]
        i -= 1
        open_here -= 1
        if open_here == 0:
            if verbose and steps > 4:
                print("  ... %d more resolution steps" % (steps - 4))
            return [-p] + learnt  # p is the unique implication point
        reason = m.implication_clause(s, abs(p))
        clause = [l for l in m.get_clause(s, reason, None, True) if l != p]
        steps += 1
        if verbose and steps <= 4:
            print("  %d was implied by clause %d: %s" % (p, reason, m.get_clause(s, reason, None, True)))


def solve(clauses, n):
    s = m.new({"all_used": True, "init_phase": False})
    m.add_variables(s, n)
    for clause in clauses:
        if m.add_clause(s, clause) is False:
            return None, 0
    conflicts = 0
    while True:
        while m.bcp(s) is False:
            if m.level(s) == 0:
                return None, conflicts  # a conflict without decisions: unsatisfiable
            learnt = analyse(s, m.conflicting_clause(s, 0), verbose=conflicts == 0)
            if conflicts == 0:
                kernel = m.conflict(s, m.level(s), "none", 0)  # the kernel's analysis, for comparison
                assert sorted(m.get_clause(s, kernel, None, True)) == sorted(learnt)
                m.del_clause(s, kernel)
                print("learnt %s (the kernel's conflict/4 learns the same clause)" % (learnt,))
            conflicts += 1
            # Backjump to the second highest level of the clause, then add it:
            # every literal but the first is false there, so it asserts -p.
            levels = sorted((m.implication_level(s, abs(l)) for l in learnt[1:]), reverse=True)
            m.pop(s, levels[0] if levels else 0)
            m.add_clause(s, learnt, "gamma")
        v = m.next_unbound(s)
        if v is False:
            return [v if m.value(s, v) else -v for v in range(1, n + 1)], conflicts
        m.push(s)
        m.decide(s, v)  # the phase rule: init_phase False makes v false


def main(path):
    cnf = mirl.read_dimacs(path)
    model, conflicts = solve(cnf.clauses, cnf.nvars)
    print("%s after %d conflicts" % ("SAT" if model else "UNSAT", conflicts))
    if model:
        assert all(any(model[abs(l) - 1] == l for l in clause) for clause in cnf.clauses)
        print("model:", " ".join(map(str, model)))


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "uf50-01.cnf"))
