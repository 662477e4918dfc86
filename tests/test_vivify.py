"""Vivification of learnt clauses: the shortened clauses follow by unit
propagation (proofs check, answers and models stay right), and the glue and
the reduction's record of kept clauses move with them."""

import io

import mirl_nif
from cnf_tools import minisat_answer, pigeonhole, random_ksat, satisfies
from test_drat_proofs import check_refutation, parse_proof

from mirl import DratWriter, Solver
from mirl.vivify import vivify


class Watched(Solver):
    """Reduces (and vivifies) as where the search policy finds locality;
    after every reduction each live learnt clause is one the reduction
    kept, and every kept key has a glue no larger than its clause."""

    def _reduce(self):
        self._policy.keep_fresh = self._policy.local = True
        super()._reduce()
        handle = self._handle
        live = {}
        cid = mirl_nif.clauseset_first(handle, 1)
        while cid is not False:
            if mirl_nif.clause_info(handle, cid, "status") is None:
                live[bytes(mirl_nif.compress_clause(handle, cid))] = mirl_nif.clause_info(handle, cid, "length")
            cid = mirl_nif.clauseset_next(handle, cid)
        assert set(live) == self._held_keys
        glue_of = self._policy.glue_of
        assert all(glue_of.get(key, 0) <= length for key, length in live.items())
        assert self._vivify_tried <= set(live)


def test_vivified_searches_answer_right_and_their_proofs_check():
    shortened = 0
    formulas = [random_ksat(60, 270 + seed % 3 * 10, 3, 700 + seed) for seed in range(16)] + [pigeonhole(6)]
    for number, clauses in enumerate(formulas):
        stream = io.StringIO()
        with Watched(clauses, proof=DratWriter(stream), reduce=8, seed=number % 3) as solver:
            answer = solver.solve()
            shortened += solver._vivify_stats[1]
            assert answer == minisat_answer(clauses), number
            if answer:
                assert satisfies(clauses, solver.get_model())
            else:
                assert check_refutation(clauses, parse_proof(stream.getvalue())) is None, number
    assert shortened > 50


def learnt(solver, literals, glue):
    """Put ``literals`` among the solver's learnt clauses, kept by the last
    reduction with the given glue; returns its id and key."""
    handle = solver.handle
    solver.ensure_vars(max(map(abs, literals)))
    _, cid = mirl_nif.add_clause(handle, literals, 1)
    key = bytes(mirl_nif.compress_clause(handle, cid))
    solver._policy.glue_of[key] = glue
    solver._held_keys.add(key)
    return cid, key


def test_a_vivified_clause_takes_the_place_of_the_old_one():
    stream = io.StringIO()
    solver = Solver([[1, 2, 3], [-3, 4]], proof=DratWriter(stream))
    handle = solver.handle
    old = learnt(solver, [5, 1, 2, 3], 4)
    other = learnt(solver, [1, 6, 7], 3)  # nothing to shorten
    phases = [mirl_nif.variable_info(handle, variable, "phase") for variable in range(1, 8)]
    assert vivify(solver, [old, other], 10**9) == (2, 1, 1)
    # The propagations above level 0 leave the saved phases as they were.
    assert [mirl_nif.variable_info(handle, variable, "phase") for variable in range(1, 8)] == phases
    # Ordered by the literals the group shares: 1, then 2, make 3 true.
    new_key = bytes(mirl_nif.compress_clause(handle, [1, 2, 3]))
    assert solver._policy.glue_of == {new_key: 3, other[1]: 3}
    assert solver._held_keys == {new_key, other[1]}
    assert stream.getvalue() == "1 2 3 0\nd 5 1 2 3 0\n"
    assert mirl_nif.level(handle) == 0
    held = []
    cid = mirl_nif.clauseset_first(handle, 1)
    while cid is not False:
        held.append(sorted(mirl_nif.get_clause(handle, cid)))
        cid = mirl_nif.clauseset_next(handle, cid)
    assert sorted(held) == [[1, 2, 3], [1, 6, 7]]
    # Tried once, never again.
    assert vivify(solver, [], 10**9) == (0, 0, 0)
    assert solver.solve() is True


def test_a_clause_vivified_to_one_literal_becomes_a_level_0_fact():
    stream = io.StringIO()
    solver = Solver([[1, 2], [1, -2], [5, 6]], proof=DratWriter(stream))
    handle = solver.handle
    unit = learnt(solver, [1, 3, 4], 3)
    longer = learnt(solver, [5, 6, 7], 3)
    # Both in one group: the longer result goes in first, while its
    # literals are all unassigned at level 0.
    assert vivify(solver, [unit, longer], 10**9) == (2, 2, 3)
    new_key = bytes(mirl_nif.compress_clause(handle, [5, 6]))
    assert solver._policy.glue_of == {new_key: 2}
    assert solver._held_keys == {new_key}
    assert mirl_nif.value(handle, 1) is True and mirl_nif.level(handle) == 0
    # The round stopped there: the fact waits for the search's propagation.
    assert mirl_nif.queue_first(handle) is not False
    assert vivify(solver, [(mirl_nif.clauseset_first(handle, 1), new_key)], 10**9) == (0, 0, 0)
    assert stream.getvalue() == "5 6 0\nd 5 6 7 0\n1 0\nd 1 3 4 0\n"
    assert solver.solve() is True and solver.get_model()[0] == 1
