"""PySAT's own tools on mirl.Solver: RC2 (MaxSAT), FM (MaxSAT), MUSX (one
minimal unsatisfiable subset) and LBX (every minimal correction subset), each
run unchanged with its module's ``Solver`` replaced by a factory of
mirl.Solver, against the same tool on MiniSat on generated instances; and
PySAT's Solver methods on mirl.Solver against MiniSat."""

import random

import pytest

pytest.importorskip("pysat")

from pysat.examples import fm, lbx, musx, rc2  # noqa: E402
from pysat.formula import CNF, WCNF  # noqa: E402
from pysat.solvers import Minisat22  # noqa: E402
from pysat.solvers import Solver as PySATSolver  # noqa: E402

import mirl  # noqa: E402

SEEDS = range(5)


def mirl_factory(name="m22", bootstrap_with=None, **kwargs):
    """What replaces pysat.solvers.Solver in a tool's module: the solver
    name is ignored."""
    return mirl.Solver(bootstrap_with, name=name, **kwargs)


def random_clause(rng, nvars, size):
    return [rng.choice((1, -1)) * v for v in rng.sample(range(1, nvars + 1), size)]


def weighted(seed, nvars=22, hard=55, soft=22, weights=5):
    """Random 3-SAT hard clauses and weighted unit and binary soft ones."""
    rng = random.Random(seed)
    formula = WCNF()
    for _ in range(hard):
        formula.append(random_clause(rng, nvars, 3))
    for _ in range(soft):
        formula.append(random_clause(rng, nvars, rng.randint(1, 2)), weight=rng.randint(1, weights))
    return formula


def unsatisfiable(seed, nvars=18, clauses=130):
    rng = random.Random(seed)
    while True:
        formula = CNF(from_clauses=[random_clause(rng, nvars, 3) for _ in range(clauses)])
        with Minisat22(bootstrap_with=formula.clauses) as peer:
            if peer.solve() is False:
                return formula


def on_both(monkeypatch, module, run):
    """``run()`` with the module's Solver as shipped, then with mirl's."""
    reference = run()
    monkeypatch.setattr(module, "Solver", mirl_factory)
    ours = run()
    monkeypatch.undo()
    return reference, ours


def violated_weight(formula, model):
    true = set(model)
    for clause in formula.hard:
        assert true.intersection(clause), "a hard clause is false"
    return sum(w for clause, w in zip(formula.soft, formula.wght) if not true.intersection(clause))


@pytest.mark.parametrize("tool", ["rc2", "fm"])
def test_maxsat_tools_find_the_optimum_minisat_finds(monkeypatch, tool):
    for seed in SEEDS:
        # A fresh formula for every run: the tools may rewrite the one they get.
        if tool == "rc2":
            def run():
                formula = weighted(seed)
                with rc2.RC2(formula) as solver:
                    model = solver.compute()
                    return solver.cost, violated_weight(weighted(seed), model)
            module = rc2
        else:
            def run():
                formula = weighted(seed, weights=3)
                solver = fm.FM(formula, verbose=0)
                assert solver.compute()
                cost = solver.cost, violated_weight(weighted(seed, weights=3), solver.model)
                solver.delete()
                return cost
            module = fm
        (cost, checked), (ours, our_checked) = on_both(monkeypatch, module, run)
        assert ours == cost and our_checked == ours, seed


def test_musx_finds_a_minimal_unsatisfiable_subset(monkeypatch):
    for seed in SEEDS:
        formula = unsatisfiable(seed)
        monkeypatch.setattr(musx, "Solver", mirl_factory)
        with musx.MUSX(unsatisfiable(seed), verbosity=0) as extractor:
            mus = extractor.compute()
        monkeypatch.undo()
        subset = [formula.clauses[i - 1] for i in mus]
        with Minisat22(bootstrap_with=subset) as peer:
            assert peer.solve() is False, seed
        for leave_out in range(len(subset)):
            with Minisat22(bootstrap_with=subset[:leave_out] + subset[leave_out + 1:]) as peer:
                assert peer.solve() is True, (seed, leave_out)


def test_lbx_enumerates_the_minimal_correction_subsets_minisat_enumerates(monkeypatch):
    for seed in SEEDS:
        def run():
            enumerator = lbx.LBX(weighted(seed, soft=14), use_cld=seed % 2 == 0)
            found = []
            for mcs in enumerator.enumerate():
                enumerator.block(mcs)
                found.append(tuple(sorted(mcs)))
            enumerator.delete()
            return found
        reference, ours = on_both(monkeypatch, lbx, run)
        assert len(set(ours)) == len(ours)
        assert set(ours) == set(reference), seed


