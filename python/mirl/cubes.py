"""Splitting a formula into cubes by lookahead on the kernel.

A cube is a list of literals to solve the formula under, as assumptions.  The
cubes of one split cover every model: each split on a variable v turns a cube
C into C + [v] and C + [-v], and the only literals added otherwise are those
C implies (the other phase of a literal whose propagation fails under C).

The lookahead runs on a clone of the solver's handle, so the solver itself is
left as it was.  At each cube it enters one level per literal, then scores
every candidate variable still unassigned: it binds each phase on a level of
its own, propagates and counts what the level assigned (the bindings
queries), and takes the variable with the largest product of the two counts.
A phase whose propagation fails is a failed literal: its complement joins
the cube; when both fail, or when entering the cube fails, the cube is
refuted on the spot and needs no worker.
"""

import mirl_nif as _nif

__all__ = ["Cubes", "make_cubes", "candidate_variables"]


class Cubes:
    """The result of a split: the ``open`` cubes (lists of literals) still
    to solve, the number of cubes ``refuted`` by propagation alone, the
    lookahead's effort in ``probes`` (phases bound and propagated), and for
    each open cube the number of variables its propagation ``assigned``."""

    def __init__(self, open_cubes, refuted, probes, assigned=None):
        self.open = open_cubes
        self.refuted = refuted
        self.probes = probes
        self.assigned = assigned if assigned is not None else [0] * len(open_cubes)

    def hardest_first(self):
        """Puts the open cubes whose propagation assigns the fewest variables
        (most likely the longest to solve) first; returns the split."""
        order = sorted(range(len(self.open)), key=self.assigned.__getitem__)
        self.open = [self.open[index] for index in order]
        self.assigned = [self.assigned[index] for index in order]
        return self

    def __repr__(self):
        return "Cubes(open=%d, refuted=%d, probes=%d)" % (len(self.open), self.refuted, self.probes)


def candidate_variables(clauses, count):
    """The ``count`` variables with the most occurrences, short clauses
    weighing more (a binary occurrence counts four times a long one)."""
    weight = {}
    for clause in clauses:
        w = 4 if len(clause) <= 2 else 2 if len(clause) == 3 else 1
        for literal in clause:
            variable = abs(literal)
            weight[variable] = weight.get(variable, 0) + w
    ranked = sorted(weight, key=lambda variable: (-weight[variable], variable))
    return ranked[:count]


class _Lookahead:
    def __init__(self, handle, candidates):
        self.handle = handle
        self.candidates = candidates
        self.probes = 0

    def enter(self, cube):
        """Back to level 0, then one level per literal of the cube; False
        when the cube's propagation fails."""
        handle = self.handle
        _nif.pop(handle, 0)
        for literal in cube:
            _nif.push(handle)
            if not _nif.bind(handle, literal) or not _nif.bcp(handle):
                _nif.pop(handle, 0)
                return False
        return True

    def probe(self, literal):
        """How many variables binding ``literal`` on a new level assigns;
        None when its propagation fails.  The level is taken back."""
        handle = self.handle
        level = _nif.push(handle)
        self.probes += 1
        if _nif.bind(handle, literal) and _nif.bcp(handle):
            count = _nif.get_number_of_bindings(handle, level + 1)
        else:
            count = None
        _nif.pop(handle, level)
        return count

    def split(self, cube):
        """The best variable to split ``cube`` on (None when every candidate
        is assigned), and the cube grown by its failed literals; the cube is
        None when it is refuted."""
        handle = self.handle
        value = _nif.value
        best = None
        best_score = -1
        for variable in self.candidates:
            if value(handle, variable) is not None:
                continue
            positive = self.probe(variable)
            negative = self.probe(-variable)
            if positive is None and negative is None:
                return None, None
            if positive is None or negative is None:
                implied = -variable if positive is None else variable
                cube = cube + [implied]
                _nif.push(handle)
                if not _nif.bind(handle, implied) or not _nif.bcp(handle):
                    return None, None
                continue
            score = positive * negative + positive + negative
            if score > best_score:
                best, best_score = variable, score
        return best, cube


def make_cubes(solver, target, candidates=None, max_candidates=48, cube=()):
    """Splits the formula of ``solver`` (a ``mirl.Solver`` or a kernel
    handle, at level 0) into at least ``target`` open cubes where the
    formula allows it: the cubes are split level by level until there are
    enough.  ``candidates`` are the variables the lookahead may split on
    (default: 1..``max_candidates``).  With a ``cube``, the cubes split
    that cube: each one extends it."""
    handle = getattr(solver, "handle", solver)
    if getattr(solver, "_unsat", False):
        return Cubes([], 1, 0)
    clone = _nif.clone(handle, {"queue": True})
    if not _nif.bcp(clone):
        return Cubes([], 1, 0)
    if candidates is None:
        nvars = _nif.info(clone, "number_of_variables")
        candidates = range(1, min(nvars, max_candidates) + 1)
    lookahead = _Lookahead(clone, list(candidates)[:max_candidates])
    layer = [list(cube)]
    refuted = 0
    while len(layer) < target:
        grown = []
        leaves = []
        for cube in layer:
            if not lookahead.enter(cube):
                refuted += 1
                continue
            variable, cube = lookahead.split(cube)
            if cube is None:
                refuted += 1
            elif variable is None:
                leaves.append(cube)
            else:
                grown += [cube + [variable], cube + [-variable]]
        if not grown:
            layer = leaves
            break
        layer = leaves + grown
    # Cubes of the last layer that propagation refutes never reach a worker.
    open_cubes = []
    assigned = []
    for cube in layer:
        if lookahead.enter(cube):
            open_cubes.append(cube)
            assigned.append(_nif.info(clone, "number_of_bound_variables"))
        else:
            refuted += 1
    _nif.pop(clone, 0)
    return Cubes(open_cubes, refuted, lookahead.probes, assigned)
