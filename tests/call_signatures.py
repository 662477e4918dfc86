"""What the robustness tests know about the public functions: the argument
kinds of every function and arity, the awkward values to feed them, the
errors each may answer with, and the consistency checker of builds that
carry one."""
import ctypes
import os
import sys

import mirl_nif

try:
    from mirl.atoms import ATOM_NAMES, atom
except ImportError:
    # A subprocess of a run against a developer build: the package lies
    # beside the tests, as conftest.py arranges for the run itself.
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "python"))
    from mirl.atoms import ATOM_NAMES, atom

# Argument kinds after the handle, per (name, arity). Kinds: lit, var, lits,
# id, level, bool, set, key, value, map, count, int, dist, symkey, symval,
# topics, mode, sortkey, items, setarg, any.
SIGNATURES = {
    ("new", 1): ("map",),
    ("clone", 2): ("map",),
    ("info", 2): ("key",),
    ("config", 3): ("key", "value"),
    ("add_variable", 1): (),
    ("add_variable", 2): ("bool",),
    ("add_variable", 3): ("bool", "bool"),
    ("add_variables", 2): ("count",),
    ("add_variables", 3): ("count", "bool"),
    ("add_variables", 4): ("count", "bool", "bool"),
    ("value", 2): ("lit",),
    ("level", 1): (),
    ("bound", 2): ("lit",),
    ("bind", 2): ("lit",),
    ("decide", 2): ("lit",),
    ("subst", 3): ("lit", "lit"),
    ("implication_clause", 2): ("var",),
    ("implication_level", 2): ("var",),
    ("conflicting_clause", 2): ("count",),
    ("is_variable", 2): ("lit",),
    ("is_bound", 2): ("var",),
    ("is_equal", 3): ("lit", "lit"),
    ("isused", 2): ("var",),
    ("isused", 3): ("var", "bool"),
    ("isatom", 2): ("var",),
    ("isatom", 3): ("var", "bool"),
    ("push", 1): (),
    ("pop", 1): (),
    ("pop", 2): ("level",),
    ("bcp", 1): (),
    ("bcp", 2): ("lits",),
    ("bcp", 3): ("lits", "bool"),
    ("nbcp", 1): (),
    ("undo", 1): (),
    ("add_clause", 2): ("lits",),
    ("add_clause", 3): ("lits", "set"),
    ("get_clause", 2): ("id",),
    ("get_clause", 3): ("id", "lit"),
    ("get_clause", 4): ("id", "lit", "bool"),
    ("get_clause", 5): ("id", "lit", "bool", "bool"),
    ("find_clause", 2): ("lits",),
    ("compress_clause", 2): ("id",),
    ("clause_info", 3): ("id", "key"),
    ("variable_info", 3): ("var", "key"),
    ("literal_info", 3): ("lit", "key"),
    ("del_clause", 2): ("id",),
    ("clean_clause", 2): ("id",),
    ("get_clauses", 3): ("lit", "key"),
    ("get_decision", 2): ("level",),
    ("get_undo_state", 2): ("level",),
    ("get_bindings", 1): (),
    ("get_bindings", 2): ("level",),
    ("get_bindings", 3): ("level", "bool"),
    ("get_bindings", 4): ("level", "bool", "bool"),
    ("get_nbindings", 3): ("count", "bool"),
    ("get_nbindings", 4): ("count", "bool", "bool"),
    ("get_number_of_bindings", 2): ("level",),
    ("order_sort", 2): ("sortkey",),
    ("order_sort", 3): ("sortkey", "sortkey"),
    ("order_sort", 4): ("sortkey", "sortkey", "int"),
    ("order_first", 2): ("lits",),
    ("order_last", 2): ("lits",),
    ("next_unbound", 1): (),
    ("next_unbound", 2): ("var",),
    ("queue_first", 1): (),
    ("queue_next", 2): ("lit",),
    ("queue_clear", 1): (),
    ("add_symbol", 3): ("symval", "symkey"),
    ("find_symbol", 2): ("symkey",),
    ("first_symbol", 1): (),
    ("next_symbol", 2): ("symkey",),
    ("del_symbol", 2): ("symkey",),
    ("use_clause", 2): ("id",),
    ("bump", 3): ("var", "dist"),
    ("subscribe", 2): ("topics",),
    ("clauseset_size", 2): ("set",),
    ("clauseset_offset", 2): ("set",),
    ("clauseset_offset", 3): ("set", "count"),
    ("clauseset_sort", 2): ("set",),
    ("clauseset_first", 2): ("set",),
    ("clauseset_next", 2): ("id",),
    ("set_user_count", 3): ("lit", "count"),
    ("conflict", 4): ("level", "dist", "count"),
    ("minimize", 2): ("id",),
    ("minimize", 3): ("id", "mode"),
    ("move_clause", 3): ("id", "set"),
    ("unmark", 1): (),
    ("mark", 2): ("setarg",),
    ("mark", 3): ("setarg", "bool"),
    ("intersect_marks", 2): ("setarg",),
    ("intersect_var", 4): ("lit", "setarg", "bool"),
    ("get_marked", 2): ("bool",),
    ("rand", 1): (),
}
assert len(SIGNATURES) == 93

