"""Terms crossing the host: the external term format (exact bytes, round
trips, hostile input) and iolists, seen through the module's diagnostic
entry points and through symbol keys."""
import ctypes
import math
import random
import struct

import pytest

import mirl_nif

_lib = ctypes.PyDLL(mirl_nif.__file__)
_lib.mirl_term_to_binary.restype = ctypes.py_object
_lib.mirl_term_to_binary.argtypes = [ctypes.py_object]
_lib.mirl_binary_to_term.restype = ctypes.py_object
_lib.mirl_binary_to_term.argtypes = [ctypes.py_object]


def encode(value):
    return bytes(_lib.mirl_term_to_binary(value))


def decode(data):
    """(value, bytes used)."""
    return _lib.mirl_binary_to_term(bytes(data))


def nested_tuple(depth):
    value = ()
    for _ in range(depth - 1):
        value = (value,)
    return value


def tuple_depth(value):
    """Depth of a tuple chain made by nested_tuple (Python's == recurses)."""
    depth = 0
    while isinstance(value, tuple):
        depth += 1
        value = value[0] if value else None
    return depth


@pytest.fixture
def solver():
    s = mirl_nif.new({})
    mirl_nif.add_variables(s, 4)
    return s


class TestEncodingBytes:
    @pytest.mark.parametrize("value,expected", [
        ((1, "ab", []), [104, 3, 97, 1, 107, 0, 2, 97, 98, 106]),
        (255, [97, 255]),
        (0, [97, 0]),
        (256, [98, 0, 0, 1, 0]),
        (-1, [98, 255, 255, 255, 255]),
        (2 ** 30 - 1, [98, 63, 255, 255, 255]),
        (-(2 ** 30) + 1, [98, 192, 0, 0, 1]),
        (2 ** 30, [110, 4, 0, 0, 0, 0, 64]),
        (-(2 ** 30), [110, 4, 1, 0, 0, 0, 64]),
        (-(2 ** 40), [110, 6, 1, 0, 0, 0, 0, 0, 1]),
        (2 ** 64, [110, 9, 0] + [0] * 8 + [1]),
        (True, [115, 4] + list(b"true")),
        (False, [115, 5] + list(b"false")),
        (1.5, [70] + list(struct.pack(">d", 1.5))),
        ("", [107, 0, 0]),
        ("é", [107, 0, 2, 0xC3, 0xA9]),
        ([], [106]),
        ([1, [2]], [108, 0, 0, 0, 2, 97, 1, 108, 0, 0, 0, 1, 97, 2, 106, 106]),
        ((), [104, 0]),
        ({}, [116, 0, 0, 0, 0]),
        ({"b": 1, "a": 2}, [116, 0, 0, 0, 2, 107, 0, 1, 98, 97, 1, 107, 0, 1, 97, 97, 2]),
    ])
    def test_values_encode_to_their_external_bytes(self, value, expected):
        assert encode(value) == bytes([131] + expected)

    def test_a_big_integer_beyond_255_bytes_takes_a_four_byte_count(self):
        data = encode(2 ** 2048)
        assert data[:7] == bytes([131, 111, 0, 0, 1, 1, 0])
        assert data[7:] == bytes(256) + b"\x01"
        negative = encode(-(2 ** 2048 + 5))
        assert negative[6] == 1 and negative[7] == 5

    def test_a_tuple_of_more_than_255_elements_takes_a_four_byte_count(self):
        data = encode((1,) * 300)
        assert data[:6] == bytes([131, 105, 0, 0, 1, 44])
        assert len(data) == 1 + 5 + 600

    def test_text_longer_than_65535_bytes_goes_out_as_a_byte_list(self):
        data = encode("xy" * 40000)
        assert data[:6] == bytes([131, 108]) + struct.pack(">I", 80000)
        assert data[6:10] == bytes([97, ord("x"), 97, ord("y")])
        assert data[-1] == 106 and len(data) == 1 + 2 * 80000 + 6

    def test_int_and_str_subclasses_encode_as_their_values(self):
        class Int(int):
            def __abs__(self):
                raise AssertionError("no Python code runs while encoding")

        class Str(str):
            pass

        assert encode(Int(7)) == encode(7)
        assert encode(Int(-(2 ** 80))) == encode(-(2 ** 80))
        assert encode(Str("ab")) == encode("ab")


