"""The reference CDCL solver: a complete search written against the public
functions of ``mirl_nif``, one handle per ``Solver``.

The kernel does the propagation, the first-UIP analysis, minimisation and the
decision order; this file decides when to call what.  One conflict costs
seven calls: ``nbcp`` (propagate and decide until a conflict), ``level``,
``conflict``, ``minimize``, ``clause_info`` (the jump levels), ``pop`` and
``move_clause`` (attach the lemma, which asserts its first literal).  Restarts
return to level 0; so does the reduction that deletes the less recently used
half of the learnt clauses whenever they outgrow a slowly rising limit.
The names of the public methods follow the conventions PySAT users know.
"""

import time

import mirl_nif as _nif

from .atoms import atom
from .restarts import make_schedule

__all__ = ["Solver", "SolverError"]

_GAMMA = 1  # clause set of activated learnt clauses
_GAMMA_BASE = 1 << 30  # clause reference of position 0 of that set
_UNLIMITED = float("inf")
# Learnt clause database: at first at most a third of the clauses but at
# least _REDUCE_MIN, a limit that grows by 5% after 100, 150, 225, ...
# conflicts.  Reduction keeps the clauses analysis used last, not those it
# used most, and needs a larger database than activity-based deletion: on
# uniform random 3-SAT a limit of 2000 cost about twice the conflicts and
# half again the time of 8000.
_REDUCE_FRACTION = 1 / 3
_REDUCE_MIN = 8000
_REDUCE_GROWTH = 1.05
_ADJUST_FIRST = 100
_ADJUST_FACTOR = 1.5


class SolverError(RuntimeError):
    """The kernel answered something the search loop never expects."""


_JUMP = atom("jump")
_LENGTH = atom("length")
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


