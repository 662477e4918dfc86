"""Random call sequences over every public function, with valid and invalid
arguments mixed: every answer is a result or one of the library's refusals,
and after every call the solver is consistent, both as the build's checker
sees it (builds with MIRL_CHECKS) and as a caller can cross-check it."""
import os
import reprlib

import pytest

hypothesis = pytest.importorskip("hypothesis")
from hypothesis import HealthCheck, settings  # noqa: E402
from hypothesis import strategies as st  # noqa: E402
from hypothesis.stateful import RuleBasedStateMachine, initialize, invariant, rule  # noqa: E402

import mirl_nif  # noqa: E402
from call_signatures import (  # noqa: E402
    ATOM_INDEX, ATOM_NAMES, KEYS_FOR, OPTION_KEYS, REFUSALS, SIGNATURES, SORT_KEYS, awkward_values, check_state,
    visible_invariants,
)

# MIRL_FUZZ_EXAMPLES raises the effort for a long local hunt.
EXAMPLES = int(os.environ.get("MIRL_FUZZ_EXAMPLES", "40"))
FUNCTIONS = sorted(SIGNATURES)
TOPICS = ["variable", "atom", "number_of_variables", "number_of_bound_variables", "number_of_clauses",
          "number_of_dead_clauses", "max_level", "min_level", "max_bound", "number_of_subst_variables"]
CALLS = {"count": 0}
# The calls of the running example, shown with a failure so that it can be
# replayed as a plain test.
HISTORY = []


def call(function, *args):
    """The result, or the refusal text; anything else fails the test."""
    CALLS["count"] += 1
    HISTORY.append(f"{function.__name__}{reprlib.repr(tuple(args))}")
    try:
        result = function(*args)
    except TypeError as error:
        assert str(error) in REFUSALS, f"{function.__name__}{args!r} raised TypeError({error})"
        HISTORY.append(f"  -> TypeError({error})")
        return error
    HISTORY.append(f"  -> {reprlib.repr(result)}")
    return result


def checked_call(function, handle, *args):
    """call() on a solver, with the build's consistency check right after."""
    try:
        return call(function, handle, *args)
    finally:
        try:
            check_state(handle)
        except AssertionError as error:
            raise AssertionError(f"{error}\nafter:\n" + "\n".join(HISTORY[-80:])) from None


