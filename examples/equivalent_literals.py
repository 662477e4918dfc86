"""Replacing equivalent literals by one representative with ``subst/3``.

The formula below is two copies of the same random 3-SAT formula over
variables 1..n and n+1..2n, tied together by binary clauses saying
x ≡ x' for each copy x' of x (the shape of an equivalence check of two
circuits).  The program finds every pair of binary clauses [-a, b],
[a, -b] by walking the clause set, and declares a ≡ b: the kernel rewrites
every clause of b to a, marks the clauses that became tautologies dead, and
from then on reads b as a everywhere.  The search then runs on half the
variables, and ``value/2`` still answers for the substituted ones.  Run it as

    python examples/equivalent_literals.py
"""

import random

import mirl_nif as m


def formula(n, ratio=3.5, seed=3):
    rng = random.Random(seed)
    half = [[rng.choice((1, -1)) * v for v in rng.sample(range(1, n + 1), 3)] for _ in range(int(ratio * n))]
    copy = [[l + n if l > 0 else l - n for l in clause] for clause in half]
    ties = [c for v in range(1, n + 1) for c in ([-v, v + n], [v, -v - n])]
    return half + copy + ties


def equivalences(s):
    """Pairs (a, b) with both binary clauses [-a, b] and [a, -b] stored."""
    binary, clause_id = set(), m.clauseset_first(s, "delta")
    while clause_id is not False:
        clause = m.get_clause(s, clause_id, None, True)
        if len(clause) == 2:
            binary.add(frozenset(clause))
        clause_id = m.clauseset_next(s, clause_id)
    pairs = set()
    for a, b in map(tuple, binary):
        if frozenset((-a, -b)) in binary:  # a | b and -a | -b: a = -b
            a, b = sorted((a, -b), key=abs)
            pairs.add((a, b) if a > 0 else (-a, -b))
    return sorted(pairs)


def search(s, n):
    """Kernel-driven CDCL: a model of variables 1..n, or False."""
    while True:
        if m.nbcp(s):
            return [v if m.value(s, v) else -v for v in range(1, n + 1)]
        level = m.level(s)
        if level == 0:
            return False
        learnt = m.conflict(s, level, "next", 0)
        if learnt is False:
            return False
        if learnt is None or learnt is True:
            m.pop(s, level - 1)
            continue
        m.pop(s, m.clause_info(s, learnt, "jump")[3] if m.clause_info(s, learnt, "length") > 1 else 0)
        m.move_clause(s, learnt, "gamma")


def main(n=40):
    clauses = formula(n)
    s = m.new({"xref": True, "all_used": True})  # subst/3 needs the occurrence lists
    m.add_variables(s, 2 * n)
    for clause in clauses:
        m.add_clause(s, clause)
    pairs = equivalences(s)
    print("%d equivalences found, for example %d = %d" % ((len(pairs),) + pairs[0]))
    clause_id = m.literal_info(s, n + 1, "xref")[0]  # the first clause containing x'1
    before = m.get_clause(s, clause_id)
    for a, b in pairs:
        assert m.subst(s, a, b) is True
    print("substituted %d variables; %d tautologies are dead"
          % (m.info(s, "number_of_subst_variables"), m.info(s, "number_of_dead_clauses")))
    print("clause %d was %s, now %s; bound(%d) = %d"
          % (clause_id, before, m.get_clause(s, clause_id), n + 1, m.bound(s, n + 1)))
    model = search(s, 2 * n)
    print("%s after %d conflicts" % ("SAT" if model else "UNSAT", m.info(s, "conflict_counter")))
    if model:
        assert all(any(model[abs(l) - 1] == l for l in clause) for clause in clauses)
        assert all((model[v - 1] > 0) == (model[v + n - 1] > 0) for v in range(1, n + 1))
        print("x1 = %s, x'1 = %s" % (m.value(s, 1), m.value(s, n + 1)))


if __name__ == "__main__":
    main()
