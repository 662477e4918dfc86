"""Variables and literals: creating variables with their flags, the limits of
creation, literal and variable decoding, and the simple value queries."""
import pytest

import mirl_nif as m
from kernel import raises, solver

# The table count includes variable 0; indexes stay below this.
VARIABLE_LIMIT = 0x7FFFFFF


# ---- creating variables -----------------------------------------------------


def test_indexes_count_on_from_one():
    s = solver()
    assert m.add_variable(s) == 1
    assert m.add_variables(s, 3) == (2, 4)
    assert m.add_variable(s, False) == 5
    assert m.add_variables(s, 1) == (6, 6)
    assert m.info(s, "number_of_variables") == 6


def test_flags_are_set_for_every_new_variable():
    s = solver()
    assert m.add_variable(s, True) == 1
    assert m.add_variable(s, False, True) == 2
    assert m.add_variables(s, 2, True, True) == (3, 4)
    assert m.add_variables(s, 2, False) == (5, 6)
    assert [m.isatom(s, v) for v in range(1, 7)] == [True, False, True, True, False, False]
    assert [m.isused(s, v) for v in range(1, 7)] == [False, True, True, True, False, False]


@pytest.mark.parametrize("flag", [1, 0, None, "true", [True]])
def test_flags_must_be_the_booleans_themselves(flag):
    s = solver()
    raises("badarg", m.add_variable, s, flag)
    raises("badarg", m.add_variable, s, True, flag)
    raises("badarg", m.add_variables, s, 2, flag)
    raises("badarg", m.add_variables, s, 2, False, flag)
    assert m.info(s, "number_of_variables") == 0


@pytest.mark.parametrize("n", [0, -1, -(2**31), 2**32, 2**40, 1.0, "3", None, [3]])
def test_a_run_length_that_is_no_positive_32_bit_integer_is_refused(n):
    s = solver(2)
    raises("badarg", m.add_variables, s, n)
    assert m.info(s, "number_of_variables") == 2


def test_the_variable_limit_refuses_the_whole_run():
    s = solver(3)
    # 4 + N - 1 reaches the limit: nothing is made.
    raises("system_limit", m.add_variables, s, VARIABLE_LIMIT - 3)
    raises("system_limit", m.add_variables, s, 2**31)
    raises("system_limit", m.add_variables, s, 2**32 - 1)
    assert m.info(s, "number_of_variables") == 3
    assert m.add_variable(s) == 4


def test_creation_needs_a_solver_handle():
    raises("badarg", m.add_variable, None)
    raises("badarg", m.add_variables, object(), 2)
    raises("badarg", m.value, 1, 1)


def test_a_small_table_grows_on_demand():
    s = solver(size=2)
    assert m.add_variable(s) == 1
    assert m.add_variable(s) == 2
    assert m.add_variables(s, 100) == (3, 102)
    m.bind(s, -102)
    assert m.value(s, 102) is False
    assert m.value(s, 101) is None


# ---- decoding literals and variables ----------------------------------------


def test_literals_within_the_variable_count_decode():
    s = solver(3)
    for lit in (1, -1, 3, -3, True, False):
        m.value(s, lit)
    for lit in (4, -4, 0):
        raises("literal", m.value, s, lit)


@pytest.mark.parametrize("lit", [2**31, -(2**31), 2**32 + 1, 2**64, 1.0, "1", None, (1,), [1]])
def test_literals_of_another_kind_or_range_are_refused(lit):
    s = solver(3)
    raises("literal", m.value, s, lit)
    raises("literal", m.bound, s, lit)
    raises("variable", m.is_bound, s, lit)
    raises("variable", m.isatom, s, lit)


def test_booleans_are_the_constants_not_the_integers_one_and_zero():
    s = solver(2)
    assert m.value(s, True) is True
    assert m.value(s, False) is False
    assert m.value(s, 1) is None
    assert m.is_variable(s, True) is False
    assert m.is_variable(s, 1) is True


def test_each_query_raises_its_own_atom():
    s = solver(2)
    raises("literal", m.value, s, 3)
    raises("literal", m.bound, s, 3)
    raises("literal", m.is_equal, s, 3, 1)
    raises("literal", m.is_equal, s, 1, 3)
    raises("variable", m.is_variable, s, 3)
    raises("variable", m.is_bound, s, 0)
    raises("variable", m.isatom, s, 3)
    raises("variable", m.isatom, s, 3, True)
    raises("variable", m.isused, s, -3)
    raises("variable", m.isused, s, -3, True)


# ---- values -----------------------------------------------------------------


def test_value_follows_assignments_of_either_sign():
    s = solver(3)
    m.bind(s, -2)
    assert m.value(s, 2) is False
    assert m.value(s, -2) is True
    assert m.bound(s, 2) is False
    assert m.bound(s, -2) is True
    assert m.value(s, 1) is None
    assert m.bound(s, 1) is None
    assert m.is_bound(s, 2) is True
    assert m.is_bound(s, -2) is True
    assert m.is_bound(s, 1) is False


