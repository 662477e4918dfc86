"""The module's function table: every name, its slot, and the arities it takes."""
import types

import pytest

import mirl_nif
from mirl.signatures import FUNCTIONS

# Each name with its arities, in the order the names first appear in the
# library's table of 93 functions.
TABLE = [(function.name, tuple(len(variant.arguments) for variant in function.variants)) for function in FUNCTIONS]


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

