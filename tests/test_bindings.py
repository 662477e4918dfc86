"""Bindings queries: reading the trail by level, across levels, and the
decision and undo state of a level."""
import pytest

import mirl_nif as m
from kernel import solver


def three_levels():
    """Level 0: 5; level 1: 1, -2; level 2: 4, -3."""
    s = solver(5)
    m.bind(s, 5)
    m.push(s)
    m.bind(s, 1)
    m.bind(s, -2)
    m.push(s)
    m.bind(s, 4)
    m.bind(s, -3)
    return s


# ---- one level ------------------------------------------------------------------


def test_one_level_oldest_first_as_a_tuple():
    assert m.get_bindings(solver(2)) == ()
    s = three_levels()
    assert m.get_bindings(s) == (4, -3)
    assert m.get_bindings(s, 1) == (1, -2)
    assert m.get_bindings(s, 0) == (5,)


def test_newest_first_and_as_a_list():
    s = three_levels()
    assert m.get_bindings(s, 1, True) == (-2, 1)
    assert m.get_bindings(s, 1, False) == (1, -2)
    assert m.get_bindings(s, 1, True, False) == [-2, 1]
    assert m.get_bindings(s, 2, False, False) == [4, -3]


def test_a_level_above_the_current_one_is_empty_not_badarg():
    s = three_levels()
    assert m.get_bindings(s, 3) == ()
    assert m.get_bindings(s, 1000, True, False) == []


def test_propagated_literals_are_bindings_of_their_level():
    s = solver(3)
    m.add_clause(s, [-1, 2])
    m.add_clause(s, [-2, -3])
    m.push(s)
    m.bind(s, 1)
    m.bcp(s)
    assert m.get_bindings(s, 1) == (1, 2, -3)


def test_backtracking_removes_the_bindings_of_the_levels_left():
    s = three_levels()
    m.pop(s)
    assert m.get_bindings(s) == (1, -2)
    assert m.get_bindings(s, 2) == ()
    assert m.get_number_of_bindings(s, 2) == 0


# ---- across levels ----------------------------------------------------------------


def test_oldest_first_crosses_levels_upwards():
    s = three_levels()
    assert m.get_nbindings(s, 10, True) == (5, 1, -2, 4, -3)
    assert m.get_nbindings(s, 3, True) == (5, 1, -2)


def test_newest_first_crosses_levels_downwards():
    s = three_levels()
    assert m.get_nbindings(s, 10, False) == (-3, 4, -2, 1, 5)
    assert m.get_nbindings(s, 3, False, False) == [-3, 4, -2]


def test_a_count_of_zero_gives_nothing_and_a_large_count_everything_once():
    s = three_levels()
    assert m.get_nbindings(s, 0, True) == ()
    assert m.get_nbindings(s, 2**31 - 1, True, False) == [5, 1, -2, 4, -3]


def test_levels_without_bindings_are_crossed():
    s = solver(3)
    m.push(s)
    m.push(s)
    m.bind(s, 2)
    m.push(s)
    assert m.get_nbindings(s, 5, False) == (2,)
    assert m.get_nbindings(s, 5, True) == (2,)


# ---- counts, decisions, undo states -------------------------------------------------


def test_number_of_bindings_reads_any_level_record():
    s = three_levels()
    assert [m.get_number_of_bindings(s, level) for level in range(4)] == [1, 2, 2, 0]
    assert m.get_number_of_bindings(s, 7) == 0
    with pytest.raises(TypeError, match="badarg"):
        m.get_number_of_bindings(s, 8)


def test_the_decision_of_a_level():
    s = three_levels()
    assert m.get_decision(s, 0) is False
    # A bind above level 0 is recorded as the level's decision; the last one counts.
    assert m.get_decision(s, 1) == -2
    assert m.get_decision(s, 2) == -3


def test_a_level_without_a_decision_has_none():
    s = solver(2)
    m.push(s)
    assert m.get_decision(s, 1) is False
    assert m.get_undo_state(s, 1) == "undef"


def test_undo_states_follow_the_search():
    s = solver(2, all_used=True)
    assert m.get_undo_state(s, 0) == "undef"
    assert m.nbcp(s) is True
    assert m.get_undo_state(s, 1) == "set"
    assert m.get_decision(s, 1) == 1
    m.pop(s, 1)
    assert m.undo(s) is True
    assert m.get_undo_state(s, 1) == "toggle"
    assert m.get_decision(s, 1) == -1
    m.nbcp(s)
    assert m.get_undo_state(s, 1) == "done"


@pytest.mark.parametrize("fn", [m.get_decision, m.get_undo_state])
def test_decision_and_undo_state_stop_at_the_current_level(fn):
    s = three_levels()
    fn(s, 2)
    with pytest.raises(TypeError, match="badarg"):
        fn(s, 3)
    with pytest.raises(TypeError, match="badarg"):
        fn(s, -1)


@pytest.mark.parametrize(
    "call",
    [
        lambda s: m.get_bindings(s, -1),
        lambda s: m.get_bindings(s, 1.0),
        lambda s: m.get_bindings(s, 0, 1),
        lambda s: m.get_bindings(s, 0, True, None),
        lambda s: m.get_nbindings(s, -1, True),
        lambda s: m.get_nbindings(s, 1, "true"),
        lambda s: m.get_nbindings(s, 1, True, 0),
        lambda s: m.get_number_of_bindings(s, -1),
        lambda s: m.get_bindings(None),
    ],
)
def test_bad_arguments_are_badarg(call):
    s = solver(2)
    with pytest.raises(TypeError, match="badarg"):
        call(s)
