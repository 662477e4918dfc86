"""Clause sets: sizes, offsets, walking the occupied positions, the stamp
sort with its renumbering, and listing the clauses of a literal."""
import pytest

import mirl_nif as m
from kernel import raw_clause as raw, solver, store_clause as add

# Atoms reach Python as their index in the host's atom table; small integers
# are shared objects, so the index passes an identity test.
WATCH, LITERAL, VARIABLE = 70, 29, 68
SET1 = 1 << 30
SET2 = 2 << 30
SET3 = 3 << 30


def walk(s, clause_set):
    ids = []
    ref = m.clauseset_first(s, clause_set)
    while ref is not False:
        ids.append(ref)
        ref = m.clauseset_next(s, ref)
    return ids


# ---- sizes, offsets and walks ---------------------------------------------------------


@pytest.mark.parametrize("clause_set", [0, 1, 2, 3, "delta", "gamma", "beta", "alpha"])
def test_a_new_solver_has_empty_sets(clause_set):
    s = solver(0)
    assert m.clauseset_size(s, clause_set) == 0
    assert m.clauseset_first(s, clause_set) is False
    assert m.clauseset_offset(s, clause_set) == 0


def test_the_walk_starts_at_the_offset_and_skips_deleted_positions():
    s = solver(6)
    add(s, [1, 2])
    add(s, [3, 4])
    add(s, [5, 6])
    m.del_clause(s, 1)
    assert m.clauseset_size(s, 0) == 3
    assert walk(s, 0) == [0, 2]
    assert m.clauseset_next(s, 1) == 2  # the position itself need not hold a clause
    assert m.clauseset_offset(s, 0, 1) is None
    assert m.clauseset_offset(s, "delta") == 1
    assert m.clauseset_first(s, 0) == 2
    m.clauseset_offset(s, 0, 2**32 - 1)
    assert m.clauseset_offset(s, 0) == 2**32 - 1
    assert m.clauseset_first(s, 0) is False
    assert m.clauseset_first(s, 1) is False


def test_ids_carry_their_set_in_the_top_bits():
    s = solver(4)
    add(s, [1, 2], "beta")
    add(s, [3, 4], "beta")
    add(s, [1, 3], 3)
    assert walk(s, "beta") == [SET2, SET2 | 1]
    assert walk(s, "alpha") == [SET3]
    assert m.clauseset_next(s, SET1 | 12345) is False
    assert m.clauseset_size(s, 2) == 2


@pytest.mark.parametrize(
    "call",
    [
        lambda s: m.clauseset_size(s, 4),
        lambda s: m.clauseset_size(s, -1),
        lambda s: m.clauseset_size(s, "omega"),
        lambda s: m.clauseset_offset(s, 0, -1),
        lambda s: m.clauseset_offset(s, 0, 1.0),
        lambda s: m.clauseset_first(s, None),
        lambda s: m.clauseset_next(s, -1),
        lambda s: m.clauseset_next(s, 2**32),
        lambda s: m.clauseset_sort(s, 7),
        lambda s: m.clauseset_size(None, 0),
    ],
)
def test_bad_arguments_are_badarg(call):
    s = solver(2)
    with pytest.raises(TypeError, match="badarg"):
        call(s)


# ---- sorting ---------------------------------------------------------------------------


def test_a_clause_used_after_a_propagation_sorts_first():
    s = solver(8)
    for lits in ([1, 2], [3, 4], [5, 6], [7, 8]):
        add(s, lits)
    m.bcp(s)
    m.use_clause(s, 3)
    assert m.clauseset_sort(s, 0) is None
    assert raw(s, 0) == [7, 8]
    assert sorted(raw(s, i) for i in range(1, 4)) == [[1, 2], [3, 4], [5, 6]]


def test_sorting_drops_deleted_positions_and_renumbers():
    s = solver(8)
    for lits in ([1, 2], [3, 4], [5, 6], [7, 8]):
        add(s, lits, 1)
    m.del_clause(s, SET1 | 1)
    m.bcp(s)
    m.use_clause(s, SET1 | 2)
    m.clauseset_sort(s, "gamma")
    assert m.clauseset_size(s, 1) == 3
    assert walk(s, 1) == [SET1, SET1 | 1, SET1 | 2]
    assert raw(s, SET1) == [5, 6]
    assert sorted(raw(s, ref) for ref in walk(s, 1)) == [[1, 2], [5, 6], [7, 8]]