class Solver:
    """A CDCL solver over one ``mirl_nif`` handle.

    Options (all keyword-only):

    - ``bootstrap_with``: clauses to add at once (positional, as in PySAT).
    - ``restarts``: ``"luby"`` (default), ``"geometric"``, ``None`` or a
      callable ``schedule(restarts) -> conflicts of the next run``.
    - ``decision_policy``: ``None`` lets the kernel decide (``nbcp``); a
      callable ``policy(solver) -> literal or None`` chooses each decision
      literal itself (``None`` falls back to the kernel's order for that
      decision).
    - ``phase``: the polarity of first decisions (default ``False``); later
      decisions reuse each variable's last value.
    - ``seed``: 0 (default) keeps the order in which variables were created;
      another value shuffles the initial order and phases reproducibly.
    - ``bump``: how far the variables met by conflict analysis move towards
      the front of the decision order: a number of places (default 1, which
      did best on random 3-SAT: larger moves cost up to ten times more
      conflicts there), a float fraction of the variables, or ``"next"``
      (ahead of every unassigned variable), ``"log2"``, ``"log10"``,
      ``"rank"``, ``"none"``.
    - ``minimize``: ``"recursive"`` (default), ``"local"`` or ``None``.
    - ``reduce``: keep at most about this many learnt clauses at first
      (default: a third of the clauses, at least 8000); ``False`` never
      deletes learnt clauses.
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
        restarts="luby",
        decision_policy=None,
        phase=False,
        seed=0,
        bump=1,
        minimize="recursive",
        reduce=None,
        queue="fifo",
        proof=None,
        progress=None,
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
        self._schedule = make_schedule(restarts)
        self.decision_policy = decision_policy
        self._seed = int(seed)
        if isinstance(bump, str):
            if bump not in ("next", "log2", "log10", "rank", "none"):
                raise ValueError("unknown bump distance %r" % (bump,))
            bump = atom(bump)
        elif isinstance(bump, bool) or not isinstance(bump, (int, float)) or bump < 0:
            raise ValueError("the bump distance must be a non-negative number or a name")
        self._bump = bump
        self._minimize = None if minimize is None else atom(minimize)
        self._reduce_enabled = reduce is not False
        self._max_learnts = reduce if isinstance(reduce, int) and not isinstance(reduce, bool) else None
        self._adjust_interval = _ADJUST_FIRST
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
        self._conflict_budget = None
        self._propagation_budget = None
        self._pass_counter = 0
        self._pass_seen = 0
        self._root_units_written = 0
        self._conflicts = 0
        self._restarts = 0
        self._decisions = 0
        self._calls = 0
        self._reductions = 0
        self._deleted = 0
        self._learnt_units = 0
        self._learnt_literals = 0
        self._time = 0.0
        self._time_accum = 0.0
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
        literals = self._literals(clause)
        self._nclauses += 1
        if self._unsat:
            return False
        if not literals:
            self._unsat = True
            return False
        result = _nif.add_clause(self._handle, literals)
        if result is False or (result.__class__ is tuple and result[0] is False):
            self._unsat = True
        return not self._unsat

    def append_formula(self, formula, no_return=True):
        """Add every clause of an iterable of clauses."""
        add = self.add_clause
        for clause in formula:
            add(clause)
        return not self._unsat

    add_clauses = append_formula

    # -- budgets and interruption -------------------------------------------

    def conf_budget(self, budget=-1):
        """Let solving stop (answer None) after ``budget`` more conflicts;
        a negative budget removes the limit."""
        self._conflict_budget = None if budget is None or budget < 0 else self._conflicts + budget

    def prop_budget(self, budget=-1):
        """Let solving stop after ``budget`` more propagation passes (the
        kernel's ``bcp_counter``); a negative budget removes the limit."""
        if budget is None or budget < 0:
            self._propagation_budget = None
        else:
            self._propagation_budget = self._passes() + budget

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
        assumptions) or None (stopped by a budget or an interrupt)."""
        handle = self.handle
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
                _nif.pop(handle, 0)
        self._status = result
        self._time = time.perf_counter() - start
        self._time_accum += self._time
        return result

    def solve_limited(self, assumptions=(), expect_interrupt=False):
        """Same as ``solve``: budgets and interrupts are always honoured."""
        return self.solve(assumptions)

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

    def accum_stats(self):
        """Counters over the solver's life, with the keys PySAT uses."""
        return {
            "restarts": self._restarts,
            "conflicts": self._conflicts,
            "decisions": self._decisions_estimate(),
            "propagations": self._clause_visits(),
        }

    @property
    def stats(self):
        """Every counter: those of ``accum_stats`` and the solver's own."""
        handle = self.handle
        result = self.accum_stats()
        result.update(
            {
                "propagation_passes": self._passes(),
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
        handle = self._handle
        nbcp = _nif.nbcp
        bcp = _nif.bcp
        level = _nif.level
        conflict = _nif.conflict
        minimize = _nif.minimize
        clause_info = _nif.clause_info
        get_clause = _nif.get_clause
        pop = _nif.pop
        move_clause = _nif.move_clause
        jump = _JUMP
        bump = self._bump
        mode = self._minimize
        proof = self._proof
        policy = self.decision_policy
        schedule = self._schedule
        assumptions = self._assumptions
        progress = self.progress
        conflicts = self._conflicts
        conflict_limit = _UNLIMITED if self._conflict_budget is None else self._conflict_budget
        check_passes = self._propagation_budget is not None
        if self._max_learnts is None:
            self._max_learnts = max(_REDUCE_MIN, self._nclauses * _REDUCE_FRACTION)
        max_learnts = self._max_learnts if self._reduce_enabled else _UNLIMITED
        learnts = _nif.clauseset_size(handle, _GAMMA)
        adjust_interval = self._adjust_interval
        next_adjust = conflicts + adjust_interval
        run = schedule(self._restarts) if schedule is not None else None
        run_end = conflicts + run if run else _UNLIMITED
        placed = 0  # levels 1..placed hold the assumptions
        place = bool(assumptions)
        calls = 0
        learnt_literals = 0
        try:
            while True:
                if self._interrupted:
                    return None
                in_conflict = False
                if place:
                    outcome = self._place_assumptions(placed)
                    if outcome is False:
                        return False
                    if outcome is None:
                        in_conflict = True
                    else:
                        placed = outcome
                        place = False
                if not in_conflict:
                    if policy is None:
                        calls += 1
                        if nbcp(handle):
                            # nbcp answers True without propagating when no
                            # variable is left to decide: drain the queue.
                            calls += 1
                            if bcp(handle):
                                return True
                    else:
                        outcome = self._decide_by_policy(policy)
                        if outcome is not False:
                            return outcome
                # A conflict at the current level: learn, jump back, assert.
                conflicts += 1
                at = level(handle)
                if at == 0:
                    self._core = []
                    self._refute()
                    return False
                cid = conflict(handle, at, bump, 0)
                if cid.__class__ is not int:
                    raise SolverError("conflict analysis answered %r" % (cid,))
                size = minimize(handle, cid, mode) if mode is not None else clause_info(handle, cid, _LENGTH)
                if size is None:
                    raise SolverError("minimisation found a duplicate learnt clause")
                learnt_literals += size
                if proof is not None:
                    proof.add(get_clause(handle, cid, None, True))
                if size == 1:
                    target = 0
                    self._learnt_units += 1
                else:
                    target = clause_info(handle, cid, jump)[3]
                pop(handle, target)
                move_clause(handle, cid, _GAMMA)
                if place or target < placed:
                    # Assumptions above the target level are gone (or were
                    # never all placed): decide them again from there.
                    placed = target
                    place = True
                if size > 1:
                    learnts += 1
                if conflicts >= run_end or learnts > max_learnts:
                    # Restart; reducing needs level 0 as well.
                    pop(handle, 0)
                    self._restarts += 1
                    self._conflicts = conflicts
                    if learnts > max_learnts:
                        learnts = self._reduce()
                        # Binary clauses are kept: never let them alone
                        # call for the next reduction.
                        max_learnts = max(max_learnts, 2 * learnts)
                    if conflicts >= run_end:
                        run = schedule(self._restarts)
                        run_end = conflicts + run if run else _UNLIMITED
                    placed = 0
                    place = bool(assumptions)
                    if progress is not None:
                        progress(self)
                elif progress is not None and not conflicts & 1023:
                    self._conflicts = conflicts
                    progress(self)
                if conflicts >= next_adjust:
                    # Let the learnt clause database grow slowly.
                    max_learnts *= _REDUCE_GROWTH
                    adjust_interval *= _ADJUST_FACTOR
                    next_adjust = conflicts + adjust_interval
                if conflicts >= conflict_limit:
                    return None
                if check_passes and self._passes() >= self._propagation_budget:
                    return None
        finally:
            self._conflicts = conflicts
            if self._reduce_enabled:
                self._max_learnts = max_learnts
            self._adjust_interval = adjust_interval
            self._calls += calls
            self._learnt_literals += learnt_literals

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
        """At level 0: keep the more recently used half of the learnt clauses
        (and every binary one), delete the rest.  Level-0 assignments never
        need their implication clauses again, so those may go too; a proof
        first records them as units so that it stays checkable."""
        handle = self._handle
        proof = self._proof
        if proof is not None:
            fixed = _nif.get_bindings(handle, 0)
            for literal in fixed[self._root_units_written:]:
                proof.add([literal])
            self._root_units_written = len(fixed)
        _nif.clauseset_sort(handle, _GAMMA)
        size = _nif.clauseset_size(handle, _GAMMA)
        clause_info = _nif.clause_info
        del_clause = _nif.del_clause
        get_clause = _nif.get_clause
        length = _LENGTH
        deleted = 0
        for position in range(size - 1, size // 2 - 1, -1):
            cid = _GAMMA_BASE | position
            if clause_info(handle, cid, length) <= 2:
                continue
            if proof is not None:
                proof.delete(get_clause(handle, cid, None, True))
            del_clause(handle, cid)
            deleted += 1
        self._deleted += deleted
        self._reductions += 1
        return size - deleted

    def _read_model(self):
        handle = self._handle
        n = self._nvars
        model = list(range(-1, -n - 1, -1))
        for literal in _nif.get_nbindings(handle, n + 1, True):
            if literal:
                model[abs(literal) - 1] = literal
        return model
