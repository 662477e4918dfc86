"""Threads: calls run under the interpreter lock, so two threads driving a
solver each, or two threads sharing one, never crash, never see each
other's temporaries, and leave every solver consistent."""
import random
import sys
import threading

import pytest

import mirl_nif
from call_signatures import check_state, visible_invariants
from kernel import satisfies


@pytest.fixture(autouse=True)
def frequent_switches():
    # Switch threads as often as the interpreter allows, so that calls of
    # the two threads interleave as finely as they can.
    old = sys.getswitchinterval()
    sys.setswitchinterval(1e-6)
    yield
    sys.setswitchinterval(old)


def random_3sat(seed, variables=30, clauses=128):
    rng = random.Random(seed)
    return [[rng.randint(1, variables) * rng.choice((1, -1)) for _ in range(3)] for _ in range(clauses)]


def solve(clauses, variables=30, qtype="recursive"):
    """A small CDCL search through the public functions; the model or None,
    with a trace of what the search saw."""
    s = mirl_nif.new({"all_used": True, "qtype": qtype, "seed": 5})
    mirl_nif.add_variables(s, variables)
    for clause in clauses:
        if mirl_nif.add_clause(s, clause) is False:
            return None, []
    trace = []
    if mirl_nif.bcp(s) is False:
        return None, trace
    while True:
        v = mirl_nif.next_unbound(s)
        if v is False:
            model = [mirl_nif.value(s, x) for x in range(1, variables + 1)]
            check_state(s)
            return model, trace
        mirl_nif.push(s)
        mirl_nif.decide(s, -v)
        while mirl_nif.bcp(s) is False:
            level = mirl_nif.level(s)
            if level == 0:
                check_state(s)
                return None, trace
            learnt = mirl_nif.conflict(s, level, "next", 0)
            trace.append((level, learnt, mirl_nif.get_nbindings(s, 5, False)))
            mirl_nif.pop(s, level - 1)
            if type(learnt) is int:
                result = mirl_nif.move_clause(s, learnt, 1)
                if result is False:
                    return None, trace


def run_in_threads(*targets):
    errors = []
    barrier = threading.Barrier(len(targets))

    def guarded(target):
        try:
            barrier.wait()
            target()
        except BaseException as error:  # noqa: B902 - reported to the main thread
            errors.append(error)

    threads = [threading.Thread(target=guarded, args=(t,)) for t in targets]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(timeout=300)
    assert not any(thread.is_alive() for thread in threads), "a thread hung"
    if errors:
        raise errors[0]


def test_two_threads_each_with_their_own_solver_get_what_one_thread_gets():
    problems = [random_3sat(seed) for seed in range(12)]
    expected = [solve(clauses) for clauses in problems]
    results = {0: [], 1: []}

    def worker(k):
        for clauses in problems:
            results[k].append(solve(clauses))

    run_in_threads(lambda: worker(0), lambda: worker(1))
    assert results[0] == expected
    assert results[1] == expected
    for (model, _), clauses in zip(expected, problems):
        assert model is None or satisfies(clauses, model)


def test_two_threads_sharing_one_solver_leave_it_consistent():
    s = mirl_nif.new({"xref": True, "all_used": True})
    mirl_nif.add_variables(s, 40)
    for clause in random_3sat(99, variables=40, clauses=150):
        mirl_nif.add_clause(s, clause)

    def searcher():
        rng = random.Random(1)
        for _ in range(300):
            try:
                v = mirl_nif.next_unbound(s)
                if v is False or mirl_nif.level(s) > 8:
                    mirl_nif.pop(s, 0)
                    continue
                mirl_nif.push(s)
                mirl_nif.decide(s, v * rng.choice((1, -1)))
                if mirl_nif.bcp(s) is False:
                    level = mirl_nif.level(s)
                    if level > 0:
                        mirl_nif.conflict(s, level, "next", 0)
                        mirl_nif.pop(s, level - 1)
            except TypeError as error:
                # The other thread may have moved the solver between two of
                # these calls; only the library's refusals are acceptable.
                assert str(error) in ("badarg", "level"), error

    def inspector():
        rng = random.Random(2)
        for _ in range(600):
            mirl_nif.get_nbindings(s, 100, rng.choice((True, False)))
            mirl_nif.get_bindings(s)
            mirl_nif.info(s, rng.choice(("number_of_bound_variables", "level", "memory_size")))
            mirl_nif.literal_info(s, rng.randint(1, 40), "xref")
            mirl_nif.mark(s, [rng.randint(1, 40)], False)
            mirl_nif.get_marked(s, True)
            v = rng.randint(1, 40)
            mirl_nif.add_symbol(s, [v], ("t", v))
            assert mirl_nif.find_symbol(s, ("t", v)) == [v]

    run_in_threads(searcher, inspector)
    check_state(s)
    visible_invariants(s)


def test_a_subscription_from_another_thread_is_served_by_the_solver_owner():
    s = mirl_nif.new({})
    mirl_nif.add_variables(s, 3)
    done = []

    def subscriber():
        mirl_nif.subscribe(s, ["variable", "number_of_bound_variables"])
        done.append(True)

    run_in_threads(subscriber)
    assert done == [True]
    # Level-0 facts now build messages for the other thread's subscription.
    mirl_nif.bind(s, 1)
    assert mirl_nif.bcp(s) is True
    check_state(s)
    visible_invariants(s)
