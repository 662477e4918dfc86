"""The public functions of ``mirl_nif``, described once.

The extension module has 70 function names and 93 arities; its functions
carry no docstrings and no introspectable signatures.  This table is the one
description of them: for every name its arities with argument names, argument
kinds and Python types, its results, its errors, the atoms it accepts, a
paragraph on what it does and a short example.  The type stub
``mirl_nif.pyi`` and the reference ``docs/api.md`` are generated from it
(``python -m mirl._docgen``), and the tests read their tables of names,
arities, keys and atoms from here.

Types are written as in the stub, with these aliases: ``_Handle`` a solver
handle, ``_Literal`` a literal (a non-zero ``int`` or ``True``/``False``),
``_Atom`` an atom (its ``int`` term, its name as a ``str``, or a list of the
name's character codes), ``_ClauseSet`` a clause set (0..3 or an atom),
``_Set`` a mark set (a level, or a tuple or list of literals), ``_Distance``
a bump distance, ``_SortKey`` a sort key or ``None``.
"""
from collections import namedtuple

__all__ = [
    "Argument", "Variant", "Function", "FUNCTIONS", "BY_NAME", "SIGNATURES", "KINDS", "ERRORS",
    "OPTIONS", "CLONE_OPTIONS", "INFO_KEYS", "CLAUSE_INFO_KEYS", "VARIABLE_INFO_KEYS",
    "LITERAL_INFO_KEYS", "SORT_KEYS", "SORT_SCORES", "ATOMS_EXAMPLE", "CLAUSE_SETS", "TOPICS", "DISTANCES",
    "MINIMIZE_MODES", "CLAUSE_LIST_KINDS", "UNDO_STATES", "signature",
]

Argument = namedtuple("Argument", "name kind type")
Argument.__doc__ = """One argument: its name, its kind (what the tests feed it) and its Python type."""
Variant = namedtuple("Variant", "arguments result")
Variant.__doc__ = """One arity of a function: its arguments, handle included, and the result type."""
Function = namedtuple("Function", "name group summary variants returns errors raises atoms description example")
Function.__doc__ = """A function name with its arities (``variants``), what it returns, its errors
(``raises`` lists the error atoms other than "badarg"), the atoms each argument accepts
(argument name, or option key for the values of an option -> tuple of atom names), a
description and a doctest example."""

# What each argument kind is, for the reference.
KINDS = {
    "handle": "a solver handle from `new/1` or `clone/2`",
    "map": "a `dict` of options",
    "lit": "a literal: a non-zero `int` whose magnitude is at most `number_of_variables`, or `True`/`False`",
    "var": "a variable, written as any of its literals",
    "lits": "a `list` of literals",
    "id": "a clause id (an unsigned 32-bit `int`: clause set in bits 30-31, slot in bits 0-29)",
    "level": "a decision level (`int` >= 0)",
    "bool": "exactly `True` or `False`",
    "set": "a clause set: 0..3 or `delta`, `gamma`, `beta`, `alpha`",
    "key": "a key atom",
    "value": "an option value",
    "count": "a non-negative `int`",
    "int": "an `int`",
    "dist": "a bump distance",
    "symkey": "a symbol key: any term",
    "symval": "a literal or a list of literals",
    "topics": "a topic atom or a list of topic atoms",
    "mode": "a minimisation mode atom",
    "sortkey": "a sort key atom, or `None`",
    "setarg": "a mark set: a level `int`, or a tuple or list of literals",
    "any": "any term",
}

# The error texts.  Every failure is a TypeError whose text is one of these.
ERRORS = [
    ("badarg", "a malformed argument: not a solver handle, a wrong kind of value, an unknown key or atom, "
               "a clause id or level out of range, or a refusal the function describes"),
    ("literal", "a literal argument (or an element of a literal list) does not decode: 0, out of range, "
                "or neither an `int` nor `True`/`False`"),
    ("variable", "a variable argument does not decode"),
    ("level", "the operation works only at level 0 and the solver is above it"),
    ("xref", "the operation needs the occurrence lists (option `xref`) and they are off"),
    ("system_limit", "the variable limit (134217726 variables) would be passed"),
    ("memory_limit", "an allocation failed; the solver stays usable"),
    ("badarity", "a number of arguments the function does not take (the host also writes "
                 "\"arity mismatch NAME got N args\" on standard error)"),
]

# ---- keys and atoms -----------------------------------------------------------------

# Option key, accepted values, default, meaning, new/1, config/3.
OPTIONS = [
    ("size", "`default` (1024) or an `int` in 2..1048576", "1024",
     "initial room for variables; fixed at creation", True, False),
    ("qtype", "`lifo`, `fifo`, `recursive`", "`recursive`",
     "propagation order: newest false literal first, oldest first, or depth first (nesting limited to 1000)",
     True, True),
    ("xref", "`True`, `False`", "`False`",
     "keep per-literal occurrence lists (needed by `subst/3`, `bcp/2,3`, `degree`, `get_clauses/3` "
     "`literal`/`variable`); turning it on builds them for every stored clause", True, True),
    ("vsids", "`True`, `False`", "`True`",
     "move variables towards the front of the order on `conflict/4` and `bump/3`; off, bumps do nothing",
     True, True),
    ("hash", "`True`, `False`", "`False`",
     "keep a clause hash for `find_clause/2` (clause set `alpha` is never hashed)", True, True),
    ("use_phase", "`True`, `False`", "`False`",
     "decisions use each variable's saved phase instead of `init_phase`", True, True),
    ("all_used", "`True`, `False`", "`False`",
     "every variable is a decision candidate, not only those flagged used", True, True),
    ("init_phase", "`True`, `False`, `None`", "`True`",
     "phase of new variables and of decisions: true, false, or a random bit", True, True),
    ("seed", "an `int` read as unsigned 32-bit", "0",
     "random generator seed; 0 seeds from the clock. `config/3` re-keys the generator at once", True, True),
    ("max_conflicting", "an `int` >= 0; 0 and values above 1024 mean 1024", "1024",
     "most conflicting clauses recorded by one propagation call", False, True),
]

# clone/2 accepts the creation options (an int size is taken unchecked) and these.
CLONE_OPTIONS = [
    ("level", "an `int`; -1 (or any level above the current one) means every level, below -1 is ignored",
     "0", "assignments of levels 0..level are copied (the copy starts at level 0)"),
    ("set", "a clause set or a list of at most four", "`delta` only",
     "clause sets whose clauses are copied; `delta` is always copied"),
    ("queue", "`True`, `False`", "`False`", "copy the pending propagation queue"),
]

# info/2: key, result, meaning; in the order the keys are tested.
INFO_KEYS = [
    ("bcp_counter", "int", "propagation calls (`bcp`, and each pass of `nbcp`), low 32 bits"),
    ("level", "int", "the current level"),
    ("conflict_counter", "int", "propagation calls that ended in a conflict, low 32 bits"),
    ("max_conflicting", "int", "the `max_conflicting` setting"),
    ("number_of_conflicting_clauses", "int", "conflicting clauses recorded by the last propagation call"),
    ("number_of_variables", "int", "variables (1..n)"),
    ("number_of_clauses", "int", "live clauses in the four clause sets"),
    ("number_of_dead_clauses", "int", "clauses found satisfied at level 0 and detached, not yet deleted"),
    ("number_of_learnt_clauses", "int", "live clauses of clause set `gamma`"),
    ("number_of_bound_variables", "int", "assigned or substituted variables (the trail length)"),
    ("number_of_subst_variables", "int", "variables replaced by `subst/3`"),
    ("number_of_unbound_variables", "int", "`number_of_variables` - `number_of_bound_variables`"),
    ("clause_n_counter", "int", "visits of clauses of four or more literals, low 32 bits"),
    ("clause_2_counter", "int", "visits of binary clauses, low 32 bits"),
    ("clause_3_counter", "int", "visits of ternary clauses, low 32 bits"),
    ("clause_d_counter", "int", "visits that found the other watch already true, low 32 bits"),
    ("size", "int", "the `size` option"),
    ("qtype", "atom", "the queue type: `lifo`, `fifo` or `recursive`"),
    ("max_level", "int", "highest level opened since the last read; reading resets it to 0"),
    ("min_level", "int", "lowest level returned to since the last read, 2147483647 when none; "
                         "reading resets it"),
    ("max_bound", "int", "largest trail length seen after a propagation or substitution since the last read; "
                         "reading resets it to 0"),
    ("literal_size", "int", "32"),
    ("literal_integer", "bool", "`True`"),
    ("value_packing", "int", "1"),
    ("xref", "bool", "the `xref` option"),
    ("vsids", "bool", "the `vsids` option"),
    ("hash", "bool", "the `hash` option"),
    ("init_phase", "bool or None", "the `init_phase` option"),
    ("use_phase", "bool", "the `use_phase` option"),
    ("all_used", "bool", "the `all_used` option"),
    ("version", "str", "the library version, \"0.9.46\""),
    ("seed", "int", "the seed last set (creation, `config/3` or a random `order_sort`)"),
    ("memory_literal_size", "int", "40"),
    ("memory_variable_size", "int", "136"),
    ("memory_clause_size", "int", "56"),
    ("memory_symbol_size", "int", "80"),
    ("memory_size", "int", "bytes held: 5688 + 136 per variable (variable 0 included) + 24 per symbol "
                           "bucket + 80 per symbol + 56 per clause slot + 4 per clause literal + 16 per "
                           "symbol entry of a literal + (with `xref`) 4 per occurrence entry, modulo 2^32"),
]

