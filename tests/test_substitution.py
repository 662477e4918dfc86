"""Substitution: making two literals equivalent at level 0, the clause
rewrite it performs, and searches that stay correct across it."""
import random

import pytest
from pysat.solvers import Minisat22

import kernel
import mirl_nif as m
from kernel import raw_clause as raw, store_clause as add

DEAD = 11  # the atom `dead`, as clause_info/3 returns it


def solver(n, **options):
    options.setdefault("xref", True)
    return kernel.solver(n, **options)


# ---- answers and refusals -------------------------------------------------------------


def test_a_literal_equals_itself_and_not_its_complement():
    s = solver(2)
    assert m.subst(s, 1, 1) is True
    assert m.subst(s, 1, -1) is False
    assert m.subst(s, True, True) is True
    assert m.subst(s, True, False) is False
    assert m.info(s, "number_of_subst_variables") == 0
    assert m.bound(s, 1) is None


def test_substitution_needs_occurrence_lists():
    s = solver(2, xref=False)
    with pytest.raises(TypeError, match="xref"):
        m.subst(s, 1, 1)


def test_substitution_needs_level_zero():
    s = solver(2)
    m.push(s)
    with pytest.raises(TypeError, match="level"):
        m.subst(s, 1, 2)
    assert m.info(s, "number_of_subst_variables") == 0


def test_undecodable_literals_raise_literal_before_anything_else():
    s = solver(2, xref=False)
    for a, b in ((0, 1), (1, 3), (-3, 1), (1, 1.0), ("1", 1)):
        with pytest.raises(TypeError, match="literal"):
            m.subst(s, a, b)
    with pytest.raises(TypeError, match="badarg"):
        m.subst(None, 1, 2)


def test_the_eliminated_variable_stands_for_the_replacement():
    s = solver(3)
    assert m.subst(s, -1, 2) is True
    assert m.info(s, "number_of_subst_variables") == 1
    assert m.is_equal(s, 2, -1) is True
    assert m.is_equal(s, -2, 1) is True
    assert m.bound(s, 2) == -1
    assert m.bound(s, -2) == 1
    # Substituted variables count as bound.
    assert m.info(s, "number_of_bound_variables") == 1
    assert m.info(s, "number_of_unbound_variables") == 2


def test_a_repeated_substitution_resolves_to_the_same_literal():
    s = solver(2)
    assert m.subst(s, 1, 2) is True
    assert m.subst(s, 1, 2) is True
    assert m.subst(s, 2, 1) is True
    assert m.subst(s, -2, 1) is False
    assert m.info(s, "number_of_subst_variables") == 1


def test_chains_of_substitutions_resolve_to_the_last_representative():
    s = solver(4)
    m.subst(s, 2, 3)
    m.subst(s, -1, 2)
    m.subst(s, 4, -3)  # -3 stands for 1 by now, so 1 becomes 4
    assert m.bound(s, 3) == -4
    assert m.bound(s, 1) == 4
    assert m.is_equal(s, 3, -1) is True
    assert m.is_equal(s, 4, 1) is True


def test_an_assigned_literal_passes_its_value_instead():
    s = solver(3)
    m.bind(s, 2)
    assert m.subst(s, 1, 2) is True
    assert m.value(s, 1) is True
    assert m.implication_level(s, 1) == 0
    assert m.info(s, "number_of_subst_variables") == 0
    assert m.bound(s, 2) is True
    assert m.subst(s, -3, 1) is True
    assert m.value(s, 3) is False


def test_two_assigned_literals_compare_their_values():
    s = solver(3)
    m.bind(s, 1)
    m.bind(s, -2)
    assert m.subst(s, 1, -2) is True
    assert m.subst(s, 1, 2) is False
    assert m.subst(s, True, 1) is True
    assert m.subst(s, False, 1) is False
    assert m.subst(s, False, 3) is True  # a constant passes its value too
    assert m.value(s, 3) is False


# ---- the clause rewrite ------------------------------------------------------------------


def test_a_clause_holding_both_loses_the_substituted_literal():
    s = solver(3)
    c = add(s, [1, 2, 3])
    m.subst(s, 1, 2)
    assert raw(s, c) == [1, False, 3]
    assert m.get_clauses(s, 1, 29) == [c]


def test_a_clause_holding_the_complement_becomes_dead():
    s = solver(2)
    c = add(s, [-1, 2])
    m.subst(s, 1, 2)
    assert raw(s, c) == [-1, True]
    assert m.clause_info(s, c, "status") == DEAD
    assert m.info(s, "number_of_dead_clauses") == 1


