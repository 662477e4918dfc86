"""Statistics of info/2: the values of a new solver, counts that follow the
search, the read-and-reset extremes, and the memory figure."""
import pytest

import mirl_nif as m
from call_signatures import INFO_KEYS
from kernel import raises

RECURSIVE = 52  # the atom `recursive` as a term: its atom table index

# The 37 keys of info/2, in the order the library tests them.
KEYS = INFO_KEYS

NO_LEVEL = 2147483647
NEW_SOLVER_MEMORY = 5688 + 136 + 24 * 8


def info(s):
    return {key: m.info(s, key) for key in KEYS}


def test_a_new_solver_reports_its_starting_values():
    assert info(m.new({})) == {
        "bcp_counter": 0, "level": 0, "conflict_counter": 0, "max_conflicting": 1024,
        "number_of_conflicting_clauses": 0, "number_of_variables": 0, "number_of_clauses": 0,
        "number_of_dead_clauses": 0, "number_of_learnt_clauses": 0, "number_of_bound_variables": 0,
        "number_of_subst_variables": 0, "number_of_unbound_variables": 0, "clause_n_counter": 0,
        "clause_2_counter": 0, "clause_3_counter": 0, "clause_d_counter": 0, "size": 1024,
        "qtype": RECURSIVE, "max_level": 0, "min_level": NO_LEVEL, "max_bound": 0, "literal_size": 32,
        "literal_integer": True, "value_packing": 1, "xref": False, "vsids": True, "hash": False,
        "init_phase": True, "use_phase": False, "all_used": False, "version": "0.9.46", "seed": 0,
        "memory_literal_size": 40, "memory_variable_size": 136, "memory_clause_size": 56,
        "memory_symbol_size": 80, "memory_size": 6016,
    }  # fmt: skip
    assert NEW_SOLVER_MEMORY == 6016


def test_the_library_the_package_and_the_metadata_give_one_version():
    import pathlib
    import re

    import mirl

    pyproject = pathlib.Path(__file__).resolve().parents[1] / "pyproject.toml"
    if pyproject.exists():
        assert re.search(r'^version = "([^"]+)"$', pyproject.read_text(), re.M).group(1) == mirl.__version__
    assert m.info(m.new({}), "version") == mirl.__version__


def test_keys_may_be_names_or_character_lists():
    s = m.new({"seed": 12})
    for key in KEYS[:-1]:  # all but the memory figure, which the comparison below allocates nothing for
        assert m.info(s, [ord(c) for c in key]) == m.info(s, key)


@pytest.mark.parametrize("key", ["", "bcp", "number_of_variable", "versions", 3.5, None, (), b"size"])
def test_unknown_keys_are_refused(key):
    raises("badarg", m.info, m.new({}), key)


def test_info_needs_a_solver_handle():
    raises("badarg", m.info, None, "level")
    raises("badarg", m.info, {}, "level")


# ---- counts that follow the search -------------------------------------------------


def counts_agree(s):
    bound = m.info(s, "number_of_bound_variables")
    unbound = m.info(s, "number_of_unbound_variables")
    return bound + unbound == m.info(s, "number_of_variables")


def test_bound_and_unbound_variables_add_up_at_every_step():
    s = m.new({"xref": True, "all_used": True})
    assert counts_agree(s)
    m.add_variables(s, 8)
    assert counts_agree(s)
    m.add_clause(s, [1, 2])
    m.add_clause(s, [-2, 3, 4])
    m.add_clause(s, [5])  # a unit: bound at level 0
    assert m.info(s, "number_of_bound_variables") == 1
    assert counts_agree(s)
    m.subst(s, 6, 7)
    assert counts_agree(s)
    m.push(s)
    m.bind(s, -1)
    m.bcp(s)
    assert m.info(s, "number_of_bound_variables") == 4  # 5, 7, -1 and 2 (propagated)
    assert counts_agree(s)
    m.push(s)
    m.decide(s, m.next_unbound(s))
    assert counts_agree(s)
    m.pop(s, 0)
    assert m.info(s, "number_of_bound_variables") == 2
    assert counts_agree(s)
    m.add_variables(s, 3)
    assert counts_agree(s)


def test_clause_counts_per_set():
    s = m.new({})
    m.add_variables(s, 5)
    _, first = m.add_clause(s, [1, 2])
    m.add_clause(s, [2, 3], "gamma")
    m.add_clause(s, [3, 4], "alpha")
    m.add_clause(s, [4, 5], 2)
    assert m.info(s, "number_of_clauses") == 4
    assert m.info(s, "number_of_learnt_clauses") == 1
    m.del_clause(s, first)
    assert m.info(s, "number_of_clauses") == 3
    assert m.info(s, "number_of_dead_clauses") == 0


