"""The reference solver answers like MiniSat on known and generated formulas,
its models satisfy the clauses, and its interface behaves as PySAT users
expect: assumptions and cores, incremental use, budgets, interrupts and the
decision and restart hooks."""

import io
import itertools
import random

import pytest

from cnf_tools import bench_files, minisat_answer, parity_chain, pigeonhole, random_ksat, satisfies

import mirl
import mirl_nif
from mirl import Solver, SolverError
from mirl.proof import DratWriter
from mirl.restarts import Fixed, Geometric, Luby, luby

SMALL_FAMILIES = ["uf20", "uf50", "uf75", "uf100", "uuf50", "uuf75", "uuf100"]


def solve(clauses, **options):
    with Solver(clauses, **options) as solver:
        answer = solver.solve()
        return answer, solver.get_model()


# -- known answers ---------------------------------------------------------


@pytest.mark.parametrize("family", SMALL_FAMILIES)
def test_satlib_families_get_their_known_status(family):
    expected = not family.startswith("uuf")
    for path in bench_files(family):
        cnf = mirl.read_dimacs(path)
        answer, model = solve(cnf.clauses)
        assert answer is expected, path
        if expected:
            assert len(model) == cnf.nvars
            assert satisfies(cnf.clauses, model), path
        assert minisat_answer(cnf.clauses) is expected


@pytest.mark.parametrize("seed", range(40))
def test_random_3sat_near_the_threshold_agrees_with_minisat(seed):
    nvars = 20 + seed
    clauses = random_ksat(nvars, int(nvars * 4.26), 3, seed)
    answer, model = solve(clauses)
    assert answer is minisat_answer(clauses)
    if answer:
        assert satisfies(clauses, model)


@pytest.mark.parametrize("seed", range(10))
def test_random_wide_clauses_agree_with_minisat(seed):
    # Clauses of four and five literals use the kernel's general case.
    clauses = random_ksat(30, 300, 4, seed) + random_ksat(30, 150, 5, seed + 100)
    answer, model = solve(clauses)
    assert answer is minisat_answer(clauses)
    if answer:
        assert satisfies(clauses, model)


@pytest.mark.parametrize("holes", [2, 3, 4, 5, 6])
def test_pigeonhole_formulas_are_unsatisfiable(holes):
    assert solve(pigeonhole(holes))[0] is False


@pytest.mark.parametrize("seed", range(5))
def test_parity_chains_are_satisfiable(seed):
    clauses = parity_chain(40, seed % 2, seed)
    answer, model = solve(clauses)
    assert answer is True
    assert satisfies(clauses, model)


@pytest.mark.parametrize(
    "options",
    [
        {"restarts": None},
        {"restarts": "geometric"},
        {"minimize": "local"},
        {"minimize": None},
        {"queue": "recursive"},
        {"queue": "lifo"},
        {"phase": True},
        {"bump": "next"},
        {"bump": 0.1},
        {"bump": 0},
        {"seed": 7},
        {"reduce": 10},
        {"reduce": False},
    ],
    ids=lambda options: ",".join("%s=%s" % item for item in options.items()),
)
def test_every_setting_keeps_the_answers_right(options):
    for seed in range(8):
        clauses = random_ksat(50, 213, 3, 1000 + seed)
        answer, model = solve(clauses, **options)
        assert answer is minisat_answer(clauses)
        if answer:
            assert satisfies(clauses, model)


def test_tight_reduction_deletes_clauses_and_still_proves_unsat():
    with Solver(pigeonhole(6), reduce=50, restarts=Fixed(20)) as solver:
        assert solver.solve() is False
        stats = solver.stats
        assert stats["reductions"] > 0
        assert stats["deleted_clauses"] > 0


# -- small and degenerate formulas -------------------------------------------


def test_empty_formula_is_satisfiable_with_an_empty_model():
    with Solver() as solver:
        assert solver.solve() is True
        assert solver.get_model() == []


def test_variables_without_clauses_all_get_a_value():
    with Solver() as solver:
        for expected in range(1, 6):
            assert solver.new_var() == expected
        assert solver.solve() is True
        assert sorted(map(abs, solver.get_model())) == [1, 2, 3, 4, 5]


