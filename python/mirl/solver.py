"""The reference CDCL solver: a complete search written against the public
functions of ``mirl_nif``, one handle per ``Solver``.

The kernel does the propagation, the first-UIP analysis, minimisation and the
decision order; this file decides when to call what.  One conflict costs
these calls: ``nbcp`` (propagate and decide until a conflict), ``level``,
``conflict``, ``minimize``, ``get_clause`` (the lemma's literals: the
levels of their variables give its glue and its assertion level), ``pop``
and ``move_clause`` (attach the lemma, which asserts its first literal).
Restarts return to level 0; so do the reductions of the learnt clauses.  When
to restart, how far analysis moves variables and when to reduce is the
``SearchPolicy``'s (restarts.py).  The names of the public methods follow the
conventions PySAT users know.
"""

import itertools
import time

import mirl_nif as _nif

from .atoms import atom
from .pysat_interface import PySATInterface
from .restarts import FOCUSED_BUMP, STABLE, SearchPolicy, make_schedule
from .vivify import save_phases, vivify

__all__ = ["Solver", "SolverError"]

_GAMMA = 1  # clause set of activated learnt clauses
_GAMMA_BASE = 1 << 30  # clause reference of position 0 of that set
_UNLIMITED = float("inf")
_CONFLICT = object()  # what a propagation step answers on a conflict

# The kernel functions of every conflict, looked up once.
_nbcp = _nif.nbcp
_level = _nif.level
_conflict = _nif.conflict
_minimize_clause = _nif.minimize
_get_clause = _nif.get_clause
_implication_level = _nif.implication_level
_compress_clause = _nif.compress_clause
_bindings_of_level = _nif.get_number_of_bindings
_pop_to = _nif.pop
_move_clause = _nif.move_clause
_info = _nif.info
_trail_from_start = _nif.get_nbindings
_repeat = itertools.repeat

# Learnt clause database.  A clause's glue is the number of decision levels
# among its literals when it is learnt.  Clauses of glue 2 or less (and
# binary ones) stay for good; those up to glue 6 stay while analysis keeps
# using them; the rest are ranked by glue, then recency.  Reductions come
# after 300 conflicts, then 45 conflicts further apart each time: on random
# 3-SAT that holds a quarter of the clauses 2000 and 300 held, with fewer
# conflicts (uuf200-04: 42.8 k against 50 k).
_GLUE_CORE = 2
_GLUE_TIER2 = 6
_GLUE_UNKNOWN = 1 << 20
_REDUCE_FIRST = 300
_REDUCE_STEP = 45
# Where the search policy finds structure (SearchPolicy.keep_fresh) a
# clause gets one interval to prove itself: those learnt or used by analysis
# since the last reduction all stay, and half of the others above glue 2 go.
# Two seeds each: minor032 79 k -> 43 k conflicts, cmu-bmc-barrel6 34 k ->
# 31 k, manol-pipe-c9 414 k either way; four seeds each: hole8 over 205 k
# -> 77 k, hole7 36 k -> 23 k.  Random 3-SAT keeps the rule above: there
# the new clauses of high glue are not worth an interval (uuf200-01/02/04,
# four seeds each, a quarter of the others kept: 352 k conflicts at 616
# visits each -> 401 k at 720).
_KEEP_FRESH = 2
# Backjumps over at most this many levels count the assignments they undo
# level by level (get_number_of_bindings); longer ones read the trail length
# before and after.
_COUNTED_JUMP = 8
# In the stable mode the longest trail met at a conflict is remembered and
# its values become the saved phases at every restart of that mode (the
# target); at the first restart after every _REPHASE * k conflicts (k = 1,
# 2, ...) the search for a longer one starts afresh.  Targets at every
# restart, 13 instances x 2 seeds (bench/notes.md): 1.90 M -> 1.08 M
# conflicts, most of it on satisfiable ones.
_REPHASE = 1000
_BOUND = atom("number_of_bound_variables")
# Where the search policy finds locality (SearchPolicy.local) each
# reduction tries to shorten the clauses it keeps (vivify.py), lowest glue
# first, for at most this share of the clause visits the search made since
# the last one.  Counts in bench/notes.md: fewer conflicts on the industrial
# UNSAT instances (manol-pipe-c9 199 k -> 110 k, schup-l2s-abp4-1-k31
# solved), more on 32bits_10; on random 3-SAT it only cost visits and on
# pigeon holes conflicts, so it stays off there.
_VIVIFY_SHARE = 0.05

class _Run:
    """The state of one ``solve`` call's search loop, shared by its steps."""

    __slots__ = (
        "conflicts",  # conflicts so far (over the solver's life)
        "conflict_limit",  # stop at this many conflicts
        "check_passes",  # a propagation or decision budget is set
        "placed",  # levels 1..placed hold the assumptions
        "place",  # the assumptions must be placed again
        "calls",  # nbcp/bcp calls made
        "learnt_literals",  # literals of the clauses learnt
        "bump",  # how far analysis moves the variables it meets
        "cid",  # the clause just learnt,
        "size",  # its length,
        "glue",  # its number of decision levels,
        "target",  # its assertion level
        "level",  # and the level of the conflict
        "glue_of",  # learnt clause (its literal codes, compressed) -> its glue
        "best",  # the longest trail met at a conflict in the stable mode
        "best_trail",  # its literals (or None)
    )


