"""Marks: filling them from literals or a trail level, intersecting them with
a set, and reporting which literals of a set are marked."""
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import mirl_nif as m


def solver(n, **options):
    s = m.new(options)
    if n:
        m.add_variables(s, n)
    return s


def marked(s):
    return m.get_marked(s, False)


# ---- filling and listing ------------------------------------------------------


def test_the_first_mark_of_a_variable_stays():
    s = solver(3)
    assert m.mark(s, [1, -1]) is None
    assert marked(s) == [1]


def test_marks_come_out_in_marking_order_as_list_or_tuple():
    s = solver(3)
    m.mark(s, [-3, 2])
    assert m.get_marked(s, False) == [-3, 2]
    assert m.get_marked(s, True) == (-3, 2)


def test_a_tuple_set_marks_like_a_list():
    s = solver(3)
    m.mark(s, (2, -1, True))
    assert marked(s) == [2, -1, 0]


def test_mark3_adds_with_false_and_replaces_with_true():
    s = solver(4)
    m.mark(s, [1])
    m.mark(s, [-2, -1], False)
    assert marked(s) == [1, -2]
    m.mark(s, [4], True)
    assert marked(s) == [4]


def test_unmark_empties_the_marks():
    s = solver(3)
    m.mark(s, [1, 2])
    assert m.unmark(s) is None
    assert marked(s) == []


def test_a_level_set_marks_the_true_literals_of_that_level_in_trail_order():
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


def test_a_level_without_entries_marks_nothing():
    s = solver(2)
    m.mark(s, [1])
    m.mark(s, 7)  # a new solver has records for levels 0..7
    assert marked(s) == []


@pytest.mark.parametrize("level", [0, 8, -1])
def test_a_level_outside_the_records_is_badarg(level):
    s = solver(2)
    with pytest.raises(TypeError, match="badarg"):
        m.mark(s, level)


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
    with pytest.raises(TypeError, match="literal"):
        m.mark(s, [1, 3])
    with pytest.raises(TypeError, match="literal"):
        m.mark(s, (0,))


def test_marks_are_taken_on_representatives():
    s = solver(3, xref=True)
    m.subst(s, -1, 2)
    m.mark(s, [2, 3])
    assert marked(s) == [-1, 3]


def test_backtracking_keeps_the_marks():
    s = solver(2)
    m.push(s)
    m.bind(s, 2)
    m.mark(s, 1)
    m.pop(s)
    assert marked(s) == [2]


# ---- intersections ----------------------------------------------------------------


def test_intersecting_with_an_empty_set_empties_the_marks():
    s = solver(3)
    m.mark(s, [1, 2])
    assert m.intersect_marks(s, []) is None
    assert marked(s) == []


def test_a_literal_of_the_other_polarity_does_not_hit():
    s = solver(3)
    m.mark(s, [3])
    m.intersect_marks(s, [-3])
    assert marked(s) == []


def test_the_hit_marks_keep_their_order_and_polarity():
    s = solver(5)
    m.mark(s, [3, -1, 2, -4])
    m.intersect_marks(s, (2, 5, -4, 3, 1))
    assert marked(s) == [3, 2, -4]


def test_intersecting_twice_with_the_same_set_is_stable():
    s = solver(4)
    m.mark(s, [1, -2, 3])
    m.intersect_marks(s, [3, 1])
    m.intersect_marks(s, [3, 1])
    assert marked(s) == [1, 3]
    m.mark(s, [4], False)
    assert marked(s) == [1, 3, 4]


def test_intersecting_with_a_level():
    s = solver(4)
    m.mark(s, [1, 2, -3, 4])
    m.push(s)
    m.bind(s, 2)
    m.bind(s, 3)
    m.bind(s, 4)
    m.intersect_marks(s, 1)
    assert marked(s) == [2, 4]


def test_a_failing_intersection_leaves_the_marks_as_they_were():
    s = solver(3)
    m.mark(s, [1, 2, 3])
    with pytest.raises(TypeError, match="literal"):
        m.intersect_marks(s, [2, 0, 3])
    assert marked(s) == [1, 2, 3]
    with pytest.raises(TypeError, match="badarg"):
        m.intersect_marks(s, 0)
    with pytest.raises(TypeError, match="badarg"):
        m.intersect_marks(s, "x")
    assert marked(s) == [1, 2, 3]
    m.intersect_marks(s, [3])
    assert marked(s) == [3]


# ---- reports -----------------------------------------------------------------------


def test_intersect_var_pairs_opposite_marks_with_the_literal_given():
    s = solver(7)
    m.mark(s, [-3])
    assert m.intersect_var(s, 7, [3, 4], False) == [(7, -3)]


def test_intersect_var_reports_hits_as_given_and_skips_unmarked():
    s = solver(5, xref=True)
    m.subst(s, 1, 5)
    m.mark(s, [1, -2])
    assert m.intersect_var(s, True, (5, 2, -2, 3), True) == (5, (True, -2), -2)
    assert marked(s) == [1, -2]


def test_intersect_var_over_a_level_reports_true_literals():
    s = solver(3)
    m.mark(s, [1, 2])
    m.push(s)
    m.bind(s, -1)
    m.bind(s, 2)
    m.bind(s, 3)
    assert m.intersect_var(s, -3, 1, False) == [(-3, 1), 2]


def test_intersect_var_argument_errors():
    s = solver(3)
    with pytest.raises(TypeError, match="literal"):
        m.intersect_var(s, 4, [1], True)
    with pytest.raises(TypeError, match="badarg"):
        m.intersect_var(s, 1, [1], None)
    with pytest.raises(TypeError, match="badarg"):
        m.intersect_var(s, 1, 9, True)
    with pytest.raises(TypeError, match="literal"):
        m.intersect_var(s, 1, [1, 9], True)


def test_get_marked_needs_a_boolean():
    s = solver(1)
    with pytest.raises(TypeError, match="badarg"):
        m.get_marked(s, 0)


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
    model = {}  # variable -> literal, in first-marking order
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