def test_empty_clause_makes_the_formula_unsatisfiable_for_good():
    with Solver([[1, 2]]) as solver:
        assert solver.add_clause([]) is False
        assert solver.solve() is False
        assert solver.solve() is False
        assert solver.get_core() == []


def test_contradicting_units_are_unsatisfiable():
    with Solver([[3], [-3]]) as solver:
        assert solver.solve() is False


def test_units_that_decide_everything_give_the_model_without_search():
    with Solver([[1], [-2], [3]]) as solver:
        assert solver.solve() is True
        assert solver.get_model() == [1, -2, 3]


def test_a_unit_that_completes_the_assignment_is_still_propagated():
    # Learning the last unit at level 0 leaves its propagation pending when
    # no variable is left to decide; the solver must still see the conflict.
    clauses = [[1, 2], [1, -2], [-1, 2], [-1, -2]]
    assert solve(clauses)[0] is False


def test_tautologies_and_duplicate_literals_are_harmless():
    clauses = [[1, -1], [2, 2, 3], [-3, -3], [-2, 4, -4]]
    answer, model = solve(clauses)
    assert answer is True
    assert satisfies(clauses, model)


def test_zero_is_refused_as_a_literal():
    with Solver() as solver:
        with pytest.raises(ValueError):
            solver.add_clause([1, 0, 2])


def test_literals_beyond_the_known_variables_create_them():
    with Solver() as solver:
        solver.add_clause([7, -3])
        assert solver.nof_vars() == 7
        assert solver.nof_clauses() == 1
        assert solver.solve() is True
        assert len(solver.get_model()) == 7


def test_booleans_are_read_as_integers_not_as_constants():
    # True is the constant-true literal for the kernel; the solver passes ints.
    with Solver() as solver:
        solver.add_clause([True])  # the literal 1
        assert solver.solve(assumptions=[-1]) is False
        assert solver.solve() is True and solver.get_model() == [1]


# -- incremental use ----------------------------------------------------------


def test_blocking_clauses_enumerate_every_model():
    clauses = random_ksat(8, 20, 3, 5)
    expected = sum(
        1
        for bits in itertools.product([False, True], repeat=8)
        if satisfies(clauses, [v if bits[v - 1] else -v for v in range(1, 9)])
    )
    found = set()
    with Solver(clauses) as solver:
        solver.ensure_vars(8)
        while solver.solve():
            model = tuple(solver.get_model())
            assert satisfies(clauses, model) and model not in found
            found.add(model)
            solver.add_clause([-literal for literal in model])
    assert len(found) == expected


def test_clauses_added_after_a_model_are_respected():
    with Solver([[1, 2], [-1, 2]]) as solver:
        assert solver.solve() is True
        assert solver.get_model()[1] == 2
        solver.add_clause([-2, 3])
        solver.add_clause([-3, -1])
        assert solver.solve() is True
        model = solver.get_model()
        assert model[1] == 2 and model[2] == 3 and model[0] == -1
        solver.add_clause([-2])
        assert solver.solve() is False


# -- assumptions and cores -----------------------------------------------------


def test_assumptions_restrict_the_answer_without_changing_the_formula():
    with Solver([[1, 2], [-1, 3]]) as solver:
        assert solver.solve(assumptions=[1, -3]) is False
        assert set(solver.get_core()) <= {1, -3}
        assert solver.solve(assumptions=[1]) is True
        assert solver.get_model()[2] == 3
        assert solver.solve() is True


def test_a_failed_assumption_alone_is_its_own_core():
    with Solver([[-4]]) as solver:
        solver.ensure_vars(5)
        assert solver.solve(assumptions=[2, 4, 5]) is False
        assert solver.get_core() == [4]


def test_contradicting_assumptions_form_the_core():
    with Solver([[1, 2]]) as solver:
        assert solver.solve(assumptions=[3, 2, -3]) is False
        assert sorted(solver.get_core()) == [-3, 3]


def test_cores_are_subsets_of_the_assumptions_and_really_unsatisfiable():
    rng = random.Random(11)
    checked = 0
    for seed in range(30):
        clauses = random_ksat(40, 150, 3, 2000 + seed)
        assumptions = [v if rng.random() < 0.5 else -v for v in rng.sample(range(1, 41), 12)]
        with Solver(clauses) as solver:
            answer = solver.solve(assumptions=assumptions)
            assert answer is minisat_answer(clauses, assumptions)
            if answer:
                model = solver.get_model()
                assert satisfies(clauses, model)
                assert all(model[abs(a) - 1] == a for a in assumptions)
            else:
                core = solver.get_core()
                assert set(core) <= set(assumptions)
                assert minisat_answer(clauses, core) is False
                checked += 1
    assert checked > 0


