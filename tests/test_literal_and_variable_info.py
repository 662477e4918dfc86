"""literal_info/3 and variable_info/3: one key per call, read from the records
of the representative literal or variable."""
import pytest

import mirl_nif
from kernel import solver

UNDEFINED = 62  # the atom `undefined` as its index in the atom table
GAMMA_FIRST = 1 << 30  # id of the first clause of set 1


# ---- literal_info ----------------------------------------------------------------------


def test_the_mark_byte_is_clear_at_rest():
    s = solver(4, xref=True, hash=True)
    mirl_nif.add_clause(s, [1, 2, 2, -3])  # a duplicate
    mirl_nif.add_clause(s, [1, -1, 4])  # a tautology
    mirl_nif.find_clause(s, [2, -3, 1])
    mirl_nif.mark(s, [1, -2])  # marks live on the variables, not in this table
    for lit in (True, False, 1, -1, 2, -2, 3, -3, 4, -4):
        assert mirl_nif.literal_info(s, lit, "mark") == 0


def test_degree_and_occurrences_need_xref():
    s = solver(3)
    mirl_nif.add_clause(s, [1, 2])
    assert mirl_nif.literal_info(s, 1, "degree") is None
    assert mirl_nif.literal_info(s, 1, "xref") == UNDEFINED
    assert mirl_nif.variable_info(s, 1, "degree") is None


def test_degree_and_occurrences_list_the_clauses_of_a_literal():
    s = solver(4, xref=True)
    mirl_nif.add_clause(s, [1, 2])
    mirl_nif.add_clause(s, [1, -2, 3])
    mirl_nif.add_clause(s, [-1, 3])
    mirl_nif.add_clause(s, [1, 4], "gamma")
    assert mirl_nif.literal_info(s, 1, "xref") == [0, 1, GAMMA_FIRST]
    assert mirl_nif.literal_info(s, 1, "degree") == 3
    assert mirl_nif.literal_info(s, -1, "xref") == [2]
    assert mirl_nif.variable_info(s, 1, "degree") == 4
    assert mirl_nif.literal_info(s, -4, "xref") == []
    assert mirl_nif.literal_info(s, -4, "degree") == 0
    assert mirl_nif.variable_info(s, -3, "degree") == 2
    mirl_nif.del_clause(s, 0)
    assert mirl_nif.literal_info(s, 1, "xref") == [1, GAMMA_FIRST]


def test_user_counts_are_per_literal():
    s = solver(2)
    mirl_nif.set_user_count(s, 2, 5)
    mirl_nif.set_user_count(s, -2, 65537)
    assert mirl_nif.literal_info(s, 2, "user") == 5
    assert mirl_nif.literal_info(s, -2, "user") == 1
    assert mirl_nif.literal_info(s, 1, "user") == 0


def test_a_literal_lists_its_symbols_newest_first():
    s = solver(3)
    mirl_nif.add_symbol(s, [1, -1, 1], "a")
    mirl_nif.add_symbol(s, 1, ("b", 2))
    assert mirl_nif.literal_info(s, 1, "symbol") == [(("b", 2), 0), (bytearray(b"a"), 2), (bytearray(b"a"), 0)]
    assert mirl_nif.literal_info(s, -1, "symbol") == [(bytearray(b"a"), 1)]
    assert mirl_nif.literal_info(s, 2, "symbol") == []
    mirl_nif.del_symbol(s, "a")
    assert mirl_nif.literal_info(s, 1, "symbol") == [(("b", 2), 0)]
    assert mirl_nif.literal_info(s, -1, "symbol") == []


def test_the_constant_literals_have_records_too():
    s = solver(1)
    mirl_nif.add_symbol(s, [True, 1, False], "consts")
    assert mirl_nif.literal_info(s, True, "symbol") == [(bytearray(b"consts"), 0)]
    assert mirl_nif.literal_info(s, False, "symbol") == [(bytearray(b"consts"), 2)]
    assert mirl_nif.literal_info(s, True, "user") == 0


# ---- variable_info ----------------------------------------------------------------------


def test_a_variable_lists_negative_then_positive_symbols_each_newest_first():
    s = solver(2)
    mirl_nif.add_symbol(s, 2, "p1")
    mirl_nif.add_symbol(s, [-2], "n1")
    mirl_nif.add_symbol(s, [1, 2], "p2")
    mirl_nif.add_symbol(s, [-2, -2], "n2")
    assert mirl_nif.variable_info(s, 2, "symbol") == [
        (bytearray(b"n2"), 1), (bytearray(b"n2"), 0), (bytearray(b"n1"), 0),
        (bytearray(b"p2"), 1), (bytearray(b"p1"), 0),
    ]
    assert mirl_nif.variable_info(s, -2, "symbol") == mirl_nif.variable_info(s, 2, "symbol")
    assert mirl_nif.variable_info(s, 1, "symbol") == [(bytearray(b"p2"), 0)]


