"""Symbols: keys bound to literals, looked up, walked in table order and deleted."""
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import mirl_nif
from kernel import solver
from symbol_table_model import TableModel, djb2, walk

# The atom `undefined` reaches Python as its index in the atom table: the
# 62nd new name after false and true ("false" and "true" are registered
# again without taking new places).
UNDEFINED = 62


# ---- binding and looking up ------------------------------------------------


def test_a_single_literal_comes_back_bare_and_a_list_as_a_list():
    s = solver(5)
    assert mirl_nif.add_symbol(s, 5, (1, 2)) is None
    assert mirl_nif.find_symbol(s, (1, 2)) == 5
    assert mirl_nif.add_symbol(s, [5], "five") is None
    assert mirl_nif.find_symbol(s, "five") == [5]
    assert mirl_nif.add_symbol(s, [-3, 1, -3], "many") is None
    assert mirl_nif.find_symbol(s, "many") == [-3, 1, -3]


def test_constant_literals_are_stored_and_read_back_as_zero():
    s = solver(1)
    mirl_nif.add_symbol(s, True, "t")
    mirl_nif.add_symbol(s, [False, True, -1], "both")
    assert mirl_nif.find_symbol(s, "t") == 0
    assert mirl_nif.find_symbol(s, "both") == [0, 0, -1]


def test_adding_the_same_symbol_again_changes_nothing():
    s = solver(3)
    assert mirl_nif.add_symbol(s, [1, -2], "k") is None
    assert mirl_nif.add_symbol(s, [1, -2], "k") is None
    assert walk(s) == [bytearray(b"k")]
    # The single-literal mark is not part of the comparison.
    mirl_nif.add_symbol(s, [3], "one")
    assert mirl_nif.add_symbol(s, 3, "one") is None
    assert mirl_nif.find_symbol(s, "one") == [3]


@pytest.mark.parametrize("other", [[-2, 1], [1], [1, -2, 3], 1, []])
def test_rebinding_a_key_to_other_literals_is_refused(other):
    s = solver(3)
    mirl_nif.add_symbol(s, [1, -2], "k")
    with pytest.raises(TypeError, match="^badarg$"):
        mirl_nif.add_symbol(s, other, "k")
    assert mirl_nif.find_symbol(s, "k") == [1, -2]


def test_an_empty_value_has_no_literals():
    s = solver(1)
    assert mirl_nif.add_symbol(s, [], ("nothing",)) is None
    assert mirl_nif.find_symbol(s, ("nothing",)) == UNDEFINED
    assert mirl_nif.add_symbol(s, [], ("nothing",)) is None
    with pytest.raises(TypeError, match="^badarg$"):
        mirl_nif.add_symbol(s, [1], ("nothing",))
    assert mirl_nif.find_symbol(s, ("nothing",)) == UNDEFINED


def test_absent_keys():
    s = solver(1)
    assert mirl_nif.first_symbol(s) is False
    assert mirl_nif.find_symbol(s, "nope") is False
    assert mirl_nif.del_symbol(s, "nope") is False
    assert mirl_nif.next_symbol(s, "nope") is False


def test_deleting_a_symbol():
    s = solver(2)
    mirl_nif.add_symbol(s, [1, 2], "gone")
    mirl_nif.add_symbol(s, 2, "kept")
    assert mirl_nif.del_symbol(s, "gone") is None
    assert mirl_nif.find_symbol(s, "gone") is False
    assert mirl_nif.del_symbol(s, "gone") is False
    assert walk(s) == [bytearray(b"kept")]
    # The key is free again and may take other literals.
    assert mirl_nif.add_symbol(s, [-1], "gone") is None
    assert mirl_nif.find_symbol(s, "gone") == [-1]


# ---- key identity ---------------------------------------------------------------


def test_raw_keys_are_their_bytes_whatever_their_form():
    s = solver(1)
    mirl_nif.add_symbol(s, 1, "ab")
    for same in ([97, 98], bytearray(b"ab"), ["a", [98]], [bytearray(b"a"), "b"]):
        assert mirl_nif.find_symbol(s, same) == 1
    assert mirl_nif.first_symbol(s) == bytearray(b"ab")
    assert type(mirl_nif.first_symbol(s)) is bytearray


def test_the_empty_raw_key():
    s = solver(1)
    mirl_nif.add_symbol(s, 1, "")
    assert mirl_nif.find_symbol(s, []) == 1
    assert mirl_nif.find_symbol(s, bytearray()) == 1
    assert walk(s) == [bytearray()]


def test_raw_and_encoded_keys_never_meet():
    s = solver(4)
    mirl_nif.add_symbol(s, 1, "a")  # raw byte 97
    mirl_nif.add_symbol(s, 2, 97)  # the encoded integer
    mirl_nif.add_symbol(s, 3, (97,))
    mirl_nif.add_symbol(s, 4, [300])  # not a byte: an encoded list
    assert mirl_nif.find_symbol(s, [97]) == 1
    assert mirl_nif.find_symbol(s, 97) == 2
    assert mirl_nif.find_symbol(s, (97,)) == 3
    assert mirl_nif.find_symbol(s, [300]) == 4
    assert sorted(map(repr, walk(s))) == sorted(map(repr, [bytearray(b"a"), 97, (97,), [300]]))


