"""minimize/2,3: which literals leave a learnt clause in each mode, the
in-place rewrite, deletion of a clause that turns into a duplicate, and
implication clauses that are gone."""
import pytest

import kernel
import mirl_nif as m
from kernel import raises


def solver(n, clauses):
    return kernel.solver(n, clauses, all_used=True)


def direct():
    """Learnt [-3, -1, -2]: 2 was implied by [-1, 2] and -1 is in the clause,
    so -2 goes in every mode."""
    s = solver(4, [[-1, 2], [-3, -1, 4], [-3, -2, -4]])
    m.push(s)
    m.bind(s, 1)
    m.bcp(s)
    m.push(s)
    m.bind(s, 3)
    assert m.bcp(s) is False
    learnt = m.conflict(s, 2, "none", 0)
    assert m.get_clause(s, learnt) == [-3, -1, -2]
    return s, learnt


def transitive(twin=False):
    """Learnt [-4, -3, -1]: 3 was implied by 2 ([-2, 3]), 2 by 1 ([-1, 2]);
    -2 is not in the clause, so only the global pass removes -3. With
    `twin`, set 3 holds [-1, -4] from the start."""
    s = solver(5, [[-1, 2], [-2, 3], [-4, -1, 5], [-4, -3, -5]])
    if twin:
        assert m.add_clause(s, [-1, -4], "alpha") == (True, 3 << 30)
    m.push(s)
    m.bind(s, 1)
    m.bcp(s)
    m.push(s)
    m.bind(s, 4)
    assert m.bcp(s) is False
    learnt = m.conflict(s, 2, "none", 0)
    assert sorted(m.get_clause(s, learnt)[1:]) == [-3, -1]
    return s, learnt


@pytest.mark.parametrize("mode", [(), ("local",), ("global",), ("recursive",)])
def test_a_literal_implied_by_the_clause_itself_goes_in_every_mode(mode):
    s, learnt = direct()
    assert m.minimize(s, learnt, *mode) == 2
    assert m.get_clause(s, learnt) == [-3, -1]
    assert m.clause_info(s, learnt, "length") == 2
    assert m.find_clause(s, [-1, -3]) == learnt  # the hash follows the literals


def test_transitive_implications_need_the_global_pass():
    s, learnt = transitive()
    assert m.minimize(s, learnt, "local") == 3
    assert m.minimize(s, learnt, "global") == 2
    assert m.get_clause(s, learnt) == [-4, -1]


def test_recursive_is_the_global_pass():
    s, learnt = transitive()
    assert m.minimize(s, learnt, "recursive") == 2


def test_minimising_twice_finds_nothing_more():
    for mode in ("local", "global"):
        s, learnt = transitive()
        first = m.minimize(s, learnt, mode)
        assert m.minimize(s, learnt, mode) == first


def test_below_level_two_global_is_local():
    s, learnt = transitive()
    m.pop(s, 1)  # level 1: there are no earlier levels to search
    assert m.minimize(s, learnt, "global") == 3


def test_no_keep_marks_are_left_behind():
    s, learnt = transitive()
    m.minimize(s, learnt, "global")
    for lit in range(1, 6):
        assert m.literal_info(s, lit, "mark") == 0
        assert m.literal_info(s, -lit, "mark") == 0


def test_decisions_and_unassigned_literals_stay():
    s, learnt = direct()
    m.pop(s, 0)  # nothing is assigned any more: nothing is implied
    assert m.minimize(s, learnt, "global") == 3
    assert m.get_clause(s, learnt) == [-3, -1, -2]


def test_one_literal_clauses_answer_one_in_every_mode():
    s = solver(4, [[-1, 2], [-2, 3], [-2, 4], [-3, -4]])
    m.push(s)
    m.bind(s, 1)
    assert m.bcp(s) is False
    learnt = m.conflict(s, 1, "none", 0)
    assert m.get_clause(s, learnt) == [-2]
    for mode in ((), ("local",), ("global",), ("recursive",)):
        assert m.minimize(s, learnt, *mode) == 1
    assert m.get_clause(s, learnt) == [-2]


