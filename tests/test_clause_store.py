"""The clause store: adding, finding, fetching, encoding, cleaning, deleting
and activating clauses, with the occurrence lists and the hash index."""
import pytest

import kernel
import mirl_nif as m
from kernel import raises

DEAD = 11  # the atom `dead`
ALPHA_BASE = 0xC0000000


def solver(n=6, **options):
    return kernel.solver(n, **options)


def occurrences(s, lit):
    return m.literal_info(s, lit, "xref")


class TestAddingNormalises:
    def test_a_tautology_is_true_and_stores_nothing(self):
        s = solver()
        assert m.add_clause(s, [1, -1]) is True
        assert m.info(s, "number_of_clauses") == 0

    def test_duplicates_are_dropped(self):
        s = solver()
        assert m.add_clause(s, [2, 2, 3]) == (True, 0)
        assert m.get_clause(s, 0) == [2, 3]

    def test_the_constants(self):
        s = solver()
        assert m.add_clause(s, [False]) is False
        assert m.add_clause(s, [True, 1]) is True
        assert m.add_clause(s, [False, 1, 2]) == (True, 0)
        assert m.get_clause(s, 0) == [1, 2]

    def test_an_empty_list_is_the_empty_clause(self):
        s = solver()
        assert m.add_clause(s, []) is False
        assert m.info(s, "number_of_clauses") == 0

    def test_literals_fixed_at_level_0_are_replaced(self):
        s = solver()
        m.bind(s, 1)
        m.bind(s, -2)
        assert m.add_clause(s, [1, 3]) is True
        assert m.add_clause(s, [2, 3, 4]) == (True, 0)
        assert m.get_clause(s, 0, None, True) == [3, 4]

    def test_every_literal_false_at_level_0_is_false(self):
        s = solver()
        m.bind(s, -1)
        m.bind(s, -2)
        assert m.add_clause(s, [1, 2]) is False

    def test_a_unit_becomes_a_level_0_fact(self):
        s = solver()
        assert m.add_clause(s, [5]) is True
        assert m.value(s, 5) is True
        assert m.implication_level(s, 5) == 0
        assert m.implication_clause(s, 5) == -1
        assert m.queue_first(s) == -5

    def test_undecodable_lists_are_badarg(self):
        s = solver(3)
        for bad in ([1, 4], [0], "12", (1, 2), [1.0]):
            raises("badarg", m.add_clause, s, bad)
        raises("badarg", m.add_clause, s, [1, 2], 4)

    def test_a_clause_with_every_literal_false_is_stored_unattached(self):
        s = solver()
        m.push(s)
        m.bind(s, -1)
        m.bind(s, -2)
        assert m.add_clause(s, [1, 2]) == (False, 0)


class TestIds:
    def test_first_ids_of_set_0_and_set_3(self):
        s = solver()
        assert m.add_clause(s, [1, 2]) == (True, 0)
        assert m.add_clause(s, [1, 3], "alpha") == (True, ALPHA_BASE)
        assert m.add_clause(s, [1, 4], 3) == (True, ALPHA_BASE + 1)
        assert m.add_clause(s, [1, 5], "beta") == (True, 0x80000001 - 1)

    def test_deleting_the_last_clause_hands_its_id_out_again(self):
        s = solver()
        m.add_clause(s, [1, 2])
        m.add_clause(s, [1, 3])
        m.del_clause(s, 1)
        assert m.add_clause(s, [2, 3]) == (True, 1)

    def test_an_inner_gap_is_not_reused(self):
        s = solver()
        m.add_clause(s, [1, 2])
        m.add_clause(s, [1, 3])
        m.del_clause(s, 0)
        assert m.add_clause(s, [2, 3]) == (True, 2)
        raises("badarg", m.get_clause, s, 0)

    def test_set_3_clauses_are_not_watched(self):
        s = solver()
        m.add_clause(s, [1, 2], "alpha")
        assert m.clause_info(s, ALPHA_BASE, "watch") == (-1, -1)
        m.bind(s, -1)
        assert m.bcp(s) is True
        assert m.value(s, 2) is None