def test_a_clause_satisfied_at_level_zero_is_counted_dead():
    s = m.new({})
    m.add_variables(s, 3)
    m.add_clause(s, [-1, 2])
    m.add_clause(s, [2])
    m.bcp(s)
    m.add_clause(s, [1])  # -1 turns false while the other watch, 2, is true
    m.bcp(s)
    assert m.info(s, "number_of_dead_clauses") == 1
    assert m.info(s, "number_of_clauses") == 1  # dead clauses stay stored


def test_conflicting_clauses_are_counted():
    s = m.new({})
    m.add_variables(s, 2)
    m.add_clause(s, [1, 2])
    m.add_clause(s, [1, -2])
    m.push(s)
    m.bind(s, -1)
    assert m.bcp(s) is False
    assert m.info(s, "number_of_conflicting_clauses") >= 1
    assert m.info(s, "bcp_counter") >= 1


def test_level_follows_push_and_pop():
    s = m.new({})
    m.push(s)
    m.push(s)
    assert m.info(s, "level") == 2
    m.pop(s)
    assert m.info(s, "level") == 1


# ---- read-and-reset extremes ---------------------------------------------------


def test_extremes_start_over_once_read():
    s = m.new({})
    assert m.info(s, "min_level") == NO_LEVEL
    assert m.info(s, "min_level") == NO_LEVEL
    assert m.info(s, "max_level") == 0
    assert m.info(s, "max_bound") == 0


def test_max_level_reports_the_highest_level_reached():
    s = m.new({})
    for _ in range(3):
        m.push(s)
    m.pop(s, 1)
    assert m.info(s, "max_level") == 3
    assert m.info(s, "max_level") == 0
    assert m.info(s, "level") == 1


def test_min_level_reports_the_lowest_level_returned_to():
    s = m.new({})
    for _ in range(4):
        m.push(s)
    m.pop(s, 2)
    m.push(s)
    m.pop(s, 3)
    assert m.info(s, "min_level") == 2
    assert m.info(s, "min_level") == NO_LEVEL


def test_max_bound_reports_the_longest_trail_after_propagation():
    s = m.new({})
    m.add_variables(s, 4)
    m.add_clause(s, [-1, 2])
    m.add_clause(s, [-2, 3])
    m.push(s)
    m.bind(s, 1)
    m.bcp(s)
    m.pop(s, 0)
    assert m.info(s, "max_bound") == 3
    assert m.info(s, "max_bound") == 0


def test_reading_one_extreme_leaves_the_others():
    s = m.new({})
    m.push(s)
    m.push(s)
    m.pop(s, 1)
    assert m.info(s, "min_level") == 1
    assert m.info(s, "max_level") == 2


# ---- the memory figure ---------------------------------------------------------------


def test_memory_counts_variables_clause_slots_and_literals():
    s = m.new({})
    m.add_variables(s, 4)
    assert m.info(s, "memory_size") == 6016 + 4 * 136
    _, first = m.add_clause(s, [1, 2, 3])
    m.add_clause(s, [-1, 4])
    assert m.info(s, "memory_size") == 6016 + 4 * 136 + 2 * 56 + 5 * 4
    m.del_clause(s, first)  # a cleared slot still counts, its literals do not
    assert m.info(s, "memory_size") == 6016 + 4 * 136 + 2 * 56 + 2 * 4


def test_memory_counts_occurrence_entries_only_while_xref_is_on():
    s = m.new({"xref": True})
    m.add_variables(s, 3)
    m.add_clause(s, [1, 2, 3])
    with_lists = m.info(s, "memory_size")
    assert with_lists == 6016 + 3 * 136 + 56 + 3 * 4 + 3 * 4
    m.config(s, "xref", False)
    assert m.info(s, "memory_size") == with_lists - 3 * 4


def test_memory_counts_symbols_and_their_literal_entries():
    s = m.new({})
    m.add_variables(s, 3)
    m.add_symbol(s, [1, -2, True], "abc")
    assert m.info(s, "memory_size") == 6016 + 3 * 136 + 80 + 3 * 16
    for k in range(8):
        m.add_symbol(s, 3, ("key", k))  # the table doubles its 8 buckets
    assert m.info(s, "memory_size") == 6016 - 24 * 8 + 24 * 16 + 3 * 136 + 9 * 80 + 11 * 16
