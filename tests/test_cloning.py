"""clone/2: an independent copy of a solver, with settings, variables, facts,
substitutions, symbols, chosen clause sets and optionally the queue."""
import gc
import os

import pytest

import mirl_nif
from symbol_table_model import walk

ALPHA_FIRST = 0xC0000000  # id of the first clause of set 3


def values(s):
    n = mirl_nif.info(s, "number_of_variables")
    return {v: mirl_nif.value(s, v) for v in range(1, n + 1)}


def queue(s):
    out = []
    lit = mirl_nif.queue_first(s)
    while lit is not False:
        out.append(lit)
        lit = mirl_nif.queue_next(s, lit)
    return out


def clauses(s, k):
    out = []
    ref = mirl_nif.clauseset_first(s, k)
    while ref is not False:
        out.append(mirl_nif.get_clause(s, ref, None, True))
        ref = mirl_nif.clauseset_next(s, ref)
    return out


def assert_counts_consistent(s):
    bound = mirl_nif.info(s, "number_of_bound_variables")
    unbound = mirl_nif.info(s, "number_of_unbound_variables")
    assert bound + unbound == mirl_nif.info(s, "number_of_variables")


@pytest.fixture
def source():
    """Six variables, a clause in every set, a level-0 fact and its
    consequence, a substitution, two symbols, and a decision at level 1."""
    s = mirl_nif.new({"xref": True, "qtype": "fifo", "seed": 7})
    mirl_nif.add_variables(s, 8)
    mirl_nif.isatom(s, 4, True)
    mirl_nif.isused(s, 5, True)
    mirl_nif.add_clause(s, [1, 2])
    mirl_nif.add_clause(s, [3, 4, 5])
    mirl_nif.add_clause(s, [-3, 7, 8], "gamma")
    mirl_nif.add_clause(s, [-4, 7], "beta")
    mirl_nif.add_clause(s, [4, -7, 8], "alpha")
    assert mirl_nif.bind(s, -1) is True
    assert mirl_nif.bcp(s) is True  # 2 follows from [1, 2]
    assert mirl_nif.subst(s, 5, 6) is True
    mirl_nif.add_symbol(s, [1, -2], ("pair", 1))
    mirl_nif.add_symbol(s, 4, "four")
    mirl_nif.push(s)
    mirl_nif.bind(s, 3)
    mirl_nif.bcp(s)
    return s


# ---- what a plain copy holds --------------------------------------------------------


def test_an_empty_map_copies_settings_variables_facts_and_set_0(source):
    c = mirl_nif.clone(source, {})
    for key in ("qtype", "xref", "hash", "vsids", "seed", "size", "init_phase", "number_of_variables",
                "number_of_subst_variables"):
        assert mirl_nif.info(c, key) == mirl_nif.info(source, key), key
    assert mirl_nif.level(c) == 0
    assert values(c) == {1: False, 2: True, 3: None, 4: None, 5: None, 6: None, 7: None, 8: None}
    assert mirl_nif.bound(c, 6) == 5
    assert clauses(c, 0) == clauses(source, 0)
    assert [mirl_nif.clauseset_size(c, k) for k in range(4)] == [2, 0, 0, 0]
    assert_counts_consistent(c)


def test_flags_and_symbols_are_copied_but_phases_come_from_the_copy(source):
    c = mirl_nif.clone(source, {"init_phase": False})
    assert mirl_nif.isatom(c, 4) is True and mirl_nif.isatom(c, 3) is False
    assert mirl_nif.isused(c, 5) is True and mirl_nif.isused(c, 4) is False
    assert mirl_nif.variable_info(c, 7, "phase") == -1
    assert walk(c) == walk(source)
    assert mirl_nif.find_symbol(c, ("pair", 1)) == [1, -2]
    assert mirl_nif.find_symbol(c, "four") == 4
    for v in (1, 2, 4):
        assert mirl_nif.variable_info(c, v, "symbol") == mirl_nif.variable_info(source, v, "symbol")


def test_statistics_start_afresh(source):
    mirl_nif.config(source, "max_conflicting", 3)
    c = mirl_nif.clone(source, {})
    assert mirl_nif.info(c, "bcp_counter") == 0
    assert mirl_nif.info(c, "max_conflicting") == 1024
    assert mirl_nif.info(c, "max_level") == 0


