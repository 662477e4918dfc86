"""conflict/4: first-UIP clauses, the literals they collect and in which
order, the bumps and marks along the way, and every way the analysis is
refused."""
import pytest

import kernel
import mirl_nif as m
from kernel import raises

ALPHA = 3 << 30


def solver(n, clauses):
    return kernel.solver(n, clauses, all_used=True)


def two_level_conflict(extra=0):
    """Level 1 decides 1, which implies 2; level 2 decides 3, which implies
    4 and runs into a conflict that needs both levels."""
    s = solver(4 + extra, [[-1, 2], [-3, -1, 4], [-3, -2, -4]])
    m.push(s)
    m.bind(s, 1)
    assert m.bcp(s) is True
    m.push(s)
    m.bind(s, 3)
    assert m.bcp(s) is False
    return s


def unbound_order(s):
    out = []
    v = m.next_unbound(s)
    while v is not False:
        out.append(v)
        v = m.next_unbound(s, v)
    return out


# ---- the learnt clause -------------------------------------------------------


def test_learnt_clause_asserts_the_uip_and_keeps_lower_levels_in_meeting_order():
    s = two_level_conflict()
    conflicting = m.conflicting_clause(s, 0)
    assert m.get_clause(s, conflicting) == [-3, -1, 4]
    learnt = m.conflict(s, 2, "none", 0)
    assert learnt == ALPHA
    # -1 comes from the conflicting clause, -2 from the implication clause
    # of 4, which is read afterwards.
    assert m.get_clause(s, learnt) == [-3, -1, -2]
    assert m.clause_info(s, learnt, "watch") == (-1, -1)  # stored unwatched
    assert m.level(s) == 2 and m.value(s, 3) is True  # nothing backtracked


def test_the_uip_may_be_an_implied_literal():
    s = solver(4, [[-1, 2], [-2, 3], [-2, 4], [-3, -4]])
    m.push(s)
    m.bind(s, 1)
    assert m.bcp(s) is False
    learnt = m.conflict(s, 1, "none", 0)
    assert m.get_clause(s, learnt) == [-2]


def test_a_single_literal_at_the_level_needs_no_implication_clause():
    s = solver(3, [[-1, -3, -2]])
    for v in (1, 2, 3):
        m.push(s)
        m.bind(s, v)
    assert m.bcp(s) is False
    learnt = m.conflict(s, 3, "none", 0)
    assert m.get_clause(s, learnt) == [-3, -1, -2]


def test_variables_fixed_at_level_zero_stay_out_and_are_not_bumped():
    s = solver(5, [[-1, 2], [-3, -1, 5, 4], [-3, -2, -4]])
    m.bind(s, -5)
    assert m.bcp(s) is True
    m.push(s)
    m.bind(s, 1)
    m.bcp(s)
    m.push(s)
    m.bind(s, 3)
    assert m.bcp(s) is False
    learnt = m.conflict(s, 2, "next", 0)
    assert sorted(m.get_clause(s, learnt, None, True)) == [-3, -2, -1]
    m.pop(s, 0)
    # Each variable met went just before the cursor (variable 1, itself not
    # moved), in the order met: 3 and 4 from the conflicting clause
    # [-3, -1, 5, 4], then 2 from the implication clause of 4. 5 stays last.
    assert unbound_order(s) == [3, 4, 2, 1]
    assert m.next_unbound(s, 1) is False


def test_bumps_by_a_count_move_each_variable_met():
    s = two_level_conflict(extra=4)
    m.conflict(s, 2, 0, 0)
    m.pop(s, 0)
    assert unbound_order(s) == [1, 2, 3, 4, 5, 6, 7, 8]
    s = two_level_conflict(extra=4)
    m.conflict(s, 2, "next", 0)
    m.pop(s, 0)
    assert unbound_order(s) == [3, 4, 2, 1, 5, 6, 7, 8]


def test_the_same_conflict_twice_gives_none_the_second_time():
    s = two_level_conflict()
    assert m.conflict(s, 2, "none", 0) == ALPHA
    assert m.conflict(s, 2, "none", 0) is None
    assert m.clauseset_size(s, "alpha") == 1


