"""Atom terms of ``mirl_nif`` by name.

Atoms reach Python as the integer index of the atom in the module's atom
table.  The table starts with ``false`` and ``true`` and then holds the
library's names in the fixed order in which the library registers them at
load, so the index of every name is known in advance.  Most functions also
accept an atom by its name as a string, but a few compare some arguments with
the atom term itself (``clause_info/3``'s key, ``get_clauses/3``'s kind), and
passing the term skips a name lookup on every call.
"""

__all__ = ["atom", "atom_name", "ATOM_NAMES", "REGISTERED"]

# The library's registrations, in order (the rows of src/nif/atoms.cpp);
# "false" and "true" are already present (indexes 0 and 1) when the library
# registers them again.
REGISTERED = (
    "alpha", "atom", "bcp_counter", "beta", "clause_2_counter", "clause_3_counter",
    "clause_d_counter", "clause_n_counter", "conflict_counter", "dead", "default", "delta",
    "done", "error", "false", "fifo", "flags", "gamma", "hash", "implication",
    "implication_clause", "inqueue", "is_atom", "is_used", "jump", "length", "level", "lifo",
    "literal", "literal_integer", "literal_size", "local", "global", "mark", "max_bound",
    "max_conflicting", "max_level", "min_level", "number_of_bound_variables",
    "number_of_clauses", "number_of_conflicting_clauses", "number_of_dead_clauses",
    "number_of_learnt_clauses", "number_of_subst_variables", "number_of_unbound_variables",
    "number_of_variables", "off", "phase", "init_phase", "qtype", "queue", "recursive", "reset",
    "set", "size", "status", "symbol", "system_limit", "memory_limit", "toggle", "true",
    "turbo", "undefined", "unit", "use", "use_phase", "all_used", "value_packing", "variable",
    "mirl", "watch", "watch0", "watch1", "xref", "vsids", "none", "log2", "log10", "next",
    "version", "seed", "!", "identity", "+identity", "-identity", "=identity", "random",
    "+random", "-random", "=random", "degree", "+degree", "-degree", "=degree", "rank", "+rank",
    "-rank", "=rank", "user", "+user", "-user", "=user", "memory_literal_size",
    "memory_clause_size", "memory_variable_size", "memory_symbol_size", "memory_size",
)


def _table():
    names = ["false", "true"]
    for name in REGISTERED:
        if name not in names:
            names.append(name)
    return tuple(names)


ATOM_NAMES = _table()
_INDEX = {name: index for index, name in enumerate(ATOM_NAMES)}


def atom(name):
    """The atom term (an int) of one of the library's atom names."""
    try:
        return _INDEX[name]
    except KeyError:
        raise ValueError("mirl_nif has no atom %r" % (name,)) from None


def atom_name(term):
    """The name of an atom term the library returned."""
    if term is False or term is True:
        return "true" if term else "false"
    return ATOM_NAMES[term]