def test_the_solver_interface_answers_as_minisat_does():
    """PySAT's method list, its constructor, incremental solving under
    assumptions, propagate, model enumeration, phases, budgets, proofs and
    what is not supported."""
    missing = [n for n in dir(PySATSolver) if not n.startswith("_") and not hasattr(mirl.Solver, n)]
    assert missing == [], missing
    rng = random.Random(7)
    clauses = [random_clause(rng, 12, 3) for _ in range(40)]
    with mirl.Solver(name="g4", bootstrap_with=clauses, use_timer=True, incr=True, warm_start=True) as ours, \
            Minisat22(bootstrap_with=clauses) as peer:
        # Before any search (no learnt clauses) unit propagation gives both
        # the same literals.
        for _ in range(30):
            assumptions = random_clause(rng, 12, rng.randint(0, 6))
            status, implied = ours.propagate(assumptions=assumptions)
            peer_status, peer_implied = peer.propagate(assumptions=assumptions)
            assert status == peer_status
            if status:
                assert sorted(implied) == sorted(peer_implied)
        for _ in range(30):
            assumptions = random_clause(rng, 12, rng.randint(0, 4))
            answer = ours.solve(assumptions=assumptions)
            assert answer == peer.solve(assumptions=assumptions)
            if answer:
                model = set(ours.get_model())
                assert set(assumptions) <= model and all(model.intersection(c) for c in clauses)
            else:
                core = ours.get_core()
                assert set(core) <= set(assumptions) and peer.solve(assumptions=core) is False
            new = random_clause(rng, 14, 3)
            ours.add_clause(new)
            peer.add_clause(new)
            clauses.append(new)
        assert ours.get_status() is not None and ours.time_accum() >= ours.time() >= 0
        assert set(ours.accum_stats()) == set(peer.accum_stats())

    # solve() lifts the budgets, as MiniSat's does: the limited calls after
    # it are not stopped by a budget it spent.
    rng = random.Random(3)
    clauses = [random_clause(rng, 50, 3) for _ in range(200)]
    with mirl.Solver(clauses) as ours:
        ours.conf_budget(1)
        assert ours.solve() is True
        for _ in range(5):
            ours.add_clause([-literal for literal in ours.get_model()])
            assert ours.solve_limited() is not None
        assert ours.accum_stats()["conflicts"] > 1

    small = [[-1, 2], [-2, 3]]
    with mirl.Solver(bootstrap_with=small) as ours, Minisat22(bootstrap_with=small) as peer:
        assert sorted(map(tuple, ours.enum_models())) == sorted(map(tuple, peer.enum_models()))
    with mirl.Solver(bootstrap_with=small) as ours:
        assert sorted(map(tuple, ours.enum_models(projection=[1, 3]))) == [(-1, -3), (-1, 3), (1, 3)]
    with mirl.Solver(bootstrap_with=[[1, 2, 3]]) as ours:
        ours.set_phases([1, -2, 3])
        assert ours.solve() and ours.get_model() == [1, -2, 3]
        ours.set_phases([-1, 2, -3])
        assert ours.solve() and ours.get_model() == [-1, 2, -3]
        ours.add_xor_clause([1, 2, 3], value=False)
        models = [m[:3] for m in ours.enum_models()]
        assert sorted(map(tuple, models)) == [(-1, 2, 3), (1, -2, 3), (1, 2, -3)]

    from cnf_tools import pigeonhole
    with mirl.Solver(bootstrap_with=pigeonhole(5), with_proof=True) as ours:
        ours.conf_budget(3)
        assert ours.solve_limited() is None
        assert ours.solve() is False  # solve() ignores budgets
        proof = ours.get_proof()
        assert proof[-1] == "0" and all(line.endswith(" 0") for line in proof[:-1])
        ours.configure({"seed": 3, "phase": True})
        with pytest.raises(ValueError):
            ours.configure({"no such parameter": 1})
    with mirl.Solver() as ours:
        ours.delete()
        ours.new(bootstrap_with=[[1]])
        assert ours.solve() is True and ours.get_model() == [1]
        assert ours.supports_atmost() is False and ours.get_proof() is None
        for call in (lambda: ours.add_atmost([1, 2], 1), ours.activate_atmost, ours.get_activities,
                     lambda: ours.connect_propagator(None), ours.sync_vpool, ours.flip_bits):
            with pytest.raises(NotImplementedError):
                call()
    with pytest.raises(TypeError):
        mirl.Solver(no_such_argument=1)
