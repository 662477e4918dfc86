"""order_sort/2..4 by every key kind and direction, the phases it sets,
fixed variables leaving the order, and the user counts and random numbers
it reads."""
import pytest

import kernel
import mirl_nif as m
from kernel import raises


def solver(n, clauses=(), **options):
    options.setdefault("all_used", True)
    return kernel.solver(n, clauses, **options)


def unbound_order(s):
    out = []
    v = m.next_unbound(s)
    while v is not False:
        out.append(v)
        v = m.next_unbound(s, v)
    return out


def phases(s, n):
    return [m.variable_info(s, v, "phase") for v in range(1, n + 1)]


# ---- keys --------------------------------------------------------------------


@pytest.mark.parametrize("key", ["identity", "+identity", "=identity"])
def test_identity_orders_by_index_with_true_phases(key):
    s = solver(5, init_phase=False)
    m.order_last(s, [1, 2])
    assert m.order_sort(s, key) is None
    assert unbound_order(s) == [1, 2, 3, 4, 5]
    assert phases(s, 5) == [1] * 5


def test_descending_identity_reverses():
    s = solver(5)
    m.order_sort(s, "-identity")
    assert unbound_order(s) == [5, 4, 3, 2, 1]


def test_no_key_keeps_every_unassigned_variable_with_true_phases():
    s = solver(6, init_phase=False)
    m.bind(s, 4)
    m.order_sort(s, None)
    assert sorted(unbound_order(s)) == [1, 2, 3, 5, 6]
    assert phases(s, 6) == [1, 1, 1, -1, 1, 1]  # 4 was left alone


def test_degree_orders_by_the_commoner_polarity_of_each_variable():
    clauses = [[1, 2], [-2, 3], [-2, -3, 4], [-1, -4], [-3, 4], [3, -4, 2]]
    # 1 occurs once each way; 2, 3 and 4 twice each way.
    s = solver(4, clauses)
    m.order_sort(s, "degree", "-identity")
    assert unbound_order(s) == [4, 3, 2, 1]
    m.order_sort(s, "+degree", "identity")
    assert unbound_order(s) == [1, 2, 3, 4]


def test_degree_ties_fall_back_to_the_second_key():
    s = solver(5, [[1, 2, 3, 4, 5], [5, 1], [-5, -1], [-1, -5]])
    m.order_sort(s, "-degree", "identity")
    # 1 and 5 occur twice each way, 2, 3 and 4 once: each group by index.
    assert unbound_order(s) == [1, 5, 2, 3, 4]
    # A tie in the first key's polarities leaves the phase to the second key
    # (identity favours the positive literal).
    assert phases(s, 5) == [1, 1, 1, 1, 1]


def test_degree_counts_every_clause_set():
    s = solver(3, [[1, 2]])
    m.add_clause(s, [-3, 2], "alpha")
    m.add_clause(s, [-3, 1], "beta")
    m.order_sort(s, "degree", "identity")
    assert unbound_order(s) == [1, 2, 3]
    assert phases(s, 3) == [1, 1, -1]


def test_rank_weighs_occurrences_by_clause_length():
    # +1 sits in two clauses of five (2/5), -1 in one binary clause (1/2):
    # the degree prefers +1, the rank -1.
    s = solver(6, [[1, 2, 3, 4, 5], [1, 2, 3, 4, 6], [-1, 6]])
    m.order_sort(s, "degree")
    assert m.variable_info(s, 1, "phase") == 1
    m.order_sort(s, "rank", "identity")
    assert m.variable_info(s, 1, "phase") == -1
    assert unbound_order(s) == [6, 1, 2, 3, 4, 5]
    m.order_sort(s, "+rank", "identity")
    assert unbound_order(s) == [5, 2, 3, 4, 1, 6]


def test_user_counts_drive_the_user_key():
    s = solver(4)
    m.set_user_count(s, 3, 7)
    m.set_user_count(s, -2, 9)
    m.set_user_count(s, 4, 1)
    m.set_user_count(s, -4, 1)
    m.order_sort(s, "user", "identity")
    assert unbound_order(s) == [2, 3, 4, 1]
    assert phases(s, 4) == [1, -1, 1, 1]
    m.order_sort(s, "+user", "-identity")
    assert unbound_order(s) == [1, 4, 3, 2]


@pytest.mark.parametrize("keys, order", [
    (("identity", "-identity"), [1, 2, 3, 4]),  # the same kind twice is one key
    ((None, "-identity"), [4, 3, 2, 1]),        # a missing first key takes the second
])
def test_a_repeated_kind_is_one_key_and_a_missing_first_key_takes_the_second(keys, order):
    s = solver(4)
    m.order_sort(s, *keys)
    assert unbound_order(s) == order


# ---- random keys and numbers ----------------------------------------------------


def test_random_order_repeats_with_the_same_seed():
    results = []
    for _ in range(2):
        s = solver(40)
        m.order_sort(s, "random", 12345)
        results.append((unbound_order(s), phases(s, 40)))
    assert results[0] == results[1]
    assert sorted(results[0][0]) == list(range(1, 41))
    assert results[0][0] != list(range(1, 41))
    assert set(results[0][1]) == {1, -1}


