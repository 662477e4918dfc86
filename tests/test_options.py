"""Solver options: creation options of new/1, their defaults and bounds, and
the settings config/3 changes on a live solver."""
import pytest

import mirl_nif as m
from kernel import raises

# Atoms reach Python as their index in the atom table, which the library
# fills in a fixed registration order.
LIFO, FIFO, RECURSIVE, UNDEFINED = 28, 16, 52, 62


def codes(name):
    return [ord(c) for c in name]


# ---- new/1 ------------------------------------------------------------------------


def test_an_empty_map_gives_the_defaults():
    s = m.new({})
    assert m.info(s, "qtype") == RECURSIVE
    assert m.info(s, "vsids") is True
    assert m.info(s, "xref") is False
    assert m.info(s, "hash") is False
    assert m.info(s, "use_phase") is False
    assert m.info(s, "all_used") is False
    assert m.info(s, "init_phase") is True
    assert m.info(s, "size") == 1024
    assert m.info(s, "seed") == 0
    assert m.info(s, "max_conflicting") == 1024


def test_every_creation_option_reads_back():
    s = m.new(
        {
            "size": 77,
            "qtype": "fifo",
            "xref": True,
            "vsids": False,
            "hash": True,
            "use_phase": True,
            "all_used": True,
            "init_phase": False,
            "seed": 4242,
        }
    )
    assert m.info(s, "size") == 77
    assert m.info(s, "qtype") == FIFO
    assert m.info(s, "xref") is True
    assert m.info(s, "vsids") is False
    assert m.info(s, "hash") is True
    assert m.info(s, "use_phase") is True
    assert m.info(s, "all_used") is True
    assert m.info(s, "init_phase") is False
    assert m.info(s, "seed") == 4242


@pytest.mark.parametrize("qtype, expected", [("lifo", LIFO), ("fifo", FIFO), ("recursive", RECURSIVE)])
def test_queue_types(qtype, expected):
    assert m.info(m.new({"qtype": qtype}), "qtype") == expected


def test_init_phase_none_means_random():
    s = m.new({"init_phase": None})
    assert m.info(s, "init_phase") is None
    m.add_variable(s)
    assert m.variable_info(s, 1, "phase") is None


@pytest.mark.parametrize("size", [2, 1048576, 1024])
def test_sizes_within_bounds_are_accepted(size):
    assert m.info(m.new({"size": size}), "size") == size


def test_size_default_is_1024():
    assert m.info(m.new({"size": "default"}), "size") == 1024


@pytest.mark.parametrize("size", [1, 0, 1048577, -1, 2**32 + 2, 2**64, 2.0, "big", None, True])
def test_sizes_out_of_bounds_or_of_another_kind_are_refused(size):
    # An integer that only wraps into the range (2^32 + 2) is refused too.
    raises("badarg", m.new, {"size": size})


@pytest.mark.parametrize(
    "pair",
    [
        ("max_conflicting", 7),  # only config/3 sets it
        ("unknown", 1),
        ("qtype", "stack"),
        ("qtype", True),
        ("xref", 1),
        ("vsids", None),
        ("hash", "true"),
        ("use_phase", 0),
        ("all_used", []),
        ("init_phase", 2),
        ("seed", -1),
        ("seed", 2**32),
        ("seed", 1.5),
    ],
)
def test_a_refused_pair_fails_the_creation(pair):
    key, value = pair
    raises("badarg", m.new, {key: value})
    # Anywhere in the map, between accepted pairs.
    last = ("vsids", True) if key != "vsids" else ("all_used", True)
    raises("badarg", m.new, {"size": 8, key: value, last[0]: last[1]})


@pytest.mark.parametrize("options", [None, [], [("size", 8)], (), 5, "size"])
def test_options_must_be_a_map(options):
    raises("badarg", m.new, options)


def test_the_largest_seed_is_kept_whole():
    assert m.info(m.new({"seed": 2**32 - 1}), "seed") == 2**32 - 1


def test_an_option_value_may_be_the_atom_term_itself():
    s = m.new({})
    # info/2 hands out atoms as terms; giving one back is the same as its name.
    qtype_atom = m.info(m.new({"qtype": "lifo"}), "qtype")
    m.config(s, "qtype", qtype_atom)
    assert m.info(s, "qtype") == LIFO


# ---- config/3 -----------------------------------------------------------------------


@pytest.mark.parametrize("value, stored", [(0, 1024), (5000, 1024), (1025, 1024), (1024, 1024), (7, 7), (1, 1)])
def test_max_conflicting_is_kept_within_the_slots(value, stored):
    s = m.new({})
    assert m.config(s, "max_conflicting", value) is None
    assert m.info(s, "max_conflicting") == stored


@pytest.mark.parametrize("value", [-1, -(2**31), 2**31, 2**40, "7", 7.0, None])
def test_max_conflicting_must_be_a_non_negative_32_bit_integer(value):
    s = m.new({})
    m.config(s, "max_conflicting", 9)
    raises("badarg", m.config, s, "max_conflicting", value)
    assert m.info(s, "max_conflicting") == 9


def test_size_cannot_change_after_creation():
    s = m.new({"size": 16})
    raises("badarg", m.config, s, "size", 32)
    raises("badarg", m.config, s, "size", "default")
    assert m.info(s, "size") == 16


@pytest.mark.parametrize("key", ["unknown", "version", "level", 3.0, None])
def test_keys_that_are_no_setting_are_refused(key):
    raises("badarg", m.config, m.new({}), key, True)


