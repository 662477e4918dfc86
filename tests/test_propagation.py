"""Unit propagation: implications with their reasons and levels, conflicts
and the conflict list, queue disciplines, counters, dead clauses at level 0,
the turbo test of bcp/2,3 and the decisions of nbcp/1."""
import pytest

import kernel
import mirl_nif as m

DEAD = 11  # the atom `dead`
TURBO = 61  # the atom `turbo`


def solver(n=6, **options):
    return kernel.solver(n, **options)


def counters(s):
    keys = ("clause_2_counter", "clause_3_counter", "clause_n_counter", "clause_d_counter")
    return tuple(m.info(s, k) for k in keys)


class TestImplications:
    def test_a_chain_of_binary_clauses(self):
        s = solver()
        m.add_clause(s, [1, 2])
        m.add_clause(s, [-2, 3])
        m.push(s)
        m.bind(s, -1)
        assert m.bcp(s) is True
        assert (m.value(s, 2), m.value(s, 3)) == (True, True)
        assert (m.implication_clause(s, 2), m.implication_clause(s, 3)) == (0, 1)
        assert (m.implication_level(s, 2), m.implication_level(s, 3)) == (1, 1)
        assert m.implication_clause(s, 1) == -1

    def test_long_clauses_move_their_watch_before_implying(self):
        s = solver()
        m.add_clause(s, [1, 2, 3, 4, 5])
        m.push(s)
        for lit in (-1, -2, -3):
            m.bind(s, lit)
            assert m.bcp(s) is True
            assert m.value(s, 5) is None
        m.bind(s, -4)
        assert m.bcp(s) is True
        assert m.value(s, 5) is True
        assert m.implication_clause(s, 5) == 0

    def test_a_ternary_clause(self):
        s = solver()
        m.add_clause(s, [1, 2, 3])
        m.push(s)
        m.bind(s, -1)
        assert m.bcp(s) is True
        assert m.clause_info(s, 0, "watch") == (2, 1)
        m.bind(s, -3)
        assert m.bcp(s) is True
        assert m.value(s, 2) is True

    def test_a_satisfied_clause_implies_nothing(self):
        s = solver()
        m.add_clause(s, [1, 2, 3, 4])
        m.push(s)
        m.bind(s, 3)
        for lit in (-1, -2):
            m.bind(s, lit)
        assert m.bcp(s) is True
        assert m.value(s, 4) is None

    @pytest.mark.parametrize("qtype", ["lifo", "fifo", "recursive"])
    def test_every_discipline_reaches_the_same_fixpoint(self, qtype):
        s = solver(8, qtype=qtype)
        for c in ([-1, 2], [-1, 3], [-2, -3, 4], [-4, 5, 6], [-5, 7], [-6, 7], [-4, -6]):
            m.add_clause(s, c)
        m.push(s)
        m.bind(s, 1)
        assert m.bcp(s) is True
        assert [m.value(s, v) for v in range(1, 9)] == [True, True, True, True, True, False, True, None]