def test_creation_options_override_the_copied_ones(source):
    c = mirl_nif.clone(source, {"qtype": "lifo", "xref": False, "hash": True, "vsids": False,
                                "use_phase": True, "all_used": True, "init_phase": None, "seed": 99})
    assert mirl_nif.info(c, "qtype") == mirl_nif.info(mirl_nif.new({"qtype": "lifo"}), "qtype")
    assert [mirl_nif.info(c, k) for k in ("xref", "hash", "vsids", "use_phase", "all_used")] == [
        False, True, False, True, True]
    assert mirl_nif.info(c, "init_phase") is None
    assert mirl_nif.info(c, "seed") == 99
    # The copy indexes its clauses by hash and has no occurrence lists.
    assert mirl_nif.find_clause(c, [4, 5, 3]) == 1
    assert mirl_nif.literal_info(c, 3, "degree") is None


def test_the_generator_is_keyed_from_the_copys_seed(source):
    c = mirl_nif.clone(source, {"seed": 12345})
    fresh = mirl_nif.new({"seed": 12345})
    assert [mirl_nif.rand(c) for _ in range(5)] == [mirl_nif.rand(fresh) for _ in range(5)]


@pytest.mark.parametrize("options", [
    {"no_such_option": 1}, {"qtype": "nonsense"}, {"xref": 1}, {"level": "x"}, {"level": 2**40},
    {"set": "omega"}, {"set": [7]}, {"queue": 1}, {"size": -1}, {("a", "tuple"): []},
])
def test_options_that_fit_no_rule_are_ignored(source, options):
    c = mirl_nif.clone(source, options)
    assert mirl_nif.info(c, "qtype") == mirl_nif.info(source, "qtype")
    assert mirl_nif.info(c, "xref") is True
    assert [mirl_nif.clauseset_size(c, k) for k in range(4)] == [2, 0, 0, 0]
    assert values(c)[3] is None
    assert queue(c) == []


# ---- clause sets ----------------------------------------------------------------------


@pytest.mark.parametrize("chosen,sizes", [
    (["alpha"], [2, 0, 0, 1]),
    ("gamma", [2, 1, 0, 0]),
    (2, [2, 0, 1, 0]),
    ([1, "beta", 3], [2, 1, 1, 1]),
    (["delta"], [2, 0, 0, 0]),
    ([3, "nonsense", 1], [2, 0, 0, 1]),  # taken in order up to the first non-set
    ([1, 2, 3, 0, 1], [2, 0, 0, 0]),  # more than four: ignored
    ([], [2, 0, 0, 0]),
])
def test_set_chooses_clause_sets_besides_set_0(source, chosen, sizes):
    c = mirl_nif.clone(source, {"set": chosen})
    assert [mirl_nif.clauseset_size(c, k) for k in range(4)] == sizes
    for k in range(4):
        if sizes[k]:
            assert clauses(c, k) == clauses(source, k)


def test_copied_passive_clauses_have_no_watches(source):
    c = mirl_nif.clone(source, {"set": "alpha"})
    assert mirl_nif.clause_info(c, ALPHA_FIRST, "watch") == (-1, -1)
    # Occurrence lists hold the copied set-0 clause, not the passive one.
    assert mirl_nif.literal_info(c, 4, "xref") == [1]
    assert mirl_nif.literal_info(c, -7, "xref") == []


def test_slots_are_given_out_afresh():
    s = mirl_nif.new({})
    mirl_nif.add_variables(s, 4)
    mirl_nif.add_clause(s, [1, 2])
    mirl_nif.add_clause(s, [3, 4])
    mirl_nif.add_clause(s, [-1, -4])
    mirl_nif.del_clause(s, 0)
    c = mirl_nif.clone(s, {})
    assert mirl_nif.get_clause(c, 0) == [3, 4]
    assert mirl_nif.get_clause(c, 1) == [-1, -4]
    assert mirl_nif.clauseset_size(c, 0) == 2