@pytest.mark.parametrize("hashed", [False, True])
class TestFinding:
    def test_order_does_not_matter_but_signs_do(self, hashed):
        s = solver(hash=hashed)
        m.add_clause(s, [1, 4])
        m.add_clause(s, [2, 3])
        assert m.find_clause(s, [3, 2]) == 1
        assert m.find_clause(s, [3, 3, 2]) == 1
        assert m.find_clause(s, [2, -3]) is False
        assert m.find_clause(s, [2]) is False

    def test_set_3_is_found_only_without_the_index(self, hashed):
        s = solver(hash=hashed)
        m.add_clause(s, [2, 3], "alpha")
        assert m.find_clause(s, [2, 3]) == (False if hashed else ALPHA_BASE)

    def test_many_clauses_survive_index_growth(self, hashed):
        s = solver(40, hash=hashed)
        ids = {}
        for a in range(1, 40):
            ids[a] = m.add_clause(s, [a, -(a + 1)])[1]
        for a in range(1, 40, 3):
            m.del_clause(s, ids[a])
        for a in range(1, 40):
            expected = False if a % 3 == 1 else ids[a]
            assert m.find_clause(s, [-(a + 1), a]) == expected

    def test_turning_the_index_on_later_finds_old_clauses(self, hashed):
        s = solver(hash=hashed)
        m.add_clause(s, [1, 2])
        m.add_clause(s, [3, 4], "beta")
        m.config(s, "hash", not hashed)
        assert m.find_clause(s, [2, 1]) == 0
        assert m.find_clause(s, [4, 3]) == 0x80000000


class TestFetching:
    def test_level_0_values_shape_the_answer(self):
        s = solver()
        m.add_clause(s, [1, 2, 3])
        m.bind(s, -1)
        assert m.get_clause(s, 0) == [2, 3]
        assert m.get_clause(s, 0, None, True) == [1, 2, 3]
        m.bind(s, 2)
        assert m.get_clause(s, 0) is True
        assert m.get_clause(s, 0, None, False, True) is True
        assert m.get_clause(s, 0, None, True, True) == (1, 2, 3)

    def test_only_level_0_counts(self):
        s = solver()
        m.add_clause(s, [1, 2, 3])
        m.push(s)
        m.bind(s, -1)
        assert m.get_clause(s, 0) == [1, 2, 3]

    def test_excluding_the_only_free_literal_gives_an_empty_list(self):
        s = solver()
        m.add_clause(s, [1, 2, 3])
        m.bind(s, -1)
        m.bind(s, -3)
        assert m.get_clause(s, 0, 2) == []
        assert m.get_clause(s, 0, 2, False, True) == ()
        m.bind(s, -2)
        assert m.get_clause(s, 0) is False

    def test_bad_arguments(self):
        s = solver()
        m.add_clause(s, [1, 2])
        raises("badarg", m.get_clause, s, 1)
        raises("badarg", m.get_clause, s, 0, 9)
        raises("badarg", m.get_clause, s, 0, None, 1)


class TestCompressing:
    def test_integers_are_written_base_128(self):
        s = solver()
        assert bytes(m.compress_clause(s, [1, -1, 64])) == bytes([2, 3, 128, 1, 0])
        assert bytes(m.compress_clause(s, [])) == bytes([0])

    def test_a_clause_by_id(self):
        s = solver()
        m.add_clause(s, [3, -2])
        assert bytes(m.compress_clause(s, 0)) == bytes([6, 5, 0])
        m.add_clause(s, [1, 2])
        m.del_clause(s, 0)
        assert bytes(m.compress_clause(s, 0)) == b""

    def test_non_integers_are_badarg(self):
        s = solver()
        raises("badarg", m.compress_clause, s, [1, "x"])
        raises("badarg", m.compress_clause, s, 5)


class TestClauseInfo:
    def test_length_status_and_watches(self):
        s = solver()
        m.add_clause(s, [1, 2, 3])
        assert m.clause_info(s, 0, "length") == 3
        assert m.clause_info(s, 0, "status") is None
        assert m.clause_info(s, 0, "watch") == (0, 1)
        assert m.clause_info(s, 0, "watch0") == 0
        assert m.clause_info(s, 0, "watch1") == 1

    def test_watches_prefer_unassigned_then_late_levels(self):
        s = solver()
        m.push(s)
        m.bind(s, -3)
        m.push(s)
        m.bind(s, -1)
        m.add_clause(s, [1, 2, 3])
        assert m.clause_info(s, 0, "watch") == (1, 0)

    def test_jump(self):
        s = solver()
        for lit in (-1, -2, -3):
            m.push(s)
            m.bind(s, lit)
        m.add_clause(s, [1, 3, 2])
        assert m.clause_info(s, 0, "jump") == (3, 1, 1, 2, 1, 0)
        # Unit at level 3: 4 is implied there, so the top two levels tie.
        m.add_clause(s, [1, 3, 2, 4])
        assert m.clause_info(s, 1, "jump") == (4, 0, 1, 3, 2, 1)
        m.add_clause(s, [1, 3])
        assert m.clause_info(s, 2, "jump") == (2, 2, 1, 1, 0, 2)

    def test_unknown_keys_and_one_literal_jumps_are_badarg(self):
        s = solver()
        m.add_clause(s, [1, 2])
        raises("badarg", m.clause_info, s, 0, "size")
        raises("badarg", m.clause_info, s, 1, "length")


