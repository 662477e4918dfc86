"""Vivification of the reference solver's learnt clauses: shortening a kept
clause by unit propagation at level 0.

For a learnt clause C = (l1 ... lk), the negations of its literals are
bound one by one above level 0, each at a level of its own and followed by
a propagation.  The clause can be replaced by a shorter one as soon as

- the propagation conflicts: the literals whose negations were bound so
  far form the clause;
- a literal of C is found true: those literals and that one;
- a literal of C is found false: it is left out, and the others go on.

Every such clause is a subset of C that unit propagation derives from the
clauses held (C among them), so a proof stays checkable when it records the
shorter clause first and deletes C afterwards.  C may take part in the
propagation: whatever it implies is implied by the clauses held, and the
result still only drops literals of C.
"""

import collections
import itertools

import mirl_nif as _nif

from .atoms import atom

__all__ = ["save_phases", "vivify"]

_GAMMA = 1  # the clause set of the learnt clauses
_repeat = itertools.repeat
_PHASE = atom("phase")
_GROUP = 256  # clauses sorted together


def vivify(solver, candidates, budget):
    """Try to shorten the learnt clauses ``candidates`` (an iterable of
    pairs of clause id and key, the key being the clause's compressed
    literal codes under which its glue is kept), taken in that order in
    groups of ``_GROUP``, at level 0, until ``budget`` clause visits are
    spent.

    Within a group the literals of each clause are ordered by how many
    clauses of the group contain them (most first) and the clauses by those
    orders, so that consecutive clauses often start alike: each literal's
    negation is bound at a level of its own, and the levels of a common
    start are kept for the next clause.  The shortened clauses take the
    places of the old ones at level 0 once the group is done: a clause's
    glue moves to its new key (never above its length), and so does its
    membership of ``solver._held_keys``.  A clause shortened to one literal
    ends the round: that literal is a new level-0 fact, and the search
    propagates it at level 0 before anything is tried above it.  Returns the
    numbers of clauses tried and shortened, and of literals removed."""
    handle = solver._handle
    tried = solver._vivify_tried
    get_clause = _nif.get_clause
    visits = solver._clause_visits
    stop = visits() + budget
    # The saved phases as they were before the round (undoing a level saves
    # the values it undoes), read when the first group starts.
    phases = None
    attempts = shortened = removed = 0
    try:
        candidates = iter(candidates)
        while True:
            chunk = list(itertools.islice(candidates, _GROUP))
            if not chunk:
                break
            if _nif.level(handle) != 0 or _nif.queue_first(handle) is not False:
                # Literals waiting at level 0 must be propagated there by
                # the search; propagated above it they would be lost for
                # level 0.
                break
            if phases is None:
                phases = _saved_phases(handle, solver._nvars)
            group = []
            for cid, key in chunk:
                literals = get_clause(handle, cid)
                # True: satisfied at level 0 (the next reduction finds it
                # dead); False cannot happen to a clause the search left
                # unconflicting.  A clause is tried once (those the budget
                # leaves wait for the next round).
                if literals.__class__ is list and len(literals) > 2:
                    group.append((cid, key, literals))
                else:
                    tried.add(key)
            results, spent, done = _vivify_group(solver, handle, group, visits, stop)
            attempts += spent
            # The longer clauses first, while every literal they keep is
            # unassigned at level 0; then at most one new level-0 fact.
            units = [result for result in results if len(result[3]) == 1]
            for cid, key, literals, kept in [result for result in results if len(result[3]) > 1] + units[:1]:
                shortened += 1
                removed += len(literals) - len(kept)
                _replace(solver, handle, cid, key, kept)
            if done or units:
                break
    finally:
        if _nif.level(handle):
            _nif.pop(handle, 0)
        if phases:
            save_phases(handle, phases)
    return attempts, shortened, removed


