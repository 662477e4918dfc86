"""Marks: filling them from literals or a trail level, intersecting them with
a set, and reporting which literals of a set are marked."""
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import mirl_nif as m
from kernel import solver


def marked(s):
    return m.get_marked(s, False)


# ---- random call sequences against a model ----------------------------------------------

N = 6
literal = st.integers(1, N).flatmap(lambda v: st.sampled_from((v, -v)))
operation = st.one_of(
    st.tuples(st.just("mark"), st.lists(literal, max_size=6), st.booleans()),
    st.tuples(st.just("intersect"), st.lists(literal, max_size=6), st.just(None)),
    st.tuples(st.just("unmark"), st.just([]), st.just(None)),
    st.tuples(st.just("var"), st.lists(literal, max_size=6), st.just(None)),
)


@settings(max_examples=150, deadline=None)
@given(st.lists(operation, max_size=12))
def test_marks_behave_like_an_ordered_map_of_polarities(operations):
    s = solver(N)
    model = {}  # variable -> marked literal, in first-marking order
    for name, lits, flag in operations:
        if name == "mark":
            m.mark(s, lits, flag)
            if flag:
                model = {}
            for lit in lits:
                model.setdefault(abs(lit), lit)
        elif name == "intersect":
            m.intersect_marks(s, tuple(lits))
            hit = {abs(lit) for lit in lits if model.get(abs(lit)) == lit}
            model = {v: lit for v, lit in model.items() if v in hit}
        elif name == "unmark":
            m.unmark(s)
            model = {}
        else:
            expected = [lit if model[abs(lit)] == lit else (-2, model[abs(lit)]) for lit in lits if abs(lit) in model]
            assert m.intersect_var(s, -2, lits, False) == expected
        assert m.get_marked(s, False) == list(model.values())
        assert m.get_marked(s, True) == tuple(model.values())


# ---- sets of literals and levels ------------------------------------------------------------


def test_the_documented_examples():
    s = solver(7)
    m.mark(s, [1, -1])
    assert marked(s) == [1]
    m.mark(s, [-3, 2])
    assert m.get_marked(s, True) == (-3, 2)
    m.mark(s, [3])
    m.intersect_marks(s, [-3])
    assert marked(s) == []
    m.mark(s, [-3])
    assert m.intersect_var(s, 7, [3, 4], False) == [(7, -3)]


def test_a_level_set_uses_the_true_literals_of_that_level_in_trail_order():
    s = solver(5)
    m.bind(s, 5)  # level 0 is never a set
    m.push(s)
    m.bind(s, -2)
    m.bind(s, 4)
    m.push(s)
    m.bind(s, 1)
    m.mark(s, 1)
    assert marked(s) == [-2, 4]
    m.mark(s, 2, False)
    assert marked(s) == [-2, 4, 1]
    m.mark(s, [3, -1, -4], True)
    assert m.intersect_var(s, -3, 2, True) == ((-3, -1),)
    m.intersect_marks(s, 1)
    assert marked(s) == []
    m.mark(s, 7)  # a new solver has level records 0..7; this one is empty
    assert marked(s) == []


@pytest.mark.parametrize("level", [0, 8, -1])
def test_a_level_outside_the_records_is_badarg(level):
    s = solver(2)
    with pytest.raises(TypeError, match="badarg"):
        m.mark(s, level)
    with pytest.raises(TypeError, match="badarg"):
        m.intersect_var(s, 1, level, True)


def test_marks_are_taken_on_representatives_and_reported_as_given():
    s = solver(5, xref=True)
    m.subst(s, -1, 2)
    m.mark(s, (2, 3, True))
    assert marked(s) == [-1, 3, 0]
    assert m.intersect_var(s, True, (2, -2, 3, -3, 4), True) == (2, (True, -1), 3, (True, 3))


def test_backtracking_keeps_the_marks():
    s = solver(2)
    m.push(s)
    m.bind(s, 2)
    m.mark(s, 1)
    m.pop(s)
    assert marked(s) == [2]


# ---- failures --------------------------------------------------------------------------------


def test_a_bad_set_clears_the_marks_and_is_badarg():
    s = solver(2)
    m.mark(s, [1])
    with pytest.raises(TypeError, match="badarg"):
        m.mark(s, 1.5)
    assert marked(s) == []


def test_mark3_with_a_non_boolean_reset_changes_nothing():
    s = solver(2)
    m.mark(s, [1])
    with pytest.raises(TypeError, match="badarg"):
        m.mark(s, [2], 1)
    assert marked(s) == [1]


def test_an_undecodable_literal_raises_literal():
    s = solver(2)
    for bad in ([1, 3], (0,), [None]):
        with pytest.raises(TypeError, match="literal"):
            m.mark(s, bad)
    with pytest.raises(TypeError, match="literal"):
        m.intersect_var(s, 4, [1], True)
    with pytest.raises(TypeError, match="literal"):
        m.intersect_var(s, 1, [1, 9], True)


def test_a_failing_intersection_leaves_the_marks_as_they_were():
    s = solver(3)
    m.mark(s, [1, 2, 3])
    with pytest.raises(TypeError, match="literal"):
        m.intersect_marks(s, [2, 0, 3])
    for bad in (0, "x", None):
        with pytest.raises(TypeError, match="badarg"):
            m.intersect_marks(s, bad)
    assert marked(s) == [1, 2, 3]
    m.intersect_marks(s, [3])
    assert marked(s) == [3]


@pytest.mark.parametrize(
    "call",
    [
        lambda h: m.mark(h, [1]),
        lambda h: m.mark(h, [1], True),
        lambda h: m.unmark(h),
        lambda h: m.get_marked(h, True),
        lambda h: m.intersect_marks(h, []),
        lambda h: m.intersect_var(h, 1, [], True),
    ],
)
def test_a_wrong_handle_is_badarg(call):
    with pytest.raises(TypeError, match="badarg"):
        call(None)


@pytest.mark.parametrize("flag", [0, None, "true"])
def test_flags_must_be_booleans(flag):
    s = solver(1)
    with pytest.raises(TypeError, match="badarg"):
        m.get_marked(s, flag)
    with pytest.raises(TypeError, match="badarg"):
        m.intersect_var(s, 1, [1], flag)