def test_the_constant_variable_is_always_bound():
    s = solver(1)
    assert m.is_bound(s, True) is True
    assert m.is_bound(s, False) is True
    assert m.bound(s, True) is True
    assert m.bound(s, False) is False


def test_is_equal_compares_literals_not_variables():
    s = solver(3)
    assert m.is_equal(s, 1, 1) is True
    assert m.is_equal(s, 1, -1) is False
    assert m.is_equal(s, 1, 2) is False
    assert m.is_equal(s, True, True) is True
    assert m.is_equal(s, True, False) is False


# ---- substituted variables ----------------------------------------------------


def substituted():
    """Variable 3 stands for literal -2."""
    s = solver(4, xref=True)
    assert m.subst(s, -2, 3) is True
    return s


def test_value_reads_the_representative():
    s = substituted()
    m.bind(s, 2)
    assert m.value(s, 3) is False
    assert m.value(s, -3) is True
    assert m.value(s, -2) is False


def test_bound_reports_the_representative_of_a_substituted_literal():
    s = substituted()
    assert m.bound(s, 3) == -2
    assert m.bound(s, -3) == 2
    assert m.bound(s, 2) is None
    m.bind(s, 2)
    assert m.bound(s, 3) == -2  # the literal itself stays substituted


def test_an_assigned_partner_gives_its_value_instead_of_a_link():
    s = solver(3, xref=True)
    m.bind(s, 1)
    m.bcp(s)
    assert m.subst(s, True, 2) is True
    m.subst(s, -1, 3)
    assert m.bound(s, 2) is True
    assert m.bound(s, 3) is False
    assert m.info(s, "number_of_subst_variables") == 0


def test_substitution_chains_resolve_to_the_last_link():
    s = solver(4, xref=True)
    m.subst(s, -2, 3)  # 3 = -2
    m.subst(s, 1, 2)  # 2 = 1, so 3 = -1
    assert m.bound(s, 3) == -1
    assert m.bound(s, -3) == 1
    assert m.is_equal(s, 3, -1) is True
    assert m.is_equal(s, -3, 2) is True
    assert m.is_variable(s, 3) is True


def test_queries_on_a_substituted_variable_use_its_representative():
    s = substituted()
    assert m.is_bound(s, 3) is False  # the representative, 2, is unassigned
    assert m.isatom(s, 3, True) is False
    assert m.isatom(s, 2) is True
    assert m.isatom(s, 3) is True


def test_counts_include_substituted_variables_as_bound():
    s = substituted()
    assert m.info(s, "number_of_subst_variables") == 1
    assert m.info(s, "number_of_bound_variables") == 1
    assert m.info(s, "number_of_unbound_variables") == 3


# ---- flags ----------------------------------------------------------------------


def test_setting_a_flag_returns_its_previous_state():
    s = solver(2)
    assert m.isatom(s, 1, True) is False
    assert m.isatom(s, 1) is True
    assert m.isatom(s, -1, True) is True
    assert m.isatom(s, 1, False) is True
    assert m.isatom(s, 1) is False
    assert m.isused(s, 2, True) is False
    assert m.isused(s, 2) is True
    assert m.isatom(s, 2) is False


def test_a_flag_with_a_bad_value_is_left_alone():
    s = solver(2)
    raises("badarg", m.isatom, s, 1, 1)
    raises("badarg", m.isused, s, 1, None)
    assert m.isatom(s, 1) is False
    assert m.isused(s, 1) is False


def test_the_variable_is_checked_before_the_flag_value():
    s = solver(2)
    raises("variable", m.isused, s, 5, "bad")


# ---- used flag and the decision cursor ---------------------------------------------


def test_marking_a_variable_used_makes_it_the_next_decision():
    s = solver(3)
    assert m.next_unbound(s) is False  # nothing is eligible yet
    assert m.isused(s, 2, True) is False
    assert m.next_unbound(s) == 2
    m.isused(s, 1, True)  # earlier in the order: the cursor moves back
    assert m.next_unbound(s) == 1
    m.isused(s, 3, True)  # later: the cursor stays
    assert m.next_unbound(s, 0) == 1


def test_a_bound_variable_marked_used_does_not_move_the_cursor():
    s = solver(3)
    m.isused(s, 3, True)
    assert m.next_unbound(s) == 3
    m.bind(s, 1)
    m.isused(s, 1, True)
    assert m.next_unbound(s, 0) == 3


def test_clearing_the_used_flag_leaves_the_cursor():
    s = solver(3)
    m.isused(s, 2, True)
    assert m.next_unbound(s) == 2
    m.isused(s, 1, False)
    assert m.next_unbound(s, 0) == 2
