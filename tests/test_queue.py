"""The propagation queue: walking it from its head, and emptying it."""
import pytest

import mirl_nif as m
from kernel import solver


def walk(s):
    found = []
    lit = m.queue_first(s)
    while lit is not False:
        found.append(lit)
        lit = m.queue_next(s, lit)
    return found


def test_an_empty_queue_has_no_first_and_no_next():
    s = solver(3)
    assert m.queue_first(s) is False
    for lit in (1, -1, 3, True, False):
        assert m.queue_next(s, lit) is False
    assert m.queue_clear(s) is True


@pytest.mark.parametrize(
    "qtype, expected",
    [("fifo", [-1, 2, -3]), ("lifo", [-3, 2, -1]), ("recursive", [-3, 2, -1])],
)
def test_the_walk_follows_the_queue_discipline(qtype, expected):
    s = solver(3, qtype=qtype)
    for lit in (1, -2, 3):
        assert m.bind(s, lit) is True
    # Binding a literal queues the literal that became false.
    assert walk(s) == expected


def test_clearing_drops_the_queued_literals_from_propagation():
    s = solver(3)
    m.add_clause(s, [1, 2])
    m.bind(s, -1)
    assert walk(s) == [1]
    assert m.queue_clear(s) is True
    assert m.queue_first(s) is False
    assert m.queue_next(s, 1) is False
    assert m.bcp(s) is True
    assert m.value(s, 2) is None


def test_a_cleared_literal_can_be_queued_again():
    s = solver(4, qtype="fifo")
    m.add_clause(s, [1, 4])
    m.push(s)
    m.bind(s, -1)
    m.queue_clear(s)
    m.pop(s)
    m.push(s)
    m.bind(s, -1)
    # Had the clearing left the literal flagged as queued, it would be
    # skipped now and the clause [1, 4] never visited.
    assert walk(s) == [1]
    assert m.bcp(s) is True
    assert m.value(s, 4) is True


def test_a_substituted_literal_reads_the_link_of_its_representative():
    s = solver(4, qtype="fifo", xref=True)
    assert m.subst(s, 1, 2) is True
    m.bind(s, -1)
    m.bind(s, -3)
    assert walk(s) == [1, 3]
    assert m.queue_next(s, 2) == 3
    assert m.queue_next(s, -2) is False


def test_propagation_empties_the_queue():
    s = solver(3)
    m.add_clause(s, [1, 2])
    m.bind(s, -1)
    assert m.bcp(s) is True
    assert m.queue_first(s) is False


@pytest.mark.parametrize("bad", [0, 4, -4, 1.0, "1", None, 2**40])
def test_queue_next_refuses_what_is_not_a_literal(bad):
    s = solver(3)
    with pytest.raises(TypeError, match="badarg"):
        m.queue_next(s, bad)


@pytest.mark.parametrize("fn", [m.queue_first, m.queue_clear])
def test_a_wrong_handle_is_badarg(fn):
    with pytest.raises(TypeError, match="badarg"):
        fn(object())