def test_copied_clauses_are_watched_and_propagate():
    s = mirl_nif.new({})
    mirl_nif.add_variables(s, 3)
    mirl_nif.add_clause(s, [-2, 3])
    mirl_nif.add_clause(s, [-1, 2])
    c = mirl_nif.clone(s, {})
    mirl_nif.bind(c, 1)
    assert mirl_nif.bcp(c) is True
    assert values(c) == {1: True, 2: True, 3: True}
    assert values(s) == {1: None, 2: None, 3: None}


def test_clauses_unit_under_the_copied_facts_are_fixed_in_the_copy():
    s = mirl_nif.new({})
    mirl_nif.add_variables(s, 3)
    mirl_nif.add_clause(s, [-1, 2, 3])
    mirl_nif.push(s)
    mirl_nif.bind(s, 1)
    mirl_nif.bind(s, -2)  # no propagation in the source
    c = mirl_nif.clone(s, {"level": -1})
    assert values(c) == {1: True, 2: False, 3: True}
    assert mirl_nif.implication_level(c, 3) == 0
    assert_counts_consistent(c)


# ---- levels and the trail ----------------------------------------------------------


@pytest.mark.parametrize("level,three", [(0, None), (1, True), (-1, True), (5, True), (-2, None)])
def test_level_chooses_how_many_assignments_are_copied(source, level, three):
    c = mirl_nif.clone(source, {"level": level})
    assert mirl_nif.value(c, 3) is three
    assert mirl_nif.value(c, 1) is False
    assert mirl_nif.level(c) == 0


def deep_source():
    s = mirl_nif.new({})
    mirl_nif.add_variables(s, 10)
    mirl_nif.add_clause(s, [-3, 4])
    mirl_nif.add_clause(s, [-5, -6])
    mirl_nif.bind(s, 1)
    mirl_nif.bcp(s)
    for lit in (3, 5, -8):
        mirl_nif.push(s)
        mirl_nif.bind(s, lit)
        assert mirl_nif.bcp(s) is True
    return s


def test_copied_assignments_are_level_0_facts_on_the_copys_trail():
    s = deep_source()
    c = mirl_nif.clone(s, {"level": -1})
    assigned = {v: val for v, val in values(s).items() if val is not None}
    assert {v: val for v, val in values(c).items() if val is not None} == assigned
    # Every one of them is listed on level 0, in the order the source bound them.
    in_source_order = [b for level in range(4) for b in mirl_nif.get_bindings(s, level)]
    assert list(mirl_nif.get_bindings(c, 0)) == in_source_order
    for v in assigned:
        assert mirl_nif.implication_level(c, v) == 0
        assert mirl_nif.implication_clause(c, v) == -1
    assert mirl_nif.info(c, "number_of_bound_variables") == len(assigned)
    assert_counts_consistent(c)


def test_backtracking_in_the_copy_keeps_every_copied_fact():
    s = deep_source()
    c = mirl_nif.clone(s, {"level": 2})
    facts = values(c)
    assert mirl_nif.pop(c) is False
    assert mirl_nif.undo(c) is False
    assert values(c) == facts
    mirl_nif.push(c)
    mirl_nif.decide(c, 9)
    mirl_nif.bcp(c)
    assert_counts_consistent(c)
    assert mirl_nif.pop(c) == 0
    assert values(c) == facts
    mirl_nif.push(c)
    mirl_nif.decide(c, 10)
    assert mirl_nif.undo(c) is True
    assert mirl_nif.nbcp(c) in (True, False)
    mirl_nif.pop(c, 0)
    assert values(c) == facts
    assert_counts_consistent(c)
    # The copy's own level records start fresh.
    assert mirl_nif.get_decision(c, 0) is False


def test_substituted_variables_count_as_bound_in_the_copy():
    s = mirl_nif.new({"xref": True})
    mirl_nif.add_variables(s, 5)
    mirl_nif.subst(s, 1, 2)
    mirl_nif.subst(s, -3, 4)
    mirl_nif.bind(s, 5)
    c = mirl_nif.clone(s, {})
    assert mirl_nif.info(c, "number_of_subst_variables") == 2
    assert mirl_nif.info(c, "number_of_bound_variables") == 3
    assert_counts_consistent(c)
    # The links lead to the copy's own literals.
    mirl_nif.bind(c, 1)
    assert mirl_nif.value(c, 2) is True
    assert mirl_nif.value(c, 4) is None
    mirl_nif.bind(c, 3)
    assert mirl_nif.value(c, 4) is False
    assert mirl_nif.value(s, 2) is None


