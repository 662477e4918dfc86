"""Scaling: the cost of one unit of work must not grow with the instance.

- per propagation: nbcp/1 from level 0 on random 3-SAT at ratio 2 (mostly
  satisfied by decisions and propagation alone), seconds per trail assignment,
  next to MiniSat's whole solve of the same formula per propagation;
- per conflict: the reference solver on random 3-SAT at ratio 4.26 stopped
  after a fixed budget of conflicts, seconds per conflict and per trail
  assignment (counted as in propagation.py), next to MiniSat with the same
  conflict budget;
- host operations that walk a list or a map: one add_clause/2 and one
  find_clause/2 of a single clause of n literals, and new/1 given an options
  map of n entries (refused: every key is unknown), seconds per element.

Sizes run from 10^3 to 10^6; each figure is the median of several runs.
"""

import common

SIZES = [1_000, 10_000, 100_000, 1_000_000]
BUDGET = 300


def per_propagation(clauses):
    import mirl
    import mirl_nif

    variables = clauses // 2
    formula = common.random_3sat(variables, clauses, 5)
    samples = []
    for _ in range(3):
        solver = mirl.Solver()
        solver.ensure_vars(variables)
        solver.append_formula(formula)
        start = common.clock()
        mirl_nif.nbcp(solver.handle)
        seconds = common.clock() - start
        samples.append(seconds / max(1, mirl_nif.info(solver.handle, "number_of_bound_variables")))
    return common.median(samples), minisat_rate(formula, None)


def minisat_rate(formula, budget):
    """MiniSat's seconds per propagation (and per conflict) on the same formula."""
    from pysat.solvers import Minisat22

    per_prop, per_conflict = [], []
    for _ in range(3):
        with Minisat22(bootstrap_with=formula) as peer:
            if budget is not None:
                peer.conf_budget(budget)
            start = common.clock()
            peer.solve_limited() if budget is not None else peer.solve()
            seconds = common.clock() - start
            stats = peer.accum_stats()
        per_prop.append(seconds / max(1, stats["propagations"]))
        per_conflict.append(seconds / max(1, stats["conflicts"]))
    return common.median(per_prop), common.median(per_conflict)


def per_conflict(clauses):
    import mirl
    import mirl.solver as driver
    from propagation import Counting

    variables = int(clauses / 4.26)
    formula = common.random_3sat(variables, clauses, 9)
    samples, counter = [], None
    for run in range(3):
        saved = driver._nif
        if run == 2:
            counter = driver._nif = Counting(saved)
        try:
            solver = mirl.Solver()
            solver.ensure_vars(variables)
            solver.append_formula(formula)
            solver.conf_budget(BUDGET)
            start = common.clock()
            solver.solve_limited()
            seconds = common.clock() - start
            conflicts = max(1, solver.accum_stats()["conflicts"])
        finally:
            driver._nif = saved
        if run < 2:
            samples.append(seconds)
    seconds = common.median(samples)
    return seconds / conflicts, seconds / max(1, counter.assigned), conflicts, minisat_rate(formula, BUDGET)


def host_walks(n):
    import mirl_nif

    clause = list(range(1, n + 1))
    add, find, options = [], [], []
    bad = {"unknown_option_%d" % i: i for i in range(n)}
    for _ in range(5):
        handle = mirl_nif.new({"hash": True})
        mirl_nif.add_variables(handle, n)
        start = common.clock()
        mirl_nif.add_clause(handle, clause)
        add.append((common.clock() - start) / n)
        probe = clause[::-1]
        start = common.clock()
        mirl_nif.find_clause(handle, probe)
        find.append((common.clock() - start) / n)
        start = common.clock()
        try:
            mirl_nif.new(bad)
        except TypeError:
            pass
        options.append((common.clock() - start) / n)
    return common.median(add), common.median(find), common.median(options)


def main():
    common.use_module()
    rows = []
    for size in SIZES:
        prop, (peer_prop, _) = per_propagation(size)
        confl, assign, conflicts, (peer_assign, peer_confl) = per_conflict(size)
        add, find, options = host_walks(size)
        rows.append([size, prop * 1e9, peer_prop * 1e9, confl * 1e6, peer_confl * 1e6, assign * 1e9,
                     peer_assign * 1e9, conflicts, add * 1e9, find * 1e9, options * 1e9])
        print("%8d  nbcp %6.1f ns/assign (minisat %6.1f)  search %8.1f us/conflict (minisat %8.1f) %6.1f ns/assign "
              "(minisat %6.1f, %d conflicts)  add_clause %5.1f ns/lit  find_clause %5.1f ns/lit  new %6.2f ns/entry"
              % tuple(rows[-1]))
    common.save("scaling", {"rows": rows, "budget": BUDGET})
    return rows


if __name__ == "__main__":
    main()
