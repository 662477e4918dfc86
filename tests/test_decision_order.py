"""The decision order: bumps by every kind of distance, explicit placement
with order_first/order_last, and the search for the next unbound variable."""
import pytest

import kernel
import mirl_nif as m
from kernel import raises


def solver(n, **options):
    options.setdefault("all_used", True)
    return kernel.solver(n, **options)


def unbound_order(s):
    """The unbound eligible variables in list order (moves the cursor to the
    first of them, which the cursor invariant allows)."""
    out = []
    v = m.next_unbound(s)
    while v is not False:
        out.append(v)
        v = m.next_unbound(s, v)
    return out


# ---- bump ------------------------------------------------------------------


@pytest.mark.parametrize("distance", ["none", 0, 0.0])
def test_bump_by_nothing_keeps_the_order(distance):
    s = solver(4)
    m.bump(s, 4, distance)
    assert unbound_order(s) == [1, 2, 3, 4]


def test_bump_with_vsids_off_keeps_the_order():
    s = solver(4, vsids=False)
    m.bump(s, 4, "next")
    m.bump(s, 3, 2)
    assert unbound_order(s) == [1, 2, 3, 4]


def test_bump_by_one_swaps_with_the_predecessor_and_stops_at_the_head():
    s = solver(4)
    m.bump(s, 1, 1)
    assert unbound_order(s) == [1, 2, 3, 4]
    m.bump(s, 2, 1)
    assert unbound_order(s) == [2, 1, 3, 4]
    m.bump(s, -4, 2)  # the sign does not matter
    assert unbound_order(s) == [2, 4, 1, 3]


def test_bump_next_goes_just_before_the_cursor():
    s = solver(5)
    m.bind(s, 1)
    m.bind(s, 2)
    assert m.next_unbound(s) == 3
    m.bump(s, 5, "next")
    assert m.next_unbound(s, 0) == 5
    assert unbound_order(s) == [5, 3, 4]


def test_bump_next_without_a_cursor_goes_to_the_head():
    s = solver(3)
    m.push(s)
    for v in (1, 2, 3):
        m.bind(s, v)
    assert m.next_unbound(s) is False
    assert m.next_unbound(s, 0) is False
    m.bump(s, 3, "next")
    m.pop(s, 0)
    assert unbound_order(s) == [3, 1, 2]


def test_bump_by_a_fraction_of_the_variable_count():
    s = solver(11)  # N = 12: 0.5 gives 5 places
    m.bump(s, 11, 0.5)
    assert unbound_order(s) == [1, 2, 3, 4, 5, 11, 6, 7, 8, 9, 10]


def test_bump_by_a_float_from_one_up_rounds_half_away_from_zero():
    s = solver(8)
    m.bump(s, 8, 2.5)  # three places
    assert unbound_order(s) == [1, 2, 3, 4, 8, 5, 6, 7]
    m.bump(s, 7, 1e300)  # saturates: to the front
    assert unbound_order(s)[0] == 7


def test_bump_by_logarithms_of_the_variable_count():
    s = solver(100)  # X = 100: log2 gives 6 places, log10 gives 2
    m.bump(s, 100, "log2")
    assert unbound_order(s).index(100) == 93
    m.bump(s, 50, "log10")
    assert unbound_order(s).index(50) == 47


def test_bump_by_rank_uses_the_length_of_the_implication_clause():
    s = solver(6)
    m.add_clause(s, [-1, -2, -3, 6])
    m.bump(s, 6, "rank")  # unassigned: no implication clause, no move
    assert unbound_order(s) == [1, 2, 3, 4, 5, 6]
    m.push(s)
    for v in (1, 2, 3):
        m.bind(s, v)
    assert m.bcp(s) is True
    m.bump(s, 6, "rank")  # four places
    m.pop(s, 0)
    assert unbound_order(s) == [1, 6, 2, 3, 4, 5]


def test_bump_leaves_variables_fixed_at_level_zero_alone():
    s = solver(4)
    m.bind(s, 4)
    m.bump(s, 4, "next")
    m.bump(s, 4, 3)
    m.order_last(s, [])  # renumbers, resets the cursor
    assert unbound_order(s) == [1, 2, 3]
    assert m.next_unbound(s, 3) is False  # 4 is still the tail


def test_bump_rejects_bad_distances_and_variables():
    s = solver(3)
    for distance in (-1, -0.5, "far", None, [1], float("nan"), 2**40):
        raises("badarg", m.bump, s, 2, distance)
    raises("variable", m.bump, s, 4, 1)
    raises("variable", m.bump, s, 0, 1)
    raises("badarg", m.bump, None, 1, 1)
    assert unbound_order(s) == [1, 2, 3]


