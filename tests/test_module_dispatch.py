"""The mirl_nif module as Python sees it: one function per name, dispatch by
argument count, handle objects, atoms as integers, and errors as TypeError."""
import copy
import gc
import pathlib
import re
import sys
import tracemalloc

import pytest

import mirl_nif
from mirl.atoms import REGISTERED, atom

# The library's function names in the order they first appear in its table.
NAMES = [
    "new", "clone", "info", "config", "add_variable", "add_variables", "value",
    "level", "bound", "bind", "decide", "subst", "implication_clause",
    "implication_level", "conflicting_clause", "is_variable", "is_bound",
    "is_equal", "isused", "isatom", "push", "pop", "bcp", "nbcp", "undo",
    "add_clause", "get_clause", "find_clause", "compress_clause", "clause_info",
    "variable_info", "literal_info", "del_clause", "clean_clause", "get_clauses",
    "get_decision", "get_undo_state", "get_bindings", "get_nbindings",
    "get_number_of_bindings", "order_sort", "order_first", "order_last",
    "next_unbound", "queue_first", "queue_next", "queue_clear", "add_symbol",
    "find_symbol", "first_symbol", "next_symbol", "del_symbol", "use_clause",
    "bump", "subscribe", "clauseset_size", "clauseset_offset", "clauseset_sort",
    "clauseset_first", "clauseset_next", "set_user_count", "conflict", "minimize",
    "move_clause", "unmark", "mark", "intersect_marks", "intersect_var",
    "get_marked", "rand",
]

# Arities each name accepts.
ARITIES = {
    "add_variable": (1, 2, 3), "add_variables": (2, 3, 4), "get_clause": (2, 3, 4, 5),
    "get_bindings": (1, 2, 3, 4), "bcp": (1, 2, 3), "order_sort": (2, 3, 4),
}


@pytest.fixture
def solver():
    return mirl_nif.new({})


def module_functions():
    return [name for name in vars(mirl_nif) if not name.startswith("__")]


def test_module_has_one_function_per_name_in_first_appearance_order():
    assert module_functions() == NAMES
    assert len(NAMES) == 70
    for name in NAMES:
        assert callable(getattr(mirl_nif, name))


def test_each_function_reports_its_own_name_on_arity_mismatch(capfd):
    for name in NAMES:
        too_many = 6
        with pytest.raises(TypeError, match="^badarity$"):
            getattr(mirl_nif, name)(*range(too_many))
    err = capfd.readouterr().err
    assert err == "".join(f"arity mismatch {name} got 6 args\r\n" for name in NAMES)
    # Keywords are refused before the arity is looked at; none is no keyword.
    for name in NAMES:
        with pytest.raises(TypeError, match=rf"^{name}\(\) takes no keyword arguments$"):
            getattr(mirl_nif, name)(*range(too_many), handle=None)
    assert mirl_nif.level(mirl_nif.new({}), **{}) == 0
    assert capfd.readouterr().err == ""


def test_add_variable_takes_one_to_three_arguments(solver):
    mirl_nif.add_variable(solver)
    mirl_nif.add_variable(solver, True)
    mirl_nif.add_variable(solver, True, False)
    assert mirl_nif.info(solver, "number_of_variables") == 3


def test_wrong_arity_raises_badarity_without_calling(solver, capfd):
    before = mirl_nif.info(solver, "number_of_variables")
    with pytest.raises(TypeError, match="^badarity$"):
        mirl_nif.add_variable(solver, True, False, True)
    assert capfd.readouterr().err == "arity mismatch add_variable got 4 args\r\n"
    assert mirl_nif.info(solver, "number_of_variables") == before


def test_zero_arguments_is_an_arity_like_any_other(capfd):
    with pytest.raises(TypeError, match="^badarity$"):
        mirl_nif.new()
    assert capfd.readouterr().err == "arity mismatch new got 0 args\r\n"


@pytest.mark.parametrize("name,arities", sorted(ARITIES.items()))
def test_arities_outside_a_names_range_are_refused(name, arities, capfd):
    for n in (min(arities) - 1, max(arities) + 1):
        with pytest.raises(TypeError, match="^badarity$"):
            getattr(mirl_nif, name)(*([None] * n))
    capfd.readouterr()


def test_keyword_arguments_are_not_accepted(solver):
    with pytest.raises(TypeError):
        mirl_nif.level(s=solver)