def test_an_unsatisfiable_formula_needs_no_assumption_in_its_core():
    with Solver(pigeonhole(3)) as solver:
        assert solver.solve(assumptions=[1]) is False
        assert set(solver.get_core()) <= {1}
        assert solver.solve() is False
        assert solver.get_core() == []
        assert solver.solve(assumptions=[2, -5]) is False
        assert solver.get_core() == []


# -- budgets and interruption --------------------------------------------------


def test_a_conflict_budget_stops_the_search_and_can_be_lifted():
    with Solver(pigeonhole(7)) as solver:
        solver.conf_budget(10)
        assert solver.solve_limited() is None
        assert solver.get_status() is None
        assert solver.accum_stats()["conflicts"] == 10
        solver.conf_budget(-1)
        assert solver.solve() is False


def test_budgets_bind_solve_limited_only():
    """As in PySAT: propagations count assignments, 0 or -1 lifts a budget,
    and solve() ignores the budgets that stop solve_limited()."""
    with Solver(pigeonhole(7)) as solver:
        solver.prop_budget(50)
        assert solver.solve_limited() is None
        done = solver.accum_stats()["propagations"]
        assert 50 <= done < 50 + 2 * solver.nof_vars()
        solver.prop_budget(0)
        solver.dec_budget(5)
        assert solver.solve_limited() is None
        solver.dec_budget(-1)
        solver.conf_budget(20)
        conflicts = solver.accum_stats()["conflicts"]
        assert solver.solve_limited() is None
        assert solver.accum_stats()["conflicts"] == conflicts + 20
        solver.conf_budget(5)
        assert solver.solve() is False


def test_backjumps_count_the_same_assignments_level_by_level_and_by_trail_length(monkeypatch):
    """Short backjumps add up the entries of the levels they leave, long ones
    read the trail length before and after: both give the same count."""
    clauses = random_ksat(90, 383, 3, 5)

    def counts():
        with Solver(clauses) as solver:
            solver.solve([1, -2])
            solver.solve()
            return solver.accum_stats()

    by_levels = counts()
    monkeypatch.setattr(mirl.solver, "_COUNTED_JUMP", -1)
    assert counts() == by_levels
    assert by_levels["conflicts"] > 100


@pytest.mark.parametrize("rephase_every", [0, 10**9])
def test_stable_restarts_save_the_longest_trail_as_phases_and_keep_the_answers(monkeypatch, rephase_every):
    """With the stable mode from the first mode check, every restart of
    that mode (a rephase at every one, or none and the target phases)
    leaves every variable of the remembered trail with that trail's value
    as its saved phase (the level's first binding too), and the answers,
    models and cores stay right."""
    monkeypatch.setattr(mirl.restarts.SearchPolicy, "FIRST_PHASE", 0)
    monkeypatch.setattr(mirl.solver, "_REPHASE", rephase_every)
    restart = Solver._restart
    checked = []

    def checking(solver, run):
        literals = run.best_trail
        stable = solver._policy.mode == mirl.restarts.STABLE
        restart(solver, run)
        if literals and stable:
            handle = solver.handle
            for literal in literals:
                if mirl_nif.implication_level(handle, literal) != 0:
                    assert mirl_nif.variable_info(handle, literal, "phase") == (1 if literal > 0 else -1)
            checked.append(len(literals))

    monkeypatch.setattr(Solver, "_restart", checking)
    for seed in range(6):
        clauses = random_ksat(120, 511, 3, seed)
        for assumptions in ((), (1, -2)):
            with Solver(clauses) as solver:
                answer = solver.solve(assumptions)
                assert answer is minisat_answer(clauses, assumptions)
                if answer:
                    assert satisfies(clauses, solver.get_model())
                    assert all(literal in solver.get_model() for literal in assumptions)
    assert len(checked) > 10