class TestUseClause:
    def test_stamps_order_the_set_by_use(self):
        s = solver()
        m.add_clause(s, [1, 2])
        m.bcp(s)
        m.add_clause(s, [1, 3])
        assert m.use_clause(s, 0) is None
        raises("badarg", m.use_clause, s, 5)


class TestCleaning:
    def test_needs_level_0(self):
        s = solver()
        m.add_clause(s, [1, 2])
        m.push(s)
        raises("level", m.clean_clause, s, 0)

    def test_drops_false_literals_and_rewatches(self):
        s = solver(xref=True)
        m.add_clause(s, [1, 2, 3])
        m.bind(s, -2)
        assert m.clean_clause(s, 0) is None
        assert m.get_clause(s, 0, None, True) == [1, 3]
        assert m.clause_info(s, 0, "watch") == (0, 1)
        assert occurrences(s, 2) == []
        assert occurrences(s, 1) == [0]
        m.bind(s, -1)
        assert m.bcp(s) is True
        assert m.value(s, 3) is True
        assert m.implication_clause(s, 3) == 0

    def test_a_satisfied_clause_is_deleted_without_trimming(self):
        s = solver(xref=True)
        m.add_clause(s, [1, 2])
        m.bind(s, 2)
        assert m.clean_clause(s, 0) is None
        raises("badarg", m.get_clause, s, 0)
        assert occurrences(s, 1) == []
        assert m.add_clause(s, [3, 4]) == (True, 1)

    def test_an_empty_position_is_none(self):
        s = solver()
        m.add_clause(s, [1, 2])
        m.add_clause(s, [1, 3])
        m.del_clause(s, 0)
        assert m.clean_clause(s, 0) is None

    def test_a_clause_false_everywhere_is_refused_and_left_alone(self):
        s = solver(xref=True)
        m.push(s)
        m.bind(s, -1)
        m.bind(s, -2)
        m.add_clause(s, [1, 2, 3])
        m.pop(s)
        m.bind(s, -1)
        m.bind(s, -2)
        m.bind(s, -3)
        before = m.clause_info(s, 0, "watch")
        raises("badarg", m.clean_clause, s, 0)
        assert m.clause_info(s, 0, "length") == 3
        assert m.get_clause(s, 0, None, True) == [1, 2, 3]
        assert m.clause_info(s, 0, "watch") == before
        assert occurrences(s, 3) == [0]

    def test_cleaning_down_to_one_literal_fixes_it(self):
        s = solver()
        m.add_clause(s, [1, 2], "alpha")
        m.bind(s, -1)
        m.clean_clause(s, ALPHA_BASE)
        assert m.value(s, 2) is True
        assert m.implication_clause(s, 2) == ALPHA_BASE

    def test_a_dead_clause_is_deleted(self):
        s = solver()
        m.add_clause(s, [1, 2])
        m.bind(s, 2)
        m.bind(s, -1)
        m.bcp(s)
        assert m.clause_info(s, 0, "status") == DEAD
        m.clean_clause(s, 0)
        raises("badarg", m.clause_info, s, 0, "status")


class TestDeleting:
    def test_by_id_and_by_literals(self):
        s = solver(xref=True)
        m.add_clause(s, [1, 2])
        m.add_clause(s, [2, 3])
        m.add_clause(s, [3, 4])
        assert m.del_clause(s, [3, 2]) is None
        assert occurrences(s, 2) == [0]
        assert m.del_clause(s, 2) is None
        assert m.info(s, "number_of_clauses") == 1
        assert occurrences(s, 3) == []

    def test_refusals(self):
        s = solver()
        m.add_clause(s, [1, 2])
        raises("badarg", m.del_clause, s, [1, 3])
        raises("literal", m.del_clause, s, [1, 99])
        raises("badarg", m.del_clause, s, 7)

    def test_a_deleted_clause_no_longer_propagates(self):
        s = solver()
        m.add_clause(s, [1, 2])
        m.del_clause(s, 0)
        m.bind(s, -1)
        assert m.bcp(s) is True
        assert m.value(s, 2) is None

    def test_a_reused_id_is_not_listed_for_the_old_literals(self):
        s = solver(xref=True)
        m.add_clause(s, [1, 2])
        m.del_clause(s, 0)
        m.add_clause(s, [3, 4])
        assert occurrences(s, 1) == [] and occurrences(s, 2) == []
        assert occurrences(s, 3) == [0]


