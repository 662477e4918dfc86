"""Restart schedules for the reference solver.

A schedule is any callable that takes the number of restarts made so far and
returns how many conflicts the next run may last (``None`` or 0: never restart
again).  The solver asks it once per run, so a schedule can be arbitrary
Python without slowing the conflict loop.
"""

__all__ = ["luby", "Luby", "Geometric", "Fixed", "make_schedule"]


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
    """Runs growing geometrically: first, first*factor, first*factor**2, ..."""

    def __init__(self, first=100, factor=1.5):
        if first <= 0 or factor < 1:
            raise ValueError("a geometric schedule needs first > 0 and factor >= 1")
        self.first = first
        self.factor = factor

    def __call__(self, restarts):
        return int(self.first * self.factor ** restarts)

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
    ``"none"`` never restarts, and a callable is used as it is."""
    if policy is None or policy == "none":
        return None
    if policy == "luby":
        return Luby()
    if policy == "geometric":
        return Geometric()
    if callable(policy):
        return policy
    raise ValueError("unknown restart policy %r" % (policy,))