CLAUSE_INFO_KEYS = [
    ("length", "int", "the number of literals"),
    ("status", "atom or None", "`dead` when the clause was found satisfied at level 0, else `None`"),
    ("watch0", "int", "the position of the literal watch slot 0 watches, -1 when not watched"),
    ("watch1", "int", "the same for watch slot 1"),
    ("watch", "(int, int)", "`(watch0, watch1)`"),
    ("jump", "6-tuple", "`(length, L1 - L2, L2 - L3, L2, L3, id)` where L1 >= L2 >= L3 are the three highest "
                        "levels of the clause's variables (L3 = 0 for two literals): L2 is the backjump "
                        "level of a learnt clause. A clause of one literal is badarg"),
]

VARIABLE_INFO_KEYS = [
    ("implication", "(int, int)", "`(implication clause, level)`, each -1 when none"),
    ("implication_clause", "int", "the clause id that implied the variable, -1 for a decision, a bind or none"),
    ("level", "int", "the level of the assignment, -1 when unassigned"),
    ("phase", "1, -1 or None", "the saved phase: 1 true, -1 false, `None` none"),
    ("is_atom", "bool", "the atom flag"),
    ("is_used", "bool", "the used flag"),
    ("degree", "int or None", "occurrences of both literals (`None` when `xref` is off)"),
    ("symbol", "list of (key, position)", "the symbols its literals belong to: the negative literal's "
                                          "pairs, newest first, then the positive literal's, newest first"),
]

LITERAL_INFO_KEYS = [
    ("mark", "int", "the literal's byte in the mark table (0..255; 0 between calls)"),
    ("degree", "int or None", "the number of clauses containing the literal (`None` when `xref` is off)"),
    ("user", "int", "the user count set by `set_user_count/3`"),
    ("xref", "list of ids or atom", "the ids of the clauses containing the literal, in order; the atom "
                                    "`undefined` when `xref` is off"),
    ("symbol", "list of (key, position)", "the symbols the literal belongs to with its position in each, "
                                          "newest first"),
]

# Sort key, kind, direction.
SORT_KEYS = [
    ("identity", "identity", "ascending"), ("+identity", "identity", "ascending"),
    ("-identity", "identity", "descending"), ("=identity", "identity", "ascending"),
    ("random", "random", "descending"), ("+random", "random", "ascending"),
    ("-random", "random", "descending"), ("=random", "random", "ascending"),
    ("degree", "degree", "descending"), ("+degree", "degree", "ascending"),
    ("-degree", "degree", "descending"), ("=degree", "degree", "ascending"),
    ("rank", "rank", "descending"), ("+rank", "rank", "ascending"),
    ("-rank", "rank", "descending"), ("=rank", "rank", "ascending"),
    ("user", "user", "descending"), ("+user", "user", "ascending"),
    ("-user", "user", "descending"), ("=user", "user", "ascending"),
]
SORT_SCORES = [
    ("identity", "the variable index (the positive literal scores i + 0.1, so identity prefers true)"),
    ("random", "a random number in [0, 1) per literal from the solver's generator"),
    ("degree", "the number of stored clauses (all four sets, dead ones included) containing the literal"),
    ("rank", "the sum of 1/length over those clauses"),
    ("user", "the literal's user count (`set_user_count/3`)"),
]

CLAUSE_SETS = [
    (0, "delta", "the default set of `add_clause/2`"),
    (1, "gamma", "learnt clauses: counted as `number_of_learnt_clauses`; `move_clause/3` moves into it"),
    (2, "beta", "an ordinary set"),
    (3, "alpha", "passive: stored, never watched, never in occurrence lists or the hash; `conflict/4` "
                 "stores learnt clauses here"),
]

TOPICS = [
    ("variable", "report every literal fixed at level 0 and every substitution"),
    ("atom", "report those whose variable has the atom flag"),
    ("number_of_variables", "include this statistic in the report"),
    ("number_of_bound_variables", "include this statistic"),
    ("number_of_clauses", "include this statistic"),
    ("number_of_dead_clauses", "include this statistic"),
    ("max_level", "include `max_level` and `min_level` (read and reset)"),
    ("min_level", "the same as `max_level`"),
    ("max_bound", "include `max_bound` (read and reset)"),
    ("number_of_subst_variables", "include this statistic"),
]

DISTANCES = [
    ("int >= 0", "that many places towards the front"),
    ("float in [0, 1)", "that fraction of the number of variables"),
    ("float >= 1", "the nearest integer"),
    ("next", "to just before the decision cursor (ahead of every unassigned candidate)"),
    ("log2", "log2 of the number of variables"),
    ("log10", "log10 of the number of variables"),
    ("rank", "the length of the variable's implication clause"),
    ("none", "no move"),
]

MINIMIZE_MODES = ("local", "global", "recursive")

# How atoms are passed and read back (shown with the reference's conventions).
ATOMS_EXAMPLE = """
>>> s = m.new({})
>>> m.info(s, "qtype"), atom_name(m.info(s, "qtype"))
(52, 'recursive')
>>> m.info(s, atom("qtype")) == atom("recursive"), m.info(s, [113, 116, 121, 112, 101])
(True, 52)
"""
CLAUSE_LIST_KINDS = ("watch", "literal", "variable")
UNDO_STATES = [
    ("undef", "open: no decision yet"),
    ("set", "first branch: the decision is assigned"),
    ("toggle", "flipped by `undo/1`: the complemented decision waits for `nbcp/1`"),
    ("done", "second branch: the complemented decision is assigned"),
]

_BOOL = ("true", "false")
_SETS = tuple(name for _, name, _ in CLAUSE_SETS)
_OPTION_KEYS = tuple(key for key, *_ in OPTIONS)

# ---- arguments ------------------------------------------------------------------------

H = Argument("s", "handle", "_Handle")


def _a(name, kind, type_):
    return Argument(name, kind, type_)


LIT = _a("lit", "lit", "_Literal")
VAR = _a("var", "var", "_Literal")
LITS = _a("lits", "lits", "List[_Literal]")
ID = _a("id", "id", "int")
LEVEL = _a("level", "level", "int")
SET = _a("clause_set", "set", "_ClauseSet")
AS_TUPLE = _a("as_tuple", "bool", "bool")
DIST = _a("distance", "dist", "_Distance")
MARKS = _a("lits_or_level", "setarg", "_Set")


def _v(result, *arguments):
    return Variant((H,) + arguments, result)


F = Function