class TestConflicts:
    def test_a_conflict_empties_the_queue_and_is_counted(self):
        s = solver()
        m.add_clause(s, [1, 2])
        m.add_clause(s, [1, -2])
        m.bind(s, 3)
        m.push(s)
        m.bind(s, -1)
        before = m.info(s, "conflict_counter")
        assert m.bcp(s) is False
        assert m.info(s, "conflict_counter") == before + 1
        assert m.queue_first(s) is False
        assert m.conflicting_clause(s, 0) in (0, 1)

    @pytest.mark.parametrize("qtype, first", [("fifo", 0), ("lifo", 2), ("recursive", 2)])
    def test_the_discipline_decides_which_conflict_is_met_first(self, qtype, first):
        s = solver(qtype=qtype)
        m.config(s, "max_conflicting", 1)
        for c in ([1, 3], [1, -3], [2, 4], [2, -4]):
            m.add_clause(s, c)
        m.push(s)
        m.bind(s, -1)
        m.bind(s, -2)
        assert m.bcp(s) is False
        assert m.conflicting_clause(s, 0) == first
        with pytest.raises(TypeError):
            m.conflicting_clause(s, 1)

    def four_conflicts(self, limit):
        s = solver(12)
        m.config(s, "max_conflicting", limit)
        for a in (2, 5, 8, 11):
            m.add_clause(s, [1, a])
            m.add_clause(s, [1, -a])
        m.push(s)
        m.bind(s, -1)
        assert m.bcp(s) is False
        return s

    def test_one_conflict_is_recorded_with_a_limit_of_one(self):
        s = self.four_conflicts(1)
        assert m.info(s, "number_of_conflicting_clauses") == 1

    def test_a_limit_of_three_records_three_and_the_fourth_stops(self):
        s = self.four_conflicts(3)
        assert [m.conflicting_clause(s, i) for i in range(3)] == [6, 4, 2]
        with pytest.raises(TypeError):
            m.conflicting_clause(s, 3)
        # [1, -2] implied -2 and the fourth conflict, [1, 2], ended the pass.
        assert m.value(s, 2) is False

    def test_the_list_is_reset_by_the_next_pass(self):
        s = self.four_conflicts(1024)
        assert m.info(s, "number_of_conflicting_clauses") == 4
        m.pop(s)
        assert m.bcp(s) is True
        with pytest.raises(TypeError):
            m.conflicting_clause(s, 0)

    def test_recorded_clauses_are_visited_again_by_later_passes(self):
        s = self.four_conflicts(1024)
        m.pop(s)
        m.push(s)
        m.bind(s, -1)
        assert m.bcp(s) is False
        assert m.info(s, "number_of_conflicting_clauses") == 4


class TestRecursiveDepth:
    def chain(self, n):
        s = solver(n + 1)
        for i in range(1, n + 1):
            # The ternary entry keeps each implying clause off the end of its
            # chain, so every implication nests.
            m.add_clause(s, [-i, i + 1, n + 1])
            m.add_clause(s, [-i, i + 1])
        return s

    def test_deep_chains_are_queued_past_the_limit(self, capfd):
        s = self.chain(1100)
        m.bind(s, 1)
        assert m.bcp(s) is True
        assert all(m.value(s, v) for v in range(1, 1101))
        assert m.implication_clause(s, 1100) == 2 * 1098 + 1
        err = capfd.readouterr().err
        assert "bcp max depth 1000 reached enqueue\n" in err

    def test_shallow_chains_print_nothing(self, capfd):
        s = self.chain(900)
        m.bind(s, 1)
        assert m.bcp(s) is True
        assert m.value(s, 900) is True
        assert "max depth" not in capfd.readouterr().err


class TestCounters:
    def test_each_size_class_has_its_counter(self):
        s = solver()
        m.add_clause(s, [1, 2])
        m.add_clause(s, [1, 3, 4])
        m.add_clause(s, [1, 3, 5, 6])
        m.push(s)
        m.bind(s, -1)
        assert m.bcp(s) is True
        assert counters(s) == (1, 1, 1, 0)
        assert m.info(s, "bcp_counter") == 1

    def test_a_true_other_watch_is_counted(self):
        s = solver()
        m.add_clause(s, [1, 2])
        m.push(s)
        m.bind(s, 2)
        m.bind(s, -1)
        assert m.bcp(s) is True
        assert counters(s) == (1, 0, 0, 1)


class TestDeadClausesAtLevel0:
    def test_a_clause_with_a_true_other_watch_dies_and_is_detached(self):
        s = solver()
        m.add_clause(s, [1, 2])
        m.bind(s, 2)
        m.bind(s, -1)
        assert m.bcp(s) is True
        assert m.clause_info(s, 0, "status") == DEAD
        assert m.clause_info(s, 0, "watch") == (-1, -1)
        assert m.info(s, "number_of_dead_clauses") == 1

    def test_an_implying_clause_dies_at_level_0(self):
        s = solver()
        m.add_clause(s, [1, 2])
        m.bind(s, -1)
        assert m.bcp(s) is True
        assert m.value(s, 2) is True
        assert m.clause_info(s, 0, "status") == DEAD

    def test_above_level_0_nothing_dies(self):
        s = solver()
        m.add_clause(s, [1, 2])
        m.push(s)
        m.bind(s, 2)
        m.bind(s, -1)
        m.bcp(s)
        assert m.clause_info(s, 0, "status") is None

    def test_with_xref_every_clause_holding_a_fixed_literal_dies(self):
        s = solver(xref=True)
        m.add_clause(s, [1, 2, 3])
        m.add_clause(s, [3, 4, 5])
        m.bind(s, 3)
        assert m.bcp(s) is True
        assert m.clause_info(s, 0, "status") == DEAD
        assert m.clause_info(s, 1, "status") == DEAD
        assert m.info(s, "number_of_dead_clauses") == 2