def test_a_shortened_duplicate_is_deleted():
    s, learnt = transitive()
    ok, twin = m.add_clause(s, [-1, -4], "alpha")
    assert twin == learnt + 1
    assert m.minimize(s, learnt, "local") == 3  # not shortened: stays
    assert m.minimize(s, learnt, "global") is None
    raises("badarg", m.minimize, s, learnt)
    raises("badarg", m.get_clause, s, learnt)
    assert m.get_clause(s, twin) == [-1, -4]
    assert m.info(s, "number_of_clauses") == 5
    assert m.clauseset_size(s, "alpha") == 2  # the emptied slot is not the last


def test_a_deleted_duplicate_at_the_end_shortens_the_set():
    s, learnt = transitive(twin=True)
    assert learnt == (3 << 30) + 1
    assert m.minimize(s, learnt, "global") is None
    assert m.clauseset_size(s, "alpha") == 1
    raises("badarg", m.minimize, s, learnt)
    # The next learnt clause takes the slot again.
    assert m.conflict(s, 2, "none", 0) == learnt


def test_a_deleted_implication_clause_counts_as_none():
    s, learnt = direct()
    reason = m.implication_clause(s, 2)
    m.del_clause(s, reason)
    assert m.minimize(s, learnt, "local") == 3
    s, learnt = transitive()
    m.del_clause(s, m.implication_clause(s, 2))
    assert m.minimize(s, learnt, "global") == 3


def test_a_reused_implication_slot_proves_nothing():
    s = solver(5, [[-3, -1, 4], [-3, -2, -4], [-1, 2]])
    m.push(s)
    m.bind(s, 1)
    m.bcp(s)
    m.push(s)
    m.bind(s, 3)
    assert m.bcp(s) is False
    learnt = m.conflict(s, 2, "none", 0)
    assert sorted(m.get_clause(s, learnt)) == [-3, -2, -1]
    reason = m.implication_clause(s, 2)
    assert reason == 2
    m.del_clause(s, reason)
    # The slot now holds a clause whose other literals would all pass.
    assert m.add_clause(s, [-1, -3]) == (False, reason)
    assert m.minimize(s, learnt) == 3


def test_an_attached_learnt_clause_is_watched_afresh_after_the_rewrite():
    # clean_clause attaches a clause of set 3; minimising it moves literals
    # under its watches, so it is detached and attached again.
    s, learnt = direct()
    m.pop(s, 0)
    m.clean_clause(s, learnt)
    m.push(s)
    m.bind(s, 1)
    assert m.bcp(s) is True
    assert m.value(s, 3) is False  # [-3, -1, -2] implied -3
    assert m.minimize(s, learnt) == 2
    assert sorted(m.clause_info(s, learnt, "watch")) == [0, 1]
    m.pop(s, 0)
    m.push(s)
    m.bind(s, 1)
    assert m.bcp(s) is True
    assert m.value(s, 3) is False
    assert m.implication_clause(s, 3) == learnt
    m.pop(s, 0)
    m.del_clause(s, learnt)  # leaves the chains it is really in
    m.push(s)
    m.bind(s, 3)
    m.bind(s, 1)
    assert m.bcp(s) is False


@pytest.mark.parametrize("clause", [0, 1 << 30, 2 << 30, 5 << 30 >> 2, -1, "x", None, (3 << 30) + 1])
def test_only_stored_clauses_of_the_learnt_set_are_accepted(clause):
    s, learnt = direct()
    m.add_clause(s, [1, 4], 1)
    m.add_clause(s, [1, 4], 2)
    raises("badarg", m.minimize, s, clause)
    assert m.get_clause(s, learnt) == [-3, -1, -2]


def test_a_bad_mode_is_refused():
    s, learnt = direct()
    raises("badarg", m.minimize, s, learnt, "deep")
    raises("badarg", m.minimize, s, learnt, None)
    raises("badarg", m.minimize, None, learnt)
    assert m.get_clause(s, learnt) == [-3, -1, -2]