def test_config_needs_a_solver_handle():
    raises("badarg", m.config, {}, "seed", 1)


def test_boolean_settings_change_and_read_back():
    s = m.new({})
    for key in ("use_phase", "all_used", "vsids", "xref", "hash"):
        before = m.info(s, key)
        assert m.config(s, key, not before) is None
        assert m.info(s, key) is (not before)
        assert m.config(s, key, before) is None
        assert m.info(s, key) is before


@pytest.mark.parametrize("key", ["use_phase", "all_used", "vsids", "xref", "hash"])
@pytest.mark.parametrize("value", [1, 0, None, "true"])
def test_boolean_settings_take_only_the_booleans(key, value):
    s = m.new({})
    before = m.info(s, key)
    raises("badarg", m.config, s, key, value)
    assert m.info(s, key) is before


def test_queue_type_changes_and_a_bad_one_changes_nothing():
    s = m.new({})
    m.config(s, "qtype", "lifo")
    assert m.info(s, "qtype") == LIFO
    raises("badarg", m.config, s, "qtype", "stack")
    assert m.info(s, "qtype") == LIFO
    m.config(s, codes("qtype"), codes("fifo"))
    assert m.info(s, "qtype") == FIFO


def test_init_phase_applies_to_variables_made_afterwards():
    s = m.new({})
    m.add_variable(s)
    m.config(s, "init_phase", False)
    m.add_variable(s)
    m.config(s, "init_phase", None)
    m.add_variable(s)
    assert [m.variable_info(s, v, "phase") for v in (1, 2, 3)] == [1, -1, None]
    assert m.info(s, "init_phase") is None
    raises("badarg", m.config, s, "init_phase", 3)
    assert m.info(s, "init_phase") is None


def test_turning_vsids_off_leaves_xref_alone():
    s = m.new({"xref": True})
    m.config(s, "vsids", False)
    assert m.info(s, "vsids") is False
    assert m.info(s, "xref") is True


def test_vsids_on_again_keeps_the_decision_order():
    s = m.new({"all_used": True})
    m.add_variables(s, 4)
    m.order_last(s, [1])
    m.config(s, "vsids", False)
    m.config(s, "vsids", True)
    order = []
    for _ in range(4):
        v = m.next_unbound(s)
        order.append(v)
        m.bind(s, v)
    assert order == [2, 3, 4, 1]


# ---- the random generator -----------------------------------------------------------


def draws(s, n=8):
    return [m.rand(s) for _ in range(n)]


def test_the_same_seed_gives_the_same_numbers():
    a, b, c = m.new({"seed": 31}), m.new({"seed": 31}), m.new({"seed": 32})
    first = draws(a)
    assert first == draws(b)
    assert first != draws(c)


def test_seeding_a_live_solver_restarts_its_numbers():
    a, b = m.new({}), m.new({"seed": 77})
    draws(b, 3)
    assert m.config(a, "seed", 77) is None
    assert m.config(b, "seed", 77) is None
    assert m.info(a, "seed") == 77
    assert draws(a) == draws(b)
    assert draws(m.new({"seed": 77})) == draws(m.new({"seed": 77}))


def test_seed_zero_stirs_with_the_clock():
    s = m.new({"seed": 9})
    assert m.config(s, "seed", 0) is None
    assert m.info(s, "seed") == 0
    assert all(0 <= r < 2**32 for r in draws(s))


@pytest.mark.parametrize("seed", [-1, 2**32, 1.0, None, "1"])
def test_a_seed_must_be_an_unsigned_32_bit_integer(seed):
    s = m.new({"seed": 3})
    raises("badarg", m.config, s, "seed", seed)
    assert m.info(s, "seed") == 3


# ---- occurrence lists and the clause hash ---------------------------------------------


def with_clauses(*clauses, **options):
    s = m.new(options)
    m.add_variables(s, 6)
    refs = [m.add_clause(s, list(c))[1] for c in clauses]
    return s, refs


def test_turning_xref_on_indexes_the_stored_clauses_once():
    s, refs = with_clauses([1, 2], [-1, 3], [1, -3, 4])
    assert m.literal_info(s, 1, "xref") == UNDEFINED
    m.config(s, "xref", True)
    m.config(s, "xref", True)  # already on: nothing happens
    assert m.literal_info(s, 1, "xref") == [refs[0], refs[2]]
    assert m.literal_info(s, -1, "xref") == [refs[1]]
    assert m.literal_info(s, 1, "degree") == 2


def test_turning_xref_off_drops_the_lists():
    s, refs = with_clauses([1, 2], [-1, 3], xref=True)
    mem_on = m.info(s, "memory_size")
    m.config(s, "xref", False)
    m.config(s, "xref", False)  # already off: nothing happens
    assert m.literal_info(s, 1, "degree") is None
    assert m.info(s, "memory_size") == mem_on - 4 * 4
    m.config(s, "xref", True)
    assert m.literal_info(s, 2, "xref") == [refs[0]]
    assert m.info(s, "memory_size") == mem_on


def test_turning_hash_on_indexes_clauses_for_lookup():
    s, refs = with_clauses([1, 2], [-1, 3], [2, 4, 5])
    m.config(s, "hash", True)
    assert m.find_clause(s, [3, -1]) == refs[1]
    assert m.find_clause(s, [5, 2, 4]) == refs[2]
    assert m.find_clause(s, [1, 3]) is False
    m.config(s, "hash", False)
    assert m.info(s, "hash") is False
    assert m.find_clause(s, [2, 1]) == refs[0]