def test_a_never_bound_variable_has_no_implication():
    s = solver(1)
    assert mirl_nif.variable_info(s, 1, "implication") == (-1, -1)
    assert mirl_nif.variable_info(s, 1, "implication_clause") == -1
    assert mirl_nif.variable_info(s, 1, "level") == -1


def test_implications_name_their_clause_and_level():
    s = solver(4)
    mirl_nif.add_clause(s, [1, 2])
    mirl_nif.add_clause(s, [-3, 4], "gamma")
    mirl_nif.bind(s, -1)
    mirl_nif.bcp(s)
    assert mirl_nif.variable_info(s, 2, "implication") == (0, 0)
    assert mirl_nif.variable_info(s, 1, "implication") == (-1, 0)
    mirl_nif.push(s)
    mirl_nif.push(s)
    mirl_nif.bind(s, 3)
    mirl_nif.bcp(s)
    assert mirl_nif.variable_info(s, 4, "implication") == (GAMMA_FIRST, 2)
    assert mirl_nif.variable_info(s, -4, "implication_clause") == GAMMA_FIRST
    assert mirl_nif.variable_info(s, 3, "level") == 2
    mirl_nif.pop(s, 0)
    assert mirl_nif.variable_info(s, 4, "implication") == (-1, -1)


@pytest.mark.parametrize("init_phase,phase", [(True, 1), (False, -1), (None, None)])
def test_phase_starts_from_the_init_phase(init_phase, phase):
    s = solver(2, init_phase=init_phase)
    assert mirl_nif.variable_info(s, 2, "phase") == phase


def test_backtracking_saves_the_phase():
    s = solver(3)
    mirl_nif.push(s)
    mirl_nif.bind(s, 1)  # the level's first entry keeps its old phase
    mirl_nif.bind(s, -2)
    mirl_nif.bind(s, 3)
    mirl_nif.pop(s)
    assert [mirl_nif.variable_info(s, v, "phase") for v in (1, 2, 3)] == [1, -1, 1]


def test_flags_read_back():
    s = mirl_nif.new({})
    a = mirl_nif.add_variable(s, True, False)
    u = mirl_nif.add_variable(s, False, True)
    assert (mirl_nif.variable_info(s, a, "is_atom"), mirl_nif.variable_info(s, a, "is_used")) == (True, False)
    assert (mirl_nif.variable_info(s, u, "is_atom"), mirl_nif.variable_info(s, u, "is_used")) == (False, True)
    mirl_nif.isused(s, a, True)
    assert mirl_nif.variable_info(s, -a, "is_used") is True


# ---- representatives, key forms and refusals ---------------------------------------------


def test_substituted_arguments_read_their_representative():
    s = solver(3, xref=True)
    mirl_nif.set_user_count(s, -1, 9)
    mirl_nif.add_symbol(s, 1, "one")
    mirl_nif.add_clause(s, [-1, 3])
    assert mirl_nif.subst(s, -1, 2) is True
    assert mirl_nif.literal_info(s, 2, "user") == 9
    assert mirl_nif.literal_info(s, 2, "xref") == [0]
    assert mirl_nif.variable_info(s, 2, "symbol") == [(bytearray(b"one"), 0)]


@pytest.mark.parametrize("key", ["level", [ord(c) for c in "level"]])
def test_keys_may_be_named_by_str_or_character_codes(key):
    s = solver(1)
    assert mirl_nif.variable_info(s, 1, key) == -1


@pytest.mark.parametrize("lit", [0, 2, -2, 2**40, None, "1", 1.0])
def test_an_undecodable_literal_is_badarg(lit):
    s = solver(1)
    with pytest.raises(TypeError, match="^badarg$"):
        mirl_nif.literal_info(s, lit, "user")


@pytest.mark.parametrize("var", [0, 2, -2, 2**40, None, "1"])
def test_an_undecodable_variable_raises_variable(var):
    s = solver(1)
    with pytest.raises(TypeError, match="^variable$"):
        mirl_nif.variable_info(s, var, "level")


@pytest.mark.parametrize("key", ["nope", "watch", None, 1.5, ["l", "e"], "implication"])
def test_literal_info_refuses_other_keys(key):
    s = solver(1)
    with pytest.raises(TypeError, match="^badarg$"):
        mirl_nif.literal_info(s, 1, key)


@pytest.mark.parametrize("key", ["nope", "mark", "user", "xref", None])
def test_variable_info_refuses_other_keys(key):
    s = solver(1)
    with pytest.raises(TypeError, match="^badarg$"):
        mirl_nif.variable_info(s, 1, key)


def test_a_non_handle_is_badarg():
    for bad in (None, 1, {}):
        with pytest.raises(TypeError, match="^badarg$"):
            mirl_nif.literal_info(bad, 1, "user")
        with pytest.raises(TypeError, match="^badarg$"):
            mirl_nif.variable_info(bad, 1, "level")