def _vivify_group(solver, handle, group, visits, stop):
    """Vivify the clauses of ``group`` (clause id, key, literals) above level
    0.  Returns the shortened ones (with their new literals), the number of
    clauses tried and whether the budget ran out; back at level 0."""
    counts = collections.Counter(itertools.chain.from_iterable(literals for _, _, literals in group))
    rank = {literal: (-count, literal) for literal, count in counts.items()}
    rank_of = rank.__getitem__
    work = []
    for cid, key, literals in group:
        ordered = sorted(literals, key=rank_of)
        work.append((list(map(rank_of, ordered)), cid, key, literals, ordered))
    work.sort(key=lambda item: item[0])
    tried = solver._vivify_tried
    value = _nif.value
    bind = _nif.bind
    bcp = _nif.bcp
    push = _nif.push
    pop = _nif.pop
    assumed = []  # the literals whose negations levels 1, 2, ... hold
    results = []
    attempts = 0
    calls = 0
    done = False
    try:
        for _, cid, key, literals, ordered in work:
            attempts += 1
            tried.add(key)
            kept = []
            level = 0
            last = len(ordered) - 1
            for position, literal in enumerate(ordered):
                if level < len(assumed) and assumed[level] == literal:
                    # The levels of the start this clause shares with the
                    # one before hold its first assumptions.
                    kept.append(literal)
                    level += 1
                    continue
                if level < len(assumed):
                    pop(handle, level)
                    del assumed[level:]
                current = value(handle, literal)
                if current is False:
                    continue
                kept.append(literal)
                if current is True or position == last:
                    break
                push(handle)
                bind(handle, -literal)
                calls += 1
                if not bcp(handle):
                    # The conflicting level is no start for the next clause.
                    pop(handle, level)
                    break
                assumed.append(literal)
                level += 1
            if len(kept) < len(literals):
                results.append((cid, key, literals, kept))
            if visits() >= stop:
                done = True
                break
    finally:
        if _nif.level(handle):
            pop(handle, 0)
        solver._calls += calls
    return results, attempts, done


def _saved_phases(handle, count):
    """The saved phases of variables 1..count as the literals they make
    true (variables without one left out)."""
    variables = range(1, count + 1)
    phases = map(_nif.variable_info, _repeat(handle), variables, _repeat(_PHASE))
    return [variable if phase > 0 else -variable for variable, phase in zip(variables, phases) if phase is not None]


def save_phases(handle, literals):
    """At level 0: make ``literals`` the saved phases of their variables (a
    level of plain bindings, undone at once, saves each value but the
    level's first, which counts as its decision: that one is bound again
    second in another level).  Variables fixed at level 0 keep theirs."""
    bind = _nif.bind
    _nif.push(handle)
    for _ in map(bind, _repeat(handle, len(literals)), literals):
        pass
    entries = _nif.get_bindings(handle)
    _nif.pop(handle, 0)
    if len(entries) >= 2:
        _nif.push(handle)
        bind(handle, entries[1])
        bind(handle, entries[0])
        _nif.pop(handle, 0)


def _replace(solver, handle, cid, key, kept):
    """At level 0: put the clause ``kept`` (literals of the learnt clause
    ``cid``, unassigned at level 0) in its place."""
    proof = solver._proof
    glue_of = solver._policy.glue_of
    held = solver._held_keys
    glue = glue_of.pop(key, None)
    was_held = key in held
    held.discard(key)
    solver._vivify_tried.discard(key)
    new_key = bytes(_nif.compress_clause(handle, kept)) if len(kept) > 1 else None
    # The same clause may be held already (learnt again since, or another
    # clause of the group shortened alike): then the old one simply goes.
    duplicate = new_key in glue_of
    if proof is not None:
        if not duplicate:
            proof.add(kept)
        proof.delete(_nif.get_clause(handle, cid, None, True))
    if not duplicate:
        # A single literal becomes a level-0 fact, propagated by the
        # search's next pass.
        _nif.add_clause(handle, kept, _GAMMA)
        if new_key is not None:
            glue_of[new_key] = len(kept) if glue is None else min(glue, len(kept))
            solver._vivify_tried.add(new_key)
            if was_held:
                held.add(new_key)
    _nif.del_clause(handle, cid)