class TestTurbo:
    def test_a_literal_whose_clauses_are_all_satisfied_is_free(self):
        s = solver(xref=True)
        m.add_clause(s, [1, 2, 4])
        m.add_clause(s, [1, 3, 5])
        m.add_clause(s, [-1, 6, 5])
        m.push(s)
        m.bind(s, 2)
        m.bind(s, 3)
        assert m.bcp(s, [1]) == TURBO
        assert m.bcp(s, [1], True) == (TURBO, [1])
        assert m.bcp(s, [-1]) is True
        assert m.bcp(s, [], True) is True

    def test_collecting_puts_the_last_free_literal_first(self):
        s = solver(xref=True)
        m.add_clause(s, [1, 2, 4])
        m.add_clause(s, [5, 2, 6])
        m.push(s)
        m.bind(s, 2)
        assert m.bcp(s, [1, 3, 5], True) == (TURBO, [5, 1])

    def test_without_occurrence_lists_nothing_is_free(self):
        s = solver()
        m.add_clause(s, [1, 2])
        m.bind(s, 2)
        assert m.bcp(s, [1], True) is True

    def test_argument_checks(self):
        s = solver(xref=True)
        with pytest.raises(TypeError, match="badarg"):
            m.bcp(s, (1,))
        with pytest.raises(TypeError, match="literal"):
            m.bcp(s, [1, 99])
        with pytest.raises(TypeError, match="badarg"):
            m.bcp(s, [1], 1)

    def test_a_conflict_answers_false_before_looking_at_the_list(self):
        s = solver(xref=True)
        m.add_clause(s, [1, 2])
        m.add_clause(s, [1, -2])
        m.push(s)
        m.bind(s, -1)
        assert m.bcp(s, [99], 1) is False


class TestOneLiteralClauses:
    def test_a_watched_unit_whose_literal_is_false_is_a_conflict(self, capfd):
        s = solver()
        m.push(s)
        m.bind(s, -1)
        # The unit cannot become a fact while its literal is false: it is
        # kept as a watched one-literal clause.
        assert m.add_clause(s, [1]) == (False, 0)
        m.pop(s)
        assert m.value(s, 1) is None
        m.push(s)
        m.bind(s, -1)
        assert m.bcp(s) is False
        assert m.conflicting_clause(s, 0) == 0
        out = capfd.readouterr().out
        assert "clause 0:0 select=0\r\n  bcp:  id=0:0,[0:-1] [$1]\r\n" in out


class TestNbcp:
    def test_decides_until_everything_is_assigned(self):
        s = solver(4, all_used=True)
        m.add_clause(s, [-1, 2])
        assert m.nbcp(s) is True
        assert m.level(s) == 4 - 1  # variable 2 is implied, not decided
        assert all(m.value(s, v) is not None for v in range(1, 5))

    def test_only_used_variables_are_decided(self):
        s = solver(4)
        m.isused(s, 3, True)
        assert m.nbcp(s) is True
        assert m.level(s) == 1
        assert m.value(s, 3) is True
        assert m.value(s, 1) is None

    def test_pending_literals_are_propagated_when_nothing_is_left_to_decide(self):
        s = solver(2)
        m.add_clause(s, [-1, -2])
        m.bind(s, 1)
        m.bind(s, 2)
        assert m.nbcp(s) is False
        assert m.conflicting_clause(s, 0) == 0

    def test_pending_literals_are_propagated_at_a_fresh_level_too(self):
        s = solver(3)
        m.add_clause(s, [-1, -2, -3])
        m.push(s)
        for lit in (1, 2):
            m.bind(s, lit)
        m.push(s)
        m.bind(s, 3)
        m.push(s)  # a fresh level, nothing eligible to decide
        assert m.nbcp(s) is False

    def test_a_level_in_its_second_branch_is_refused(self):
        s = solver(1, all_used=True)
        assert m.nbcp(s) is True
        assert m.undo(s) is True
        assert m.nbcp(s) is True
        with pytest.raises(TypeError, match="badarg"):
            m.nbcp(s)