class SolverCalls(RuleBasedStateMachine):
    def __init__(self):
        super().__init__()
        self.other = mirl_nif.new({})
        mirl_nif.add_variables(self.other, 3)
        self.awkward = awkward_values(self.other)
        self.ids = []
        self.s = None
        HISTORY.clear()

    @initialize(xref=st.booleans(), hash=st.booleans(), all_used=st.booleans(),
                qtype=st.sampled_from(["lifo", "fifo", "recursive"]), variables=st.integers(0, 12))
    def create(self, xref, hash, all_used, qtype, variables):
        options = {"xref": xref, "hash": hash, "all_used": all_used, "qtype": qtype, "seed": 7}
        HISTORY.append(f"new({options!r})")
        self.s = mirl_nif.new(options)
        if variables:
            checked_call(mirl_nif.add_variables, self.s, variables, False, True)

    # ---- drawing arguments ----------------------------------------------------------

    def variables(self):
        return mirl_nif.info(self.s, "number_of_variables")

    def literal(self, data):
        n = self.variables()
        if n == 0 or data.draw(st.integers(0, 15)) == 0:
            return data.draw(st.sampled_from([True, False, 0, n + 1, -(n + 1)]))
        return data.draw(st.integers(1, n)) * data.draw(st.sampled_from([1, -1]))

    def literals(self, data):
        return [self.literal(data) for _ in range(data.draw(st.integers(0, 5)))]

    def clause_id(self, data):
        choice = data.draw(st.integers(0, 3))
        if choice == 0 or not self.ids:
            return (data.draw(st.integers(0, 3)) << 30) | data.draw(st.integers(0, 4))
        return data.draw(st.sampled_from(self.ids))

    def value(self, data):
        return data.draw(st.sampled_from([True, False, None, 0, 1, 2, 3, 5, 1024, "lifo", "fifo", "recursive",
                                          "default", "delta", "gamma", "alpha", "beta", [1, 2], [0, 3]]))

    def argument(self, data, kind, function=None):
        if data.draw(st.integers(0, 11)) == 0:
            return self.awkward_value(data)
        level = mirl_nif.level(self.s)
        if kind in ("lit", "var"):
            return self.literal(data)
        if kind == "lits":
            return self.literals(data)
        if kind == "id":
            return self.clause_id(data)
        if kind == "level":
            return data.draw(st.integers(0, level + 2))
        if kind == "bool":
            return data.draw(st.booleans())
        if kind == "set":
            return data.draw(st.sampled_from([0, 1, 2, 3, "delta", "gamma", "beta", "alpha"]))
        if kind == "key":
            name = data.draw(st.sampled_from(KEYS_FOR.get(function, ATOM_NAMES)))
            # By name, or by the atom's own term (which get_clauses/3 needs).
            return ATOM_INDEX[name] if data.draw(st.booleans()) else name
        if kind == "value":
            return self.value(data)
        if kind == "map":
            keys = data.draw(st.lists(st.sampled_from(OPTION_KEYS), max_size=3, unique=True))
            return {key: self.value(data) for key in keys}
        if kind == "count":
            return data.draw(st.integers(0, 6))
        if kind == "int":
            return data.draw(st.integers(-5, 2**32))
        if kind == "dist":
            return data.draw(st.one_of(st.integers(0, 6), st.floats(0, 10),
                                       st.sampled_from(["none", "next", "log2", "log10", "rank"])))
        if kind == "symkey":
            return data.draw(st.one_of(st.text(max_size=4), st.binary(max_size=4).map(bytearray),
                                       st.integers(-3, 3), st.tuples(st.integers(0, 3)),
                                       st.lists(st.integers(0, 255), max_size=3)))
        if kind == "symval":
            shape = data.draw(st.integers(0, 2))
            if shape == 0:
                return self.literal(data)
            literals = self.literals(data)
            return literals if shape == 1 else tuple(literals)
        if kind == "topics":
            return data.draw(st.one_of(st.sampled_from(TOPICS), st.lists(st.sampled_from(TOPICS), max_size=3)))
        if kind == "mode":
            return data.draw(st.sampled_from(["local", "global", "recursive"]))
        if kind == "sortkey":
            return data.draw(st.sampled_from(SORT_KEYS))
        if kind == "setarg":
            shape = data.draw(st.integers(0, 2))
            if shape == 0:
                return data.draw(st.integers(1, level + 1))
            literals = self.literals(data)
            return literals if shape == 1 else tuple(literals)
        return self.awkward_value(data)

    def awkward_value(self, data):
        # By position: some of these values refuse to be hashed.
        return self.awkward[data.draw(st.integers(0, len(self.awkward) - 1))]

    def remember(self, name, result):
        if name in ("add_clause", "move_clause") and isinstance(result, tuple):
            self.ids.append(result[1])
        elif name in ("conflict", "clauseset_first", "clauseset_next", "find_clause") and type(result) is int:
            self.ids.append(result)
        if len(self.ids) > 50:
            del self.ids[:25]

    # ---- rules ----------------------------------------------------------------------

    @rule(data=st.data(), signature=st.sampled_from(FUNCTIONS))
    def any_function(self, data, signature):
        name, arity = signature
        args = [self.argument(data, kind, name) for kind in SIGNATURES[signature]]
        # new/1 is the one function without a handle.
        if name == "new":
            result = call(mirl_nif.new, *args)
        else:
            result = checked_call(getattr(mirl_nif, name), self.s, *args)
        self.remember(name, result)
        if name in ("new", "clone") and not isinstance(result, TypeError):
            check_state(result)
            visible_invariants(result)

    @rule(data=st.data())
    def add_clause(self, data):
        literals = self.literals(data)
        result = checked_call(mirl_nif.add_clause, self.s, literals, data.draw(st.integers(0, 3)))
        self.remember("add_clause", result)

    @rule(count=st.integers(1, 4), used=st.booleans())
    def add_variables(self, count, used):
        checked_call(mirl_nif.add_variables, self.s, count, False, used)

    @rule(data=st.data())
    def search_step(self, data):
        """Decide, propagate, and on a conflict learn and backtrack."""
        s = self.s
        v = checked_call(mirl_nif.next_unbound, s)
        if type(v) is int:
            checked_call(mirl_nif.push, s)
            checked_call(mirl_nif.decide, s, v * data.draw(st.sampled_from([1, -1])))
        if checked_call(mirl_nif.bcp, s) is not False:
            return
        level = mirl_nif.level(s)
        learnt = checked_call(mirl_nif.conflict, s, level, data.draw(st.sampled_from(["next", 2, "none"])), 0)
        self.remember("conflict", learnt)
        if type(learnt) is int and data.draw(st.booleans()):
            checked_call(mirl_nif.minimize, s, learnt, data.draw(st.sampled_from(["local", "global"])))
        checked_call(mirl_nif.pop, s, max(0, level - 1))
        if type(learnt) is int:
            self.remember("move_clause", checked_call(mirl_nif.move_clause, s, learnt, 1))

    @rule(data=st.data())
    def substitute_twice(self, data):
        """subst(a, b) then subst(a, c) at level 0: a clause holding all three
        keeps a constant in two places ([a, false, false, d], or
        [-a, true, true]); a passive clause over b and c waits in set 3 across
        both and is then activated."""
        s = self.s
        first, _ = checked_call(mirl_nif.add_variables, s, 4)
        a, b, c, d = (first + k for k in range(4))
        b, c = (x * data.draw(st.sampled_from([1, -1])) for x in (b, c))
        checked_call(mirl_nif.pop, s, 0)
        checked_call(mirl_nif.config, s, "xref", True)
        self.remember("add_clause", checked_call(mirl_nif.add_clause, s, [a * data.draw(st.sampled_from([1, -1])),
                                                                         b, c, d]))
        passive = checked_call(mirl_nif.add_clause, s, [b, c * data.draw(st.sampled_from([1, -1])), d], 3)
        checked_call(mirl_nif.subst, s, a, b)
        checked_call(mirl_nif.subst, s, a, c)
        if isinstance(passive, tuple):
            activate = data.draw(st.sampled_from([mirl_nif.move_clause, mirl_nif.clean_clause]))
            self.remember("move_clause", checked_call(activate, s, passive[1], *([1] if activate is mirl_nif.move_clause
                                                                                   else [])))

    @rule()
    def lower_the_conflict_limit(self):
        """Two conflicts in one pass, then a limit of one: both stay readable
        until the next pass begins."""
        s = self.s
        checked_call(mirl_nif.config, s, "max_conflicting", 0)
        first, _ = checked_call(mirl_nif.add_variables, s, 3)
        x, y, z = first, first + 1, first + 2
        checked_call(mirl_nif.add_clause, s, [-x, -y])
        checked_call(mirl_nif.add_clause, s, [-x, -z])
        checked_call(mirl_nif.push, s)
        for lit in (y, z, x):
            checked_call(mirl_nif.bind, s, lit)
        if checked_call(mirl_nif.bcp, s) is False:
            conflicts = mirl_nif.info(s, "number_of_conflicting_clauses")
            checked_call(mirl_nif.config, s, "max_conflicting", 1)
            learnt = checked_call(mirl_nif.conflict, s, mirl_nif.level(s), "none", conflicts - 1)
            self.remember("conflict", learnt)
        checked_call(mirl_nif.pop, s, max(0, mirl_nif.level(s) - 1))

    @rule(data=st.data())
    def backtrack(self, data):
        if data.draw(st.booleans()):
            checked_call(mirl_nif.undo, self.s)
        else:
            checked_call(mirl_nif.pop, self.s, data.draw(st.integers(0, mirl_nif.level(self.s))))

    @rule()
    def swap_in_a_clone(self):
        copy = checked_call(mirl_nif.clone, self.s, {"level": -1, "set": [1, 2, 3], "queue": True})
        if not isinstance(copy, TypeError):
            check_state(copy)
            visible_invariants(copy)
            self.s = copy

    @invariant()
    def consistent(self):
        if self.s is None:
            return
        try:
            check_state(self.s)
            check_state(self.other)
            visible_invariants(self.s)
        except AssertionError as error:
            raise AssertionError(f"{error}\nafter:\n" + "\n".join(HISTORY[-80:])) from None


SolverCalls.TestCase.settings = settings(
    max_examples=EXAMPLES, stateful_step_count=40, deadline=None, database=None,
    derandomize="MIRL_FUZZ_EXAMPLES" not in os.environ,
    suppress_health_check=list(HealthCheck),
)
TestRandomCallSequences = SolverCalls.TestCase
