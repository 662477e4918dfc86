"""The trail and its levels: push, pop and undo, the decisions recorded by
bind/decide/nbcp, the phase rule with its random bit stream, and level-0
facts asserted while the search is above level 0."""
import pytest

import kernel
import mirl_nif as m


def solver(n=6, **options):
    return kernel.solver(n, **options)


def trail(s, level):
    return list(m.get_bindings(s, level, False, False))


def bound_counts_agree(s):
    bound = m.info(s, "number_of_bound_variables")
    unbound = m.info(s, "number_of_unbound_variables")
    return bound + unbound == m.info(s, "number_of_variables")


def rc4_bytes(seed, count):
    """The generator keyed by a non-zero seed, as the solver keys it."""
    S = list(range(256))
    i, j = 255, 0
    for t in range(256):
        i = (i + 1) % 256
        j = (j + S[i] + ((seed >> (8 * (t % 8))) & 0xFF)) % 256
        S[i], S[j] = S[j], S[i]
    out = []
    for _ in range(count):
        i = (i + 1) % 256
        j = (j + S[i]) % 256
        S[i], S[j] = S[j], S[i]
        out.append(S[(S[i] + S[j]) % 256])
    return out


class TestLevels:
    def test_push_returns_the_level_before(self):
        s = solver()
        assert m.level(s) == 0
        assert m.push(s) == 0
        assert m.level(s) == 1
        assert m.push(s) == 1

    def test_pop_undoes_the_level_left(self):
        s = solver()
        m.push(s)
        m.bind(s, 3)
        assert m.pop(s) == 0
        assert m.value(s, 3) is None
        assert m.implication_level(s, 3) == -1
        assert m.implication_clause(s, 3) == -1

    def test_pop_to_a_level(self):
        s = solver()
        for lit in (1, 2, 3, 4):
            m.push(s)
            m.bind(s, lit)
        assert m.pop(s, 4) == 4
        assert m.value(s, 4) is True
        assert m.pop(s, 2) == 2
        assert [m.value(s, v) for v in (1, 2, 3, 4)] == [True, True, None, None]
        assert m.pop(s, 0) == 0
        assert m.pop(s) is False
        assert m.pop(s, 5) is False

    @pytest.mark.parametrize("target", [-1, 3, "1", 1.0])
    def test_a_bad_target_is_badarg(self, target):
        s = solver()
        m.push(s)
        m.push(s)
        with pytest.raises(TypeError, match="badarg"):
            m.pop(s, target)
        assert m.level(s) == 2

    def test_bind_records_the_decision_of_its_level(self):
        s = solver()
        m.push(s)
        assert m.bind(s, -2) is True
        assert m.get_decision(s, 1) == -2
        assert m.get_undo_state(s, 1) == "set"
        assert m.bind(s, -2) is True
        assert m.bind(s, 2) is False
        m.bind(s, 5)
        assert m.get_decision(s, 1) == 5

    def test_binding_an_assigned_literal_changes_nothing(self):
        s = solver()
        m.push(s)
        m.bind(s, 1)
        m.push(s)
        assert m.bind(s, 1) is True
        assert m.bind(s, -1) is False
        assert m.get_decision(s, 2) is False
        assert trail(s, 2) == []

    def test_binds_at_level_0_are_permanent(self):
        s = solver()
        m.bind(s, 1)
        m.push(s)
        m.bind(s, 2)
        m.pop(s)
        assert m.undo(s) is False
        assert m.value(s, 1) is True
        assert m.get_decision(s, 0) is False

    def test_undecodable_literals_and_variables(self):
        s = solver(3)
        for call, atom in ((m.bind, "literal"), (m.decide, "literal"),
                           (m.implication_level, "variable"), (m.implication_clause, "variable")):
            with pytest.raises(TypeError, match=atom):
                call(s, 4)


class TestChronologicalUndo:
    def test_undo_flips_the_decision_for_the_next_nbcp(self):
        s = solver(1, all_used=True)
        assert m.nbcp(s) is True
        assert m.value(s, 1) is True
        assert m.undo(s) is True
        assert m.get_decision(s, 1) == -1
        assert m.get_undo_state(s, 1) == "toggle"
        assert m.value(s, 1) is None
        assert m.nbcp(s) is True
        assert m.value(s, 1) is False
        assert m.get_undo_state(s, 1) == "done"
        assert m.level(s) == 1
        assert m.undo(s) is False  # both branches done
        assert m.level(s) == 1
        assert m.get_decision(s, 1) is False

    def test_undo_walks_down_exhausted_levels(self):
        s = solver(2, all_used=True)
        m.nbcp(s)
        assert m.undo(s) is True  # level 2 flipped
        m.nbcp(s)
        assert m.undo(s) is True  # level 2 exhausted, level 1 flipped
        assert m.level(s) == 1
        assert m.value(s, 2) is None
        m.nbcp(s)
        assert (m.value(s, 1), m.value(s, 2)) == (False, True)

    def test_undo_at_level_0_or_on_an_open_level(self):
        s = solver()
        assert m.undo(s) is False
        m.push(s)
        m.bind(s, 3)
        m.pop(s)
        m.push(s)
        assert m.get_undo_state(s, 1) == "undef"
        assert m.undo(s) is False
        assert m.level(s) == 1


