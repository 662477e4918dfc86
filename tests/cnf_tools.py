"""Formulas, answers and checks shared by the reference solver tests: the
benchmark folder, instance generators, model checking and a comparison
solver."""

import os
import random
import re

import pytest

BENCH = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "shared", "bench"))


def bench_files(family):
    """The .cnf files of a benchmark family, in natural order; the test is
    skipped when the benchmark folder is not there."""
    folder = os.path.join(BENCH, family)
    if not os.path.isdir(folder):
        pytest.skip("benchmark folder %s not found" % folder)
    names = [name for name in os.listdir(folder) if name.endswith(".cnf")]

    def natural(name):
        return [int(part) if part.isdigit() else part for part in re.split(r"(\d+)", name)]

    return [os.path.join(folder, name) for name in sorted(names, key=natural)]


def random_ksat(nvars, nclauses, k, seed):
    rng = random.Random(seed)
    clauses = []
    for _ in range(nclauses):
        variables = rng.sample(range(1, nvars + 1), k)
        clauses.append([v if rng.random() < 0.5 else -v for v in variables])
    return clauses


def pigeonhole(holes):
    """holes + 1 pigeons in ``holes`` holes: unsatisfiable."""
    pigeons = holes + 1

    def var(p, h):
        return p * holes + h + 1

    clauses = [[var(p, h) for h in range(holes)] for p in range(pigeons)]
    for h in range(holes):
        for p in range(pigeons):
            for q in range(p + 1, pigeons):
                clauses.append([-var(p, h), -var(q, h)])
    return clauses


def parity_chain(n, parity, seed):
    """x1 xor ... xor xn = parity as a Tseitin chain: satisfiable, one
    solution per assignment of the inputs with the right parity."""
    rng = random.Random(seed)
    order = list(range(1, n + 1))
    rng.shuffle(order)
    clauses = []
    acc = order[0]
    top = n
    for x in order[1:]:
        top += 1
        t = top
        clauses += [[-t, acc, x], [-t, -acc, -x], [t, -acc, x], [t, acc, -x]]
        acc = t
    clauses.append([acc] if parity else [-acc])
    return clauses


def satisfies(clauses, model):
    """Whether a model (signed ints, variable 1 first) satisfies every clause."""
    values = {literal for literal in model}
    return all(any(literal in values for literal in clause) for clause in clauses)


def minisat_answer(clauses, assumptions=()):
    """The answer of PySAT's MiniSat (skips the test when PySAT is missing)."""
    solvers = pytest.importorskip("pysat.solvers")
    with solvers.Minisat22(bootstrap_with=clauses) as peer:
        return peer.solve(assumptions=list(assumptions))