def test_locality_is_judged_over_every_stable_phase():
    """Stable clauses spanning a sixth of their conflict levels, then in a
    late phase two thirds: the instance stays local (focused preferred),
    where the late phase alone would have handed the search to the stable
    mode for good."""
    from types import SimpleNamespace
    from mirl.restarts import FOCUSED, STABLE, SearchPolicy

    run = SimpleNamespace(conflicts=0, placed=0, bump=None, glue=0, level=0)
    policy = SearchPolicy(visits=lambda: run.conflicts)
    stable_phases = 0
    while stable_phases < 2:
        run.conflicts += 1
        mode = policy.mode
        run.glue = 7 if mode == FOCUSED else 12
        run.level = 40 if mode == FOCUSED else (72 if stable_phases == 0 else 18)
        policy.after_conflict(run)
        if mode == STABLE and policy.mode == FOCUSED:
            stable_phases += 1
            assert policy.local
    assert policy.phase_glue[STABLE] > SearchPolicy.LOCALITY * policy.phase_level[STABLE]
    assert policy.mode == FOCUSED and policy.keep_fresh


def test_an_interrupt_holds_until_it_is_cleared():
    clauses = random_ksat(60, 255, 3, 3)
    with Solver(clauses) as solver:
        solver.interrupt()
        assert solver.solve_limited(expect_interrupt=True) is None
        assert solver.solve() is None
        solver.clear_interrupt()
        assert solver.solve() is minisat_answer(clauses)


def test_an_interrupt_from_the_restart_schedule_stops_the_next_run():
    calls = []

    def schedule(restarts):
        calls.append(restarts)
        if restarts == 3:
            solver.interrupt()
        return 5

    with Solver(pigeonhole(7), restarts=schedule) as solver:
        assert solver.solve() is None
        assert calls == [0, 1, 2, 3]
        assert solver.accum_stats()["restarts"] == 3


# -- hooks -----------------------------------------------------------------------


def test_restart_schedules_are_asked_once_per_run():
    asked = []

    def schedule(restarts):
        asked.append(restarts)
        return 3

    with Solver(pigeonhole(5), restarts=schedule) as solver:
        assert solver.solve() is False
        restarts = solver.accum_stats()["restarts"]
    assert restarts > 0
    assert asked == list(range(restarts + 1))


def test_builtin_schedules():
    assert [luby(i) for i in range(15)] == [1, 1, 2, 1, 1, 2, 4, 1, 1, 2, 1, 1, 2, 4, 8]
    assert [Luby(10)(i) for i in range(4)] == [10, 10, 20, 10]
    assert [Geometric(100, 1.5)(i) for i in range(3)] == [100, 150, 225]
    assert Fixed(3)(99) == 3
    with pytest.raises(ValueError):
        Solver(restarts="sometimes")


def test_a_decision_policy_chooses_the_decisions():
    chosen = []

    def first_unassigned_negative(solver):
        for variable in range(1, solver.nof_vars() + 1):
            if solver.value(variable) is None:
                chosen.append(-variable)
                return -variable
        return None

    # Without clauses every decision is the policy's: all variables false.
    with Solver(decision_policy=first_unassigned_negative) as solver:
        solver.ensure_vars(4)
        assert solver.solve() is True
        assert solver.get_model() == [-1, -2, -3, -4]
    assert chosen == [-1, -2, -3, -4]


def test_a_decision_policy_keeps_the_answers_right():
    def highest_variable_first(solver):
        for variable in range(solver.nof_vars(), 0, -1):
            if solver.value(variable) is None:
                return variable
        return None

    for seed in range(6):
        clauses = random_ksat(40, 170, 3, 3000 + seed)
        answer, model = solve(clauses, decision_policy=highest_variable_first)
        assert answer is minisat_answer(clauses)
        if answer:
            assert satisfies(clauses, model)


def test_a_policy_that_defers_lets_the_kernel_decide():
    clauses = pigeonhole(4)
    answer, _ = solve(clauses, decision_policy=lambda solver: None)
    assert answer is False


def test_a_policy_choosing_an_assigned_literal_is_an_error():
    with Solver([[1]], decision_policy=lambda solver: 1) as solver:
        solver.ensure_vars(2)
        with pytest.raises(ValueError):
            solver.solve()
        # The solver is back at level 0 and usable without the policy.
        solver.decision_policy = None
        solver.add_clause([-2])
        assert solver.solve() is True
        assert solver.get_model() == [1, -2]