class TestRoundTrips:
    @pytest.mark.parametrize("value", [
        0, 255, 256, -1, 2 ** 30, -(2 ** 30), 2 ** 31 - 1, -(2 ** 31), 2 ** 63, -(2 ** 63), 2 ** 64 - 1,
        -(2 ** 64), 2 ** 64, 3 ** 500, -(7 ** 1000), 0.0, -2.5, 1e300, math.inf, -math.inf,
        "", "abc", "ünïcødé ✓ \U0001F600", "x" * 65535, True, False,
        [], [[], [[]]], (), (1, (2, (3,))), tuple(range(1000)), {"k": [1, 2], 3: (4,), (5, 6): {}},
        {1: True, 2.5: False}, [1, "two", 3.0, (4,), {5: 6}, 2 ** 100],
    ])
    def test_encodable_values_come_back_equal(self, value):
        data = encode(value)
        back, used = decode(data)
        assert back == value and type(back) is type(value)
        assert used == len(data)

    def test_negative_zero_and_nan_keep_their_bits(self):
        back, _ = decode(encode(-0.0))
        assert math.copysign(1.0, back) == -1.0
        back, _ = decode(encode(math.nan))
        assert math.isnan(back)

    def test_dict_pairs_keep_insertion_order(self):
        value = {k: k * 2 for k in (9, 3, 7, 1)}
        back, _ = decode(encode(value))
        assert list(back.items()) == list(value.items())

    def test_long_text_comes_back_as_its_bytes(self):
        text = "é" * 40000
        back, _ = decode(encode(text))
        assert back == list(text.encode())

    def test_a_tuple_followed_by_more_elements_inside_a_list(self):
        value = [(1,) * 300, "after", (2,) * 256]
        assert decode(encode(value)) == (value, len(encode(value)))

    def test_nesting_up_to_1000_containers_is_kept(self):
        assert tuple_depth(decode(encode(nested_tuple(1000)))[0]) == 1000


class TestUnencodable:
    @pytest.mark.parametrize("value", [
        None, bytearray(b"x"), b"x", object(), [1, None], (1, bytearray()), {"a": None}, {None: 1},
        1j, "\ud800", {1, 2}, nested_tuple(1001),
    ])
    def test_values_outside_the_format_are_refused(self, value):
        with pytest.raises(ValueError):
            encode(value)

    def test_a_list_that_holds_itself_is_refused(self):
        loop = [1]
        loop.append(loop)
        with pytest.raises(ValueError):
            encode(loop)

    def test_heavily_shared_structure_is_refused_instead_of_walked_forever(self):
        value = []
        for _ in range(80):
            value = [value, value]
        with pytest.raises(ValueError):
            encode(value)


class TestDecoding:
    @pytest.mark.parametrize("data,value", [
        ([131, 97, 7], 7),
        ([131, 98, 128, 0, 0, 0], -(2 ** 31)),
        ([131, 100, 0, 4] + list(b"true"), True),
        ([131, 100, 0, 5] + list(b"false"), False),
        ([131, 100, 0, 5] + list(b"watch"), "watch"),
        ([131, 115, 5] + list(b"watch"), "watch"),
        ([131, 109, 0, 0, 0, 3, 1, 2, 3], bytearray(b"\x01\x02\x03")),
        ([131, 110, 0, 0], 0),
        ([131, 110, 2, 1, 0, 1], -256),
        ([131, 111, 0, 0, 0, 1, 0, 200], 200),
        ([131, 116, 0, 0, 0, 2, 97, 1, 97, 2, 97, 1, 97, 3], {1: 3}),
        ([131, 99] + list(b"1.50000000000000000000e+00".ljust(31, b"\0")), 1.5),
        ([131, 108, 0, 0, 0, 0, 106], []),
    ])
    def test_tags_decode_to_their_values(self, data, value):
        back, used = decode(data)
        assert back == value and type(back) is type(value)
        assert used == len(data)

    def test_trailing_bytes_are_left_unread(self):
        assert decode([131, 97, 1, 97, 2]) == (1, 3)

    @pytest.mark.parametrize("data", [
        [], [131], [130, 97, 1], [131, 0], [131, 101, 0], [131, 97],
        [131, 108, 0, 0, 0, 1, 97, 1, 97],                       # tail is no empty list
        [131, 108, 0, 0, 0, 1, 97, 1],                           # tail missing
        [131, 107, 0, 2, 0xC3, 0x28],                            # invalid UTF-8
        [131, 100, 0, 1, 0xFF],
        [131, 116, 0, 0, 0, 1, 106, 97, 1],                      # unhashable key
        [131, 99] + list(b"1.5\0\0x".ljust(31, b"\0")),          # text after the padding
        [131, 99] + list(b"nonsense".ljust(31, b"\0")),
        [131, 99, 49],                                           # short float text
    ])
    def test_malformed_input_is_refused(self, data):
        with pytest.raises(ValueError):
            decode(data)

    @pytest.mark.parametrize("header", [
        [108, 255, 255, 255, 255], [105, 255, 255, 255, 255], [116, 255, 255, 255, 255],
        [109, 255, 255, 255, 255], [111, 255, 255, 255, 255, 0], [107, 255, 255], [104, 255],
        [110, 255, 0], [100, 255, 255], [115, 255],
    ])
    def test_counts_beyond_the_input_are_refused_before_anything_is_read(self, header):
        with pytest.raises(ValueError):
            decode([131] + header + [97, 1] * 3)

    def test_every_truncation_of_a_valid_encoding_is_refused(self):
        data = encode([1, (2, "three", 4.0), {5: [2 ** 70]}, -9, True])
        for cut in range(len(data)):
            with pytest.raises(ValueError):
                decode(data[:cut])

    def test_nesting_deeper_than_1000_containers_is_refused(self):
        ok = [131] + [104, 1] * 999 + [104, 0]
        assert tuple_depth(decode(ok)[0]) == 1000
        with pytest.raises(ValueError):
            decode([131] + [104, 1] * 1000 + [104, 0])
        with pytest.raises(ValueError):
            decode([131] + [108, 0, 0, 0, 1] * 100000)

    def test_random_bytes_never_break_the_decoder(self):
        rng = random.Random(4242)
        tags = [70, 97, 98, 99, 100, 104, 105, 106, 107, 108, 109, 110, 111, 115, 116]
        for _ in range(3000):
            body = [rng.choice(tags) if rng.random() < 0.4 else rng.randrange(256)
                    for _ in range(rng.randrange(1, 40))]
            try:
                value, used = decode([131] + body)
            except ValueError:
                continue
            assert 2 <= used <= len(body) + 1
            assert decode(encode(value))[0] == value or value != value


