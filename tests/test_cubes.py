"""Splitting cubes further, as a worker does for idle ones, and the search
policy of a solver that works through cubes as assumptions."""

import itertools

from cnf_tools import random_ksat

from mirl.cubes import make_cubes
from mirl.solver import Solver


def models(clauses, nvars):
    for bits in itertools.product((False, True), repeat=nvars):
        if all(any(bits[abs(literal) - 1] == (literal > 0) for literal in clause) for clause in clauses):
            yield bits


def test_the_parts_of_a_cube_cover_its_models():
    nvars = 12
    for seed in range(6):
        clauses = random_ksat(nvars, 40 + 4 * seed, 3, seed)
        solver = Solver(clauses)
        # A worker splits with the clauses it learnt so far.
        solver.solve(assumptions=[1, -2])
        everything = list(models(clauses, nvars))
        for cube in make_cubes(Solver(clauses), 4).open:
            parts = make_cubes(solver, 4, cube=cube)
            for part in parts.open:
                assert part[:len(cube)] == cube and len(set(map(abs, part))) == len(part)
            for bits in everything:
                if all(bits[abs(literal) - 1] == (literal > 0) for literal in cube):
                    assert any(all(bits[abs(literal) - 1] == (literal > 0) for literal in part)
                               for part in parts.open)
        assert solver.level() == 0


def test_a_solver_working_through_cubes_judges_the_formula_not_the_cubes():
    # Random 3-SAT has no locality: the reductions must not keep every
    # fresh clause, although each cube's assumptions sit on the lowest
    # levels of every conflict.
    clauses = random_ksat(170, 730, 3, 2)
    solver = Solver(clauses)
    for cube in make_cubes(Solver(clauses), 16).open:
        assert solver.solve(assumptions=cube) is False
    assert solver.stats["conflicts"] > 5000
    assert solver._policy.keep_fresh is False