def test_other_clauses_take_the_replacement_and_its_watches():
    s = solver(4)
    c = add(s, [2, 3])
    d = add(s, [-2, 4])
    m.subst(s, -1, 2)
    assert raw(s, c) == [-1, 3]
    assert raw(s, d) == [1, 4]
    assert m.get_clauses(s, -1, 29) == [c]
    assert m.get_clauses(s, 1, 29) == [d]
    assert m.get_clauses(s, -1, 70) == [c]
    assert m.get_clauses(s, 2, 70) == []
    m.push(s)
    m.bind(s, 1)
    assert m.bcp(s) is True
    assert m.value(s, 3) is True
    assert m.value(s, 4) is None
    m.pop(s)
    m.push(s)
    m.bind(s, -1)
    assert m.bcp(s) is True
    assert m.value(s, 3) is None
    assert m.value(s, 4) is True


def test_occurrence_lists_are_merged_in_ascending_order():
    s = solver(4)
    refs = [add(s, lits) for lits in ([1, 3], [2, 3], [1, 4], [2, 4], [-2, -3])]
    m.subst(s, 1, 2)
    assert m.get_clauses(s, 1, 29) == sorted(refs[:4], reverse=True)
    assert m.get_clauses(s, -1, 29) == [refs[4]]
    assert m.get_clauses(s, 2, 68) == []


def test_the_hash_index_follows_the_rewritten_clauses():
    s = solver(4, hash=True)
    add(s, [2, 3])
    add(s, [2, 4, 1])
    m.subst(s, 1, 2)
    assert m.find_clause(s, [1, 3]) == 0
    assert m.find_clause(s, [2, 3]) == 0  # 2 resolves to 1 when decoded
    assert m.find_clause(s, [3, 4]) is False


def test_a_clause_left_with_one_free_literal_implies_it():
    s = solver(3)
    c = add(s, [1, 2])
    m.subst(s, 1, 2)
    assert m.value(s, 1) is True
    assert m.implication_clause(s, 1) == c


def test_a_contradiction_uncovered_by_the_rewrite_surfaces_as_a_conflict():
    # (1 or 2) and (-1 or -2) cannot hold with 1 equal to 2.
    s = solver(3)
    add(s, [1, 2])
    add(s, [-1, -2])
    assert m.subst(s, 1, 2) is True
    assert m.value(s, 1) is True
    assert m.value(s, -1) is False
    assert m.bcp(s) is False


def test_the_eliminated_variable_is_never_decided():
    s = solver(3, all_used=True)
    m.subst(s, 1, 2)
    assert m.nbcp(s) is True
    assert m.info(s, "number_of_unbound_variables") == 0
    decided = [m.get_decision(s, level) for level in range(1, m.level(s) + 1)]
    assert 2 not in decided and -2 not in decided


# ---- searches across substitution ----------------------------------------------------------


def dpll(s, n):
    """A plain depth-first search over decide-by-bind, bcp and pop."""
    if not m.bcp(s):
        return False
    free = next((v for v in range(1, n + 1) if m.value(s, v) is None), None)
    if free is None:
        return True
    for lit in (free, -free):
        m.push(s)
        m.bind(s, lit)
        if dpll(s, n):
            return True
        m.pop(s)
    return False


def random_formula(rng, n, clauses, pairs):
    formula = [[rng.choice((1, -1)) * v for v in rng.sample(range(1, n + 1), 3)] for _ in range(clauses)]
    equivalences = []
    for _ in range(pairs):
        a, b = rng.sample(range(1, n + 1), 2)
        b = rng.choice((b, -b))
        equivalences.append((a, b))
        formula += [[a, -b], [-a, b]]
    return formula, equivalences


def solve(formula, n, equivalences=()):
    s = solver(n)
    for lits in formula:
        if m.add_clause(s, lits) is False:
            return False, None
    for a, b in equivalences:
        if m.subst(s, a, b) is False:
            return False, None
    if not dpll(s, n):
        return False, None
    return True, [v if m.value(s, v) else -v for v in range(1, n + 1)]


@pytest.mark.parametrize("seed", range(40))
def test_substitution_keeps_a_search_correct(seed):
    rng = random.Random(seed)
    n = rng.randint(6, 14)
    formula, equivalences = random_formula(rng, n, rng.randint(n, 4 * n), rng.randint(1, n // 2))
    with Minisat22(bootstrap_with=formula) as peer:
        expected = peer.solve()
    plain, plain_model = solve(formula, n)
    substituted, model = solve(formula, n, equivalences)
    assert plain == expected
    assert substituted == expected
    if expected:
        for found in (plain_model, model):
            chosen = set(found)
            assert all(any(lit in chosen for lit in clause) for clause in formula)
