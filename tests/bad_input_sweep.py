"""Child process of test_bad_input_never_crashes.py: feeds every awkward value
to every argument position of every function and arity of the given names,
the other arguments valid, and writes a JSON summary on its last output
line. A crash ends the process; the parent reports it with its signal.

    python3 bad_input_sweep.py NAME [NAME ...]
"""
import json
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
_module_dir = os.environ.get("MIRL_TEST_MODULE_DIR")
if _module_dir:
    sys.path.insert(0, os.path.join(os.path.dirname(HERE), "python"))
    sys.path.insert(0, _module_dir)
sys.path.insert(0, HERE)

import mirl_nif  # noqa: E402
from call_signatures import (  # noqa: E402
    KEYS_FOR, REFUSALS, SIGNATURES, awkward_values, check_state, visible_invariants,
)

# A valid argument of each kind for the prepared solver below.
VALID = {
    "lit": 1, "var": 2, "lits": [1, -2], "id": 0, "level": 0, "bool": False, "set": 0,
    "value": True, "map": {}, "count": 1, "int": 3, "dist": 1, "symkey": "k", "symval": 1,
    "topics": "variable", "mode": "local", "sortkey": "+rank", "setarg": [1, 2], "any": None,
}


# What a function answers for a literal or variable argument that does not
# decode: the atom it raises, or badarg.
UNDECODABLE = dict.fromkeys(["value", "bound", "bind", "decide", "is_equal", "subst", "bcp", "mark",
                             "intersect_marks", "intersect_var", "del_clause"], "literal")
UNDECODABLE.update(dict.fromkeys(["is_variable", "is_bound", "isused", "isatom", "implication_clause",
                                  "implication_level", "next_unbound", "bump", "variable_info"], "variable"))
UNDECODABLE.update(dict.fromkeys(["literal_info", "queue_next", "add_symbol", "add_clause", "find_clause",
                                  "get_clause", "get_clauses", "order_first", "order_last", "set_user_count"],
                                 "badarg"))


def decodes(value, variables):
    """Whether a value is a literal of a solver with this many variables."""
    if value is True or value is False:
        return True
    return isinstance(value, int) and 1 <= abs(value) <= variables


def prepared_solver():
    """Variables, clauses in several sets, a symbol, a decision level with
    propagated bindings and marks: enough state for a refusal to disturb."""
    s = mirl_nif.new({"xref": True, "hash": True})
    mirl_nif.add_variables(s, 8, False, True)
    for clause in ([1, 2], [-1, 3], [2, 3, 4], [-4, -5, 6]):
        mirl_nif.add_clause(s, clause)
    mirl_nif.add_clause(s, [1, -6], 3)
    mirl_nif.add_clause(s, [5, 7, 8], 1)
    mirl_nif.add_symbol(s, 1, "k")
    mirl_nif.push(s)
    mirl_nif.decide(s, -1)
    mirl_nif.bcp(s)
    mirl_nif.mark(s, [2, -3])
    return s


def fingerprint(s):
    """What a caller sees of a solver, for telling whether it changed."""
    n = mirl_nif.info(s, "number_of_variables")
    clauses = []
    for kind in range(4):
        for position in range(mirl_nif.clauseset_size(s, kind)):
            try:
                clauses.append(mirl_nif.get_clause(s, (kind << 30) | position, None, True))
            except TypeError:
                clauses.append(None)
    return (n, mirl_nif.level(s), mirl_nif.get_nbindings(s, n + 1, True), tuple(clauses),
            mirl_nif.get_marked(s, True), mirl_nif.first_symbol(s))


def still_solves(s):
    """Fresh variables and clauses on the swept solver still propagate to the
    conflict they must reach: -z implies -x and -y, which falsify [x, y]."""
    mirl_nif.bcp(s)
    first, last = mirl_nif.add_variables(s, 3, False, True)
    x, y, z = first, first + 1, last
    for clause in ([x, y], [-x, z], [-y, z]):
        mirl_nif.add_clause(s, clause)
    mirl_nif.push(s)
    assert mirl_nif.bind(s, -z) is True
    assert mirl_nif.bcp(s) is False, "the new clauses must conflict"
    assert mirl_nif.value(s, x) is False or mirl_nif.value(s, y) is False
    mirl_nif.pop(s)


def sweep(name, failures, counts):
    for (fname, arity), kinds in sorted(SIGNATURES.items()):
        if fname != name:
            continue
        function = getattr(mirl_nif, name)
        slots = (("map",) if name == "new" else ("handle",) + kinds)
        for position, slot_kind in enumerate(slots):
            s = prepared_solver()
            other = prepared_solver()
            before_other = fingerprint(other)
            values = awkward_values(other)
            if name in ("new", "clone") and slot_kind == "map":
                values += [{key: v} for key in ("size", "seed", "max_conflicting", "level", "set")
                           for v in awkward_values()[:40]]
            for value in values:
                args = [s] + [KEYS_FOR.get(name, ["level"])[0] if k == "key" else VALID[k] for k in kinds]
                if name == "new":
                    args = [VALID["map"]]
                args[position] = value
                counts["inputs"] += 1
                print(f"{name}/{arity} #{position} {type(value).__name__}", file=sys.stderr, flush=True)
                # next_unbound/2 takes the integer 0 as "the cursor", get_clause None as "exclude nothing".
                cursor = name == "next_unbound" and type(value) is int and value == 0
                no_exclusion = name == "get_clause" and value is None
                undecodable = (slot_kind in ("lit", "var") and not cursor and not no_exclusion
                               and not decodes(value, mirl_nif.info(s, "number_of_variables")))
                try:
                    function(*args)
                except TypeError as error:
                    text = str(error)
                    if undecodable and text != UNDECODABLE.get(name, text):
                        failures.append(f"{name}/{arity} arg {position}={value!r:.60}: {text}, "
                                        f"not {UNDECODABLE[name]}")
                    elif text not in REFUSALS:
                        failures.append(f"{name}/{arity} arg {position}={value!r:.60}: TypeError({text})")
                    elif slot_kind == "handle" and value is not other and text != "badarg":
                        failures.append(f"{name}/{arity} with a non-handle {value!r:.60}: {text}, not badarg")
                except BaseException as error:  # noqa: B902 - anything else is a fault
                    failures.append(f"{name}/{arity} arg {position}={value!r:.60}: "
                                    f"{type(error).__name__}({str(error):.80})")
                else:
                    if undecodable and name in UNDECODABLE:
                        failures.append(f"{name}/{arity} arg {position}={value!r:.60} was accepted")
            try:
                check_state(s)
                visible_invariants(s)
                check_state(other)
                if position != 0:
                    # Passed only as an argument, the second solver is not touched.
                    assert fingerprint(other) == before_other, "a solver passed as an argument changed"
                still_solves(s)
                check_state(s)
            except AssertionError as error:
                failures.append(f"{name}/{arity} arg {position}: solver left inconsistent: {error}")


def main(names):
    failures, counts = [], {"inputs": 0}
    for name in names:
        sweep(name, failures, counts)
    print(json.dumps({"failures": failures[:50], "inputs": counts["inputs"]}))


if __name__ == "__main__":
    main(sys.argv[1:])
