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
# The focused mode's bump distance in places.  Every earlier measurement of
# the search policy ran with it, as the term then passed for "next" (an atom
# term is an int, which conflict/4 reads as a count of places); the rule
# "next" itself (ahead of every unassigned variable), on twelve structured
# and industrial instances, seed 0: q_query_3_l37_lambda 15.5 k -> 71.2 k
# conflicts, minor032 18.7 k -> 144.3 k, cmu-bmc-barrel6 14.6 k -> 65.1 k,
# manol-pipe-c9 unsolved in 30 s (bench/notes.md).
FOCUSED_BUMP = 78


class SearchPolicy:
    """When the reference solver restarts, how far conflict analysis moves
    the variables it meets, and when the learnt clauses are reduced.

    Restarts: whenever the glue of the recent learnt clauses (a moving
    average over about 32 conflicts) exceeds the average over the whole
    search by a quarter, at least 20 conflicts after the last restart.  A
    restart schedule given by the user replaces this rule (it is asked once
    per run, with the number of its own restarts).

    Modes: in the focused mode the variables of each conflict move 78
    places towards the front (which suits structured instances; the rule
    ``"next"``, ahead of every unassigned variable, needed several times
    the conflicts there); in the stable mode they move one place
    (``bump=1``, which suits random ones).  The search starts focused for
    1000 conflicts, then runs stable for as many clause visits.  From then on, at the end of each
    phase, the mode whose last phase learnt clauses of the lower average
    glue is preferred (focused on a tie) and gets phases 64 times as long
    as the other's; when the stable mode's clauses span more than 60% of
    the decision levels of their conflicts, over all its phases so far
    (random-like instances, pigeon holes: no locality for the focused mode
    to exploit), the stable mode is preferred and keeps the search for a
    thousand phase lengths.  A mode
    found preferred at the end of its own phase goes on at once.  Phase
    lengths double after each stable phase.
    A bump distance given by the user serves both modes.

    Where the modes' comparison finds locality, or focused clauses of much
    lower glue than the stable ones (pigeon holes), ``keep_fresh`` tells
    the reductions to keep the clauses learnt since the last one (False
    until the modes are first compared); ``local`` says the first alone
    (the reductions then vivify the clauses they keep).

    Reductions: after ``reduce_first`` conflicts, then ``reduce_step``
    conflicts further apart each time (they need a restart).

    ``after_conflict`` runs once per conflict; everything else once per
    solve, restart or reduction.  (The solver's conflict loop keeps the
    running sums ``fast``, ``glue_sum``, ``glue_count``, ``level_sum`` and
    ``since`` in local variables as ``after_conflict`` would update them,
    and stores them here before it calls anything else of this class.)
    """

    FAST = 1 / 32
    MARGIN = 1.25
    MIN_RUN = 20
    FIRST_PHASE = 1000
    PREFER_FOCUSED = 1.0
    LOCALITY = 0.6
    NONLOCAL_SHARE = 1000
    PREFERRED_SHARE = 64
    FRESH_GLUE = 0.75

    def __init__(self, schedule=None, adaptive=True, bumps=(FOCUSED_BUMP, 1), reduce_first=300, reduce_step=45,
                 visits=None):
        self.schedule = schedule
        self.adaptive = adaptive  # without a schedule: restart by glue, or never
        self.bumps = bumps  # distances of the focused and the stable mode
        self.visits = visits  # callable: clause visits so far
        self.mode = FOCUSED
        self.bump = bumps[0]
        self.fast = 0.0  # moving average of the recent glue
        self.glue_sum = 0
        self.glue_count = 0
        self.since = 0  # conflicts since the last restart
        self.own_restarts = 0  # restarts the user's schedule asked for
        self.run_end = float("inf")  # end of the schedule's current run
        self.phase_visits = None  # length of a phase in visits, once measured
        self.phase_start_visits = 0
        self.share = {FOCUSED: 1, STABLE: 1}  # phase lengths in phase_visits
        self.phase_share = 1  # that of the current phase
        self.phase_glue = {FOCUSED: 0.0, STABLE: 0.0}  # average glue of each mode's last phase
        self.phase_glue_sum = 0
        self.phase_glue_count = 0
        self.level_sum = 0  # decision levels of the conflicts
        self.phase_level = {FOCUSED: 0.0, STABLE: 0.0}  # average conflict level of each mode's last phase
        self.phase_level_sum = 0
        self.stable_glue = 0  # glue and conflict levels summed over the stable phases
        self.stable_level = 0
        self.reduce_first = reduce_first
        self.reduce_step = reduce_step
        self.reduce_at = reduce_first if reduce_first else float("inf")
        self.reductions = 0
        self.glue_of = {}  # learnt clause (its literal codes, compressed) -> its glue
        self.reduced_at = 0  # conflicts at the last reduction
        self.keep_fresh = False  # the reductions keep the clauses learnt since the last one
        self.local = False  # the last comparison of the modes found locality

    # -- once per solve, restart and reduction -----------------------------

    def start(self, run, conflicts):
        """A solve begins at ``conflicts``: the run record takes the bump."""
        run.bump = self.bump
        if self.schedule is not None:
            length = self.schedule(self.own_restarts)
            self.run_end = conflicts + length if length else float("inf")

    def restarted(self, conflicts):
        """A restart happened (for any reason)."""
        self.since = 0
        if self.glue_count:
            self.fast = self.glue_sum / self.glue_count

    def reduce_due(self, conflicts):
        if conflicts < self.reduce_at:
            return False
        self.reductions += 1
        self.reduce_at = conflicts + self.reduce_first + self.reduce_step * self.reductions
        return True

    # -- once per conflict ----------------------------------------------------

    def after_conflict(self, run):
        """Update the averages; True when the search should restart now."""
        glue = run.glue
        conflicts = run.conflicts
        self.fast += (glue - self.fast) * self.FAST
        self.glue_sum += glue
        self.glue_count += 1
        # Levels above the assumptions, as the glue counts them: with the
        # assumption levels counted, every search under a cube looked local.
        self.level_sum += run.level - run.placed
        self.since += 1
        if not conflicts & 127:
            self._switch_mode(run, conflicts)
        return self.restart_due(conflicts)

    def restart_due(self, conflicts):
        """True when the search should restart now (the averages are up to
        date)."""
        if conflicts >= self.reduce_at:
            return True
        if self.schedule is not None:
            if conflicts < self.run_end:
                return False
            self.own_restarts += 1
            length = self.schedule(self.own_restarts)
            self.run_end = conflicts + length if length else float("inf")
            return True
        return (
            self.adaptive
            and self.since >= self.MIN_RUN
            and self.fast * self.glue_count > self.MARGIN * self.glue_sum
        )

    def _switch_mode(self, run, conflicts):
        if self.bumps[0] == self.bumps[1]:
            return
        visits = self.visits() if self.visits is not None else conflicts
        if self.phase_visits is None:
            if conflicts < self.FIRST_PHASE:
                return
            self.phase_visits = visits
        elif visits - self.phase_start_visits < self.phase_visits * self.phase_share:
            return
        elif self.mode == STABLE:
            self.phase_visits *= 2
        # The average glue of the phase ending now, against the last phase of
        # the other mode, says which mode learns the better clauses here.
        count = self.glue_count - self.phase_glue_count
        self.phase_glue[self.mode] = (self.glue_sum - self.phase_glue_sum) / count if count else 0.0
        self.phase_level[self.mode] = (self.level_sum - self.phase_level_sum) / count if count else 0.0
        if self.mode == STABLE:
            self.stable_glue += self.glue_sum - self.phase_glue_sum
            self.stable_level += self.level_sum - self.phase_level_sum
        self.phase_glue_sum = self.glue_sum
        self.phase_level_sum = self.level_sum
        self.phase_glue_count = self.glue_count
        focused, stable = self.phase_glue[FOCUSED], self.phase_glue[STABLE]
        prefer = None
        if focused and stable:
            # Clauses that span most decision levels (random-like instances,
            # pigeon holes) leave the focused mode no locality to exploit.
            # Measured over every stable phase so far: a late short phase
            # alone can swing either way.
            local = self.stable_glue < self.LOCALITY * self.stable_level
            self.local = local
            self.keep_fresh = local or focused < self.FRESH_GLUE * stable
            prefer = FOCUSED if local and focused <= self.PREFER_FOCUSED * stable else STABLE
            share = self.PREFERRED_SHARE if local else self.NONLOCAL_SHARE
            self.share = {prefer: share, (STABLE if prefer == FOCUSED else FOCUSED): 1}
        self.phase_start_visits = visits
        if self.mode != prefer or self.phase_share >= self.share[prefer]:
            # Otherwise the mode just found better goes on, in a long phase.
            self.mode = STABLE if self.mode == FOCUSED else FOCUSED
            self.bump = run.bump = self.bumps[0] if self.mode == FOCUSED else self.bumps[1]
        self.phase_share = self.share[self.mode]