# The texts a refusal may carry: the library's error atoms.
REFUSALS = {"badarg", "literal", "variable", "level", "xref", "system_limit", "memory_limit"}

# Every atom name in the host's table (keys, options, modes, sort keys), and
# its term: the index in that table.
ATOM_INDEX = {name: atom(name) for name in ATOM_NAMES}
# Keys that mean something to a function, by function name.
INFO_KEYS = [
    "bcp_counter", "level", "conflict_counter", "max_conflicting", "number_of_conflicting_clauses",
    "number_of_variables", "number_of_clauses", "number_of_dead_clauses", "number_of_learnt_clauses",
    "number_of_bound_variables", "number_of_subst_variables", "number_of_unbound_variables",
    "clause_n_counter", "clause_2_counter", "clause_3_counter", "clause_d_counter", "size", "qtype",
    "max_level", "min_level", "max_bound", "literal_size", "literal_integer", "value_packing", "xref",
    "vsids", "hash", "init_phase", "use_phase", "all_used", "version", "seed", "memory_literal_size",
    "memory_variable_size", "memory_clause_size", "memory_symbol_size", "memory_size",
]
KEYS_FOR = {
    "info": INFO_KEYS,
    "config": ["max_conflicting", "xref", "vsids", "hash", "qtype", "use_phase", "all_used", "init_phase",
               "seed", "size"],
    "clause_info": ["length", "status", "watch0", "watch1", "watch", "jump"],
    "literal_info": ["mark", "degree", "user", "xref", "symbol"],
    "variable_info": ["implication", "implication_clause", "level", "phase", "is_atom", "is_used", "degree",
                      "symbol"],
    "get_clauses": ["watch", "literal", "variable"],
}
SORT_KEYS = [name for name in ATOM_NAMES if name.lstrip("+-=") in ("identity", "random", "degree", "rank", "user")]
OPTION_KEYS = ["size", "qtype", "xref", "vsids", "hash", "use_phase", "all_used", "init_phase", "seed",
               "max_conflicting", "level", "set", "queue"]


# ---- awkward values ----------------------------------------------------------------

class IntSub(int):
    """An int subclass that behaves like its value."""


class ListSub(list):
    pass


class DictSub(dict):
    pass


class StrSub(str):
    pass


class Explosive(int):
    """An int whose Python-level protocol methods all raise."""

    def __index__(self):
        raise RuntimeError("__index__ called")

    def __int__(self):
        raise RuntimeError("__int__ called")

    def __eq__(self, other):
        raise RuntimeError("__eq__ called")

    def __hash__(self):
        raise RuntimeError("__hash__ called")


class ExplosiveStr(str):
    def __eq__(self, other):
        raise RuntimeError("__eq__ called")

    def __hash__(self):
        raise RuntimeError("__hash__ called")


class Indexable:
    """Not an int, but convertible to one by the index protocol."""

    def __index__(self):
        return 1