class TestSymbolKeys:
    def test_iolist_keys_of_equal_bytes_name_one_symbol(self, solver):
        mirl_nif.add_symbol(solver, 1, "ab")
        for same in ([97, 98], bytearray(b"ab"), [bytearray(b"a"), "b"], [[97], [[98]]], ["", "ab", []]):
            assert mirl_nif.find_symbol(solver, same) == 1
        assert mirl_nif.first_symbol(solver) == bytearray(b"ab")
        assert type(mirl_nif.first_symbol(solver)) is bytearray

    def test_mixed_iolists_flatten_in_order(self, solver):
        mirl_nif.add_symbol(solver, 3, [bytearray(b"ab"), "c", 100])
        assert mirl_nif.find_symbol(solver, "abcd") == 3
        assert mirl_nif.first_symbol(solver) == bytearray(b"abcd")

    def test_non_ascii_text_keys_are_their_utf8_bytes(self, solver):
        mirl_nif.add_symbol(solver, 2, "é")
        assert mirl_nif.find_symbol(solver, [0xC3, 0xA9]) == 2
        assert mirl_nif.first_symbol(solver) == bytearray("é".encode())

    def test_lists_that_are_no_iolist_become_encoded_keys(self, solver):
        for key in ([97, 256], [-1], [1.0], [(1,)]):
            mirl_nif.add_symbol(solver, [3], key)
            assert mirl_nif.find_symbol(solver, key) == [3]
        keys = []
        key = mirl_nif.first_symbol(solver)
        while key is not False:
            keys.append(key)
            key = mirl_nif.next_symbol(solver, key)
        assert sorted(map(repr, keys)) == sorted(map(repr, ([97, 256], [-1], [1.0], [(1,)])))

    def test_an_integer_key_differs_from_the_byte_it_equals(self, solver):
        mirl_nif.add_symbol(solver, 1, [97])
        assert mirl_nif.find_symbol(solver, 97) is False
        mirl_nif.add_symbol(solver, 2, 97)
        assert mirl_nif.find_symbol(solver, 97) == 2
        assert mirl_nif.find_symbol(solver, "a") == 1

    @pytest.mark.parametrize("key", [
        (1, 2), 2 ** 100, -(2 ** 70), 3.25, True, {"a": (1, [2])}, ("x" * 70000,)[:0], (1, "x"),
    ])
    def test_encoded_keys_come_back_as_values(self, solver, key):
        mirl_nif.add_symbol(solver, 1, key)
        assert mirl_nif.first_symbol(solver) == key
        assert mirl_nif.find_symbol(solver, key) == 1

    def test_keys_nested_too_deep_or_unencodable_are_badarg(self, solver):
        deep = []
        for _ in range(1001):
            deep = [deep]
        loop = []
        loop.append(loop)
        for key in (deep, nested_tuple(1001), loop, None, (1, None), [bytearray(b"a"), None]):
            with pytest.raises(TypeError, match="^badarg$"):
                mirl_nif.add_symbol(solver, 1, key)
        assert mirl_nif.first_symbol(solver) is False