def test_bump_of_the_cursor_at_the_tail_reports_the_fallback(capfd):
    s = solver(3)
    m.bind(s, 1)
    m.bind(s, 2)
    assert m.next_unbound(s) == 3
    capfd.readouterr()
    m.bump(s, 3, 1)
    assert capfd.readouterr().out == "set top = 2\r\n"
    assert m.next_unbound(s, 0) == 3


# ---- order_first / order_last ---------------------------------------------------


def test_order_first_puts_the_variables_in_front_in_list_order():
    s = solver(5)
    assert m.order_first(s, [3, -1]) is None
    assert unbound_order(s) == [3, 1, 2, 4, 5]
    m.order_first(s, [5, 5, 3])
    assert unbound_order(s) == [5, 3, 1, 2, 4]


def test_order_last_puts_the_variables_at_the_back_in_list_order():
    s = solver(5)
    assert m.order_last(s, [-2, 1]) is None
    assert unbound_order(s) == [3, 4, 5, 2, 1]
    m.order_last(s, [1])
    assert unbound_order(s) == [3, 4, 5, 2, 1]


def test_order_placement_needs_level_zero():
    s = solver(3)
    m.push(s)
    raises("level", m.order_first, s, [2])
    raises("level", m.order_last, s, [2])
    m.pop(s)
    assert unbound_order(s) == [1, 2, 3]


def test_order_placement_of_a_non_list_changes_nothing():
    s = solver(3)
    m.bind(s, 1)
    raises("badarg", m.order_first, s, (3, 2))
    raises("badarg", m.order_last, s, 3)
    assert m.next_unbound(s, 0) == 1  # the cursor was not reset


def test_order_placement_with_a_bad_element_moves_nothing_but_resets_the_cursor():
    s = solver(3)
    m.bind(s, 1)
    assert m.next_unbound(s, 0) == 1
    raises("badarg", m.order_first, s, [3, 9])
    assert m.next_unbound(s, 0) == 2
    assert unbound_order(s) == [2, 3]
    raises("badarg", m.order_last, s, [2, 0])
    assert unbound_order(s) == [2, 3]


def test_order_placement_skips_variables_an_order_sort_left_out():
    # A variable fixed at level 0 leaves the list at a sort; placing it again
    # is skipped and the list stays intact around the others.
    s = solver(4)
    m.bind(s, 2)
    m.order_sort(s, "identity")
    m.order_first(s, [4, 2, 3])
    assert unbound_order(s) == [4, 3, 1]
    m.order_last(s, [2, 4])
    assert unbound_order(s) == [3, 1, 4]
    assert m.next_unbound(s, 2) is False
    m.order_first(s, [True, False])  # the constants are in no list either
    assert unbound_order(s) == [3, 1, 4]


# ---- next_unbound -----------------------------------------------------------------


def test_next_unbound_skips_assigned_and_unused_variables():
    s = m.new({})
    m.add_variables(s, 4, False, False)
    assert m.next_unbound(s) is False
    m.isused(s, 3, True)
    m.isused(s, 4, True)
    m.bind(s, 3)
    assert m.next_unbound(s) == 4
    assert m.next_unbound(s, 0) == 4


def test_next_unbound_when_everything_is_assigned():
    s = solver(2)
    m.bind(s, 1)
    m.bind(s, -2)
    assert m.next_unbound(s) is False
    assert m.next_unbound(s, 0) is False


def test_next_unbound_after_a_variable_leaves_the_cursor():
    s = solver(4)
    m.bind(s, 2)
    assert m.next_unbound(s, 1) == 3
    assert m.next_unbound(s, 3) == 4
    assert m.next_unbound(s, 4) is False  # the tail
    assert m.next_unbound(s, 0) == 1


def test_next_unbound_argument_errors():
    s = solver(2)
    raises("variable", m.next_unbound, s, 3)
    raises("variable", m.next_unbound, s, "x")
    raises("badarg", m.next_unbound, 7)
    assert m.next_unbound(s, True) is False  # the constants follow nothing
    assert m.next_unbound(s, False) is False  # a literal, not the integer 0


def test_backtracking_brings_the_cursor_back():
    s = solver(3)
    m.push(s)
    m.bind(s, 1)
    m.bind(s, 2)
    assert m.next_unbound(s) == 3
    m.pop(s)
    assert m.next_unbound(s, 0) == 1
    assert unbound_order(s) == [1, 2, 3]
