"""The module's function table: every name, its slot, and the arities it takes."""
import types

import pytest

import mirl_nif

# Each name with its arities, in the order the names first appear in the
# library's table of 93 functions.
TABLE = [
    ("new", (1,)),
    ("clone", (2,)),
    ("info", (2,)),
    ("config", (3,)),
    ("add_variable", (1, 2, 3)),
    ("add_variables", (2, 3, 4)),
    ("value", (2,)),
    ("level", (1,)),
    ("bound", (2,)),
    ("bind", (2,)),
    ("decide", (2,)),
    ("subst", (3,)),
    ("implication_clause", (2,)),
    ("implication_level", (2,)),
    ("conflicting_clause", (2,)),
    ("is_variable", (2,)),
    ("is_bound", (2,)),
    ("is_equal", (3,)),
    ("isused", (2, 3)),
    ("isatom", (2, 3)),
    ("push", (1,)),
    ("pop", (1, 2)),
    ("bcp", (1, 2, 3)),
    ("nbcp", (1,)),
    ("undo", (1,)),
    ("add_clause", (2, 3)),
    ("get_clause", (2, 3, 4, 5)),
    ("find_clause", (2,)),
    ("compress_clause", (2,)),
    ("clause_info", (3,)),
    ("variable_info", (3,)),
    ("literal_info", (3,)),
    ("del_clause", (2,)),
    ("clean_clause", (2,)),
    ("get_clauses", (3,)),
    ("get_decision", (2,)),
    ("get_undo_state", (2,)),
    ("get_bindings", (1, 2, 3, 4)),
    ("get_nbindings", (3, 4)),
    ("get_number_of_bindings", (2,)),
    ("order_sort", (2, 3, 4)),
    ("order_first", (2,)),
    ("order_last", (2,)),
    ("next_unbound", (1, 2)),
    ("queue_first", (1,)),
    ("queue_next", (2,)),
    ("queue_clear", (1,)),
    ("add_symbol", (3,)),
    ("find_symbol", (2,)),
    ("first_symbol", (1,)),
    ("next_symbol", (2,)),
    ("del_symbol", (2,)),
    ("use_clause", (2,)),
    ("bump", (3,)),
    ("subscribe", (2,)),
    ("clauseset_size", (2,)),
    ("clauseset_offset", (2, 3)),
    ("clauseset_sort", (2,)),
    ("clauseset_first", (2,)),
    ("clauseset_next", (2,)),
    ("set_user_count", (3,)),
    ("conflict", (4,)),
    ("minimize", (2, 3)),
    ("move_clause", (3,)),
    ("unmark", (1,)),
    ("mark", (2, 3)),
    ("intersect_marks", (2,)),
    ("intersect_var", (4,)),
    ("get_marked", (2,)),
    ("rand", (1,)),
]


def module_functions():
    return [name for name, value in vars(mirl_nif).items() if isinstance(value, types.BuiltinFunctionType)]


def test_table_has_93_rows_under_70_names():
    assert len(TABLE) == 70
    assert sum(len(arities) for _, arities in TABLE) == 93


def test_names_occupy_their_slots_in_table_order():
    # The module gets its functions in method-table order, one row per name.
    assert module_functions() == [name for name, _ in TABLE]


@pytest.mark.parametrize("name,arities", TABLE, ids=[name for name, _ in TABLE])
def test_each_name_takes_exactly_its_arities(name, arities):
    function = getattr(mirl_nif, name)
    for n in range(0, max(arities) + 3):
        with pytest.raises(TypeError) as failure:
            function(*([None] * n))
        # A known arity reaches the function, which refuses None as a solver
        # handle (or as new/1's options); any other count never gets there.
        expected = "badarg" if n in arities else "badarity"
        assert str(failure.value) == expected, (name, n)


def test_arity_mismatch_is_reported_on_stderr(capfd):
    with pytest.raises(TypeError, match="^badarity$"):
        mirl_nif.add_variable(None, None, None, None)
    assert "arity mismatch add_variable got 4 args\r\n" in capfd.readouterr().err

