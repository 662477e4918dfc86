"""A complete CDCL search driven through the public functions on random
3-SAT instances: every learnt clause, before and after minimisation, follows
from the clauses before it by unit propagation; every model satisfies the
formula; every refutation ends in a level-0 conflict that unit propagation
confirms; and the verdict agrees with brute force or with MiniSat."""
import random

import pytest

import mirl_nif as m
from kernel import random_3sat, satisfiable, satisfies

pysat_solvers = pytest.importorskip("pysat.solvers")

DISTANCES = ["next", "none", "log2", "log10", "rank", 0, 1, 3, 0.25, 2.5]
MODES = ["local", "global", "recursive"]
QTYPES = ["recursive", "fifo", "lifo"]


class ClauseDatabase:
    """Clauses with per-literal occurrence lists, to test whether a clause
    follows by reverse unit propagation: assign its negation, propagate, and
    look for a conflict."""

    def __init__(self, n):
        self.n = n
        self.occurs = {lit: [] for v in range(1, n + 1) for lit in (v, -v)}
        self.units = []  # propagation never visits these: they start it

    def add(self, clause):
        if len(clause) == 1:
            self.units.append(clause[0])
        for lit in clause:
            self.occurs[lit].append(clause)

    def implies(self, clause):
        value = [0] * (self.n + 1)  # 1 true, -1 false, 0 unassigned
        falsified = []
        for lit in clause:
            sign = 1 if lit > 0 else -1
            if value[abs(lit)] == sign:
                return True  # the clause holds a literal and its negation
            value[abs(lit)] = -sign
            falsified.append(lit)
        for lit in self.units:
            sign = 1 if lit > 0 else -1
            if value[abs(lit)] == -sign:
                return True
            if value[abs(lit)] == 0:
                value[abs(lit)] = sign
                falsified.append(-lit)
        while falsified:
            for other in self.occurs[falsified.pop()]:
                free, unit = 0, 0
                for lit in other:
                    val = value[abs(lit)]
                    if val == 0:
                        free += 1
                        unit = lit
                    elif (val > 0) == (lit > 0):
                        break
                else:
                    if free == 0:
                        return True
                    if free == 1:
                        value[abs(unit)] = 1 if unit > 0 else -1
                        falsified.append(-unit)
        return False


def minisat_satisfiable(clauses):
    with pysat_solvers.Minisat22(bootstrap_with=clauses) as solver:
        return solver.solve()


def cdcl(n, clauses, rng):
    """Searches with nbcp, learns with conflict and minimize, backjumps with
    clause_info 'jump' and pop, activates with move_clause. Returns the
    model (a list of booleans) or None for unsatisfiable, after checking
    every learnt clause against the clauses before it."""
    s = m.new(
        {
            "all_used": True,
            "qtype": rng.choice(QTYPES),
            "use_phase": rng.random() < 0.5,
            "init_phase": rng.choice([True, False, None]),
            "seed": rng.randrange(1, 1 << 32),
        }
    )
    m.add_variables(s, n)
    database = ClauseDatabase(n)
    for clause in clauses:
        m.add_clause(s, clause)
        database.add(clause)
    if rng.random() < 0.3:
        m.order_sort(s, rng.choice(["-degree", "rank", "random", "-identity"]), rng.randrange(1, 1000))
    distance = rng.choice(DISTANCES)
    mode = rng.choice(MODES)

    while m.nbcp(s) is False:
        level = m.level(s)
        if level == 0:
            assert database.implies([]), "refutation not confirmed by unit propagation"
            return None
        index = rng.randrange(m.info(s, "number_of_conflicting_clauses"))
        learnt = m.conflict(s, level, distance, index)
        assert isinstance(learnt, int) and learnt >> 30 == 3
        first_uip = m.get_clause(s, learnt, None, True)
        assert m.implication_level(s, first_uip[0]) == level
        assert all(m.implication_level(s, lit) < level for lit in first_uip[1:])
        assert database.implies(first_uip), f"learnt {first_uip} does not follow"

        assert m.minimize(s, learnt, mode) == len(m.get_clause(s, learnt, None, True))
        lits = m.get_clause(s, learnt, None, True)
        assert lits[0] == first_uip[0] and set(lits) <= set(first_uip)
        assert database.implies(lits), f"minimised {lits} does not follow"
        database.add(lits)

        if len(lits) == 1:
            m.pop(s, 0)
            assert m.move_clause(s, learnt, "gamma") is True
        else:
            length, d12, d23, l2, l3, same = m.clause_info(s, learnt, "jump")
            assert (length, same) == (len(lits), learnt) and d12 > 0
            m.pop(s, l2)
            attached, moved = m.move_clause(s, learnt, "gamma")
            assert attached is True and moved >> 30 == 1
            assert m.implication_clause(s, lits[0]) == moved
        assert m.value(s, lits[0]) is True
        if m.level(s) > 0 and rng.random() < 0.05:
            m.pop(s, 0)  # an occasional restart

    model = [m.value(s, v) for v in range(1, n + 1)]
    assert all(isinstance(b, bool) for b in model)
    return model


@pytest.mark.parametrize("seed", range(8))
def test_small_instances_agree_with_brute_force(seed):
    rng = random.Random(seed)
    for _ in range(8):
        n = rng.randrange(6, 11)
        clauses = random_3sat(rng, n, rng.uniform(3.5, 6.0))
        model = cdcl(n, clauses, rng)
        assert (model is not None) == satisfiable(n, clauses)
        if model is not None:
            assert satisfies(clauses, model)


@pytest.mark.parametrize("seed", range(24))
def test_random_3sat_agrees_with_minisat(seed):
    rng = random.Random(1000 + seed)
    for _ in range(12):
        n = rng.randrange(20, 76)
        clauses = random_3sat(rng, n, rng.uniform(3.8, 4.8))
        model = cdcl(n, clauses, rng)
        assert (model is not None) == minisat_satisfiable(clauses)
        if model is not None:
            assert satisfies(clauses, model)