# ---- the queue --------------------------------------------------------------------------


def queued_source(qtype):
    s = mirl_nif.new({"qtype": qtype})
    mirl_nif.add_variables(s, 4)
    mirl_nif.bind(s, 1)
    mirl_nif.bind(s, -2)
    mirl_nif.push(s)
    mirl_nif.bind(s, 3)
    return s


@pytest.mark.parametrize("qtype", ["fifo", "lifo"])
def test_the_queue_is_copied_in_order_on_request(qtype):
    s = queued_source(qtype)
    c = mirl_nif.clone(s, {"queue": True, "level": -1})
    assert queue(c) == queue(s)
    assert mirl_nif.queue_first(mirl_nif.clone(s, {"level": -1})) is False


def test_queued_literals_that_are_not_false_in_the_copy_stay_out():
    s = queued_source("fifo")
    c = mirl_nif.clone(s, {"queue": True})
    assert queue(s) == [-1, 2, -3]
    assert queue(c) == [-1, 2]


# ---- independence --------------------------------------------------------------------------


def test_a_copy_keeps_working_after_its_source_is_released(source):
    c = mirl_nif.clone(source, {"set": [1, 2, 3], "level": -1})
    expected_symbols = walk(source)
    expected_refs = mirl_nif.variable_info(source, 1, "symbol")
    del source
    gc.collect()
    assert walk(c) == expected_symbols
    assert mirl_nif.variable_info(c, 1, "symbol") == expected_refs
    mirl_nif.add_symbol(c, [7], "new")
    assert mirl_nif.del_symbol(c, "four") is None
    mirl_nif.add_clause(c, [-7, -8])
    mirl_nif.push(c)
    mirl_nif.decide(c, 7)
    assert mirl_nif.bcp(c) in (True, False)
    mirl_nif.pop(c, 0)
    assert_counts_consistent(c)
    c2 = mirl_nif.clone(c, {})
    del c
    gc.collect()
    assert mirl_nif.find_symbol(c2, "new") == [7]


def test_changes_to_either_side_stay_on_that_side(source):
    c = mirl_nif.clone(source, {})
    mirl_nif.add_symbol(c, 8, "copy only")
    mirl_nif.del_symbol(source, "four")
    mirl_nif.add_clause(c, [7, 8])
    assert mirl_nif.find_symbol(source, "copy only") is False
    assert mirl_nif.find_symbol(c, "four") == 4
    assert mirl_nif.clauseset_size(source, 0) == 2
    assert mirl_nif.clauseset_size(c, 0) == 3


# ---- sizes and refusals ------------------------------------------------------------------


def test_any_integer_size_is_accepted():
    s = mirl_nif.new({})
    mirl_nif.add_variables(s, 3)
    for size in (0, 1, 2_000_000):
        c = mirl_nif.clone(s, {"size": size})
        assert mirl_nif.info(c, "number_of_variables") == 3
        assert mirl_nif.add_variable(c) == 4


@pytest.mark.skipif("asan" in os.environ.get("LD_PRELOAD", ""),
                    reason="the sanitizer's allocator reserves instead of refusing")
def test_a_size_too_large_to_allocate_is_badarg():
    s = mirl_nif.new({})
    with pytest.raises(TypeError, match="^badarg$"):
        mirl_nif.clone(s, {"size": 2**32 - 1})
    assert mirl_nif.info(s, "number_of_variables") == 0


@pytest.mark.parametrize("handle,options", [(None, {}), (1, {}), ("s", {}), (mirl_nif, {})])
def test_a_non_handle_is_badarg(handle, options):
    with pytest.raises(TypeError, match="^badarg$"):
        mirl_nif.clone(handle, options)


@pytest.mark.parametrize("options", [None, [], [("level", 1)], (), "level"])
def test_options_must_be_a_map(source, options):
    with pytest.raises(TypeError, match="^badarg$"):
        mirl_nif.clone(source, options)