class SolverError(RuntimeError):
    """The kernel answered something the search loop never expects."""


_LENGTH = atom("length")
_STATUS = atom("status")
_DEAD = atom("dead")
_RECURSIVE = atom("recursive")


def _check_atom_table():
    """The loop passes atom terms by index; make sure the module's table
    has the order those indexes assume (done once)."""
    global _atoms_checked
    if not _atoms_checked:
        if _nif.info(_nif.new({}), "qtype") != _RECURSIVE:
            raise SolverError("mirl_nif's atom table is not in the expected order")
        _atoms_checked = True


_atoms_checked = False


class Solver(PySATInterface):
    """A CDCL solver over one ``mirl_nif`` handle.

    Options (all keyword-only):

    - ``bootstrap_with``: clauses to add at once (positional, as in PySAT).
    - ``name``, ``use_timer``, ``with_proof`` (``get_proof`` gives the
      proof lines), ``warm_start`` and ``incr``: PySAT's constructor
      arguments, so that PySAT's tools can create a ``Solver`` as they
      create theirs (``name`` is ignored; see ``pysat_interface.py``).
    - ``restarts``: ``"adaptive"`` (default: restart when the recent learnt
      clauses have a high glue), ``"luby"``, ``"geometric"``, ``None`` or a
      callable ``schedule(restarts) -> conflicts of the next run``.
    - ``decision_policy``: ``None`` lets the kernel decide (``nbcp``); a
      callable ``policy(solver) -> literal or None`` chooses each decision
      literal itself (``None`` falls back to the kernel's order for that
      decision).
    - ``phase``: the polarity of first decisions (default ``False``); later
      decisions reuse each variable's last value (in the stable mode the
      values of the longest trail met since the last rephase replace them
      at every restart; a rephase, at a restart after every 1000 * k
      conflicts, k = 1, 2, ..., starts the search for a longer one).
    - ``seed``: 0 (default) keeps the order in which variables were created;
      another value shuffles the initial order and phases reproducibly.
    - ``bump``: how far the variables met by conflict analysis move towards
      the front of the decision order: ``"adaptive"`` (default: 78 places
      in the focused mode, which suits structured instances, 1 in the
      stable mode, which suits random 3-SAT; see ``SearchPolicy``), a
      number of places, a float fraction of the variables, or ``"next"``
      (ahead of every unassigned variable), ``"log2"``, ``"log10"``,
      ``"rank"``, ``"none"``.
    - ``minimize``: ``"recursive"`` (default), ``"local"`` or ``None``.
    - ``reduce``: reduce the learnt clauses first after this many conflicts
      (default 300), later ones further apart (by 15% of it each time);
      ``False`` never deletes learnt clauses.  Each reduction deletes half
      of the clauses of higher glue (once the search policy finds
      structure, only among those neither learnt nor used since the last
      reduction; where it finds locality, the kept ones are then shortened
      where unit propagation allows, see ``_reduce``).
    - ``queue``: the kernel's propagation order, ``"recursive"``, ``"fifo"``
      or ``"lifo"``.
    - ``proof``: a ``DratWriter`` receiving every lemma and deletion.
    - ``progress``: a callable given the solver at every restart and every
      1024 conflicts (the command line prints its progress table from it).
    """

    def __init__(
        self,
        bootstrap_with=None,
        *,
        name="mirl",
        use_timer=False,
        with_proof=False,
        warm_start=False,
        restarts="adaptive",
        decision_policy=None,
        phase=False,
        seed=0,
        bump="adaptive",
        minimize="recursive",
        reduce=None,
        queue="fifo",
        proof=None,
        progress=None,
        **pysat_arguments,
    ):
        _check_atom_table()
        if minimize not in ("recursive", "global", "local", None):
            raise ValueError("unknown minimisation mode %r" % (minimize,))
        if queue not in ("recursive", "fifo", "lifo"):
            raise ValueError("unknown queue type %r" % (queue,))
        if not isinstance(phase, bool):
            raise ValueError("phase must be True or False")
        if not 0 <= int(seed) <= 0xFFFFFFFF:
            raise ValueError("the seed must be between 0 and 4294967295")
        self._handle = _nif.new(
            {"all_used": True, "use_phase": True, "init_phase": phase, "qtype": queue, "seed": int(seed)}
        )
        # Stop propagation at the first conflicting clause: the loop analyses
        # exactly one conflict.
        _nif.config(self._handle, "max_conflicting", 1)
        schedule = make_schedule(restarts)
        self.decision_policy = decision_policy
        self._seed = int(seed)
        if bump == "adaptive":
            bumps = (FOCUSED_BUMP, 1)
        elif isinstance(bump, str):
            if bump not in ("next", "log2", "log10", "rank", "none"):
                raise ValueError("unknown bump distance %r" % (bump,))
            # By name: the atom term is an int, which conflict/4 would read
            # as a count of places.
            bumps = (bump,) * 2
        elif isinstance(bump, bool) or not isinstance(bump, (int, float)) or bump < 0:
            raise ValueError("the bump distance must be a non-negative number or a name")
        else:
            bumps = (bump, bump)
        self._minimize = None if minimize is None else atom(minimize)
        if reduce is False:
            reduce_first = reduce_step = 0
        elif isinstance(reduce, int) and not isinstance(reduce, bool) and reduce > 0:
            reduce_first, reduce_step = reduce, max(1, reduce * _REDUCE_STEP // _REDUCE_FIRST)
        elif reduce is None:
            reduce_first, reduce_step = _REDUCE_FIRST, _REDUCE_STEP
        else:
            raise ValueError("reduce must be a positive number of conflicts, None or False")
        self._policy = SearchPolicy(
            schedule,
            adaptive=restarts == "adaptive",
            bumps=bumps,
            reduce_first=reduce_first,
            reduce_step=reduce_step,
            visits=self._clause_visits,
        )
        self._proof = proof
        self.progress = progress
        self._nvars = 0
        self._nclauses = 0
        self._unsat = False
        self._refuted = False
        self._ordered = False
        self._status = None
        self._model = None
        self._core = None
        self._assumptions = ()
        self._interrupted = False
        self._solving = False
        self._conflict_budget = None
        self._propagation_budget = None
        self._pass_counter = 0
        self._pass_seen = 0
        self._root_units_written = 0
        self._root_fixed = 0
        self._conflicts = 0
        self._restarts = 0
        self._decisions = 0
        self._calls = 0
        self._reductions = 0
        self._deleted = 0
        self._learnt_units = 0
        self._learnt_literals = 0
        self._best = 0
        self._best_trail = None
        self._rephases = 0
        self._rephase_at = _REPHASE
        self._held_keys = set()  # the learnt clauses kept by the last reduction
        self._vivify_tried = set()  # the kept learnt clauses vivification has tried
        self._vivify_mark = 0  # clause visits when the last vivification ended
        self._vivify_stats = [0, 0, 0, 0]  # clauses tried, shortened, literals removed, visits
        self._time = 0.0
        self._time_accum = 0.0
        self._init_pysat(name, use_timer, with_proof, warm_start, pysat_arguments)
        if bootstrap_with is not None:
            self.append_formula(bootstrap_with)

    # -- life cycle ---------------------------------------------------------

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.delete()
        return False

    def delete(self):
        """Drop the kernel handle; the solver cannot be used afterwards."""
        self._handle = None

    @property
    def handle(self):
        """The ``mirl_nif`` handle, for driving the kernel directly."""
        if self._handle is None:
            raise ValueError("the solver has been deleted")
        return self._handle

    # -- building the formula -----------------------------------------------

    def new_var(self):
        """Add one variable and return its number."""
        self._nvars = _nif.add_variable(self.handle)
        return self._nvars

    def nof_vars(self):
        return self._nvars

    def nof_clauses(self):
        """Number of clauses given to the solver (learnt clauses excluded)."""
        return self._nclauses

    def ensure_vars(self, count):
        """Make sure variables 1..count exist (a header's variable count)."""
        self._grow(int(count))

    def _grow(self, top):
        if top > self._nvars:
            _nif.add_variables(self.handle, top - self._nvars)
            self._nvars = top

    def _literals(self, clause):
        literals = [int(literal) for literal in clause]
        for literal in literals:
            if literal == 0:
                raise ValueError("0 is not a literal")
        if literals:
            self._grow(max(map(abs, literals)))
        return literals

    def add_clause(self, clause, no_return=True):
        """Add a clause (an iterable of non-zero ints); variables are created
        as needed.  Returns False once the formula is known unsatisfiable."""
        self._refuse_while_solving("add a clause")
        literals = self._literals(clause)
        self._nclauses += 1
        if self._unsat:
            return False
        if not literals:
            self._unsat = True
            return False
        result = _nif.add_clause(self._handle, literals)
        # Clauses are added at level 0, where a clause falsified by the
        # assignment is the empty clause (the kernel answers False or
        # (False, Id)); only there does it make the formula unsatisfiable.
        if result is False or (
            result.__class__ is tuple and result[0] is False and _nif.level(self._handle) == 0
        ):
            self._unsat = True
        return not self._unsat

    def append_formula(self, formula, no_return=True):
        """Add every clause of an iterable of clauses."""
        add = self.add_clause
        for clause in formula:
            add(clause)
        return not self._unsat

    add_clauses = append_formula

    def _refuse_while_solving(self, what):
        # The running search holds the kernel above level 0 and caches what
        # it knows about the formula: a clause or a nested solve arriving
        # from a callback or another thread would be lost or break it.
        if self._solving:
            raise SolverError("cannot %s while solve() is running (from a callback or another thread)" % what)

    # -- budgets and interruption -------------------------------------------

    # conf_budget, prop_budget, dec_budget and solve_limited: PySATInterface.

    def interrupt(self):
        """Ask a running solve to stop at its next conflict (it answers
        None); may be called from another thread.  Stays in force until
        ``clear_interrupt``."""
        self._interrupted = True

    def clear_interrupt(self):
        self._interrupted = False

    # -- solving ------------------------------------------------------------

    def solve(self, assumptions=()):
        """Solve under the given assumption literals: True (a model is
        available), False (unsatisfiable; ``get_core`` gives the failed
        assumptions) or None (stopped by an interrupt; ``solve_limited``
        also stops when a budget runs out)."""
        handle = self.handle
        self._refuse_while_solving("start solve()")
        self._solving = True
        try:
            return self._solve(handle, assumptions)
        finally:
            self._solving = False

    def _solve(self, handle, assumptions):
        start = time.perf_counter()
        self._model = None
        self._core = None
        self._assumptions = tuple(self._literals(assumptions))
        if self._unsat:
            result = False
            self._core = []
            self._refute()
        else:
            if not self._ordered:
                self._initial_order()
            try:
                result = self._search()
                if result is True:
                    self._model = self._read_model()
            finally:
                # Clauses are added at level 0; so is the next search started
                # (also after an exception from a user's policy).
                self._pop(0)
        self._status = result
        self._time = time.perf_counter() - start
        self._time_accum += self._time
        return result

    def get_status(self):
        """The answer of the last ``solve`` (None before any)."""
        return self._status

    def get_model(self):
        """The model of the last satisfiable call as signed ints, variable 1
        first; None otherwise."""
        return None if self._model is None else list(self._model)

    @property
    def model(self):
        return self.get_model()

    def get_core(self):
        """After an unsatisfiable call: assumption literals that cannot all
        hold together (empty when the clauses alone are unsatisfiable)."""
        return None if self._core is None else list(self._core)

    @property
    def failed_assumptions(self):
        return self.get_core()

    def value(self, literal):
        """Current value of a literal in the kernel: True, False or None."""
        return _nif.value(self.handle, literal)

    def level(self):
        return _nif.level(self.handle)

    # -- statistics -----------------------------------------------------------

    @property
    def stats(self):
        """Every counter: those of ``accum_stats`` and the solver's own."""
        handle = self.handle
        result = self.accum_stats()
        result.update(
            {
                "propagation_passes": self._passes(),
                "clause_visits": self._clause_visits(),
                "learnt_clauses": _nif.info(handle, "number_of_learnt_clauses"),
                "learnt_units": self._learnt_units,
                "learnt_literals": self._learnt_literals,
                "deleted_clauses": self._deleted,
                "reductions": self._reductions,
                "root_assignments": _nif.get_number_of_bindings(handle, 0),
                "variables": self._nvars,
                "clauses": self._nclauses,
                "time": self._time_accum,
            }
        )
        return result

    def time(self):
        """Seconds spent in the last ``solve``."""
        return self._time

    def time_accum(self):
        """Seconds spent in every ``solve`` so far."""
        return self._time_accum

    def _passes(self):
        # info/2 reports the low 32 bits of the counter: follow it modulo 2**32.
        now = _nif.info(self.handle, "bcp_counter")
        self._pass_counter += (now - self._pass_seen) & 0xFFFFFFFF
        self._pass_seen = now
        return self._pass_counter

    def _clause_visits(self):
        info = _nif.info
        handle = self.handle
        return (
            info(handle, "clause_2_counter") + info(handle, "clause_3_counter") + info(handle, "clause_n_counter")
        )

    def _decisions_estimate(self):
        # Every nbcp call starts with one pass that propagates what the
        # previous step asserted; every further pass follows a decision.
        if self.decision_policy is not None:
            return self._decisions
        return max(0, self._passes() - self._calls) + self._decisions

    # -- the search -----------------------------------------------------------

    def _refute(self):
        """The formula is unsatisfiable: end the proof with the empty clause."""
        self._unsat = True
        if self._proof is not None and not self._refuted:
            self._proof.add([])
        self._refuted = True

    def _initial_order(self):
        self._ordered = True
        if self._seed and self._nvars:
            _nif.order_sort(self._handle, "random", self._seed)

    def _search(self):
        """Propagate, learn, jump back, restart and reduce until an answer.
        Every step works on the record ``run``; the loop only orders them."""
        run = self._start_run()
        cls = type(self)
        if (
            cls._propagate is Solver._propagate
            and cls._learn is Solver._learn
            and cls._backjump is Solver._backjump
            and type(self._policy).after_conflict is SearchPolicy.after_conflict
        ):
            return self._search_inline(run)
        propagate = self._propagate
        learn = self._learn
        backjump = self._backjump
        policy = self._policy
        progress = self.progress
        try:
            while True:
                outcome = propagate(run)
                if outcome is not _CONFLICT:
                    return outcome
                if not learn(run):
                    return False
                backjump(run)
                if policy.after_conflict(run):
                    self._restart(run)
                elif progress is not None and not run.conflicts & 1023:
                    self._conflicts = run.conflicts
                    progress(self)
                if run.conflicts >= run.conflict_limit:
                    return None
                if run.check_passes and self._over_budget():
                    return None
        finally:
            self._conflicts = run.conflicts
            self._calls += run.calls
            self._learnt_literals += run.learnt_literals
            self._best = run.best
            self._best_trail = run.best_trail

    def _search_inline(self, run):
        """The loop of ``_search`` with the steps of a conflict written out
        (``_propagate`` without assumptions or a decision policy,
        ``_learn``, ``_backjump``) and their state in local variables: the
        same calls in the same order, without a method call and a record
        attribute for each value.  Subclasses that replace one of those
        steps (or the search policy's ``after_conflict``) get the plain
        loop."""
        handle = self._handle
        policy = self._policy
        propagate = self._propagate
        # The running sums of SearchPolicy.after_conflict, updated here the
        # same way and stored back before any other policy call.
        fast_weight = policy.FAST
        margin = policy.MARGIN
        min_run = policy.MIN_RUN
        adaptive = policy.adaptive
        scheduled = policy.schedule is not None
        fast = policy.fast
        glue_sum = policy.glue_sum
        glue_count = policy.glue_count
        level_sum = policy.level_sum
        since = policy.since
        progress = self.progress
        proof = self._proof
        mode = self._minimize
        glue_of = run.glue_of
        conflict_limit = run.conflict_limit
        conflicts = run.conflicts
        bump = run.bump
        best = run.best
        best_trail = run.best_trail
        calls = 0
        learnt_literals = 0
        units = 0
        undone = 0
        try:
            while True:
                # Propagate and decide until a conflict.
                if run.place or self.decision_policy is not None:
                    outcome = propagate(run)
                    if outcome is not _CONFLICT:
                        return outcome
                else:
                    if self._interrupted:
                        return None
                    calls += 1
                    if _nbcp(handle):
                        calls += 1
                        if _nif.bcp(handle):
                            return True
                # Learn (see _learn).
                conflicts += 1
                at = _level(handle)
                if at == 0:
                    self._core = []
                    self._refute()
                    return False
                cid = _conflict(handle, at, bump, 0)
                if cid.__class__ is not int:
                    raise SolverError("conflict analysis answered %r" % (cid,))
                size = _minimize_clause(handle, cid, mode) if mode is not None else _nif.clause_info(handle, cid, _LENGTH)
                if size is None:
                    raise SolverError("minimisation found a duplicate learnt clause")
                learnt_literals += size
                literals = _get_clause(handle, cid, None, True)
                if proof is not None:
                    proof.add(literals)
                if size == 1:
                    target = 0
                    glue = 1
                    units += 1
                else:
                    levels = set(map(_implication_level, _repeat(handle, size), literals))
                    glue = len(levels)
                    if run.placed:
                        placed = run.placed
                        glue = max(1, glue - sum(1 for level in levels if level <= placed))
                    glue_of[bytes(_compress_clause(handle, cid))] = glue
                    levels.discard(at)
                    target = max(levels)
                # Jump back (see _backjump).
                if policy.mode == STABLE:
                    trail = _info(handle, _BOUND)
                    if trail > best:
                        best = trail
                        best_trail = _trail_from_start(handle, trail, True)
                if at - target == 1:
                    undone += _bindings_of_level(handle, at)
                    _pop_to(handle, target)
                elif at - target <= _COUNTED_JUMP:
                    for level in range(target + 1, at + 1):
                        undone += _bindings_of_level(handle, level)
                    _pop_to(handle, target)
                else:
                    self._pop(target)
                _move_clause(handle, cid, _GAMMA)
                if run.place or target < run.placed:
                    run.placed = target
                    run.place = True
                # Restart, report and stop (see _search and
                # SearchPolicy.after_conflict).
                run.conflicts = conflicts
                fast += (glue - fast) * fast_weight
                glue_sum += glue
                glue_count += 1
                level_sum += at - run.placed
                since += 1
                if not conflicts & 127 or scheduled:
                    policy.fast = fast
                    policy.glue_sum = glue_sum
                    policy.glue_count = glue_count
                    policy.level_sum = level_sum
                    policy.since = since
                    if not conflicts & 127:
                        policy._switch_mode(run, conflicts)
                    restart = policy.restart_due(conflicts)
                else:
                    restart = conflicts >= policy.reduce_at or (
                        adaptive and since >= min_run and fast * glue_count > margin * glue_sum
                    )
                if restart:
                    policy.fast = fast
                    policy.glue_sum = glue_sum
                    policy.glue_count = glue_count
                    policy.level_sum = level_sum
                    policy.since = since
                    self._undone += undone
                    undone = 0
                    run.best = best
                    run.best_trail = best_trail
                    self._restart(run)
                    best = run.best
                    best_trail = run.best_trail
                    fast = policy.fast
                    since = policy.since
                elif progress is not None and not conflicts & 1023:
                    self._undone += undone
                    undone = 0
                    self._conflicts = conflicts
                    progress(self)
                bump = run.bump
                if conflicts >= conflict_limit:
                    return None
                if run.check_passes:
                    self._undone += undone
                    undone = 0
                    if self._over_budget():
                        return None
        finally:
            policy.fast = fast
            policy.glue_sum = glue_sum
            policy.glue_count = glue_count
            policy.level_sum = level_sum
            policy.since = since
            self._undone += undone
            self._learnt_units += units
            run.conflicts = conflicts
            run.best = best
            run.best_trail = best_trail
            run.calls += calls
            run.learnt_literals += learnt_literals
            self._conflicts = run.conflicts
            self._calls += run.calls
            self._learnt_literals += run.learnt_literals
            self._best = run.best
            self._best_trail = run.best_trail

    def _start_run(self):
        run = _Run()
        handle = self._handle
        run.conflicts = self._conflicts
        run.conflict_limit, run.check_passes = self._search_limits()
        run.placed = 0  # levels 1..placed hold the assumptions
        run.place = bool(self._assumptions)
        run.calls = 0
        run.learnt_literals = 0
        run.glue_of = self._policy.glue_of
        run.best = self._best
        run.best_trail = self._best_trail
        self._policy.start(run, run.conflicts)
        return run

    def _propagate(self, run):
        """Place the assumptions, then propagate and decide until a conflict
        (``_CONFLICT``), a model (True), an interrupt (None) or a false
        assumption (False)."""
        if self._interrupted:
            return None
        if run.place:
            outcome = self._place_assumptions(run.placed)
            if outcome is False:
                return False
            if outcome is None:
                return _CONFLICT
            run.placed = outcome
            run.place = False
        if self.decision_policy is None:
            handle = self._handle
            run.calls += 1
            if _nbcp(handle):
                # nbcp answers True without propagating when no variable is
                # left to decide: drain the queue.
                run.calls += 1
                if _nif.bcp(handle):
                    return True
            return _CONFLICT
        outcome = self._decide_by_policy(self.decision_policy)
        return _CONFLICT if outcome is False else outcome

    def _learn(self, run):
        """Analyse the conflict into a minimised clause; find its glue (the
        number of decision levels among its literals) and its assertion
        level.  False when the conflict is at level 0 (unsatisfiable)."""
        handle = self._handle
        run.conflicts += 1
        at = _level(handle)
        if at == 0:
            self._core = []
            self._refute()
            return False
        run.level = at
        cid = _conflict(handle, at, run.bump, 0)
        if cid.__class__ is not int:
            raise SolverError("conflict analysis answered %r" % (cid,))
        mode = self._minimize
        size = _minimize_clause(handle, cid, mode) if mode is not None else _nif.clause_info(handle, cid, _LENGTH)
        if size is None:
            raise SolverError("minimisation found a duplicate learnt clause")
        run.learnt_literals += size
        run.cid = cid
        run.size = size
        literals = _get_clause(handle, cid, None, True)
        if self._proof is not None:
            self._proof.add(literals)
        if size == 1:
            run.target = 0
            run.glue = 1
            return True
        # The asserting literal comes first and alone at the conflict level;
        # the highest level among the others is where it becomes unit.
        # implication_level takes a literal for its variable.
        levels = set(map(_implication_level, _repeat(handle, size), literals))
        glue = len(levels)
        if run.placed:
            # The assumption levels stay for the whole call, as level 0
            # does: counted in the glue, they made every lemma over them
            # look worse than it is, and reductions deleted the useful ones
            # (a cube of five assumptions took six times the conflicts it
            # takes as five unit clauses).
            glue = max(1, glue - sum(1 for level in levels if level <= run.placed))
        run.glue = glue
        run.glue_of[bytes(_compress_clause(handle, cid))] = glue
        levels.discard(at)
        run.target = max(levels)
        return True

    def _backjump(self, run):
        """Back to the assertion level; attach the lemma, which asserts its
        first literal there."""
        handle = self._handle
        target = run.target
        at = run.level
        if self._policy.mode == STABLE:
            trail = _info(handle, _BOUND)
            if trail > run.best:
                run.best = trail
                run.best_trail = _trail_from_start(handle, trail, True)
        if at - target <= _COUNTED_JUMP:
            # The assignments undone are the trail entries of the levels
            # left: a jump rarely leaves more than one or two, whose counts
            # are cheaper to read than the trail length before and after.
            undone = 0
            for level in range(target + 1, at + 1):
                undone += _bindings_of_level(handle, level)
            self._undone += undone
            _pop_to(handle, target)
        else:
            self._pop(target)
        _move_clause(handle, run.cid, _GAMMA)
        if run.size == 1:
            self._learnt_units += 1
        if run.place or target < run.placed:
            # Assumptions above the target level are gone (or were never all
            # placed): decide them again from there.
            run.placed = target
            run.place = True

    def _restart(self, run):
        """Back to level 0 (assumptions are placed again); reduce the learnt
        clauses when they are due; in the stable mode, rephase or take the
        target phases."""
        self._pop(0)
        self._restarts += 1
        self._conflicts = run.conflicts
        self._policy.restarted(run.conflicts)
        if self._policy.reduce_due(run.conflicts):
            self._reduce()
        if self._policy.mode == STABLE:
            if run.conflicts >= self._rephase_at:
                self._rephase(run)
            elif run.best_trail:
                # The longest trail since the last rephase is the target:
                # each run of the stable mode starts from its values again
                # rather than from wherever the last run's phases drifted.
                save_phases(self._handle, run.best_trail)
        run.placed = 0
        run.place = bool(self._assumptions)
        if self.progress is not None:
            self.progress(self)

    def _rephase(self, run):
        """At level 0: the values of the longest trail met in the stable
        mode become the saved phases (a level of plain bindings, undone at
        once, saves each value but the level's first), and the search for a
        longer one starts afresh."""
        self._rephases += 1
        self._rephase_at = run.conflicts + _REPHASE * (self._rephases + 1)
        literals = run.best_trail
        run.best = 0
        run.best_trail = None
        if literals:
            save_phases(self._handle, literals)

    def _place_assumptions(self, placed):
        """Decide the assumptions not yet true, one level each, from level
        ``placed`` up.  Returns the level reached, None on a conflict (left
        for the caller to analyse) or False when an assumption is false."""
        handle = self._handle
        value = _nif.value
        at = placed
        # First propagate what the last lemma asserted at this level, so that
        # assumptions it falsifies are seen as false.
        self._calls += 1
        if not _nif.bcp(handle):
            return None
        for literal in self._assumptions:
            current = value(handle, literal)
            if current is True:
                continue
            if current is False:
                self._core = self._failed_assumptions(literal)
                return False
            _nif.push(handle)
            _nif.bind(handle, literal)
            at += 1
            self._calls += 1
            if not _nif.bcp(handle):
                return None
        return at

    def _failed_assumptions(self, literal):
        """Assumptions whose propagation made ``literal`` (an assumption) false:
        the decisions reached backwards through the implication clauses."""
        handle = self._handle
        implication_level = _nif.implication_level
        implication_clause = _nif.implication_clause
        get_clause = _nif.get_clause
        core = [literal]
        start = abs(literal)
        if implication_level(handle, start) <= 0:
            return core
        seen = {start}
        stack = [start]
        while stack:
            variable = stack.pop()
            reason = implication_clause(handle, variable)
            if reason == -1:
                # Below the assumption levels every decision is an assumption.
                decided = variable if _nif.value(handle, variable) else -variable
                if decided not in core:
                    core.append(decided)
                continue
            for other in get_clause(handle, reason, None, True):
                other_variable = abs(other)
                if other_variable not in seen and implication_level(handle, other_variable) > 0:
                    seen.add(other_variable)
                    stack.append(other_variable)
        return core

    def _decide_by_policy(self, policy):
        """Propagate and decide with a user policy until a conflict (False),
        a full assignment (True) or an interrupt (None)."""
        handle = self._handle
        bcp = _nif.bcp
        push = _nif.push
        while True:
            self._calls += 1
            if not bcp(handle):
                return False
            if self._interrupted:
                return None
            literal = policy(self)
            if not literal:
                variable = _nif.next_unbound(handle)
                if variable is False:
                    return True
                push(handle)
                _nif.decide(handle, variable)
            else:
                literal = int(literal)
                if abs(literal) > self._nvars:
                    raise ValueError("the decision policy chose %d, which is no variable" % literal)
                if _nif.value(handle, literal) is not None:
                    raise ValueError("the decision policy chose %d, which is already assigned" % literal)
                push(handle)
                _nif.bind(handle, literal)
            self._decisions += 1

    def _reduce(self):
        """At level 0: delete the worse half of the learnt clauses that are
        neither binary nor of glue 2 or less, worse meaning a higher glue
        and, at equal glue, a less recent use by conflict analysis.  Clauses
        of glue up to 6 among the most recently used stay as well.  Once
        the search policy finds structure, every clause learnt or used
        since the last reduction stays instead, and half of the others go.
        Clauses satisfied at level 0 go whatever their glue.  Level-0
        assignments never need their implication clauses again, so those
        may go too; a proof first records them as units so that it stays
        checkable.

        Where the search policy finds locality, the kept clauses are then
        vivified (vivify.py): lowest glue first and, at equal glue, most
        recently used first, each clause once, for at most a twentieth of
        the clause visits the search made since the last reduction.  A
        clause that unit propagation shortens is replaced by the shorter
        clause (recorded in a proof before the old one is deleted), which
        takes over the old one's glue (at most its own length) and its
        place among the kept clauses; a clause shortened to one literal
        becomes a level-0 fact."""
        handle = self._handle
        proof = self._proof
        glue_of = self._policy.glue_of
        fixed = _nif.get_number_of_bindings(handle, 0)
        if proof is not None and fixed > self._root_units_written:
            for literal in _nif.get_bindings(handle, 0)[self._root_units_written:]:
                proof.add([literal])
            self._root_units_written = fixed
        # Sorting by the last use in analysis renumbers the clauses (most
        # recent first): their glue follows them by their literals.
        _nif.clauseset_sort(handle, _GAMMA)
        size = _nif.clauseset_size(handle, _GAMMA)
        ids = range(_GAMMA_BASE, _GAMMA_BASE + size)
        repeat = itertools.repeat
        keys = list(map(bytes, map(_nif.compress_clause, repeat(handle, size), ids)))
        glue = list(map(glue_of.get, keys, repeat(_GLUE_UNKNOWN, size)))
        if self._policy.keep_fresh:
            # Learnt or used since the last reduction: the positions up to
            # the last clause the last reduction did not see (a clause's
            # use stamp is never older than the clause).  The candidates
            # are the others above glue 2.
            held = self._held_keys
            recent = 0
            for position, key in enumerate(keys):
                if key not in held:
                    recent = position + 1
            candidates = [position for position, g in zip(range(recent, size), glue[recent:]) if g > _GLUE_CORE]
            kept = len(candidates) // _KEEP_FRESH
        else:
            # The candidates: glue above 6, or above 2 among the less
            # recently used.
            recent = max(0, min(self._conflicts - self._policy.reduced_at, size))
            candidates = [position for position, g in zip(range(recent), glue) if g > _GLUE_TIER2]
            candidates += [position for position, g in zip(range(recent, size), glue[recent:]) if g > _GLUE_CORE]
            kept = len(candidates) // 2
        # Ranked by glue and, at equal glue, by last use (a stable sort of
        # positions in ascending order).
        candidates.sort(key=glue.__getitem__)
        doomed = candidates[kept:]
        if fixed > self._root_fixed:
            # New level-0 facts: the clauses they satisfy are dead (detached)
            # and go whatever their glue.
            self._root_fixed = fixed
            status = list(map(_nif.clause_info, repeat(handle, size), ids, repeat(_STATUS, size)))
            doomed = set(doomed)
            doomed.update(position for position, state in enumerate(status) if state == _DEAD)
        doomed = sorted(doomed, reverse=True)
        doomed_ids = [_GAMMA_BASE | position for position in doomed]
        if proof is not None:
            get_clause = _nif.get_clause
            delete = proof.delete
            del_clause = _nif.del_clause
            for cid in doomed_ids:
                delete(get_clause(handle, cid, None, True))
                del_clause(handle, cid)
        else:
            for _ in map(_nif.del_clause, repeat(handle, len(doomed_ids)), doomed_ids):
                pass
        pop = glue_of.pop
        for key in map(keys.__getitem__, doomed):
            pop(key, None)
        self._held_keys = set(keys).difference(map(keys.__getitem__, doomed))
        deleted = len(doomed)
        self._policy.reduced_at = self._conflicts
        self._deleted += deleted
        self._reductions += 1
        self._vivify_kept(keys, glue, doomed)

    def _vivify_kept(self, keys, glue, doomed):
        """After a reduction, where the search policy finds locality: try
        to shorten the clauses it kept and that were never tried, lowest
        glue first and at equal glue most recently used first, within a
        share of the search's clause visits."""
        visits = self._clause_visits()
        budget = (visits - self._vivify_mark) * _VIVIFY_SHARE
        if not self._policy.local:
            self._vivify_mark = visits
            return
        tried = self._vivify_tried
        tried.intersection_update(self._held_keys)
        gone = set(doomed)
        order = [position for position, key in enumerate(keys) if position not in gone and key not in tried]
        order.sort(key=glue.__getitem__)
        outcome = vivify(self, ((_GAMMA_BASE | position, keys[position]) for position in order), budget)
        self._vivify_mark = self._clause_visits()
        outcome += (self._vivify_mark - visits,)
        self._vivify_stats = [a + b for a, b in zip(self._vivify_stats, outcome)]

    def _read_model(self):
        handle = self._handle
        n = self._nvars
        model = list(range(-1, -n - 1, -1))
        for literal in _nif.get_nbindings(handle, n + 1, True):
            if literal:
                model[abs(literal) - 1] = literal
        return model
