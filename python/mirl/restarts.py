"""Restart schedules for the reference solver.

A schedule is any callable that takes the number of restarts made so far and
returns how many conflicts the next run may last (``None`` or 0: never restart
again).  The solver asks it once per run, so a schedule can be arbitrary
Python without slowing the conflict loop.
"""

import math
from fractions import Fraction

__all__ = ["luby", "Luby", "Geometric", "Fixed", "SearchPolicy", "make_schedule"]


def luby(i):
    """The i-th element (0-based) of the sequence 1 1 2 1 1 2 4 1 1 2 ..."""
    size, power = 1, 0
    while size < i + 1:
        power += 1
        size = 2 * size + 1
    while size - 1 != i:
        size = (size - 1) >> 1
        power -= 1
        i %= size
    return 1 << power


class Luby:
    """Runs of ``unit`` times the Luby sequence: 1, 1, 2, 1, 1, 2, 4, ..."""

    def __init__(self, unit=100):
        if unit <= 0:
            raise ValueError("the Luby unit must be positive")
        self.unit = unit

    def __call__(self, restarts):
        return self.unit * luby(restarts)

    def __repr__(self):
        return "Luby(%d)" % self.unit


class Geometric:
    """Runs growing geometrically: first, first*factor, first*factor**2, ...
    each rounded down, computed exactly with integers (the factor is taken
    as a fraction) and capped at ``cap`` conflicts, so any number of
    restarts is fine."""

    CAP = 1 << 31

    def __init__(self, first=100, factor=1.5, cap=CAP):
        if first <= 0 or factor < 1 or cap < first:
            raise ValueError("a geometric schedule needs first > 0, factor >= 1 and cap >= first")
        self.first = first
        self.factor = factor
        self.cap = int(cap)
        ratio = Fraction(factor).limit_denominator(1 << 16)
        self._numerator = ratio.numerator
        self._denominator = ratio.denominator
        # Beyond this many restarts every run is at the cap (the powers need
        # not be computed).
        self._capped_from = None
        if ratio > 1:
            self._capped_from = int(math.log(self.cap / first) / math.log(ratio)) + 2

    def __call__(self, restarts):
        restarts = int(restarts)
        if self._capped_from is not None and restarts >= self._capped_from:
            return self.cap
        length = self.first * self._numerator ** restarts // self._denominator ** restarts
        return int(min(length, self.cap))

    def __repr__(self):
        return "Geometric(%d, %g)" % (self.first, self.factor)


class Fixed:
    """Every run lasts the same number of conflicts."""

    def __init__(self, interval):
        if interval <= 0:
            raise ValueError("the restart interval must be positive")
        self.interval = interval

    def __call__(self, restarts):
        return self.interval

    def __repr__(self):
        return "Fixed(%d)" % self.interval


def make_schedule(policy):
    """Turn a restart policy setting into a schedule callable.

    ``"luby"`` and ``"geometric"`` give the default schedules, ``None`` or
    ``"none"`` never restarts, ``"adaptive"`` (None as well: the search
    policy decides) and a callable is used as it is."""
    if policy is None or policy == "none":
        return None
    if policy == "adaptive":
        return None
    if policy == "luby":
        return Luby()
    if policy == "geometric":
        return Geometric()
    if callable(policy):
        return policy
    raise ValueError("unknown restart policy %r" % (policy,))


FOCUSED, STABLE = "focused", "stable"