FUNCTIONS = [
    # ---- solvers -------------------------------------------------------------------------
    F("new", "Solvers", "create a solver", (
        Variant((_a("options", "map", "Dict[Any, Any]"),), "_Handle"),),
      "a new solver handle",
      [("badarg", "options is not a `dict`, or a key or value is refused (including `max_conflicting`)")],
      (), {"options": _OPTION_KEYS[:-1], "qtype": ("lifo", "fifo", "recursive"), "size": ("default",)},
      "Creates a solver with the options of the map (every key optional; see Options). An empty map "
      "gives the defaults. Keys and atom values may be given by name. The handle lives until its last "
      "reference goes; handles share nothing, and every call runs under the interpreter lock.",
      """
>>> s = m.new({"xref": True, "qtype": "fifo", "seed": 7})
>>> m.info(s, "xref"), atom_name(m.info(s, "qtype")), m.info(s, "seed")
(True, 'fifo', 7)
"""),
    F("clone", "Solvers", "copy a solver", (
        _v("_Handle", _a("options", "map", "Dict[Any, Any]")),),
      "a new, independent solver handle",
      [("badarg", "not a handle, options not a `dict`, or the copy cannot be allocated"),
       ("memory_limit", "copying the symbols ran out of memory")],
      ("memory_limit",), {"options": _OPTION_KEYS[:-1] + ("level", "set", "queue"), "set": _SETS},
      "Copies a solver into a new handle that shares nothing with it: the settings (each creation option "
      "may be overridden; see Clone options), the variables with their flags, the assignments of levels "
      "0..`level` (default 0), every substitution, every symbol and the clauses of the chosen clause sets "
      "(`delta` always), optionally the propagation queue. The copy starts at level 0 with fresh "
      "statistics, marks, order (variables in index order) and random generator; clauses get fresh ids "
      "in slot order. Unknown option keys are ignored.",
      """
>>> s = m.new({})
>>> m.add_variables(s, 3)
(1, 3)
>>> m.add_clause(s, [1, 2, 3])
(True, 0)
>>> m.bind(s, -1)
True
>>> c = m.clone(s, {})
>>> m.value(c, 1), m.info(c, "number_of_clauses")
(False, 1)
"""),
    F("info", "Solvers", "read a statistic or setting", (
        _v("Union[int, bool, str, None]", _a("key", "key", "_Atom")),),
      "the value of the key (see Statistics); atoms come back as their `int` terms",
      [("badarg", "not a handle, or an unknown key")],
      (), {"key": tuple(k for k, _, _ in INFO_KEYS)},
      "Reads one counter, size or setting. Nothing changes, except that `max_level`, `min_level` and "
      "`max_bound` start over when read.",
      """
>>> s = m.new({})
>>> m.info(s, "number_of_variables"), m.info(s, "memory_size"), m.info(s, "version")
(0, 6016, '0.9.46')
"""),
    F("config", "Solvers", "change a setting", (
        _v("None", _a("key", "key", "_Atom"), _a("value", "value", "Any")),),
      "`None`",
      [("badarg", "not a handle, a key that cannot be changed (`size`) or is unknown, or a value of the "
                  "wrong kind"),
       ("memory_limit", "turning `xref` or `hash` on ran out of memory")],
      ("memory_limit",), {"key": ("max_conflicting", "xref", "vsids", "hash", "qtype", "use_phase", "all_used",
                                  "init_phase", "seed"),  # in the order config/3 tests them
                          "qtype": ("lifo", "fifo", "recursive")},
      "Changes one option of a live solver (see Options); it takes effect from the next call that reads "
      "it. Turning `xref` on builds the occurrence lists of every stored clause, turning `hash` on indexes "
      "the clauses of `delta`, `gamma` and `beta`, turning `vsids` on renumbers the order, and `seed` "
      "re-keys the generator at once.",
      """
>>> s = m.new({})
>>> m.config(s, "max_conflicting", 0)
>>> m.info(s, "max_conflicting")
1024
>>> m.config(s, "size", 10)
Traceback (most recent call last):
TypeError: badarg
"""),
    # ---- variables -----------------------------------------------------------------------
    F("add_variable", "Variables", "add one variable", (
        _v("int"),
        _v("int", _a("is_atom", "bool", "bool")),
        _v("int", _a("is_atom", "bool", "bool"), _a("is_used", "bool", "bool"))),
      "the new variable's number",
      [("badarg", "not a handle or a flag not `True`/`False`"),
       ("system_limit", "134217726 variables exist already"),
       ("memory_limit", "the tables cannot grow")],
      ("system_limit", "memory_limit"), {},
      "Adds a variable at the end of the decision order, unassigned, with the phase of `init_phase` and "
      "the two flags (both `False` when not given). Only variables flagged used (or all, with the option "
      "`all_used`) are decision candidates for `nbcp/1` and `next_unbound/1`. Variables are numbered from 1; "
      "the flags can be read and changed with `isatom/2,3` and `isused/2,3`.",
      """
>>> s = m.new({})
>>> m.add_variable(s), m.add_variable(s, False, True)
(1, 2)
>>> m.isused(s, 2)
True
"""),
    F("add_variables", "Variables", "add a run of variables", (
        _v("Tuple[int, int]", _a("n", "count", "int")),
        _v("Tuple[int, int]", _a("n", "count", "int"), _a("is_atom", "bool", "bool")),
        _v("Tuple[int, int]", _a("n", "count", "int"), _a("is_atom", "bool", "bool"),
           _a("is_used", "bool", "bool"))),
      "`(first, last)`, the numbers of the new variables",
      [("badarg", "not a handle, n not a positive `int`, or a flag not `True`/`False`"),
       ("system_limit", "the variable limit would be passed; nothing is added"),
       ("memory_limit", "the tables cannot grow")],
      ("system_limit", "memory_limit"), {},
      "Adds n variables at once, as `add_variable` does one, all with the same flags.",
      """
>>> s = m.new({})
>>> m.add_variables(s, 3, False, True)
(1, 3)
>>> m.add_variables(s, 2)
(4, 5)
"""),
    F("value", "Variables", "value of a literal", (
        _v("Optional[bool]", LIT),),
      "`True`, `False`, or `None` when unassigned",
      [("literal", "the literal does not decode")],
      ("literal",), {},
      "The current value of a literal (of its representative, when its variable was substituted). "
      "`True` and `False` are the constant literals.",
      """
>>> s = m.new({})
>>> m.add_variables(s, 2)
(1, 2)
>>> m.bind(s, -2)
True
>>> m.value(s, 2), m.value(s, -2), m.value(s, 1), m.value(s, True)
(False, True, None, True)
"""),
    F("level", "Search", "current level", (
        _v("int"),),
      "the current decision level (0 at the root)",
      [("badarg", "not a handle")], (), {},
      "The number of the current decision level, as opened by `push/1` or `nbcp/1` and closed by `pop/1,2`.",
      """
>>> s = m.new({})
>>> m.level(s), m.push(s), m.level(s)
(0, 0, 1)
"""),
    F("bound", "Variables", "what a literal is bound to", (
        _v("Union[bool, int, None]", LIT),),
      "`True`, `False`, `None` (unassigned), or, for a substituted variable, its representative as an "
      "`int` (0 for a constant)",
      [("literal", "the literal does not decode")],
      ("literal",), {},
      "Like `value/2`, but reads the literal itself rather than its representative: a substituted literal "
      "answers the literal that stands for it.",
      """
>>> s = m.new({"xref": True})
>>> m.add_variables(s, 3)
(1, 3)
>>> m.subst(s, -2, 3)
True
>>> m.bound(s, 3), m.value(s, 3)
(-2, None)
"""),
    F("bind", "Search", "bind a literal", (
        _v("bool", LIT),),
      "`True` when the literal is (now) true, `False` when it is already false",
      [("literal", "the literal does not decode")],
      ("literal",), {},
      "Makes a literal true at the current level with no implication clause, and queues its complement "
      "for propagation (the next `bcp`/`nbcp` propagates it). An already assigned literal is left as it "
      "is. Above level 0 it is recorded as the level's decision; at level 0 it is permanent.",
      """
>>> s = m.new({})
>>> m.add_variables(s, 2)
(1, 2)
>>> m.bind(s, 1), m.bind(s, -1), m.bind(s, 1)
(True, False, True)
"""),
    F("decide", "Search", "decide a variable by the phase rule", (
        _v("bool", LIT),),
      "as `bind/2`",
      [("literal", "the literal does not decode")],
      ("literal",), {},
      "Binds the literal like `bind/2`, but with the value the phase rule chooses: the variable's saved "
      "phase with `use_phase`, else `init_phase` (a random bit when it is `None`). With the default "
      "`init_phase` `True`, `decide(s, -3)` makes -3 true. Open the level with `push/1` first.",
      """
>>> s = m.new({"init_phase": False})
>>> m.add_variables(s, 2)
(1, 2)
>>> m.push(s)
0
>>> m.decide(s, 2), m.value(s, 2), m.get_decision(s, 1)
(True, False, 2)
"""),
    F("subst", "Substitution", "declare two literals equivalent", (
        _v("bool", _a("a", "lit", "_Literal"), _a("b", "lit", "_Literal")),),
      "`True`, or `False` when the two are complementary or assigned different values",
      [("literal", "a or b does not decode"), ("xref", "the option `xref` is off"),
       ("level", "the solver is above level 0")],
      ("literal", "xref", "level"), {},
      "Declares a ≡ b at level 0. When one is assigned, the other gets its value. When neither is, b's "
      "variable is eliminated: every clause containing b or -b is rewritten to a or -a (a clause that "
      "then contains both a and -a is marked dead, one that contains a twice loses the copy), and from "
      "then on every literal argument naming b's variable is read as its representative. Substitutions are "
      "permanent and counted as bound variables (`number_of_subst_variables`).",
      """
>>> s = m.new({"xref": True})
>>> m.add_variables(s, 3)
(1, 3)
>>> m.add_clause(s, [2, 3])
(True, 0)
>>> m.subst(s, 1, 2)
True
>>> m.get_clause(s, 0), m.is_equal(s, 1, 2)
([1, 3], True)
"""),
    F("implication_clause", "Search", "clause that implied a variable", (
        _v("int", VAR),),
      "the id of the clause that implied the variable's value, or -1 (decision, bind, unassigned)",
      [("variable", "the variable does not decode")],
      ("variable",), {},
      "The reason of an assignment made by propagation: the clause that became unit. This is how a "
      "caller reads explanations, for example to build its own conflict analysis.",
      """
>>> s = m.new({})
>>> m.add_variables(s, 2)
(1, 2)
>>> m.add_clause(s, [-1, 2])
(True, 0)
>>> m.bind(s, 1), m.bcp(s)
(True, True)
>>> m.implication_clause(s, 2), m.implication_clause(s, 1)
(0, -1)
"""),
    F("implication_level", "Search", "level of a variable's assignment", (
        _v("int", VAR),),
      "the level at which the variable was assigned, -1 when unassigned",
      [("variable", "the variable does not decode")],
      ("variable",), {},
      "The decision level of a variable's current assignment.",
      """
>>> s = m.new({})
>>> m.add_variables(s, 2)
(1, 2)
>>> m.push(s), m.bind(s, 2)
(0, True)
>>> m.implication_level(s, 2), m.implication_level(s, 1)
(1, -1)
"""),
    F("conflicting_clause", "Search", "a recorded conflicting clause", (
        _v("int", _a("index", "count", "int")),),
      "the id of entry index of the conflict list",
      [("badarg", "index outside 0..`number_of_conflicting_clauses` - 1")],
      (), {},
      "The conflicting clauses found by the last `bcp`/`nbcp` call (at most `max_conflicting` of them; "
      "`info(s, \"number_of_conflicting_clauses\")` says how many). The list stays readable until the next "
      "propagation call; `conflict/4` analyses one entry.",
      """
>>> s = m.new({})
>>> m.add_variables(s, 2)
(1, 2)
>>> m.add_clause(s, [1, 2]), m.add_clause(s, [1, -2])
((True, 0), (True, 1))
>>> m.push(s), m.bind(s, -1), m.bcp(s)
(0, True, False)
>>> m.conflicting_clause(s, 0) in (0, 1)
True
"""),
    F("is_variable", "Variables", "whether a literal is not a constant", (
        _v("bool", LIT),),
      "`False` for `True`/`False` (or a variable substituted by a constant), else `True`",
      [("variable", "the literal does not decode")],
      ("variable",), {},
      "Whether a literal (its representative) denotes a variable rather than a constant.",
      """
>>> s = m.new({})
>>> m.add_variable(s)
1
>>> m.is_variable(s, 1), m.is_variable(s, True)
(True, False)
"""),
    F("is_bound", "Variables", "whether a variable is assigned", (
        _v("bool", VAR),),
      "`True` when the variable (its representative) has a value",
      [("variable", "the variable does not decode")],
      ("variable",), {},
      "Whether a variable is assigned (or substituted).",
      """
>>> s = m.new({})
>>> m.add_variables(s, 2)
(1, 2)
>>> m.bind(s, -1)
True
>>> m.is_bound(s, 1), m.is_bound(s, 2)
(True, False)
"""),
    F("is_equal", "Variables", "whether two literals are the same", (
        _v("bool", _a("a", "lit", "_Literal"), _a("b", "lit", "_Literal")),),
      "`True` when a and b have the same representative literal",
      [("literal", "a or b does not decode")],
      ("literal",), {},
      "Compares two literals after substitution; a literal and its complement are not equal.",
      """
>>> s = m.new({})
>>> m.add_variable(s)
1
>>> m.is_equal(s, 1, 1), m.is_equal(s, 1, -1)
(True, False)
"""),
    F("isused", "Variables", "read or set the used flag", (
        _v("bool", VAR),
        _v("bool", VAR, _a("flag", "bool", "bool"))),
      "the flag (`isused/2`), or its previous value (`isused/3`)",
      [("badarg", "flag not `True`/`False`"), ("variable", "the variable does not decode")],
      ("variable",), {},
      "The used flag makes a variable a decision candidate for `nbcp/1` and `next_unbound/1` (unless "
      "`all_used` is on, when every variable is). Setting it on an unassigned variable also moves the "
      "decision cursor back to it when needed.",
      """
>>> s = m.new({})
>>> m.add_variable(s)
1
>>> m.isused(s, 1, True), m.isused(s, 1)
(False, True)
"""),
    F("isatom", "Variables", "read or set the atom flag", (
        _v("bool", VAR),
        _v("bool", VAR, _a("flag", "bool", "bool"))),
      "the flag (`isatom/2`), or its previous value (`isatom/3`)",
      [("badarg", "flag not `True`/`False`"), ("variable", "the variable does not decode")],
      ("variable",), {},
      "A caller's flag on a variable; subscriptions to the topic `atom` report only variables that carry "
      "it.",
      """
>>> s = m.new({})
>>> m.add_variable(s, True)
1
>>> m.isatom(s, 1), m.isatom(s, 1, False), m.isatom(s, 1)
(True, True, False)
"""),
    # ---- search --------------------------------------------------------------------------
    F("push", "Search", "open a level", (
        _v("int"),),
      "the level before the push",
      [("badarg", "not a handle")], (), {},
      "Opens a new decision level; later binds and propagations are recorded on it.",
      """
>>> s = m.new({})
>>> m.push(s), m.push(s), m.level(s)
(0, 1, 2)
"""),
    F("pop", "Search", "close levels", (
        _v("Union[int, bool]"),
        _v("Union[int, bool]", _a("level", "level", "int"))),
      "the new level, or `False` when already at level 0",
      [("badarg", "level outside 0..current level")],
      (), {},
      "Backtracks to the level below (`pop/1`) or to the given level (`pop/2`): every assignment of the "
      "closed levels is undone and their records are reset. Level 0 is never undone.",
      """
>>> s = m.new({})
>>> m.add_variable(s)
1
>>> m.push(s), m.bind(s, 1), m.pop(s, 0), m.value(s, 1), m.pop(s)
(0, True, 0, None, False)
"""),
    F("bcp", "Search", "unit propagation", (
        _v("bool"),
        _v("Union[bool, int]", LITS),
        _v("Union[bool, Tuple[int, List[_Literal]]]", LITS, _a("collect", "bool", "bool"))),
      "`True` (no conflict) or `False` (conflict); with a list, also the atom `turbo` (`bcp/2`) or "
      "`(turbo, literals)` (`bcp/3` with collect `True`) when some of the literals are free",
      [("badarg", "lits not a list, collect not `True`/`False`"),
       ("literal", "an element of lits does not decode")],
      ("literal",), {},
      "Propagates every queued literal, in the order of the option `qtype`, assigning the literals that "
      "clauses make unit (their implication clause is that clause). On a conflict it records the "
      "conflicting clauses (`conflicting_clause/2`), empties the queue and answers `False`; the "
      "assignments stay until you backtrack. At level 0 satisfied clauses are marked dead and detached. "
      "After a propagation without conflict, `bcp/2,3` look at the given literals: a literal is free when "
      "`xref` is on, it occurs in some clause, and every clause containing it is satisfied by another "
      "literal (so setting it either way changes no clause).",
      """
>>> s = m.new({})
>>> m.add_variables(s, 3)
(1, 3)
>>> m.add_clause(s, [1, 2]), m.add_clause(s, [-2, 3])
((True, 0), (True, 1))
>>> m.bind(s, -1), m.bcp(s), m.value(s, 3)
(True, True, True)
"""),
    F("nbcp", "Search", "propagate and decide until done or a conflict", (
        _v("bool"),),
      "`True` when every candidate variable is assigned without conflict, `False` on a conflict",
      [("badarg", "the current level's decision is already on its second branch")],
      (), {},
      "The kernel's own search step: propagates, then repeatedly opens a level, decides the next candidate "
      "of the decision order (used variables, or all with `all_used`) by the phase rule and propagates, "
      "until a conflict or no candidate is left. After `undo/1` flipped a decision, `nbcp/1` first "
      "assigns the flipped literal. Conflicts are handled by the caller (`conflict/4`, `pop/2`).",
      """
>>> s = m.new({"all_used": True})
>>> m.add_variables(s, 2)
(1, 2)
>>> m.add_clause(s, [-1, -2])
(True, 0)
>>> m.nbcp(s), m.value(s, 1), m.value(s, 2), m.level(s)
(True, True, False, 1)
"""),
    F("undo", "Search", "chronological backtracking step", (
        _v("bool"),),
      "`True` when a decision was flipped and waits for `nbcp/1`, else `False`",
      [("badarg", "not a handle")], (), {},
      "Undoes the current level; when its decision is on its first branch, complements it (the level's "
      "undo state becomes `toggle`) and answers `True`; the next `nbcp/1` assigns it. A level on its second "
      "branch is popped and the level below is tried. `False` at level 0 or when nothing is left to flip.",
      """
>>> s = m.new({"all_used": True})
>>> m.add_variable(s)
1
>>> m.nbcp(s), m.value(s, 1), m.undo(s), m.get_undo_state(s, 1)
(True, True, True, 'toggle')
>>> m.nbcp(s), m.value(s, 1)
(True, False)
"""),
    # ---- clauses -------------------------------------------------------------------------
    F("add_clause", "Clauses", "add a clause", (
        _v("Union[bool, Tuple[bool, int]]", LITS),
        _v("Union[bool, Tuple[bool, int]]", LITS, SET)),
      "`(attached, id)` for a stored clause, `attached` being `False` when every literal is false now; "
      "`True` when nothing is stored because the clause is satisfied at level 0 or is a unit (its literal "
      "is made true at level 0); `False` for the empty clause (an empty list, or every literal false at level 0)",
      [("badarg", "lits not a list of literals, or a bad clause set"),
       ("memory_limit", "the clause cannot be stored")],
      ("memory_limit",), {"clause_set": _SETS},
      "Adds a clause to a clause set (`delta` by default). The literals are normalised against level 0 "
      "(true literals make it satisfied, false ones drop), duplicates drop, tautologies are not stored. A "
      "stored clause gets the next slot of its set and is watched on two literals (except in `alpha`); "
      "when it is unit under the current assignment its last literal is assigned at once (propagate with "
      "`bcp`).",
      """
>>> s = m.new({})
>>> m.add_variables(s, 3)
(1, 3)
>>> m.add_clause(s, [1, 2]), m.add_clause(s, [3]), m.add_clause(s, [1, -1])
((True, 0), True, True)
>>> m.add_clause(s, [1, -2], "alpha")
(True, 3221225472)
"""),
    F("get_clause", "Clauses", "read a clause", (
        _v("Union[List[_Literal], bool]", ID),
        _v("Union[List[_Literal], bool]", ID, _a("exclude", "lit", "Optional[_Literal]")),
        _v("Union[List[_Literal], bool]", ID, _a("exclude", "lit", "Optional[_Literal]"),
           _a("raw", "bool", "bool")),
        _v("Union[List[_Literal], Tuple[_Literal, ...], bool]", ID, _a("exclude", "lit", "Optional[_Literal]"),
           _a("raw", "bool", "bool"), _a("as_tuple", "bool", "bool"))),
      "the literals as a list (a tuple with as_tuple); unless raw, `True` when a literal is true at level "
      "0, and `False` when nothing is left",
      [("badarg", "a bad id, an empty slot, a bad exclude or flag")],
      (), {},
      "The literals of a stored clause in stored order. Unless raw, literals false at level 0 are left "
      "out and a literal true at level 0 makes the answer `True`. The exclude literal (or `None`) is left "
      "out too; when it was the only literal left the answer is an empty list instead of `False`.",
      """
>>> s = m.new({})
>>> m.add_variables(s, 3)
(1, 3)
>>> m.add_clause(s, [1, 2, 3])
(True, 0)
>>> m.bind(s, -2)
True
>>> m.get_clause(s, 0), m.get_clause(s, 0, 1), m.get_clause(s, 0, None, True, True)
([1, 3], [3], (1, 2, 3))
"""),
    F("find_clause", "Clauses", "find a stored clause", (
        _v("Union[int, bool]", LITS),),
      "the id of a stored clause with the same literals (in any order), or `False`",
      [("badarg", "lits not a list of literals")],
      (), {},
      "Looks a clause up by its set of literals, through the clause hash when the option `hash` is on "
      "(then `alpha` clauses are not found), else by scanning the sets `delta`, `gamma`, `beta`, `alpha`.",
      """
>>> s = m.new({"hash": True})
>>> m.add_variables(s, 3)
(1, 3)
>>> m.add_clause(s, [2, 3])
(True, 0)
>>> m.find_clause(s, [3, 2]), m.find_clause(s, [2, -3])
(0, False)
"""),
    F("compress_clause", "Clauses", "encode a clause as bytes", (
        _v("bytearray", _a("id_or_lits", "id", "Union[int, List[int]]")),),
      "a `bytearray`: each literal code (2v, or 2v + 1 for -v) as a little-endian base-128 number, then "
      "a 0 byte",
      [("badarg", "a bad id, or a list element that is not an `int`")],
      (), {},
      "A compact encoding of a stored clause (an empty slot gives an empty `bytearray`) or of a list of "
      "integers (not checked against the variables).",
      """
>>> s = m.new({})
>>> m.compress_clause(s, [1, -1, 64])
bytearray(b'\\x02\\x03\\x80\\x01\\x00')
"""),
    F("clause_info", "Clauses", "a property of a clause", (
        _v("Union[int, None, Tuple[int, ...]]", ID, _a("key", "key", "_Atom")),),
      "the value of the key (see Clause keys)",
      [("badarg", "a bad id, an empty slot, an unknown key, or `jump` on a clause of one literal")],
      (), {"key": tuple(k for k, _, _ in CLAUSE_INFO_KEYS)},
      "Reads one property of a stored clause: its length, whether it is dead, its watches, or the levels "
      "a learnt clause jumps between.",
      """
>>> s = m.new({})
>>> m.add_variables(s, 3)
(1, 3)
>>> m.add_clause(s, [1, 2, 3])
(True, 0)
>>> m.clause_info(s, 0, "length"), m.clause_info(s, 0, "watch"), m.clause_info(s, 0, "status")
(3, (0, 1), None)
"""),
    F("variable_info", "Variables", "a property of a variable", (
        _v("Union[int, bool, None, Tuple[int, int], List[Tuple[Any, int]]]", VAR, _a("key", "key", "_Atom")),),
      "the value of the key (see Variable keys)",
      [("badarg", "an unknown key"), ("variable", "the variable does not decode")],
      ("variable",), {"key": tuple(k for k, _, _ in VARIABLE_INFO_KEYS)},
      "Reads one property of a variable (its representative): implication data, phase, flags, occurrence "
      "count or symbols.",
      """
>>> s = m.new({})
>>> m.add_variables(s, 2)
(1, 2)
>>> m.variable_info(s, 1, "implication"), m.variable_info(s, 1, "phase")
((-1, -1), 1)
"""),
    F("literal_info", "Variables", "a property of a literal", (
        _v("Union[int, None, List[int], List[Tuple[Any, int]]]", LIT, _a("key", "key", "_Atom")),),
      "the value of the key (see Literal keys)",
      [("badarg", "an unknown key, or a literal that does not decode")],
      (), {"key": tuple(k for k, _, _ in LITERAL_INFO_KEYS)},
      "Reads one property of a literal (its representative): mark byte, occurrences, user count or "
      "symbols.",
      """
>>> s = m.new({"xref": True})
>>> m.add_variables(s, 2)
(1, 2)
>>> m.add_clause(s, [1, 2]), m.add_clause(s, [1, -2])
((True, 0), (True, 1))
>>> m.literal_info(s, 1, "xref"), m.literal_info(s, -2, "degree")
([0, 1], 1)
"""),
    F("del_clause", "Clauses", "delete a clause", (
        _v("None", _a("id_or_lits", "id", "Union[int, List[_Literal]]")),),
      "`None`",
      [("badarg", "a bad id, an empty slot, or no stored clause with these literals"),
       ("literal", "an element of the list does not decode")],
      ("literal",), {},
      "Deletes a stored clause, named by its id or by its literals (found as `find_clause/2` does). When "
      "it held the last slot of its set, trailing empty slots are released and their ids used again.",
      """
>>> s = m.new({})
>>> m.add_variables(s, 2)
(1, 2)
>>> m.add_clause(s, [1, 2])
(True, 0)
>>> m.del_clause(s, [2, 1]), m.info(s, "number_of_clauses")
(None, 0)
"""),
    F("clean_clause", "Clauses", "simplify a clause at level 0", (
        _v("None", ID),),
      "`None`",
      [("badarg", "a bad id, or every literal is false (the clause stays, detached)"),
       ("level", "the solver is above level 0")],
      ("level",), {},
      "Rewrites a clause against the level-0 assignment: false literals drop, a satisfied or dead clause "
      "is deleted; otherwise the shortened clause is watched again (in any set, `alpha` included). An "
      "empty slot is left alone.",
      """
>>> s = m.new({})
>>> m.add_variables(s, 3)
(1, 3)
>>> m.add_clause(s, [1, 2, 3])
(True, 0)
>>> m.bind(s, -2), m.bcp(s)
(True, True)
>>> m.clean_clause(s, 0), m.get_clause(s, 0, None, True)
(None, [1, 3])
"""),
    F("get_clauses", "Clause sets", "clauses watching or containing a literal", (
        _v("List[int]", LIT, _a("kind", "key", "int")),),
      "a list of clause ids",
      [("badarg", "the literal does not decode, or kind is not one of the three atom terms")],
      (), {"kind": CLAUSE_LIST_KINDS},
      "Lists the clauses watching the literal (`watch`), containing it (`literal`) or containing either "
      "literal of its variable (`variable`); the last two need `xref` (else an empty list). The kind must "
      "be the atom term itself, `atom(\"watch\")`, not the name. The literal is not resolved through "
      "substitution.",
      """
>>> s = m.new({"xref": True})
>>> m.add_variables(s, 2)
(1, 2)
>>> m.add_clause(s, [1, 2]), m.add_clause(s, [-1, 2])
((True, 0), (True, 1))
>>> m.get_clauses(s, 2, atom("literal")), m.get_clauses(s, 1, atom("variable"))
([1, 0], [1, 0])
"""),
    # ---- bindings ------------------------------------------------------------------------
    F("get_decision", "Bindings", "decision literal of a level", (
        _v("Union[int, bool]", LEVEL),),
      "the literal decided at the level, or `False` when it has none",
      [("badarg", "level above the current one")],
      (), {},
      "The decision of a level: the literal `bind/2`, `decide/2` or `nbcp/1` recorded there (after "
      "`undo/1`, the complemented literal).",
      """
>>> s = m.new({})
>>> m.add_variable(s)
1
>>> m.push(s), m.bind(s, -1), m.get_decision(s, 1), m.get_decision(s, 0)
(0, True, -1, False)
"""),
    F("get_undo_state", "Bindings", "undo state of a level", (
        _v("str", LEVEL),),
      "`\"undef\"`, `\"set\"`, `\"toggle\"` or `\"done\"` (see Undo states)",
      [("badarg", "level above the current one")],
      (), {},
      "Where the search of a level stands: no decision yet, first branch, flipped by `undo/1`, or second "
      "branch.",
      """
>>> s = m.new({})
>>> m.add_variable(s)
1
>>> m.push(s), m.get_undo_state(s, 1), m.bind(s, 1), m.get_undo_state(s, 1)
(0, 'undef', True, 'set')
"""),
    F("get_bindings", "Bindings", "bindings of a level", (
        _v("Tuple[_Literal, ...]"),
        _v("Tuple[_Literal, ...]", LEVEL),
        _v("Tuple[_Literal, ...]", LEVEL, _a("newest_first", "bool", "bool")),
        _v("Union[Tuple[_Literal, ...], List[_Literal]]", LEVEL, _a("newest_first", "bool", "bool"), AS_TUPLE)),
      "the true literals assigned at the level (the current one by default), oldest first unless "
      "newest_first; a tuple unless as_tuple is `False`; empty for a level above the current one",
      [("badarg", "level negative or not an `int`, a flag not `True`/`False`")],
      (), {},
      "The trail segment of one level, as the literals that are true.",
      """
>>> s = m.new({})
>>> m.add_variables(s, 3)
(1, 3)
>>> m.bind(s, 2), m.bind(s, -3)
(True, True)
>>> m.get_bindings(s), m.get_bindings(s, 0, True, False)
((2, -3), [-3, 2])
"""),
    F("get_nbindings", "Bindings", "the first or last bindings across levels", (
        _v("Tuple[_Literal, ...]", _a("count", "count", "int"), _a("oldest_first", "bool", "bool")),
        _v("Union[Tuple[_Literal, ...], List[_Literal]]", _a("count", "count", "int"),
           _a("oldest_first", "bool", "bool"), AS_TUPLE)),
      "at most count true literals of the whole trail: the oldest first, or the newest first",
      [("badarg", "count negative or not an `int`, a flag not `True`/`False`")],
      (), {},
      "Reads the trail across level boundaries, from its start or from its end.",
      """
>>> s = m.new({})
>>> m.add_variables(s, 3)
(1, 3)
>>> m.bind(s, 1), m.push(s), m.bind(s, 2)
(True, 0, True)
>>> m.get_nbindings(s, 5, True), m.get_nbindings(s, 1, False, False)
((1, 2), [2])
"""),
    F("get_number_of_bindings", "Bindings", "number of bindings of a level", (
        _v("int", LEVEL),),
      "the number of assignments on the level",
      [("badarg", "level outside the level records (at least levels 0..7 exist)")],
      (), {},
      "The length of a level's trail segment.",
      """
>>> s = m.new({})
>>> m.add_variables(s, 2)
(1, 2)
>>> m.bind(s, 1), m.get_number_of_bindings(s, 0), m.get_number_of_bindings(s, 1)
(True, 1, 0)
"""),
    # ---- order ---------------------------------------------------------------------------
    F("order_sort", "Decision order", "rebuild the order from scores", (
        _v("None", _a("key1", "sortkey", "_SortKey")),
        _v("None", _a("key1", "sortkey", "_SortKey"), _a("key2_or_seed", "sortkey", "Union[_SortKey, int]")),
        _v("None", _a("key1", "sortkey", "_SortKey"), _a("key2", "sortkey", "_SortKey"),
           _a("seed", "int", "int"))),
      "`None`",
      [("badarg", "a bad key, or a seed that is not a non-negative `int`"),
       ("level", "the solver is above level 0")],
      ("level",), {"key1": tuple(k for k, _, _ in SORT_KEYS), "key2": tuple(k for k, _, _ in SORT_KEYS)},
      "Rebuilds the decision order from the unassigned variables, sorted by their score for key1 and, on "
      "ties, key2 (see Sort keys); a variable's score is the larger of its two literals' scores. Each "
      "variable's saved phase becomes the literal with the larger score (true on a tie). A random key "
      "re-seeds the generator with the seed (0 or absent: from the clock; also stored as the option "
      "`seed`). Variables assigned at level 0 leave the order for good.",
      """
>>> s = m.new({"all_used": True})
>>> m.add_variables(s, 3)
(1, 3)
>>> m.order_sort(s, "-identity"), m.next_unbound(s)
(None, 3)
"""),
    F("order_first", "Decision order", "move variables to the front of the order", (
        _v("None", LITS),),
      "`None`",
      [("badarg", "not a list, or an element that does not decode (the order is renumbered anyway)"),
       ("level", "the solver is above level 0")],
      ("level",), {},
      "Puts the variables of the literals at the front of the decision order, in list order, and resets "
      "the decision cursor.",
      """
>>> s = m.new({"all_used": True})
>>> m.add_variables(s, 3)
(1, 3)
>>> m.order_first(s, [3, -2]), m.next_unbound(s), m.next_unbound(s, 3)
(None, 3, 2)
"""),
    F("order_last", "Decision order", "move variables to the back of the order", (
        _v("None", LITS),),
      "`None`",
      [("badarg", "not a list, or an element that does not decode (the order is renumbered anyway)"),
       ("level", "the solver is above level 0")],
      ("level",), {},
      "Puts the variables of the literals at the back of the decision order, in list order, and resets "
      "the decision cursor.",
      """
>>> s = m.new({"all_used": True})
>>> m.add_variables(s, 3)
(1, 3)
>>> m.order_last(s, [1]), m.next_unbound(s)
(None, 2)
"""),
    F("next_unbound", "Decision order", "next unassigned candidate in the order", (
        _v("Union[int, bool]"),
        _v("Union[int, bool]", _a("after", "var", "_Literal"))),
      "a variable number, or `False` when none is left",
      [("variable", "after does not decode")],
      ("variable",), {},
      "`next_unbound/1` advances the decision cursor to the first unassigned candidate (a used variable, "
      "or any with `all_used`) and answers it. `next_unbound/2` with 0 answers the cursor as it stands "
      "(`False` when there is none); with a variable it answers the first unassigned candidate after it, "
      "without moving the cursor.",
      """
>>> s = m.new({"all_used": True})
>>> m.add_variables(s, 3)
(1, 3)
>>> m.bind(s, 1), m.next_unbound(s), m.next_unbound(s, 2), m.next_unbound(s, 3)
(True, 2, 3, False)
"""),
    # ---- queue ---------------------------------------------------------------------------
    F("queue_first", "Propagation queue", "first queued literal", (
        _v("Union[int, bool]"),),
      "the first literal waiting to be propagated (a literal that became false), or `False`",
      [("badarg", "not a handle")], (), {},
      "The head of the propagation queue that `bind/2`, `decide/2` and unit clauses fill and `bcp` "
      "drains.",
      """
>>> s = m.new({"qtype": "fifo"})
>>> m.add_variables(s, 2)
(1, 2)
>>> m.bind(s, 1), m.bind(s, -2), m.queue_first(s), m.queue_next(s, -1)
(True, True, -1, 2)
"""),
    F("queue_next", "Propagation queue", "next queued literal", (
        _v("Union[int, bool]", LIT),),
      "the literal queued after the given one, or `False`",
      [("badarg", "the literal does not decode")],
      (), {},
      "Walks the queue: feed each answer back, starting from `queue_first/1`, until `False`.",
      """
>>> s = m.new({})
>>> m.add_variable(s)
1
>>> m.queue_next(s, 1)
False
"""),
    F("queue_clear", "Propagation queue", "empty the propagation queue", (
        _v("bool"),),
      "`True`",
      [("badarg", "not a handle")], (), {},
      "Drops every queued literal without propagating it (the assignments stay).",
      """
>>> s = m.new({})
>>> m.add_variable(s)
1
>>> m.bind(s, 1), m.queue_clear(s), m.queue_first(s)
(True, True, False)
"""),
    # ---- symbols -------------------------------------------------------------------------
    F("add_symbol", "Symbols", "name literals by a term", (
        _v("None", _a("lits", "symval", "Union[_Literal, List[_Literal]]"), _a("key", "symkey", "Any")),),
      "`None`",
      [("badarg", "a literal that does not decode, a key that cannot be encoded, or a key already bound "
                  "to other literals"),
       ("memory_limit", "a literal's symbol list cannot grow")],
      ("memory_limit",), {},
      "Binds a key to one literal or to a list of literals (stored as their representatives). Any term "
      "that can be encoded is a key; a `str`, `bytearray` or list of bytes is a raw key (the `str` \"ab\" "
      "and the list [97, 98] are the same key). Adding the same key with the same literals again changes "
      "nothing. Every literal remembers its symbols (`literal_info/3`, `variable_info/3` `symbol`).",
      """
>>> s = m.new({})
>>> m.add_variables(s, 2)
(1, 2)
>>> m.add_symbol(s, 1, ("x", 0)), m.add_symbol(s, [1, -2], "pair")
(None, None)
>>> m.find_symbol(s, ("x", 0)), m.find_symbol(s, "pair"), m.literal_info(s, 1, "symbol")
(1, [1, -2], [(bytearray(b'pair'), 0), (('x', 0), 0)])
"""),
    F("find_symbol", "Symbols", "look a symbol up", (
        _v("Union[_Literal, List[_Literal], bool]", _a("key", "symkey", "Any")),),
      "the literal (when added as one literal) or the list of literals; `False` when the key is absent; "
      "the atom `undefined` for a symbol added with an empty list",
      [("badarg", "a key that cannot be encoded")],
      (), {},
      "Answers the literals a key names.",
      """
>>> s = m.new({})
>>> m.find_symbol(s, "nothing")
False
"""),
    F("first_symbol", "Symbols", "first symbol key", (
        _v("Any"),),
      "the key of the first symbol in table order (a raw key as a `bytearray`), or `False`",
      [("badarg", "not a handle")], (), {},
      "Starts a walk over the symbol table; continue with `next_symbol/2`. The walk visits every symbol "
      "once when none is added or deleted meanwhile.",
      """
>>> s = m.new({})
>>> m.add_variable(s)
1
>>> m.first_symbol(s), m.add_symbol(s, 1, "a"), m.first_symbol(s)
(False, None, bytearray(b'a'))
"""),
    F("next_symbol", "Symbols", "next symbol key", (
        _v("Any", _a("key", "symkey", "Any")),),
      "the key after the given one in table order, or `False` (last key, or key absent)",
      [("badarg", "a key that cannot be encoded")],
      (), {},
      "Continues a walk over the symbol table.",
      """
>>> s = m.new({})
>>> m.add_variable(s)
1
>>> m.add_symbol(s, 1, 7), m.next_symbol(s, 7)
(None, False)
"""),
    F("del_symbol", "Symbols", "delete a symbol", (
        _v("Optional[bool]", _a("key", "symkey", "Any")),),
      "`None` when removed, `False` when the key was absent",
      [("badarg", "a key that cannot be encoded")],
      (), {},
      "Removes a symbol and its entries in the literals' symbol lists.",
      """
>>> s = m.new({})
>>> m.add_variable(s)
1
>>> m.add_symbol(s, 1, "a"), m.del_symbol(s, "a"), m.del_symbol(s, "a")
(None, None, False)
"""),
    F("use_clause", "Clauses", "stamp a clause as recently used", (
        _v("None", ID),),
      "`None`",
      [("badarg", "a bad id or an empty slot")],
      (), {},
      "Sets the clause's stamp to the current `bcp_counter`; `clauseset_sort/2` puts the clauses with the "
      "newest stamps first (clauses are stamped when stored and when `conflict/4` reads them).",
      """
>>> s = m.new({})
>>> m.add_variables(s, 2)
(1, 2)
>>> m.add_clause(s, [1, 2])
(True, 0)
>>> m.use_clause(s, 0)
"""),
    F("bump", "Decision order", "move a variable towards the front", (
        _v("None", VAR, DIST),),
      "`None`",
      [("badarg", "a bad distance"), ("variable", "the variable does not decode")],
      ("variable",), {"distance": ("none", "next", "log2", "log10", "rank")},
      "Moves a variable towards the front of the decision order by a distance (see Bump distances), as "
      "`conflict/4` does for the variables it meets. Nothing happens when `vsids` is off, the distance is "
      "0, or the variable is assigned at level 0.",
      """
>>> s = m.new({"all_used": True})
>>> m.add_variables(s, 3)
(1, 3)
>>> m.bump(s, 3, "next"), m.next_unbound(s)
(None, 3)
"""),
    F("subscribe", "Clause sets", "register for level-0 events", (
        _v("None", _a("topics", "topics", "Union[_Atom, List[str], List[int], List[_Atom]]")),),
      "`None`",
      [("badarg", "a topic outside the table")],
      (), {"topics": tuple(t for t, _ in TOPICS)},
      "Registers the calling thread for events on literals fixed at level 0 and on substitutions, with "
      "the statistics named by the topics (see Topics). The library builds each event message "
      "`(mirl, subject, stats)` and performs the statistic resets it asks for, but has no receiver to "
      "deliver it to in this host; subscriptions cannot be removed.",
      """
>>> s = m.new({})
>>> m.subscribe(s, ["variable", "number_of_clauses"])
"""),
    # ---- clause sets ---------------------------------------------------------------------
    F("clauseset_size", "Clause sets", "size of a clause set", (
        _v("int", SET),),
      "the number of slots of the set (deleted slots included)",
      [("badarg", "a bad clause set")],
      (), {"clause_set": _SETS},
      "The slot count of a clause set: one more than the highest slot used (after trailing deleted slots "
      "are released). `info/2` `number_of_clauses` counts live clauses.",
      """
>>> s = m.new({})
>>> m.add_variables(s, 2)
(1, 2)
>>> m.add_clause(s, [1, 2], "beta"), m.clauseset_size(s, "beta"), m.clauseset_size(s, 0)
((True, 2147483648), 1, 0)
"""),
    F("clauseset_offset", "Clause sets", "read or set a clause set's start offset", (
        _v("int", SET),
        _v("None", SET, _a("offset", "count", "int"))),
      "the offset (`clauseset_offset/2`) or `None`",
      [("badarg", "a bad clause set or offset")],
      (), {"clause_set": _SETS},
      "Each set has an offset (0 at first) where `clauseset_first/2` starts; a caller sets it to skip the "
      "clauses it has seen already.",
      """
>>> s = m.new({})
>>> m.clauseset_offset(s, "gamma", 5), m.clauseset_offset(s, "gamma")
(None, 5)
"""),
    F("clauseset_sort", "Clause sets", "sort a clause set by use", (
        _v("None", SET),),
      "`None`",
      [("badarg", "a bad clause set"), ("level", "the solver is above level 0")],
      ("level",), {"clause_set": _SETS},
      "Reorders a clause set with the most recently stored or used clauses first (see `use_clause/2`), "
      "drops empty slots and renumbers the clauses: their ids change (occurrence lists and the hash follow; "
      "ids the caller holds and implication clauses of assigned variables do not).",
      """
>>> s = m.new({})
>>> m.add_variables(s, 3)
(1, 3)
>>> m.add_clause(s, [1, 2]), m.add_clause(s, [2, 3])
((True, 0), (True, 1))
>>> m.bcp(s), m.use_clause(s, 0), m.clauseset_sort(s, 0), m.get_clause(s, 0)
(True, None, None, [1, 2])
"""),
    F("clauseset_first", "Clause sets", "first clause of a set", (
        _v("Union[int, bool]", SET),),
      "the id of the first stored clause at or after the set's offset, or `False`",
      [("badarg", "a bad clause set")],
      (), {"clause_set": _SETS},
      "Starts a walk over a clause set; continue with `clauseset_next/2`.",
      """
>>> s = m.new({})
>>> m.add_variables(s, 2)
(1, 2)
>>> m.add_clause(s, [1, 2]), m.add_clause(s, [1, -2])
((True, 0), (True, 1))
>>> m.clauseset_first(s, "delta"), m.clauseset_next(s, 0), m.clauseset_next(s, 1)
(0, 1, False)
"""),
    F("clauseset_next", "Clause sets", "next clause of a set", (
        _v("Union[int, bool]", ID),),
      "the id of the next stored clause of the same set after the given id, or `False`",
      [("badarg", "not an `int`")],
      (), {},
      "Continues a walk over a clause set; the given id's own slot need not hold a clause.",
      """
>>> s = m.new({})
>>> m.clauseset_next(s, 0)
False
"""),
    F("set_user_count", "Decision order", "set a literal's user count", (
        _v("None", LIT, _a("count", "count", "int")),),
      "`None`",
      [("badarg", "a literal that does not decode, or a count that is not a non-negative `int`")],
      (), {},
      "Stores a 16-bit count on a literal (the count's low 16 bits), read by `literal_info/3` `user` "
      "and by the sort key `user` of `order_sort`. The literal is not resolved through substitution.",
      """
>>> s = m.new({})
>>> m.add_variable(s)
1
>>> m.set_user_count(s, -1, 65537), m.literal_info(s, -1, "user")
(None, 1)
"""),
    # ---- learning ------------------------------------------------------------------------
    F("conflict", "Learning", "analyse a conflict into a learnt clause", (
        _v("Union[int, bool, None]", LEVEL, DIST, _a("index", "count", "int")),),
      "the id of the learnt clause, stored in `alpha`; `None` when an identical clause is in `alpha` "
      "already; `True` when the clause is satisfied at level 0; `False` when it is empty",
      [("badarg", "level above the current one, a bad distance, index outside the conflict list, a level "
                  "without assignments, or a conflict that did not arise on that level")],
      (), {"distance": ("none", "next", "log2", "log10", "rank")},
      "First-UIP analysis of conflicting clause `index` (see `conflicting_clause/2`) over the trail of "
      "`level` (the conflict level, normally the current one). Every variable met (above level 0) is "
      "bumped by the distance; the clauses read are stamped. The learnt clause's first literal is the "
      "asserting literal, the others are false below `level`; literals false at level 0 are left out. "
      "The clause is stored in `alpha` without watches; backjump (`clause_info/3` `jump`), then "
      "`move_clause/3` it to `gamma`, which asserts its first literal. All marks are cleared. The "
      "assignment is not changed.",
      """
>>> s = m.new({})
>>> m.add_variables(s, 3)
(1, 3)
>>> m.add_clause(s, [-1, 2]), m.add_clause(s, [-1, -2, 3]), m.add_clause(s, [-1, -3])
((True, 0), (True, 1), (True, 2))
>>> m.push(s), m.bind(s, 1), m.bcp(s)
(0, True, False)
>>> learnt = m.conflict(s, 1, "none", 0)
>>> m.get_clause(s, learnt, None, True)
[-1]
"""),
    F("minimize", "Learning", "minimise a learnt clause", (
        _v("Optional[int]", ID),
        _v("Optional[int]", ID, _a("mode", "mode", "_Atom"))),
      "the clause's length afterwards; `None` when the shortened clause duplicated another `alpha` clause "
      "and was deleted",
      [("badarg", "a bad id, an empty slot, a clause outside `alpha`, or a bad mode")],
      (), {"mode": MINIMIZE_MODES},
      "Removes from a learnt clause (in `alpha`) the literals implied false by the others through their "
      "implication clauses; call it before backtracking. `local` (the default) removes a literal when "
      "every other literal of its implication clause is in the clause or at level 0; `global` and "
      "`recursive` (the same) also follow implications through levels 1..current - 1. The first "
      "literal is always kept and the order of the others is kept.",
      """
>>> s = m.new({})
>>> m.add_variables(s, 4)
(1, 4)
>>> m.add_clause(s, [-1, 2]), m.add_clause(s, [-3, 4]), m.add_clause(s, [-1, -2, -4])
((True, 0), (True, 1), (True, 2))
>>> m.push(s), m.bind(s, 3), m.bcp(s), m.push(s), m.bind(s, 1), m.bcp(s)
(0, True, True, 1, True, False)
>>> learnt = m.add_clause(s, [-1, -4, -3], "alpha")[1]
>>> m.minimize(s, learnt), m.get_clause(s, learnt, None, True)
(2, [-1, -3])
"""),
    F("move_clause", "Learning", "activate a learnt clause", (
        _v("Union[bool, Tuple[bool, int]]", ID, SET),),
      "`(attached, new_id)`, or `True` for a clause of one literal (deleted; its literal is made true at "
      "level 0)",
      [("badarg", "a bad id, an empty slot, a clause outside `alpha`, or a target other than `gamma`")],
      (), {"clause_set": ("gamma",)},
      "Moves a clause from `alpha` to `gamma` under a new id and watches it; when it is unit under the "
      "current assignment its one unassigned literal (the first, for a learnt clause after the backjump) "
      "is assigned at once, with the clause as implication clause.",
      """
>>> s = m.new({})
>>> m.add_variables(s, 2)
(1, 2)
>>> learnt = m.add_clause(s, [1, 2], "alpha")[1]
>>> m.move_clause(s, learnt, "gamma"), m.info(s, "number_of_learnt_clauses")
((True, 1073741824), 1)
"""),
    # ---- marks ---------------------------------------------------------------------------
    F("unmark", "Marks", "clear all marks", (
        _v("None"),),
      "`None`",
      [("badarg", "not a handle")], (), {},
      "Empties the set of marked literals.",
      """
>>> s = m.new({})
>>> m.unmark(s)
"""),
    F("mark", "Marks", "mark literals", (
        _v("None", MARKS),
        _v("None", MARKS, _a("reset", "bool", "bool"))),
      "`None`",
      [("badarg", "level 0 or a level beyond the level records, a set of another type, reset not `True`/`False`"),
       ("literal", "a literal of the set does not decode")],
      ("literal",), {},
      "Marks literals, at most one per variable (the first mark of a variable stays, with its polarity). "
      "The set is a level (the literals true at that level) or a tuple or list of literals. The marks are "
      "cleared first unless reset is `False`. `conflict/4` clears all marks.",
      """
>>> s = m.new({})
>>> m.add_variables(s, 3)
(1, 3)
>>> m.mark(s, [-3, 2, 3]), m.get_marked(s, False)
(None, [-3, 2])
"""),
    F("intersect_marks", "Marks", "keep the marks a set also holds", (
        _v("None", MARKS),),
      "`None`",
      [("badarg", "a level out of range or a set of another type"),
       ("literal", "a literal of the set does not decode")],
      ("literal",), {},
      "Keeps only the marked literals that the set contains with the same polarity; their order stays.",
      """
>>> s = m.new({})
>>> m.add_variables(s, 3)
(1, 3)
>>> m.mark(s, [1, -2, 3]), m.intersect_marks(s, (3, 2, 1)), m.get_marked(s, True)
(None, None, (1, 3))
"""),
    F("intersect_var", "Marks", "which literals of a set hit the marks", (
        _v("Union[List[Any], Tuple[Any, ...]]", LIT, MARKS, AS_TUPLE),),
      "one report per literal of the set whose variable is marked: the literal itself when it is the "
      "marked literal, `(lit, marked)` when the variable is marked with the other polarity",
      [("badarg", "a bad set or as_tuple"), ("literal", "lit or a literal of the set does not decode")],
      ("literal",), {},
      "Compares a set with the marks without changing them. `lit` is only checked and copied into the "
      "reports, so a caller can tag them.",
      """
>>> s = m.new({})
>>> m.add_variables(s, 7)
(1, 7)
>>> m.mark(s, [-3, 4]), m.intersect_var(s, 7, [3, 4, 5], False)
(None, [(7, -3), 4])
"""),
    F("get_marked", "Marks", "list the marked literals", (
        _v("Union[Tuple[_Literal, ...], List[_Literal]]", AS_TUPLE),),
      "the marked literals in the order they were marked, as a tuple or a list",
      [("badarg", "as_tuple not `True`/`False`")],
      (), {},
      "Reads the marks.",
      """
>>> s = m.new({})
>>> m.get_marked(s, True)
()
"""),
    F("rand", "Decision order", "a random number", (
        _v("int"),),
      "an `int` in 0..4294967295 from the solver's generator",
      [("badarg", "not a handle")], (), {},
      "Draws from the generator seeded by the option `seed` (the same non-zero seed gives the same "
      "sequence).",
      """
>>> a, b = m.new({"seed": 5}), m.new({"seed": 5})
>>> m.rand(a) == m.rand(b)
True
"""),
]

BY_NAME = {function.name: function for function in FUNCTIONS}

# Argument kinds after the handle, per (name, arity): what the robustness
# tests feed each position.
SIGNATURES = {
    (f.name, len(v.arguments)): tuple(a.kind for a in v.arguments if a.kind != "handle")
    for f in FUNCTIONS for v in f.variants
}


def signature(name, arity):
    """The ``Variant`` of a function name and arity."""
    for variant in BY_NAME[name].variants:
        if len(variant.arguments) == arity:
            return variant
    raise KeyError("%s/%d" % (name, arity))


assert len(FUNCTIONS) == 70 and len(SIGNATURES) == 93