def test_sorting_renumbers_the_occurrence_lists():
    s = solver(6, xref=True)
    add(s, [1, 2])
    add(s, [1, 3])
    add(s, [-1, 4])
    add(s, [1, 5])
    m.bcp(s)
    m.use_clause(s, 1)
    m.clauseset_sort(s, 0)
    assert raw(s, 0) == [1, 3]
    ids = m.get_clauses(s, 1, LITERAL)
    assert sorted(raw(s, ref) for ref in ids) == [[1, 2], [1, 3], [1, 5]]
    # Occurrence lists are sorted ascending after the sort; the result lists
    # them in reverse.
    assert ids == sorted(ids, reverse=True)
    (neg,) = m.get_clauses(s, -1, LITERAL)
    assert raw(s, neg) == [-1, 4]


def test_sorting_renumbers_the_hash_index():
    s = solver(6, hash=True)
    add(s, [1, 2])
    add(s, [3, 4])
    add(s, [5, 6])
    m.bcp(s)
    m.use_clause(s, 2)
    m.clauseset_sort(s, 0)
    for lits in ([1, 2], [3, 4], [5, 6]):
        ref = m.find_clause(s, lits)
        assert ref is not False
        assert raw(s, ref) == lits
    assert m.find_clause(s, [5, 6]) == 0


def test_sorting_leaves_other_sets_alone():
    s = solver(4, xref=True)
    a = add(s, [1, 2], 2)
    b = add(s, [3, 4], 2)
    add(s, [1, 3])
    m.clauseset_sort(s, 0)
    assert walk(s, 2) == [a, b]
    assert sorted(m.get_clauses(s, 1, LITERAL)) == [0, a]


def test_sorting_an_empty_set_does_nothing():
    s = solver(2)
    assert m.clauseset_sort(s, 3) is None
    assert m.clauseset_size(s, 3) == 0


def test_sorting_needs_level_zero():
    s = solver(2)
    add(s, [1, 2])
    m.push(s)
    with pytest.raises(TypeError, match="level"):
        m.clauseset_sort(s, 0)


def test_propagation_still_works_after_a_sort():
    s = solver(4)
    add(s, [1, 2])
    add(s, [-2, 3])
    add(s, [-3, 4])
    m.bcp(s)
    m.use_clause(s, 0)
    m.clauseset_sort(s, 0)
    m.push(s)
    m.bind(s, -1)
    assert m.bcp(s) is True
    assert [m.value(s, v) for v in (2, 3, 4)] == [True, True, True]


# ---- clauses by literal ----------------------------------------------------------------


def test_the_watch_chain_lists_the_first_linked_clause_first():
    s = solver(3)
    first = add(s, [1, 2])
    second = add(s, [1, 3])
    assert m.get_clauses(s, 1, WATCH) == [first, second]
    assert m.get_clauses(s, 3, WATCH) == [second]
    assert m.get_clauses(s, -1, WATCH) == []


def test_occurrences_come_out_reversed():
    s = solver(4, xref=True)
    add(s, [1, 2])
    add(s, [-1, 3])
    add(s, [1, 4])
    assert m.get_clauses(s, 1, LITERAL) == [2, 0]
    assert m.get_clauses(s, -1, LITERAL) == [1]
    assert m.get_clauses(s, 1, VARIABLE) == [1, 2, 0]
    assert m.get_clauses(s, -1, VARIABLE) == [1, 2, 0]


def test_without_xref_literal_and_variable_kinds_are_empty():
    s = solver(2)
    add(s, [1, 2])
    assert m.get_clauses(s, 1, LITERAL) == []
    assert m.get_clauses(s, 1, VARIABLE) == []
    assert m.get_clauses(s, 1, WATCH) == [0]


def test_the_literal_is_taken_as_given_not_its_representative():
    s = solver(3, xref=True)
    add(s, [2, 3])
    m.subst(s, 1, 2)
    assert m.get_clauses(s, 2, LITERAL) == []
    assert m.get_clauses(s, 1, LITERAL) == [0]
    assert m.get_clauses(s, True, WATCH) == []


@pytest.mark.parametrize("kind", ["watch", "literal", 3, None])
def test_the_kind_must_be_the_atom_itself(kind):
    s = solver(2)
    with pytest.raises(TypeError, match="badarg"):
        m.get_clauses(s, 1, kind)


@pytest.mark.parametrize("lit", [0, 3, -3, 1.0])
def test_an_undecodable_literal_is_badarg(lit):
    s = solver(2)
    with pytest.raises(TypeError, match="badarg"):
        m.get_clauses(s, lit, WATCH)