class SearchPolicy:
    """When the reference solver restarts, how far conflict analysis moves
    the variables it meets, and when the learnt clauses are reduced.

    The search alternates two modes.  Focused: the variables of each conflict
    go ahead of every unassigned variable (``bump="next"``), and a restart
    comes whenever the glue of the recent learnt clauses (a fast moving
    average) exceeds the average over the whole search by a quarter, at
    least 50 conflicts after the last one.  Stable: variables move one place
    per conflict, and restarts follow the Luby sequence in units of 512
    conflicts.  The first focused phase lasts 1000 conflicts; each later
    phase lasts as many clause visits as the focused phase before it, and
    the pair doubles each time.  A restart schedule given by the user
    replaces both restart rules (it is asked once per run, with the number of
    its own restarts); a bump distance given by the user serves both
    modes.  ``after_conflict`` runs once per conflict; everything else
    once per restart or reduction.
    """

    FAST = 1 / 32
    MARGIN = 1.25
    MIN_RUN = 50
    STABLE_UNIT = 512
    FIRST_PHASE = 1000

    def __init__(self, schedule=None, adaptive=True, bumps=("next", 1), reduce_first=2000, reduce_step=300,
                 visits=None):
        self.schedule = schedule
        self.adaptive = adaptive  # without a schedule: restarts by mode, or never
        self.bumps = bumps  # distances of the focused and the stable mode
        self.visits = visits  # callable: clause visits so far
        self.mode = FOCUSED
        self.bump = bumps[0]
        self.fast = 0.0
        self.glue_sum = 0
        self.glue_count = 0
        self.since = 0
        self.own_restarts = 0
        self.stable_restarts = 0
        self.run_end = float("inf")
        self.phase_end = self.FIRST_PHASE  # in conflicts for the first phase
        self.phase_visits = None  # length of a phase in visits, once measured
        self.phase_start_visits = 0
        self.reduce_first = reduce_first
        self.reduce_step = reduce_step
        self.reduce_at = reduce_first
        self.reductions = 0
        self.glue_of = {}  # learnt clause (its compressed literals) -> its glue
        self.learnt_since_reduce = 0

    # -- once per solve, restart and reduction -----------------------------

    def start(self, run, conflicts):
        """A solve begins at ``conflicts``: the run state takes the bump."""
        run.bump = self.bump
        if self.schedule is not None:
            length = self.schedule(self.own_restarts)
            self.run_end = conflicts + length if length else float("inf")
        elif self.mode == STABLE and self.adaptive:
            self.run_end = conflicts + self.STABLE_UNIT * luby(self.stable_restarts)
        self.reduce_at = max(self.reduce_at, conflicts + 1) if self.reduce_first else float("inf")

    def restarted(self, conflicts):
        """A restart happened at ``conflicts`` (for any reason)."""
        self.since = 0
        if self.glue_count:
            self.fast = self.glue_sum / self.glue_count

    def reduce_due(self, conflicts):
        if conflicts < self.reduce_at:
            return False
        self.reductions += 1
        self.reduce_at = conflicts + self.reduce_first + self.reduce_step * self.reductions
        return True

    def reduced(self):
        self.learnt_since_reduce = 0

    def learnt(self, key, glue):
        self.glue_of[key] = glue
        self.learnt_since_reduce += 1

    # -- once per conflict ----------------------------------------------------

    def after_conflict(self, run):
        """Update the averages; True when the search should restart now."""
        glue = run.glue
        conflicts = run.conflicts
        self.fast += (glue - self.fast) * self.FAST
        self.glue_sum += glue
        self.glue_count += 1
        self.since += 1
        if conflicts >= self.reduce_at:
            return True
        if not conflicts & 127:
            self._switch_mode(run, conflicts)
        if self.schedule is not None or (self.adaptive and self.mode == STABLE):
            if conflicts < self.run_end:
                return False
            if self.schedule is not None:
                self.own_restarts += 1
                length = self.schedule(self.own_restarts)
            else:
                self.stable_restarts += 1
                length = self.STABLE_UNIT * luby(self.stable_restarts)
            self.run_end = conflicts + length if length else float("inf")
            return True
        if not self.adaptive:
            return False
        return self.since >= self.MIN_RUN and self.fast * self.glue_count > self.MARGIN * self.glue_sum

    def _switch_mode(self, run, conflicts):
        visits = self.visits() if self.visits is not None else conflicts
        if self.phase_visits is None:
            if conflicts < self.phase_end:
                return
            self.phase_visits = visits
        elif visits - self.phase_start_visits < self.phase_visits:
            return
        elif self.mode == STABLE:
            self.phase_visits *= 2
        self.phase_start_visits = visits
        self.mode = STABLE if self.mode == FOCUSED else FOCUSED
        self.bump = run.bump = self.bumps[0] if self.mode == FOCUSED else self.bumps[1]
        if self.mode == STABLE and self.schedule is None and self.adaptive:
            self.run_end = conflicts + self.STABLE_UNIT * luby(self.stable_restarts)
