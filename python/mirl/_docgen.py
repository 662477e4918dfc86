"""Writes the type stub of ``mirl_nif`` and the API reference from the table
in ``mirl.signatures``:

    python -m mirl._docgen             rewrite python/mirl_nif.pyi and docs/api.md
    python -m mirl._docgen --check     exit 1 when either differs from the table

(run from a source checkout, with the module importable, for example with
PYTHONPATH=build/dev:python after a developer build).
"""
import os
import re
import sys
import textwrap

from . import signatures as table

STUB_HEADER = '''\
"""Types of the mirl_nif extension module: 70 functions, one overload per arity.

Generated from mirl.signatures by `python -m mirl._docgen`; do not edit.
Every failure raises TypeError with an error text ("badarg", "literal",
"variable", "level", "xref", "system_limit", "memory_limit", "badarity").
"""
from typing import Any, Dict, List, Optional, Tuple, Union, final, overload

@final
class _Handle:
    """A solver handle, made by new/1 or clone/2 (its runtime type, mirl_nif.mirl,
    is not an attribute of the module)."""

# A literal: a non-zero int (variable v, or -v for its negation) or True/False.
_Literal = int
# An atom: its int term (mirl.atoms.atom(name)), its name, or the name's character codes.
_Atom = Union[int, str, List[int]]
# A clause set: 0..3 or delta, gamma, beta, alpha.
_ClauseSet = _Atom
# Literals to mark or intersect: a level, or a tuple or list of literals.
_Set = Union[int, Tuple[_Literal, ...], List[_Literal]]
# A bump distance: places, a fraction of the variables, or none/next/log2/log10/rank.
_Distance = Union[int, float, _Atom]
# A sort key of order_sort (identity, -degree, +rank, ...) or None.
_SortKey = Optional[_Atom]
'''


def _docstring(function, indent):
    text = "%s.  %s" % (function.summary[0].upper() + function.summary[1:], function.description)
    text = text.replace("`", "")
    lines = textwrap.wrap(text, 88 - len(indent))
    return indent + '"""' + ("\n" + indent).join(lines) + '"""'


def stub_text():
    out = [STUB_HEADER]
    for function in table.FUNCTIONS:
        several = len(function.variants) > 1
        for variant in function.variants:
            parameters = ", ".join("%s: %s" % (a.name, a.type) for a in variant.arguments)
            out.append("")
            if several:
                out.append("@overload")
            out.append("def %s(%s, /) -> %s:" % (function.name, parameters, variant.result))
            out.append(_docstring(function, "    "))
    return "\n".join(out) + "\n"


# ---- the reference ----------------------------------------------------------------

def _plain(type_):
    """A stub type as the reference shows it."""
    return re.sub(r"\b_([A-Z])", r"\1", type_)


def _arity_text(function):
    return ",".join(str(len(v.arguments)) for v in function.variants)


def _title(function):
    return "%s/%s" % (function.name, _arity_text(function))


def _anchor(text):
    return re.sub(r"[^a-z0-9 _-]", "", text.lower()).replace(" ", "-")


def _table(header, rows):
    out = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    for row in rows:
        out.append("| " + " | ".join(str(cell) for cell in row) + " |")
    return out


def _function_section(function):
    summary = function.summary[0].upper() + function.summary[1:]
    out = ["### %s" % _title(function), "", summary + ".", "", "```python"]
    for variant in function.variants:
        out.append("%s(%s) -> %s" % (function.name, ", ".join(a.name for a in variant.arguments),
                                     _plain(variant.result)))
    out.append("```")
    out.append("")
    seen, rows = set(), []
    for variant in function.variants:
        for argument in variant.arguments:
            if argument.name in seen:
                continue
            seen.add(argument.name)
            accepted = function.atoms.get(argument.name)
            meaning = table.KINDS[argument.kind]
            if accepted:
                meaning += ("; keys " if argument.kind == "map" else "; one of ") + ", ".join(
                    "`%s`" % name for name in accepted)
            rows.append(("`%s`" % argument.name, "`%s`" % _plain(argument.type), meaning))
    out += _table(("Argument", "Type", "Meaning"), rows)
    out += ["", "Returns " + function.returns + ".", ""]
    out += ["Errors:", ""]
    out += ["- `%s`: %s" % (error, when) for error, when in function.errors]
    out += ["", function.description, "", "```python", function.example.strip("\n"), "```", ""]
    return out