def test_a_raw_key_that_looks_like_an_encoding_stays_raw():
    # Bytes that begin like an external term (131) but break off or lie
    # about their lengths are just bytes: stored and returned as they are.
    hostile = [
        bytearray(b"\x83"),
        bytearray(b"\x83\x6c\xff\xff\xff\xff"),
        bytearray(b"\x83\x6b\xff\xff" + b"x"),
        bytearray(b"\x83\x6f\x7f\xff\xff\xff\x00"),
        bytearray(b"\x83\x74\x00\x00\x00\x05\x61"),
        bytearray(b"\x83\x68\x02\x61"),
    ]
    s = solver(len(hostile))
    for n, key in enumerate(hostile, 1):
        mirl_nif.add_symbol(s, n, key)
    for n, key in enumerate(hostile, 1):
        assert mirl_nif.find_symbol(s, key) == n
    assert sorted(walk(s)) == sorted(hostile)


@pytest.mark.parametrize("key", [None, object(), b"bytes", 1.5j, (1, None), [1, bytearray(b"x"), None], "\ud800"])
def test_keys_that_are_neither_bytes_nor_encodable_are_refused(key):
    s = solver(1)
    for call in (
        lambda: mirl_nif.add_symbol(s, 1, key),
        lambda: mirl_nif.find_symbol(s, key),
        lambda: mirl_nif.del_symbol(s, key),
        lambda: mirl_nif.next_symbol(s, key),
    ):
        with pytest.raises(TypeError, match="^badarg$"):
            call()
    assert mirl_nif.first_symbol(s) is False
    mirl_nif.add_symbol(s, 1, "fine")
    assert mirl_nif.find_symbol(s, "fine") == 1


# ---- literals ---------------------------------------------------------------------


@pytest.mark.parametrize("literals", [0, 3, -3, [1, 0], [1, 3], "x", None, 1.0, (1,), 2**40])
def test_undecodable_literals_are_badarg(literals):
    s = solver(2)
    with pytest.raises(TypeError, match="^badarg$"):
        mirl_nif.add_symbol(s, literals, "k")
    assert mirl_nif.find_symbol(s, "k") is False
    assert mirl_nif.add_symbol(s, [1, -2], "k") is None


def test_literals_are_stored_as_their_representatives():
    s = solver(3, xref=True)
    assert mirl_nif.subst(s, -1, 2) is True
    mirl_nif.add_symbol(s, [2, -2, 3], "k")
    mirl_nif.add_symbol(s, 2, "one")
    assert mirl_nif.find_symbol(s, "k") == [-1, 1, 3]
    assert mirl_nif.find_symbol(s, "one") == -1


@pytest.mark.parametrize("function,args", [
    ("add_symbol", (1, "k")),
    ("find_symbol", ("k",)),
    ("del_symbol", ("k",)),
    ("first_symbol", ()),
    ("next_symbol", ("k",)),
])
def test_a_non_handle_is_badarg(function, args):
    for bad in (None, 1, {}, mirl_nif):
        with pytest.raises(TypeError, match="^badarg$"):
            getattr(mirl_nif, function)(bad, *args)


# ---- table order ------------------------------------------------------------------


def test_the_walk_follows_buckets_then_insertion():
    s = solver(1)
    model = TableModel()
    keys = [("k%d" % n).encode() for n in range(40)]
    for key in keys:
        mirl_nif.add_symbol(s, 1, bytearray(key))
        model.add(key)
    assert walk(s) == [bytearray(k) for k in model.order()]


def test_colliding_keys_keep_their_insertion_order():
    # 'A'*33 + 'a' == 'B'*33 + '@': one djb2 hash, so one bucket at any size.
    s = solver(1)
    assert djb2(b"Aa") == djb2(b"B@")
    mirl_nif.add_symbol(s, 1, "B@")
    mirl_nif.add_symbol(s, 1, "Aa")
    assert walk(s) == [bytearray(b"B@"), bytearray(b"Aa")]
    mirl_nif.del_symbol(s, "B@")
    mirl_nif.add_symbol(s, 1, "B@")
    assert walk(s) == [bytearray(b"Aa"), bytearray(b"B@")]


def test_the_walk_from_the_last_key_ends():
    s = solver(1)
    mirl_nif.add_symbol(s, 1, "only")
    assert mirl_nif.next_symbol(s, "only") is False


@settings(max_examples=60, deadline=None)
@given(st.lists(st.tuples(st.booleans(), st.binary(max_size=4)), max_size=80))
def test_any_run_of_adds_and_deletes_walks_like_the_model(operations):
    s = solver(2)
    model = TableModel()
    for adding, key in operations:
        if adding:
            assert mirl_nif.add_symbol(s, [1, -2], bytearray(key)) is None
            model.add(key)
        else:
            expected = model.delete(key)
            assert mirl_nif.del_symbol(s, bytearray(key)) is (None if expected else False)
    assert walk(s) == [bytearray(k) for k in model.order()]
    for key in model.order():
        assert mirl_nif.find_symbol(s, bytearray(key)) == [1, -2]


# ---- memory figure ------------------------------------------------------------------


def test_symbols_count_in_the_memory_figure():
    s = solver(3)
    base = mirl_nif.info(s, "memory_size")
    mirl_nif.add_symbol(s, [1, 2, -3], "k")
    # 80 for the entry, 16 for each literal's back-reference.
    assert mirl_nif.info(s, "memory_size") == base + 80 + 3 * 16
    for n in range(6):
        mirl_nif.add_symbol(s, [], n)
    assert mirl_nif.info(s, "memory_size") == base + 7 * 80 + 3 * 16
    mirl_nif.add_symbol(s, [], 6)  # the eighth symbol doubles the 8 buckets
    assert mirl_nif.info(s, "memory_size") == base + 8 * 80 + 3 * 16 + 8 * 24
    mirl_nif.del_symbol(s, "k")
    assert mirl_nif.info(s, "memory_size") == base + 7 * 80 + 8 * 24