def test_a_policy_choosing_an_unknown_variable_is_an_error():
    with Solver([[1, 2]], decision_policy=lambda solver: 9) as solver:
        with pytest.raises(ValueError):
            solver.solve()


# -- statistics and life cycle ---------------------------------------------------------


def test_statistics_count_the_work():
    with Solver(pigeonhole(5)) as solver:
        assert solver.solve() is False
        stats = solver.stats
        assert set(solver.accum_stats()) == {"restarts", "conflicts", "decisions", "propagations"}
        assert stats["conflicts"] > 0
        assert stats["decisions"] > 0
        assert stats["propagations"] > 0
        assert stats["learnt_literals"] >= stats["conflicts"] - 1
        assert stats["clauses"] == len(pigeonhole(5))
        assert solver.time_accum() >= solver.time() >= 0


def test_the_same_seed_gives_the_same_run():
    clauses = random_ksat(60, 240, 3, 42)
    runs = []
    for _ in range(2):
        with Solver(clauses, seed=3) as solver:
            runs.append((solver.solve(), solver.get_model(), solver.accum_stats()["conflicts"]))
    assert runs[0] == runs[1]


def test_a_deleted_solver_refuses_further_use():
    solver = Solver([[1, 2]])
    solver.delete()
    with pytest.raises(ValueError):
        solver.solve()
    with Solver([[1]]) as solver:
        assert solver.solve() is True
    with pytest.raises(ValueError):
        solver.add_clause([2])


def test_named_bumps_reach_the_kernel_as_rules():
    """bump="none" searches as bump=0 and bump="next" as a distance beyond
    every variable (both move to the front); as atom terms (ints) they were
    read as counts of places."""
    clauses = random_ksat(60, 260, 3, 5)

    def counts(bump):
        with Solver(clauses, bump=bump) as solver:
            assert solver.solve() is minisat_answer(clauses)
            return solver.accum_stats()

    assert counts("none") == counts(0)
    assert counts("next") == counts(10**6)


def test_unknown_settings_are_refused():
    with pytest.raises(ValueError):
        Solver(minimize="sometimes")
    with pytest.raises(ValueError):
        Solver(queue="stack")
    with pytest.raises(ValueError):
        Solver(phase=1)
    for bump in (-1, "far", None, True):
        with pytest.raises(ValueError):
            Solver(bump=bump)
    with pytest.raises(ValueError):
        Solver(seed=-1)


def test_solver_error_is_a_runtime_error():
    assert issubclass(SolverError, RuntimeError)


def test_the_custom_heuristic_example_solves_its_instance(capsys):
    import os
    import runpy

    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    example = runpy.run_path(os.path.join(root, "examples", "custom_heuristic.py"))
    example["main"](os.path.join(root, "examples", "uf50-01.cnf"))
    out = capsys.readouterr().out
    assert out.startswith("answer: SAT\n")
    assert "model: " in out


# -- how the search proceeds ----------------------------------------------------


class _WatchedJumps(Solver):
    """Checks every backjump against the clause just learnt: the search must
    land on the second-highest level among its literals (the assertion
    level), where the first literal is true and every other one false."""

    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.jumps = []

    def _backjump(self, run):
        handle = self.handle
        literals = mirl_nif.get_clause(handle, run.cid, None, True)
        levels = [mirl_nif.implication_level(handle, abs(literal)) for literal in literals]
        at = mirl_nif.level(handle)
        super()._backjump(run)
        expected = max(levels[1:]) if len(literals) > 1 else 0
        assert levels[0] == at and all(level < at for level in levels[1:])
        assert mirl_nif.level(handle) == expected
        assert self.value(literals[0]) is True
        assert all(self.value(literal) is False for literal in literals[1:])
        third = sorted(levels[1:])[-2] if len(literals) > 2 else 0
        self.jumps.append((at - expected, expected - third))


@pytest.mark.parametrize("options", [{}, {"bump": 1, "restarts": "luby"}])
def test_every_backjump_lands_on_the_assertion_level(options):
    clauses = random_ksat(80, 341, 3, 11)
    with _WatchedJumps(clauses, **options) as solver:
        assert solver.solve() is minisat_answer(clauses)
        # Jumps of more than one level happen, and so do clauses whose
        # third-highest level lies below the assertion level: jumping one
        # level back, or to the third-highest level, would be caught.
        assert max(back for back, _ in solver.jumps) > 1
        assert sum(1 for _, gap in solver.jumps if gap > 0) > len(solver.jumps) // 4