class RaisingIndex:
    def __index__(self):
        raise RuntimeError("__index__ called")

    def __eq__(self, other):
        raise RuntimeError("__eq__ called")

    def __hash__(self):
        raise RuntimeError("__hash__ called")


def nested_list(depth):
    value = []
    for _ in range(depth):
        value = [value]
    return value


def awkward_values(other_handle=None):
    """A fresh list of values no function expects in most positions."""
    values = [
        None, True, False, 0, 1, -1, 2, 3, 255, 256, 2**31 - 1, -2**31, 2**31, -2**31 - 1,
        2**32 - 1, 2**32, 2**63 - 1, 2**63, -2**63, 2**64, 10**30, -10**30,
        0.0, -0.0, 1.0, 1.5, float("nan"), float("inf"), float("-inf"),
        "", "a", "badarg", "level", "x" * 300, "\udcff", "é" * 200,
        b"", b"bytes", bytearray(), bytearray(b"ab"), bytearray(300),
        [], [1], [-1, 1], [0], [True, False], [None], [1.5], [2**40], ["level"], [[1]],
        list(range(1, 300)), nested_list(50), nested_list(2000), [[]] * 1000,
        (), (1,), (1, -1), (None,), ((),), tuple(range(300)),
        {}, {"a": 1}, {1: 2}, {"size": 2**40}, {None: None}, {(1,): [2]},
        IntSub(1), IntSub(-1), IntSub(2**40), ListSub([1, 2]), ListSub(), DictSub(size=4),
        StrSub("level"), StrSub("badarg"), Explosive(1), ExplosiveStr("xref"),
        Indexable(), RaisingIndex(), object(), type, len, ctypes, Ellipsis, NotImplemented,
        complex(1, 2), frozenset({1}), {1, 2}, range(3), memoryview(b"ab"),
    ]
    if other_handle is not None:
        values.append(other_handle)
    return values


# ---- the consistency checker ---------------------------------------------------------

def _load_checker():
    try:
        function = ctypes.PyDLL(mirl_nif.__file__).mirl_check_state
    except AttributeError:
        return None
    function.restype = ctypes.py_object
    function.argtypes = [ctypes.py_object]
    return function


CHECK_STATE = _load_checker()


def check_state(handle):
    """Runs the build's consistency checker on a handle; nothing when the
    build carries none. Raises AssertionError naming the first violation."""
    if CHECK_STATE is not None:
        CHECK_STATE(handle)


def visible_invariants(s):
    """What a caller can cross-check through the public functions alone."""
    n = mirl_nif.info(s, "number_of_variables")
    bound = mirl_nif.info(s, "number_of_bound_variables")
    unbound = mirl_nif.info(s, "number_of_unbound_variables")
    assert bound + unbound == n, (bound, unbound, n)
    level = mirl_nif.level(s)
    assert mirl_nif.info(s, "level") == level
    substituted = mirl_nif.info(s, "number_of_subst_variables")
    everything = mirl_nif.get_nbindings(s, n + 1, True, False)
    assert len(everything) == bound - substituted, (everything, bound, substituted)
    seen = []
    for l in range(level + 1):
        segment = mirl_nif.get_bindings(s, l, False, False)
        assert len(segment) == mirl_nif.get_number_of_bindings(s, l)
        assert list(mirl_nif.get_bindings(s, l, True, False)) == segment[::-1]
        for b in segment:
            assert b != 0
            assert mirl_nif.value(s, abs(b)) is (b > 0), (b, l)
            assert mirl_nif.implication_level(s, abs(b)) == l
            assert mirl_nif.is_bound(s, abs(b)) is True
        seen.extend(segment)
    assert seen == list(everything)
    assert len({abs(b) for b in seen}) == len(seen)
    newest_first = mirl_nif.get_nbindings(s, n + 1, False, False)
    assert list(newest_first) == seen[::-1]
    # value/2 and implication_level/2 both read the representative.
    for v in range(1, n + 1):
        assert (mirl_nif.value(s, v) is None) == (mirl_nif.implication_level(s, v) == -1), v