class TestMoving:
    def test_only_from_alpha_to_gamma(self):
        s = solver()
        m.add_clause(s, [1, 2])
        m.add_clause(s, [1, 2, 3], "alpha")
        raises("badarg", m.move_clause, s, 0, "gamma")
        raises("badarg", m.move_clause, s, ALPHA_BASE, "beta")
        raises("badarg", m.move_clause, s, ALPHA_BASE + 1, "gamma")

    def test_activation_registers_and_watches(self):
        s = solver()
        m.add_clause(s, [1, 2, 3], "alpha")
        assert m.move_clause(s, ALPHA_BASE, "gamma") == (True, 0x40000000)
        assert m.info(s, "number_of_learnt_clauses") == 1
        assert m.clauseset_size(s, 3) == 0
        m.bind(s, -1)
        m.bind(s, -2)
        m.bcp(s)
        assert m.implication_clause(s, 3) == 0x40000000

    def test_an_activated_clause_whose_literals_are_false_is_not_attached(self):
        s = solver()
        m.add_clause(s, [1, 2], "alpha")
        m.push(s)
        m.bind(s, -1)
        m.bind(s, -2)
        assert m.move_clause(s, ALPHA_BASE, "gamma") == (False, 0x40000000)

    @staticmethod
    def learn_unit(s):
        """Learns [-1] in set 3 from the clauses [-1, 2] and [-1, -2]."""
        m.add_clause(s, [-1, 2])
        m.add_clause(s, [-1, -2])
        m.push(s)
        m.bind(s, 1)
        assert m.bcp(s) is False
        learnt = m.conflict(s, 1, "none", 0)
        assert m.get_clause(s, learnt) == [-1]
        m.pop(s)
        return learnt

    def test_an_activated_unit_is_a_level_0_fact_that_survives_backtracking(self):
        s = solver(xref=True)
        learnt = self.learn_unit(s)
        m.push(s)
        m.bind(s, 3)
        m.bcp(s)
        assert m.move_clause(s, learnt, "gamma") is True
        assert m.implication_level(s, 1) == 0
        assert m.value(s, 3) is True
        raises("badarg", m.get_clause, s, learnt)
        assert occurrences(s, -1) == [0, 1]
        m.bind(s, 4)
        assert m.pop(s) == 0
        assert m.value(s, 1) is False
        assert m.value(s, 3) is None and m.value(s, 4) is None
        assert m.info(s, "number_of_bound_variables") == 1

    def test_an_activated_unit_already_false_is_kept_watched(self):
        s = solver()
        learnt = self.learn_unit(s)
        m.push(s)
        m.bind(s, 1)
        assert m.move_clause(s, learnt, "gamma") == (False, 0x40000000)
        assert m.get_clause(s, 0x40000000) == [-1]
        m.pop(s)
        m.push(s)
        m.bind(s, 1)
        assert m.bcp(s) is False
        assert m.conflicting_clause(s, 0) == 0x40000000

    def test_moving_leaves_old_ids_out_of_the_lists(self):
        s = solver(xref=True)
        m.add_clause(s, [1, 2, 3], "alpha")
        m.add_clause(s, [1, 4, 5], "alpha")
        assert occurrences(s, 1) == []  # set 3 is not listed when added
        m.config(s, "xref", False)
        m.config(s, "xref", True)
        assert occurrences(s, 1) == [ALPHA_BASE, ALPHA_BASE + 1]
        assert m.move_clause(s, ALPHA_BASE + 1, "gamma") == (True, 0x40000000)
        assert occurrences(s, 1) == [ALPHA_BASE, 0x40000000]
        assert occurrences(s, 5) == [0x40000000]

    def test_a_cleaned_alpha_clause_is_watched_once_after_moving(self):
        s = solver(xref=True)
        m.add_clause(s, [1, 2, 3, 4], "alpha")
        m.bind(s, -4)
        m.clean_clause(s, ALPHA_BASE)
        assert m.clause_info(s, ALPHA_BASE, "watch") == (0, 1)
        assert m.move_clause(s, ALPHA_BASE, "gamma") == (True, 0x40000000)
        assert occurrences(s, 1) == [0x40000000]
        m.push(s)
        m.bind(s, -1)
        m.bind(s, -2)
        assert m.bcp(s) is True
        assert m.implication_clause(s, 3) == 0x40000000
        m.pop(s)
        m.del_clause(s, 0x40000000)
        m.push(s)
        m.bind(s, -1)
        m.bind(s, -2)
        assert m.bcp(s) is True
        assert m.value(s, 3) is None