def test_random_order_with_four_arguments_and_a_second_key():
    s = solver(30)
    m.order_sort(s, "+random", "identity", 99)
    first = unbound_order(s)
    m.order_sort(s, "=random", None, 99)
    assert unbound_order(s) == first
    m.order_sort(s, "-random", None, 99)
    assert unbound_order(s) == first[::-1]


def test_the_sort_seed_keys_the_generator():
    # Five variables draw ten scores; the generator goes on from there.
    s = solver(5)
    m.order_sort(s, "random", 77)
    assert m.info(s, "seed") == 77
    t = m.new({})
    m.config(t, "seed", 77)
    draws = [m.rand(t) for _ in range(11)]
    assert min(draws[:10]) >= 512  # no draw was rejected on the way
    assert m.rand(s) == draws[10]


def test_rand_repeats_after_reseeding():
    s = m.new({})
    m.config(s, "seed", 4242)
    first = [m.rand(s) for _ in range(5)]
    m.config(s, "seed", 4242)
    assert [m.rand(s) for _ in range(5)] == first
    assert all(0 <= r <= 0xFFFFFFFF for r in first)
    assert len(set(first)) > 1
    raises("badarg", m.rand, None)


# ---- what the sort keeps ---------------------------------------------------------


def test_variables_fixed_at_level_zero_leave_the_order_for_good():
    s = solver(4)
    m.bind(s, -3)
    m.order_sort(s, "identity")
    assert unbound_order(s) == [1, 2, 4]
    m.push(s)
    for v in (1, 2, 4):
        m.bind(s, v)
    assert m.next_unbound(s) is False
    m.pop(s)
    assert unbound_order(s) == [1, 2, 4]
    assert m.next_unbound(s, 3) is False


def test_variables_added_after_a_sort_join_at_the_back():
    s = solver(3)
    m.order_sort(s, "-identity")
    m.add_variables(s, 2)
    assert unbound_order(s) == [3, 2, 1, 4, 5]
    m.bump(s, 5, "next")
    assert unbound_order(s) == [5, 3, 2, 1, 4]


def test_the_cursor_is_reset_to_the_first_candidate():
    s = m.new({})
    m.add_variables(s, 3, False, False)
    m.isused(s, 2, True)
    m.order_sort(s, "-identity")
    assert m.next_unbound(s, 0) == 2


def test_a_solver_without_variables_sorts_to_an_empty_order():
    s = m.new({})
    assert m.order_sort(s, "random", "degree", 5) is None
    assert m.next_unbound(s) is False
    m.add_variables(s, 2)
    assert m.next_unbound(s) is False  # not used
    m.isused(s, 2, True)
    assert m.next_unbound(s) == 2


# ---- refusals ---------------------------------------------------------------------


def test_order_sort_needs_level_zero():
    s = solver(3)
    m.push(s)
    raises("level", m.order_sort, s, "identity")
    raises("badarg", m.order_sort, s, "bogus")  # arguments are checked first
    m.pop(s)
    assert unbound_order(s) == [1, 2, 3]


@pytest.mark.parametrize(
    "args",
    [("bogus",), (3,), ("identity", 1.5), ("identity", "bogus"), ("identity", -1),
     ("identity", "degree", "7"), ("identity", 7, 7), ("identity", "degree", -7),
     ("identity", "degree", 2**33)],
)
def test_bad_keys_and_seeds_are_refused(args):
    s = solver(3)
    m.order_first(s, [3])
    raises("badarg", m.order_sort, s, *args)
    assert unbound_order(s) == [3, 1, 2]


def test_an_integer_third_argument_is_always_a_seed():
    # Atom terms are small integers in this host; a seed equal to one of
    # them (sort keys included) is still a seed.
    s = solver(12)
    for seed in range(1, 130):
        m.order_sort(s, "random", seed)
        three = unbound_order(s)
        m.order_sort(s, "random", None, seed)
        assert unbound_order(s) == three


# ---- set_user_count -------------------------------------------------------------


def test_user_counts_keep_sixteen_bits_per_literal():
    s = solver(2)
    m.set_user_count(s, 2, 65537)
    m.set_user_count(s, -2, 65535)
    assert m.literal_info(s, 2, "user") == 1
    assert m.literal_info(s, -2, "user") == 65535
    assert m.literal_info(s, 1, "user") == 0
    m.set_user_count(s, 2, 0)
    assert m.literal_info(s, 2, "user") == 0


@pytest.mark.parametrize(
    "literal, count", [(0, 1), (3, 1), (-3, 1), (True, 1), ("1", 1), (1, -1), (1, 2**32), (1, 1.0), (1, None)]
)
def test_set_user_count_refuses_bad_arguments(literal, count):
    s = solver(2)
    raises("badarg", m.set_user_count, s, literal, count)
    assert m.literal_info(s, 1, "user") == 0


def test_set_user_count_ignores_substitution():
    s = solver(2, xref=True)
    m.subst(s, 1, 2)  # 2 now stands for 1
    m.set_user_count(s, 2, 5)
    assert m.literal_info(s, 1, "user") == 0
