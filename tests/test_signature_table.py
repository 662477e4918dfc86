"""The shipped signature table (mirl.signatures) against the live module: the
atoms and keys each function accepts, the option defaults and result kinds it
documents, its examples, and the stub and reference generated from it.
Names and arities are checked by test_function_table.py, which reads them
from the same table."""
import doctest
import os

import mirl_nif
from mirl import _docgen
from mirl import signatures as table
from mirl.atoms import ATOM_NAMES, atom, atom_name

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def accepts(call):
    try:
        call()
    except TypeError:
        return False
    return True


def prepared():
    """A solver with a stored clause 0 of three literals, an alpha clause of
    two, and the level and xref state every key can be read in."""
    s = mirl_nif.new({"xref": True})
    mirl_nif.add_variables(s, 4)
    mirl_nif.add_clause(s, [1, 2, 3])
    learnt = mirl_nif.add_clause(s, [1, -4], "alpha")[1]
    return s, learnt


def test_each_function_accepts_exactly_the_atoms_the_table_lists():
    names = [name for name in ATOM_NAMES if name not in ("true", "false")]
    s, learnt = prepared()
    # One probing call per (function, argument) that takes atoms.
    value_for = {"qtype": "fifo", "seed": 1, "max_conflicting": 5, "init_phase": None, "size": 16}
    probes = {
        ("new", "options"): lambda n: mirl_nif.new({n: value_for.get(n, True)}),
        ("new", "qtype"): lambda n: mirl_nif.new({"qtype": n}),
        ("new", "size"): lambda n: mirl_nif.new({"size": n}),
        ("config", "key"): lambda n: mirl_nif.config(mirl_nif.new({}), n, value_for.get(n, True)),
        ("config", "qtype"): lambda n: mirl_nif.config(s, "qtype", n),
        ("info", "key"): lambda n: mirl_nif.info(s, n),
        ("clause_info", "key"): lambda n: mirl_nif.clause_info(s, 0, n),
        ("variable_info", "key"): lambda n: mirl_nif.variable_info(s, 1, n),
        ("literal_info", "key"): lambda n: mirl_nif.literal_info(s, 1, n),
        ("get_clauses", "kind"): lambda n: mirl_nif.get_clauses(s, 1, atom(n)),
        ("order_sort", "key1"): lambda n: mirl_nif.order_sort(s, n),
        ("order_sort", "key2"): lambda n: mirl_nif.order_sort(s, None, n, 1),
        ("bump", "distance"): lambda n: mirl_nif.bump(s, 1, n),
        ("minimize", "mode"): lambda n: mirl_nif.minimize(s, learnt, n),
        ("subscribe", "topics"): lambda n: mirl_nif.subscribe(s, n),
        ("add_clause", "clause_set"): lambda n: mirl_nif.add_clause(s, [2, 4], n),
        ("clauseset_size", "clause_set"): lambda n: mirl_nif.clauseset_size(s, n),
        ("clauseset_offset", "clause_set"): lambda n: mirl_nif.clauseset_offset(s, n),
        ("clauseset_sort", "clause_set"): lambda n: mirl_nif.clauseset_sort(s, n),
        ("clauseset_first", "clause_set"): lambda n: mirl_nif.clauseset_first(s, n),
    }
    documented = {(f.name, argument): set(atoms) for f in table.FUNCTIONS for argument, atoms in f.atoms.items()}
    # Every atom the table names is one of the library's atoms.
    for (name, argument), atoms in documented.items():
        assert atoms <= set(names), (name, argument, atoms - set(names))
    unprobed = set(documented) - set(probes)
    assert unprobed == {("clone", "options"), ("clone", "set"), ("move_clause", "clause_set"),
                        ("conflict", "distance")}, unprobed
    for key, probe in probes.items():
        accepted = {name for name in names if accepts(lambda: probe(name))}
        assert accepted == documented[key], (key, accepted ^ documented[key])
    # conflict/4 decodes its distance as bump/3 does; clone/2 ignores keys it does not know.
    assert documented["conflict", "distance"] == documented["bump", "distance"]
    assert {key for key, *_ in table.OPTIONS if key != "max_conflicting"} <= documented["clone", "options"]
    # The clause sets by number and by name, and the error atoms the table cites.
    for number, name, _ in table.CLAUSE_SETS:
        assert mirl_nif.clauseset_offset(s, number) == mirl_nif.clauseset_offset(s, name) == 0
    errors = {text for text, _ in table.ERRORS}
    assert errors - {"badarity", "badarg"} <= set(names)
    for function in table.FUNCTIONS:
        assert set(function.raises) <= errors and {e for e, _ in function.errors} <= errors, function.name


def test_defaults_and_key_results_are_what_the_table_says():
    s, _ = prepared()
    fresh = mirl_nif.new({})
    for key, _, default, _, _, _ in table.OPTIONS:
        value = mirl_nif.info(fresh, key)
        if key == "qtype":
            text = "`%s`" % atom_name(value)
        else:
            text = "`%r`" % value if value is None or isinstance(value, bool) else str(value)
        assert text == default, (key, value, default)
    kinds = {"int": int, "bool": bool, "str": str, "atom": int, "bool or None": (bool, type(None)),
             "int or None": (int, type(None)), "atom or None": (int, type(None)), "(int, int)": tuple,
             "6-tuple": tuple, "1, -1 or None": (int, type(None)), "list of (key, position)": list,
             "list of ids or atom": list}
    for keys, read in ((table.INFO_KEYS, lambda k: mirl_nif.info(s, k)),
                       (table.CLAUSE_INFO_KEYS, lambda k: mirl_nif.clause_info(s, 0, k)),
                       (table.VARIABLE_INFO_KEYS, lambda k: mirl_nif.variable_info(s, 1, k)),
                       (table.LITERAL_INFO_KEYS, lambda k: mirl_nif.literal_info(s, 1, k))):
        for key, kind, _ in keys:
            assert isinstance(read(key), kinds[kind]), (key, read(key), kind)


def test_every_reference_example_shows_what_it_prints():
    parser, runner = doctest.DocTestParser(), doctest.DocTestRunner(verbose=False)
    for name, example in [(f.name, f.example) for f in table.FUNCTIONS] + [("atoms", table.ATOMS_EXAMPLE)]:
        globs = {"m": mirl_nif, "atom": atom, "atom_name": atom_name}
        runner.run(parser.get_doctest(example, globs, name, None, 0))
    assert runner.summarize(verbose=False).failed == 0


def test_the_stub_and_the_reference_are_generated_from_the_table():
    # The stub lies beside the module (installed or in a developer build).
    with open(os.path.join(os.path.dirname(mirl_nif.__file__), "mirl_nif.pyi"), encoding="utf-8") as f:
        assert f.read() == _docgen.stub_text(), "run python -m mirl._docgen and rebuild"
    for path, text in _docgen.targets(ROOT).items():
        with open(path, encoding="utf-8") as f:
            assert f.read() == text, "%s is stale: run python -m mirl._docgen" % path