def test_marks_made_before_the_call_do_not_count_as_met():
    s = two_level_conflict()
    m.mark(s, [2, 4])
    learnt = m.conflict(s, 2, "none", 0)
    assert m.get_clause(s, learnt) == [-3, -1, -2]
    assert m.get_marked(s, False) == []


def test_the_learnt_clause_can_be_activated_after_backtracking():
    s = two_level_conflict()
    learnt = m.conflict(s, 2, "none", 0)
    length, d12, d23, l2, l3, cid = m.clause_info(s, learnt, "jump")
    assert (length, l2, cid) == (3, 1, learnt)
    m.pop(s, l2)
    attached, new_id = m.move_clause(s, learnt, "gamma")
    assert attached is True
    assert new_id >> 30 == 1
    assert m.value(s, 3) is False
    assert m.implication_clause(s, 3) == new_id
    assert m.bcp(s) is True


def test_every_clause_read_is_stamped():
    s = two_level_conflict()
    m.conflict(s, 2, "none", 0)
    m.pop(s, 0)
    # The conflicting clause and the implication clause of 4 were read, so
    # they sort before [-1, 2], which the analysis never needed.
    m.clauseset_sort(s, "delta")
    assert sorted(m.get_clause(s, 0) + m.get_clause(s, 1)) == [-4, -3, -3, -2, -1, 4]
    assert m.get_clause(s, 2) == [-1, 2]


# ---- refusals ------------------------------------------------------------------


def test_level_zero_runs_off_its_segment():
    s = solver(2, [[1, 2], [1, -2]])
    m.bind(s, -1)
    assert m.bcp(s) is False
    raises("badarg", m.conflict, s, 0, "none", 0)
    assert m.get_marked(s, False) == []


def test_a_level_without_trail_entries_is_refused_untouched():
    s = two_level_conflict()
    m.push(s)
    m.mark(s, [1])
    raises("badarg", m.conflict, s, 3, "none", 0)
    assert m.get_marked(s, False) == [1]  # nothing changed


def test_the_wrong_level_for_the_conflict_is_refused_and_clears_marks():
    s = solver(3, [[-1, -3, -2]])
    for v in (1, 2, 3):
        m.push(s)
        m.bind(s, v)
    assert m.bcp(s) is False
    m.mark(s, [1])
    # At level 2 both 2 and 3 are pending; 2 is a decision.
    raises("badarg", m.conflict, s, 2, "none", 0)
    assert m.get_marked(s, False) == []
    assert m.clauseset_size(s, "alpha") == 0


@pytest.mark.parametrize(
    "level, distance, index",
    [(3, "none", 0), (-1, "none", 0), ("2", "none", 0), (2, "none", 1), (2, "none", -1),
     (2, -2, 0), (2, "far", 0), (2, "none", None)],
)
def test_bad_arguments_are_refused_before_anything_changes(level, distance, index):
    s = two_level_conflict()
    m.mark(s, [1])
    raises("badarg", m.conflict, s, level, distance, index)
    assert m.get_marked(s, False) == [1]


def test_a_deleted_conflicting_clause_is_refused():
    s = two_level_conflict()
    m.del_clause(s, m.conflicting_clause(s, 0))
    raises("badarg", m.conflict, s, 2, "none", 0)


def test_a_deleted_implication_clause_breaks_the_analysis_off():
    s = two_level_conflict()
    m.del_clause(s, m.implication_clause(s, 4))
    raises("badarg", m.conflict, s, 2, "none", 0)
    assert m.get_marked(s, False) == []
    assert m.clauseset_size(s, "alpha") == 0


def test_a_reused_implication_slot_is_no_reason():
    s = two_level_conflict()
    reason = m.implication_clause(s, 4)
    assert reason == 2  # the last clause of set 0
    m.del_clause(s, reason)
    assert m.add_clause(s, [-3, 1, 2]) == (True, reason)  # takes the slot back
    raises("badarg", m.conflict, s, 2, "none", 0)
