"""Complete chronological searches driven through nbcp/1 and undo/1 (and by
hand through decide/2, push/1, bcp/1 and pop/2) agree with brute force on
small random CNF instances, under every queue discipline and option mix."""
import random

import pytest

import mirl_nif as m
from kernel import model_of, random_clauses, satisfiable, satisfies, solver

QTYPES = ["lifo", "fifo", "recursive"]


def new_solver(rnd, n, seed):
    options = {
        "all_used": True,
        "qtype": rnd.choice(QTYPES),
        "xref": rnd.random() < 0.5,
        "hash": rnd.random() < 0.5,
        "init_phase": rnd.choice((True, False, None)),
        "seed": seed,
    }
    return solver(n, **options)


def search_with_nbcp(s):
    """Decide and propagate with nbcp/1, back up chronologically with undo/1."""
    while True:
        if m.nbcp(s):
            return True
        if m.level(s) == 0 or not m.undo(s):
            return False


def search_by_hand(s, n):
    """Every decision a push/decide, every conflict a pop/2 that flips the
    deepest decision not yet flipped."""
    flipped = []  # per level: was its decision flipped already?
    while True:
        if not m.bcp(s):
            while flipped and flipped[-1]:
                flipped.pop()
            if not flipped:
                return False
            level = len(flipped)
            decision = m.get_decision(s, level)
            m.pop(s, level - 1)
            m.push(s)
            assert m.bind(s, -decision) is True
            flipped[-1] = True
            continue
        free = [v for v in range(1, n + 1) if m.value(s, v) is None]
        if not free:
            return True
        m.push(s)
        assert m.decide(s, free[0]) is True
        flipped.append(False)


@pytest.mark.parametrize("chunk", range(6))
def test_nbcp_and_undo_agree_with_brute_force(chunk):
    for trial in range(chunk * 250, (chunk + 1) * 250):
        rnd = random.Random(trial)
        n, clauses = random_clauses(rnd)
        s = new_solver(rnd, n, trial + 1)
        stored = [m.add_clause(s, c) for c in clauses]
        found = False if False in stored else search_with_nbcp(s)
        assert found == satisfiable(n, clauses), (trial, n, clauses)
        if found:
            assert satisfies(clauses, model_of(s, n)), (trial, n, clauses)


@pytest.mark.parametrize("qtype", QTYPES)
def test_hand_driven_search_agrees_with_brute_force(qtype):
    for trial in range(300):
        rnd = random.Random(10_000 + trial)
        n, clauses = random_clauses(rnd, n_max=8, clauses_max=30)
        s = m.new({"qtype": qtype, "seed": trial + 1})
        m.add_variables(s, n)
        stored = [m.add_clause(s, c) for c in clauses]
        found = False if False in stored else search_by_hand(s, n)
        assert found == satisfiable(n, clauses), (trial, n, clauses)
        if found:
            assert satisfies(clauses, model_of(s, n)), (trial, n, clauses)


def step(s, n):
    """nbcp/1, or by hand when the current level is in its second branch
    (where nbcp/1 refuses to go on)."""
    if m.level(s) > 0 and m.get_undo_state(s, m.level(s)) == "done":
        if not m.bcp(s):
            return False
        free = [v for v in range(1, n + 1) if m.value(s, v) is None]
        if not free:
            return True
        m.push(s)
        assert m.decide(s, free[0]) is True
    return m.nbcp(s)


def search_adding_clauses_on_the_way(s, n, rnd, pending):
    """Adds the pending clauses at random moments of the search. A clause
    that arrives falsified sends the search back below its highest level."""
    satisfied = False
    while True:
        if pending and (satisfied or rnd.random() < 0.4):
            satisfied = False
            clause = pending.pop()
            result = m.add_clause(s, clause)
            if result is False:
                return False
            if isinstance(result, tuple) and result[0] is False:
                top = max(m.implication_level(s, lit) for lit in clause)
                assert top >= 1
                m.pop(s, top - 1)
                while m.level(s) > 0 and m.get_undo_state(s, m.level(s)) == "done":
                    m.pop(s)
            continue
        if step(s, n):
            if not pending:
                return True
            satisfied = True
            continue
        if m.level(s) == 0:
            return False
        if not m.undo(s):
            if not pending:
                return False
            m.pop(s, 0)


@pytest.mark.parametrize("chunk", range(4))
def test_clauses_added_during_the_search_are_kept(chunk):
    """Units arriving above level 0 become level-0 facts (or move there, or
    are kept falsified); every later backtrack must still respect them."""
    for trial in range(chunk * 400, (chunk + 1) * 400):
        rnd = random.Random(20_000 + trial)
        n, clauses = random_clauses(rnd, n_max=8, clauses_max=24)
        clauses += [[rnd.choice((-1, 1)) * rnd.randint(1, n)] for _ in range(rnd.randint(0, 3))]
        rnd.shuffle(clauses)
        s = new_solver(rnd, n, trial + 1)
        k = rnd.randint(0, len(clauses))
        early, late = clauses[:k], clauses[k:]
        if False in [m.add_clause(s, c) for c in early]:
            found = False
        else:
            found = search_adding_clauses_on_the_way(s, n, rnd, late)
        assert found == satisfiable(n, clauses), (trial, n, clauses)
        if found:
            assert satisfies(clauses, model_of(s, n)), (trial, n, clauses)