def test_occurrence_entries_follow_the_rewrite():
    s, learnt = direct()
    m.config(s, "xref", True)  # enters the learnt clause as well
    assert learnt in m.literal_info(s, -2, "xref")
    assert m.minimize(s, learnt) == 2
    assert learnt not in m.literal_info(s, -2, "xref")
    assert learnt in m.literal_info(s, -1, "xref")
    assert learnt in m.literal_info(s, -3, "xref")


def test_a_deleted_duplicate_leaves_the_occurrence_lists():
    s, learnt = transitive(twin=True)
    m.config(s, "xref", True)
    assert m.minimize(s, learnt, "global") is None
    for lit in (-4, -3, -1):
        assert learnt not in m.literal_info(s, lit, "xref")
    # The id is handed out again; no list may still claim it.
    assert m.conflict(s, 2, "none", 0) == learnt
    assert learnt not in m.literal_info(s, -1, "xref")


def forward_pass_model(s, clause):
    """The global mode as a forward pass over levels 1 .. level-1 in trail
    order, then the final test: the literals it keeps."""
    top = m.level(s)
    keep = set(clause)

    def level_of(lit):
        return m.implication_level(s, abs(lit))

    def implied(reason, x):
        if reason == -1:
            return False
        try:
            lits = m.get_clause(s, reason, None, True)
        except TypeError:
            return False  # an empty position
        return x in lits and all(y == x or y in keep or level_of(y) <= 0 for y in lits)

    for level in range(1, top):
        for lit in m.get_bindings(s, level):
            if -lit not in keep and implied(m.implication_clause(s, abs(lit)), lit):
                keep.add(-lit)
    return [clause[0]] + [d for d in clause[1:] if not implied(m.implication_clause(s, abs(d)), -d)]


def test_the_global_mode_keeps_what_the_forward_pass_keeps():
    """Random searches whose learnt clauses are minimised in the global mode,
    checked against the forward pass; every third conflict first deletes an
    implication clause of the trail (and puts a new clause in its position
    when it was the last), so that the trail's implication clauses cannot
    all be trusted."""
    runs = [minimise_along_a_search(seed) for seed in range(24)]
    assert sum(checked for checked, _ in runs) >= 300
    assert sum(replaced for _, replaced in runs) >= 50


def minimise_along_a_search(seed):
    import random

    rng = random.Random(seed)
    n = 50
    s = m.new({"all_used": True, "seed": seed + 1, "init_phase": None})
    m.config(s, "max_conflicting", 1)
    m.add_variables(s, n)
    for _ in range(215):
        m.add_clause(s, [v if rng.random() < 0.5 else -v for v in rng.sample(range(1, n + 1), 3)])
    checked = replaced = 0
    for conflicts in range(100):
        if m.nbcp(s) and m.bcp(s):
            break
        at = m.level(s)
        if at == 0:
            break
        if conflicts % 3 == 2:
            implied = [lit for level in range(1, at) for lit in m.get_bindings(s, level)
                       if 0 <= m.implication_clause(s, abs(lit)) < (1 << 30)]
            if implied:
                reason = m.implication_clause(s, abs(rng.choice(implied)))
                last = reason == m.clauseset_size(s, 0) - 1
                try:
                    m.del_clause(s, reason)
                    replaced += 1
                except TypeError:
                    last = False  # deleted before
                if last:
                    m.add_clause(s, [v if rng.random() < 0.5 else -v for v in rng.sample(range(1, n + 1), 3)])
        try:
            cid = m.conflict(s, at, 1, 0)
        except TypeError:
            cid = None  # the analysis met the deleted clause
        if cid.__class__ is not int:
            m.pop(s, 0)
            continue
        clause = m.get_clause(s, cid, None, True)
        expected = forward_pass_model(s, clause)
        size = m.minimize(s, cid, "global")
        if size is None:
            break
        assert m.get_clause(s, cid, None, True) == expected
        checked += 1
        m.pop(s, 0 if size == 1 else m.clause_info(s, cid, "jump")[3])
        m.move_clause(s, cid, 1)
    return checked, replaced