@pytest.mark.parametrize("bad", [5, None, "mirl", object(), [1], (1,), {}, bytearray(b"x"), True])
def test_a_first_argument_that_is_no_handle_is_badarg(bad):
    for call in (lambda: mirl_nif.level(bad), lambda: mirl_nif.value(bad, 1),
                 lambda: mirl_nif.info(bad, "size"), lambda: mirl_nif.add_variable(bad)):
        with pytest.raises(TypeError, match="^badarg$"):
            call()


def test_handle_type_is_named_mirl(solver):
    assert type(solver).__name__ == "mirl"
    assert type(mirl_nif.clone(solver, {})) is type(solver)


def test_python_code_cannot_make_handles(solver):
    handle_type = type(solver)
    with pytest.raises(TypeError):
        handle_type()
    with pytest.raises(TypeError):
        handle_type.__new__(handle_type)
    with pytest.raises(TypeError):
        object.__new__(handle_type)
    with pytest.raises(TypeError):
        copy.copy(solver)
    mirl_nif.push(solver)
    assert mirl_nif.level(solver) == 1


def test_results_and_arguments_hold_exact_reference_counts():
    solver = mirl_nif.new({})
    assert sys.getrefcount(solver) == 2  # the variable and the argument
    mirl_nif.add_variables(solver, 5)
    for _ in range(100):
        mirl_nif.level(solver)
        mirl_nif.info(solver, "number_of_variables")
        mirl_nif.add_clause(solver, [1, -2])
    assert sys.getrefcount(solver) == 2
    fresh = mirl_nif.clone(solver, {})
    assert sys.getrefcount(fresh) == 2
    clause = [3, -4, 5]
    mirl_nif.add_clause(solver, clause)
    assert clause == [3, -4, 5]
    assert sys.getrefcount(clause) == 2


def test_dropping_the_last_reference_frees_the_handle():
    def make_and_drop(count):
        for _ in range(count):
            s = mirl_nif.new({})
            mirl_nif.add_variables(s, 10)
            mirl_nif.add_clause(s, [1, 2, 3])
            t = mirl_nif.clone(s, {})
            del s
            mirl_nif.push(t)
            del t

    make_and_drop(50)  # warm caches and pools
    gc.collect()
    tracemalloc.start()
    try:
        make_and_drop(10)
        gc.collect()
        baseline, _ = tracemalloc.get_traced_memory()
        make_and_drop(500)
        gc.collect()
        after, _ = tracemalloc.get_traced_memory()
    finally:
        tracemalloc.stop()
    # 500 live handles would hold several MiB; a few KiB of noise is allowed.
    assert after - baseline < 64 * 1024


def test_a_clone_outlives_its_original():
    s = mirl_nif.new({})
    mirl_nif.add_variables(s, 3)
    t = mirl_nif.clone(s, {})
    del s
    gc.collect()
    assert mirl_nif.info(t, "number_of_variables") == 3
    mirl_nif.bind(t, 1)
    assert mirl_nif.value(t, 1) is True


class TestAtoms:
    # Atom indexes: false 0, true 1, then the library's names in the order
    # it registers them ("false" and "true" among them take no new index).
    FIFO, LIFO, QTYPE, RECURSIVE = 16, 28, 50, 52

    def test_a_new_solver_reports_its_queue_type_as_the_atom_recursive(self, solver):
        assert mirl_nif.info(solver, "qtype") == self.RECURSIVE

    def test_option_maps_are_read_pair_by_pair_in_order(self):
        s = mirl_nif.new({"qtype": "fifo", "xref": True, "vsids": False})
        assert mirl_nif.info(s, "qtype") == self.FIFO
        assert mirl_nif.info(s, "xref") is True
        assert mirl_nif.info(s, "vsids") is False
        with pytest.raises(TypeError, match="^badarg$"):
            mirl_nif.new({"qtype": "fifo", "no_such_option": 1})

    def test_the_python_atom_names_are_the_library_rows_in_order(self, solver):
        source = pathlib.Path(__file__).resolve().parents[1] / "src" / "nif" / "atoms.cpp"
        if not source.exists():
            pytest.skip("no library source beside the tests")
        rows = re.findall(r'^    \{"([^"]*)", (?:&AtomSlots::\w+|nullptr)\},$', source.read_text(), re.M)
        assert tuple(rows) == REGISTERED
        # The last name registered has the index the Python table gives it.
        assert mirl_nif.info(solver, atom("memory_size")) == mirl_nif.info(solver, "memory_size")

    def test_atoms_reach_python_as_their_table_index(self, solver):
        mirl_nif.config(solver, "qtype", "recursive")
        assert mirl_nif.info(solver, "qtype") == self.RECURSIVE
        mirl_nif.config(solver, "qtype", "fifo")
        assert mirl_nif.info(solver, "qtype") == self.FIFO
        mirl_nif.config(solver, "qtype", "lifo")
        assert mirl_nif.info(solver, "qtype") == self.LIFO
        assert type(mirl_nif.info(solver, "qtype")) is int

    def test_an_atom_is_named_by_its_object_its_text_or_its_codes(self, solver):
        mirl_nif.config(solver, "qtype", "fifo")
        atom = mirl_nif.info(solver, "qtype")
        mirl_nif.config(solver, "qtype", "lifo")
        mirl_nif.config(solver, [ord(c) for c in "qtype"], atom)
        assert mirl_nif.info(solver, "qtype") == self.FIFO
        assert mirl_nif.info(solver, self.QTYPE) == self.FIFO
        assert mirl_nif.info(solver, list(b"qtype")) == self.FIFO

    @pytest.mark.parametrize("key", [
        "qtyp", "qtypee", "QTYPE", "qtype\0", list(b"qtype") + [0], [113, 116, 121, 112, 357],
        [113, 116, 121, 112, -1], ["q", "t", "y", "p", "e"], b"qtype", 2 ** 70, -1, 10 ** 6, 1.0, None,
        "é" * 200, "x" * 300, list(range(300)),
    ])
    def test_anything_else_names_no_atom(self, solver, key):
        with pytest.raises(TypeError, match="^badarg$"):
            mirl_nif.info(solver, key)
        assert mirl_nif.level(solver) == 0

    def test_raised_atoms_become_type_errors_with_the_atom_name(self, solver):
        mirl_nif.add_variables(solver, 2)
        with pytest.raises(TypeError, match="^literal$") as caught:
            mirl_nif.value(solver, 99)
        assert type(caught.value) is TypeError