def api_text():
    out = [
        "# mirl_nif API reference",
        "",
        "<!-- Generated from python/mirl/signatures.py by `python -m mirl._docgen`; do not edit. -->",
        "",
        "The extension module `mirl_nif` holds the state of a clause-based solver and offers 70 "
        "functions under 93 arities (one Python function per name, dispatched by the number of "
        "arguments). The table behind this page ships with the package as `mirl.signatures`; the "
        "type stub `mirl_nif.pyi` is installed beside the module (and as the stub-only package "
        "`mirl_nif-stubs`, where mypy looks), so type checkers and editors know every arity.",
        "",
        "The examples below run as they stand after",
        "",
        "```python",
        "import mirl_nif as m",
        "from mirl.atoms import atom, atom_name",
        "```",
        "",
        "## Conventions",
        "",
        "- **Solver handle** (`Handle`): made by `new/1` or `clone/2`; the first argument of every "
        "other function. It is freed when its last reference goes. Every call runs under the "
        "interpreter lock, so threads may share a handle safely, but a search is a sequence of calls "
        "that another thread's calls on the same handle would interleave with.",
        "- **Literal** (`Literal`): a non-zero `int` v for variable v and -v for its negation, with "
        "1 <= |v| <= `number_of_variables`; `True` and `False` are the two constant literals (never "
        "read as 1 and 0). Results write literals the same way.",
        "- **Atom** (`Atom`): option values, keys, modes and sort keys are atoms. An argument may give "
        "an atom by its name (`\"fifo\"`), by its `int` term (`atom(\"fifo\")`) or as a list of the "
        "name's character codes; only `get_clauses/3`'s kind must be the term itself. Atoms in "
        "results come back as their `int` terms: `atom_name(term)` gives the name.",
        "- **Clause id**: an unsigned 32-bit `int`, the clause set in bits 30-31 and the slot in bits "
        "0-29: `delta` ids are 0, 1, ..., `alpha` ids start at 3221225472 (3 << 30).",
        "- **Booleans**: flag arguments must be exactly `True` or `False`.",
        "- **Collections**: functions returning bindings or marks take a flag choosing a tuple or a list.",
        "- **Representatives**: after `subst/3` replaced a variable by a literal, nearly every literal "
        "or variable argument is read as its representative (exceptions are noted: `bound/2`, "
        "`get_clauses/3`, `set_user_count/3`).",
        "",
        "### Errors",
        "",
        "Every failure raises `TypeError`; its text says what went wrong:",
        "",
    ]
    out += _table(("Text", "Meaning"), [("`%s`" % e, m) for e, m in table.ERRORS])
    out += ["", "Every function except `new/1` answers `badarg` when its first argument is not a solver "
                "handle; the sections below list the other errors."]
    out += [
        "",
        "### Atoms: `mirl.atoms`",
        "",
        "`mirl.atoms.atom(name)` is the `int` term of one of the library's atom names (`ValueError` for "
        "another name); `mirl.atoms.atom_name(term)` is the name of an atom term the library returned "
        "(`mirl.atom` and `mirl.atom_name` are the same functions); `mirl.atoms.ATOM_NAMES` lists all "
        "names in term order, `false` and `true` first (terms 0 and 1). Passing the term instead of the "
        "name skips a lookup on every call.",
        "",
        "```python",
        table.ATOMS_EXAMPLE.strip("\n"),
        "```",
        "",
        "## Functions",
        "",
        "Tables of keys and atoms: " + ", ".join("[%s](#%s)" % (title, _anchor(title)) for title in (
            "Options", "Clone options", "Statistics", "Clause keys", "Variable keys", "Literal keys",
            "Sort keys", "Clause sets", "Topics", "Bump distances", "Minimisation modes", "Undo states")) + ".",
        "",
    ]
    groups = []
    for function in table.FUNCTIONS:
        if function.group not in groups:
            groups.append(function.group)
    out += _table(("Group", "Functions"), [
        (group, ", ".join("[%s](#%s)" % (_title(f), _anchor(_title(f)))
                          for f in table.FUNCTIONS if f.group == group))
        for group in groups])
    out.append("")
    for group in groups:
        out += ["## %s" % group, ""]
        for function in table.FUNCTIONS:
            if function.group == group:
                out += _function_section(function)
    out += ["## Options", "",
            "Keys of `new/1`'s map and of `config/3`; `info/2` reads each back under the same key.", ""]
    out += _table(("Key", "Values", "Default", "Meaning", "`new/1`", "`config/3`"),
                  [("`%s`" % k, v, d, meaning, "yes" if n else "no", "yes" if c else "no")
                   for k, v, d, meaning, n, c in table.OPTIONS])
    out += ["", "### Clone options", "",
            "`clone/2` takes the creation options above (an `int` `size` is not bounds-checked there) "
            "and these; a key it does not know is ignored.", ""]
    out += _table(("Key", "Values", "Default", "Meaning"),
                  [("`%s`" % k, v, d, meaning) for k, v, d, meaning in table.CLONE_OPTIONS])
    out += ["", "## Statistics", "", "Keys of `info/2`:", ""]
    out += _table(("Key", "Result", "Meaning"), [("`%s`" % k, r, meaning) for k, r, meaning in table.INFO_KEYS])
    for title, rows, function in (("Clause keys", table.CLAUSE_INFO_KEYS, "clause_info/3"),
                                  ("Variable keys", table.VARIABLE_INFO_KEYS, "variable_info/3"),
                                  ("Literal keys", table.LITERAL_INFO_KEYS, "literal_info/3")):
        out += ["", "## %s" % title, "", "Keys of `%s`:" % function, ""]
        out += _table(("Key", "Result", "Meaning"), [("`%s`" % k, r, meaning) for k, r, meaning in rows])
    out += ["", "## Sort keys", "",
            "`order_sort/2,3,4` sorts by a key's score, ascending or descending; a bare `identity` "
            "ascends, every other bare key descends, `=` orders like `+`. `None` is no key.", ""]
    out += _table(("Key", "Score", "Direction"), [("`%s`" % k, kind, d) for k, kind, d in table.SORT_KEYS])
    out += [""]
    out += _table(("Score", "Of a literal"), table.SORT_SCORES)
    out += ["", "## Clause sets", ""]
    out += _table(("Number", "Atom", "Role"), [(n, "`%s`" % a, r) for n, a, r in table.CLAUSE_SETS])
    out += ["", "## Topics", "", "Topics of `subscribe/2`:", ""]
    out += _table(("Topic", "Meaning"), [("`%s`" % t, meaning) for t, meaning in table.TOPICS])
    out += ["", "## Bump distances", "",
            "Distances of `bump/3` and `conflict/4` (give the named ones by name, as strings: their atom "
            "terms are ints, which read as counts of places):", ""]
    out += _table(("Distance", "Move"), [("`%s`" % d if d.isidentifier() else d, meaning)
                                         for d, meaning in table.DISTANCES])
    out += ["", "## Minimisation modes", "",
            "`minimize/3` takes %s (`global` and `recursive` are the same)." %
            ", ".join("`%s`" % mode for mode in table.MINIMIZE_MODES), "",
            "## Undo states", "", "Answers of `get_undo_state/2`:", ""]
    out += _table(("State", "Meaning"), [("`\"%s\"`" % s, meaning) for s, meaning in table.UNDO_STATES])
    return "\n".join(out) + "\n"


def targets(root):
    return {os.path.join(root, "python", "mirl_nif.pyi"): stub_text(),
            os.path.join(root, "docs", "api.md"): api_text()}


def main(argv):
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    stale = []
    for path, text in targets(root).items():
        try:
            with open(path, encoding="utf-8") as f:
                current = f.read()
        except FileNotFoundError:
            current = None
        if current == text:
            continue
        stale.append(path)
        if "--check" not in argv:
            with open(path, "w", encoding="utf-8") as f:
                f.write(text)
    for path in stale:
        print(("stale: " if "--check" in argv else "wrote ") + path)
    return 1 if stale and "--check" in argv else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
