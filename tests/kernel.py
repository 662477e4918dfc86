"""Helpers shared by the tests of the native kernel (mirl_nif): a solver
factory, the check of a refusal's text, random formulas and model checks."""
import itertools
import re

import pytest

import mirl_nif


def solver(n=0, clauses=(), **options):
    """A new solver made with `options`, variables 1..n and `clauses` added."""
    s = mirl_nif.new(options)
    if n:
        mirl_nif.add_variables(s, n)
    for clause in clauses:
        mirl_nif.add_clause(s, clause)
    return s


def refused(text):
    """Expects the block to raise TypeError with exactly `text` (an atom name
    such as "badarg" or "literal")."""
    return pytest.raises(TypeError, match=r"\A%s\Z" % re.escape(text))


def raises(text, call, *args):
    """Calls `call(*args)` expecting TypeError with exactly `text`."""
    with refused(text):
        call(*args)


# ---- random formulas ------------------------------------------------------------------

def random_3sat(rng, n, ratio):
    """round(n * ratio) clauses of three distinct variables, signs at random."""
    return [[v if rng.random() < 0.5 else -v for v in rng.sample(range(1, n + 1), 3)]
            for _ in range(round(n * ratio))]


def random_clauses(rng, n_max=9, clauses_max=40):
    """(n, clauses): up to n_max variables, up to clauses_max clauses of one to
    four literals, repeats and complementary pairs allowed."""
    n = rng.randint(1, n_max)
    clauses = [[rng.choice((-1, 1)) * rng.randint(1, n) for _ in range(rng.randint(1, 4))]
               for _ in range(rng.randint(1, clauses_max))]
    return n, clauses


# ---- models ------------------------------------------------------------------------------

def satisfies(clauses, model):
    """Whether `model` (the values of variables 1.., as booleans) satisfies
    every clause; a value that is not a boolean satisfies nothing."""
    return all(any(model[abs(l) - 1] is (l > 0) for l in clause) for clause in clauses)


def satisfiable(n, clauses):
    """Brute force over the 2^n assignments of variables 1..n."""
    return any(satisfies(clauses, bits) for bits in itertools.product((False, True), repeat=n))


def model_of(s, n):
    """The values of variables 1..n in solver `s`."""
    return [mirl_nif.value(s, v) for v in range(1, n + 1)]


# ---- clauses -----------------------------------------------------------------------------

def store_clause(s, lits, clause_set=0):
    """Adds a clause that must be stored (not satisfied, not a unit); its id."""
    result = mirl_nif.add_clause(s, lits, clause_set)
    assert isinstance(result, tuple), result
    return result[1]


def raw_clause(s, ref):
    """The clause's literals as stored, constants included."""
    return mirl_nif.get_clause(s, ref, None, True)
