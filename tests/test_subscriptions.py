"""Subscriptions: registering topics, and the read-and-reset of the level and
bound statistics that building each event message performs.

Messages are built for every interested subscriber but handed to no
receiver, so these tests watch what building them does to the statistics
that info/2 reads."""
import pytest

import mirl_nif as m
from kernel import solver

MIN_LEVEL_NONE = 2**31 - 1


def with_level_history(s):
    """Opens and closes a level so that max_level is 1 and min_level 0."""
    m.push(s)
    m.pop(s)


def fix_at_root(s, lit):
    m.bind(s, lit)
    assert m.bcp(s) is True


def test_a_fixed_literal_resets_the_level_statistics_of_a_subscriber():
    s = solver(3)
    with_level_history(s)
    assert m.subscribe(s, ["variable", "max_level"]) is None
    fix_at_root(s, 2)
    assert m.info(s, "max_level") == 0
    assert m.info(s, "min_level") == MIN_LEVEL_NONE


def test_statistics_not_asked_for_are_left_alone():
    s = solver(3)
    with_level_history(s)
    m.subscribe(s, "variable")
    fix_at_root(s, 2)
    assert m.info(s, "max_level") == 1
    assert m.info(s, "min_level") == 0


def test_min_level_is_the_same_topic_as_max_level():
    s = solver(3)
    with_level_history(s)
    m.subscribe(s, ["min_level", "variable"])
    fix_at_root(s, -1)
    assert m.info(s, "max_level") == 0


def test_max_bound_is_read_and_reset():
    s = solver(3)
    m.subscribe(s, ["variable", "max_bound", "number_of_clauses", "number_of_dead_clauses"])
    m.bind(s, 1)
    m.bcp(s)
    # The drain raised max_bound to 1, and the event built right after read it.
    assert m.info(s, "max_bound") == 0


def test_without_a_topic_of_interest_no_message_is_built():
    s = solver(3)
    with_level_history(s)
    m.subscribe(s, ["max_level", "max_bound"])
    fix_at_root(s, 3)
    assert m.info(s, "max_level") == 1


def test_the_atom_topic_reports_only_atom_variables():
    s = m.new({})
    plain = m.add_variable(s, False)
    atom = m.add_variable(s, True)
    with_level_history(s)
    m.subscribe(s, ["atom", "max_level"])
    fix_at_root(s, plain)
    assert m.info(s, "max_level") == 1
    fix_at_root(s, -atom)
    assert m.info(s, "max_level") == 0


def test_each_fixed_literal_is_reported_once():
    s = solver(3)
    m.subscribe(s, ["variable", "max_level"])
    fix_at_root(s, 1)
    with_level_history(s)
    assert m.bcp(s) is True  # nothing new at level 0
    assert m.info(s, "max_level") == 1


def test_propagated_literals_at_the_root_are_reported():
    s = solver(3)
    m.add_clause(s, [-1, 2])
    m.subscribe(s, ["variable", "max_level"])
    m.bind(s, 1)
    with_level_history(s)
    m.bcp(s)
    assert m.info(s, "max_level") == 0


def test_a_substitution_is_reported_with_the_replacement_deciding_atom():
    s = m.new({"xref": True})
    atom = m.add_variable(s, True)
    plain = m.add_variable(s, False)
    other = m.add_variable(s, False)
    m.subscribe(s, ["atom", "max_level"])
    with_level_history(s)
    assert m.subst(s, plain, other) is True
    assert m.info(s, "max_level") == 1
    with_level_history(s)
    assert m.subst(s, atom, plain) is True
    assert m.info(s, "max_level") == 0


def test_a_substitution_resets_max_bound_after_raising_it():
    s = solver(3, xref=True)
    m.subscribe(s, ["variable", "max_bound", "number_of_subst_variables"])
    m.subst(s, 1, 2)
    assert m.info(s, "max_bound") == 0
    assert m.info(s, "number_of_subst_variables") == 1


def test_an_empty_topic_list_subscribes_to_nothing():
    s = solver(2)
    with_level_history(s)
    assert m.subscribe(s, []) is None
    fix_at_root(s, 1)
    assert m.info(s, "max_level") == 1


def test_many_subscribers_each_get_their_message():
    s = solver(40)
    for i in range(20):
        m.subscribe(s, ["variable", "max_level", "max_bound", "number_of_variables",
                        "number_of_bound_variables", "number_of_subst_variables"])
    for v in range(1, 41):
        fix_at_root(s, v if v % 2 else -v)
    assert m.info(s, "number_of_bound_variables") == 40


@pytest.mark.parametrize(
    "topics", ["bogus", ["variable", "max_level", "bogus"], 1.5, None, ("variable", "max_level")]
)
def test_a_topic_outside_the_table_is_badarg_and_registers_nothing(topics):
    s = solver(2)
    with_level_history(s)
    with pytest.raises(TypeError, match="badarg"):
        m.subscribe(s, topics)
    fix_at_root(s, 1)
    assert m.info(s, "max_level") == 1


def test_a_wrong_handle_is_badarg():
    with pytest.raises(TypeError, match="badarg"):
        m.subscribe(object(), "variable")