class TestPhaseRule:
    def test_random_phases_use_the_bits_of_one_byte_lowest_first(self):
        s = solver(16, init_phase=None, seed=12345)
        for v in range(1, 17):
            assert m.decide(s, v) is True
        first, second = rc4_bytes(12345, 2)
        expected = [bool(first >> b & 1) for b in range(8)] + [bool(second >> b & 1) for b in range(8)]
        assert [m.value(s, v) for v in range(1, 17)] == expected

    def test_a_fixed_phase_applies_to_the_literal_decided(self):
        s = solver(2, init_phase=False)
        m.decide(s, 1)
        m.decide(s, -2)
        assert (m.value(s, 1), m.value(s, 2)) == (False, True)

    def test_saved_phases_except_for_a_levels_first_entry(self):
        s = solver(3, use_phase=True)
        m.add_clause(s, [-1, -2])
        m.push(s)
        m.bind(s, 1)
        assert m.bcp(s) is True
        m.pop(s)
        m.decide(s, 2)
        m.decide(s, 1)
        # 2 was saved false; 1, the level's first entry, kept its phase.
        assert (m.value(s, 2), m.value(s, 1)) == (False, True)


class TestBacktrackingLeavesNothingQueued:
    def test_pop_takes_unassigned_literals_off_the_queue(self):
        s = solver()
        m.add_clause(s, [1, 2])
        m.push(s)
        m.bind(s, -1)
        m.bind(s, 4)
        m.pop(s)
        assert m.queue_first(s) is False
        assert m.bcp(s) is True
        assert m.value(s, 2) is None
        m.push(s)
        m.bind(s, 1)
        assert m.bcp(s) is True

    def test_literals_still_false_stay_queued(self):
        s = solver()
        m.add_clause(s, [1, 2])
        m.bind(s, -1)
        m.push(s)
        m.bind(s, 3)
        m.pop(s)
        assert m.queue_first(s) == 1
        assert m.bcp(s) is True
        assert m.value(s, 2) is True

    def test_undo_takes_them_off_too(self):
        s = solver(3)
        m.isused(s, 1, True)
        m.add_clause(s, [3, 2])
        assert m.nbcp(s) is True
        m.bind(s, -3)  # queued, never propagated
        assert m.undo(s) is True
        assert m.queue_first(s) is False
        assert m.bcp(s) is True
        assert m.value(s, 2) is None and m.value(s, 3) is None


class TestUnitsAboveLevel0:
    def test_a_unit_enters_level_0_without_losing_an_entry(self):
        s = solver()
        m.push(s)
        m.bind(s, 1)
        m.push(s)
        m.bind(s, 2)
        assert m.add_clause(s, [3]) is True
        assert m.implication_level(s, 3) == 0
        assert trail(s, 0) == [3]
        assert trail(s, 1) == [1]
        assert trail(s, 2) == [2]
        assert bound_counts_agree(s)
        assert m.pop(s) == 1
        assert (m.value(s, 1), m.value(s, 2), m.value(s, 3)) == (True, None, True)
        assert m.pop(s) == 0
        assert (m.value(s, 1), m.value(s, 3)) == (None, True)
        assert m.info(s, "number_of_bound_variables") == 1

    def test_the_fact_is_propagated_and_survives_undo(self):
        s = solver(4, all_used=True)
        m.add_clause(s, [-4, 3])
        m.nbcp(s)
        assert m.add_clause(s, [4]) is True
        assert m.bcp(s) is True
        while m.undo(s):
            m.nbcp(s)
        assert m.value(s, 4) is True
        assert m.value(s, 1) is None
        assert bound_counts_agree(s)

    def test_a_unit_already_true_above_level_0_moves_down(self):
        s = solver()
        m.push(s)
        m.bind(s, 1)
        m.bind(s, 2)
        m.push(s)
        m.bind(s, 5)
        assert m.add_clause(s, [2]) is True
        assert m.implication_level(s, 2) == 0
        assert trail(s, 0) == [2]
        assert trail(s, 1) == [1]
        assert bound_counts_agree(s)
        m.pop(s, 0)
        assert m.value(s, 2) is True
        assert m.value(s, 1) is None and m.value(s, 5) is None
        assert m.info(s, "number_of_bound_variables") == 1

    def test_a_unit_on_the_current_level_moves_down_too(self):
        s = solver()
        m.push(s)
        m.bind(s, 1)
        assert m.add_clause(s, [1]) is True
        assert bound_counts_agree(s)
        assert m.pop(s) == 0
        assert m.value(s, 1) is True

    def test_a_fixed_decision_cannot_be_flipped(self):
        s = solver(1, all_used=True)
        m.nbcp(s)
        assert m.add_clause(s, [1]) is True
        assert m.undo(s) is True
        # The flipped decision -1 is false at level 0: that branch is empty.
        assert m.nbcp(s) is False
        assert m.undo(s) is False
        assert m.value(s, 1) is True

    def test_consequences_of_a_late_fact_are_derived_again_lower_down(self):
        s = solver()
        m.add_clause(s, [-3, 4])
        m.push(s)
        m.bind(s, 1)
        assert m.add_clause(s, [3]) is True
        assert m.bcp(s) is True
        assert m.implication_level(s, 4) == 1
        m.pop(s)
        assert m.bcp(s) is True
        assert m.implication_level(s, 4) == 0
        m.push(s)
        m.bind(s, 2)
        m.pop(s)
        assert m.bcp(s) is True
        assert m.value(s, 4) is True

    def test_a_late_fact_falsifying_a_kept_unit_is_a_conflict_at_every_level(self):
        s = solver(3)
        m.push(s)
        m.bind(s, -1)
        m.push(s)
        m.bind(s, 2)
        assert m.add_clause(s, [1]) == (False, 0)
        assert m.add_clause(s, [-1]) is True  # -1 moves to level 0
        assert m.bcp(s) is False
        m.pop(s, 0)
        assert m.bcp(s) is False
        assert m.conflicting_clause(s, 0) == 0