class TestIntegerArguments:
    @pytest.mark.parametrize("big", [2 ** 32, 2 ** 40, -(2 ** 31) - 1, 2 ** 100, -(2 ** 100)])
    def test_integers_beyond_32_bits_are_refused_without_overflow_error(self, solver, big):
        mirl_nif.add_variables(solver, 3)
        with pytest.raises(TypeError):
            mirl_nif.value(solver, big)
        with pytest.raises(TypeError, match="^badarg$"):
            mirl_nif.add_variables(solver, big)
        assert mirl_nif.value(solver, 1) is None
        assert mirl_nif.info(solver, "number_of_variables") == 3

    def test_booleans_are_only_true_and_false(self, solver):
        for flag in (1, 0, None, "true"):
            with pytest.raises(TypeError, match="^badarg$"):
                mirl_nif.add_variable(solver, flag)
        mirl_nif.add_variable(solver, True)
        mirl_nif.add_variable(solver, False)


def test_the_read_only_queries_check_arity_arguments_and_references(capfd):
    # value, level, bound, is_bound, is_variable and implication_level have
    # an entry of their own: the same refusals and results as every function.
    s = mirl_nif.new({})
    mirl_nif.add_variables(s, 3)
    for _ in range(300):
        mirl_nif.push(s)
    mirl_nif.bind(s, -2)
    calls = {"value": (s, 2), "level": (s,), "bound": (s, -2), "is_bound": (s, 2), "is_variable": (s, 2),
             "implication_level": (s, 2)}
    expected = {"value": False, "level": 300, "bound": True, "is_bound": True, "is_variable": True,
                "implication_level": 300}
    held = sys.getrefcount(s)
    for name, args in calls.items():
        function = getattr(mirl_nif, name)
        assert function(*args) == expected[name]
        for wrong in (args[:-1], args + (1,)):
            with pytest.raises(TypeError, match="^badarity$"):
                function(*wrong)
        assert capfd.readouterr().err == "".join(
            f"arity mismatch {name} got {n} args\r\n" for n in (len(args) - 1, len(args) + 1))
        with pytest.raises(TypeError, match="^badarg$"):
            function(type(s), *args[1:])
    del wrong
    # The result's reference is the caller's, and an int subclass is a literal.
    level = mirl_nif.level(s)
    assert sys.getrefcount(level) == 2
    assert mirl_nif.value(s, IntFlagLiteral(2)) is False
    assert sys.getrefcount(s) == held
    # A refusal while another exception is being handled is its own error.
    try:
        raise KeyError("outer")
    except KeyError:
        with pytest.raises(TypeError, match="^literal$"):
            mirl_nif.value(s, 4)
        with pytest.raises(TypeError, match="^variable$"):
            mirl_nif.implication_level(s, 0)


class IntFlagLiteral(int):
    pass