class _StepByStep(Solver):
    """Replaces a step of the conflict loop by itself, which makes the
    search run its steps as methods instead of inline."""

    def _learn(self, run):
        return super()._learn(run)


@pytest.mark.parametrize(
    "clauses, options",
    [
        (random_ksat(120, 511, 3, 7), {"seed": 3}),
        (random_ksat(150, 640, 3, 2), {"restarts": "luby", "bump": 1, "minimize": None}),
        (random_ksat(130, 554, 3, 4), {"decision_policy": lambda solver: None, "queue": "lifo"}),
        (pigeonhole(6), {"reduce": 40, "proof": True}),
    ],
)
def test_the_inline_loop_searches_exactly_as_the_step_methods(clauses, options):
    """Same conflicts, learnt literals, propagations, restarts, reductions,
    models, cores and proof lines, across assumptions, budgets, progress
    reports and incremental calls."""

    def run(cls):
        streams = io.StringIO()
        kwargs = dict(options)
        if kwargs.pop("proof", False):
            kwargs["proof"] = DratWriter(streams)
        reports = []
        with cls(clauses, progress=lambda solver: reports.append(solver.accum_stats()["conflicts"]), **kwargs) as solver:
            seen = []
            solver.conf_budget(700)
            seen.append(solver.solve_limited([1, -2]))
            seen.append((solver.get_core(), solver.get_model()))
            # The policy's running sums, which the inline loop keeps itself.
            policy = solver._policy
            seen.append([getattr(policy, key) for key in ("fast", "glue_sum", "glue_count", "level_sum", "since")])
            seen.append(solver.solve([-3]))
            seen.append((solver.get_core(), solver.get_model()))
            seen.append(solver.solve())
            stats = solver.stats
            del stats["time"]
            return seen, stats, reports, streams.getvalue()

    inline, stepwise = run(Solver), run(_StepByStep)
    assert inline == stepwise
    assert inline[1]["conflicts"] > 500 and inline[1]["reductions"] > 0


def test_clauses_and_solves_from_inside_a_solve_are_refused_and_nothing_is_lost(capfd):
    clauses = pigeonhole(6)
    refused = []

    def progress(solver):
        for attempt in (lambda: solver.add_clause([1]), lambda: solver.add_clause([-1, 2]), solver.solve):
            with pytest.raises(SolverError, match="while solve"):
                attempt()
            refused.append(attempt)

    with Solver(clauses, progress=progress, restarts=Fixed(10)) as solver:
        assert solver.solve() is False
        assert refused
    # After the search the same clauses are welcome, and a unit that is
    # false under the search's assignment never makes the formula
    # unsatisfiable by itself.
    with Solver([[1, 2], [-1, 2]], decision_policy=lambda s: -2 if s.value(2) is None else None) as solver:
        assert solver.solve() is True
        solver.decision_policy = None
        assert solver.add_clause([-2, 3]) is True
        assert solver.solve() is True and solver.get_model()[:3] == [solver.get_model()[0], 2, 3]
        assert solver.add_clause([-3]) is False
        assert solver.solve() is False
    # The kernel never met a watched clause of one literal.
    assert "select=" not in capfd.readouterr().out


def test_geometric_runs_are_capped_integers_and_count_only_their_own_restarts():
    schedule = Geometric(100, 1.5)
    lengths = [schedule(i) for i in range(3000)]
    assert all(type(length) is int for length in lengths)
    assert lengths[:5] == [100, 150, 225, 337, 506]
    assert lengths[-1] == Geometric.CAP and lengths == sorted(lengths)
    assert schedule(10 ** 12) == Geometric.CAP
    asked = []

    def recording(restarts):
        asked.append(restarts)
        return 40

    with Solver(pigeonhole(7), restarts=recording, reduce=20) as solver:
        solver.conf_budget(3000)
        solver.solve_limited()
        stats = solver.stats
    # Reductions restart as well, without asking the schedule.
    assert asked == list(range(len(asked)))
    assert stats["reductions"] > 0 and stats["restarts"] > len(asked) - 1
