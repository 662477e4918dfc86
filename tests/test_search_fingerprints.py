"""Complete searches whose every observable step is pinned.

A small fixed driver (written here, independent of the reference solver's
policy) runs conflict-driven searches on a few small instances under every
queue discipline, one or several conflicting clauses per pass, with and
without occurrence lists. At every conflict it records the whole trail with
each variable's implication clause, the conflicting clauses, the learnt
clause and what minimisation made of it; at the end the counters, every
learnt clause's literals and the watch order of every literal. The
fingerprints in data/fingerprints.json were recorded from an earlier build;
any change to visit order, counters, watch positions, trail order or
reasons shows up as a difference, reported with the first block of
conflicts where the runs part.

To record again (only after a change that is meant to alter results):
    MIRL_RECORD_FINGERPRINTS=1 python -m pytest tests/test_search_fingerprints.py
"""
import hashlib
import json
import os

import pytest

import mirl_nif as m
from mirl.atoms import atom

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "data", "fingerprint")
RECORD = os.path.join(HERE, "data", "fingerprints.json")

GAMMA = 1
GAMMA_BASE = 1 << 30
WATCH = atom("watch")
LENGTH = atom("length")
JUMP = atom("jump")
BLOCK = 32  # conflicts per checkpoint
REDUCE_EVERY = 50  # conflicts between deletions of learnt clauses
COUNTERS = (
    "bcp_counter", "conflict_counter", "clause_2_counter", "clause_3_counter",
    "clause_n_counter", "clause_d_counter", "max_bound", "number_of_dead_clauses",
)

# (instance, minimisation mode): a mix of random, graph colouring, pigeon
# hole (hole5: 6 pigeons, 5 holes, generated), planning, all-interval
# series, parity, inductive inference and circuit structure.
INSTANCES = (
    ("uuf50-01", "local"),
    ("uf75-01", "local"),
    ("uuf75-01", "global"),
    ("flat200-1", "global"),
    ("hole5", "global"),
    ("medium", "local"),
    ("ais8", "global"),
    ("par8-1-c", "local"),
    ("ii8a1", "local"),
    ("ssa0432-003", "global"),
)
RUNS = [
    (name, mode, queue, conflicting, xref)
    for name, mode in INSTANCES
    for queue in ("lifo", "fifo", "recursive")
    for conflicting in (1, 4)
    for xref in (False, True)
]


def run_id(run):
    name, mode, queue, conflicting, xref = run
    return "%s-%s-%s-c%d-%s" % (name, mode, queue, conflicting, "xref" if xref else "plain")


def read_cnf(name):
    clauses, current, nvars = [], [], 0
    with open(os.path.join(DATA, name + ".cnf")) as f:
        for line in f:
            line = line.strip()
            if not line or line[0] in "c%":
                if line.startswith("%"):
                    break
                continue
            if line[0] == "p":
                nvars = int(line.split()[2])
                continue
            for token in line.split():
                lit = int(token)
                if lit == 0:
                    clauses.append(current)
                    current = []
                else:
                    current.append(lit)
    return nvars, clauses


class Recorder:
    """A running digest with a checkpoint every BLOCK conflicts."""

    def __init__(self):
        self.digest = hashlib.sha256()
        self.checkpoints = []
        self.conflicts = 0

    def add(self, *items):
        self.digest.update(repr(items).encode())

    def conflict_done(self):
        self.conflicts += 1
        if self.conflicts % BLOCK == 0:
            self.checkpoints.append(self.digest.hexdigest()[:12])


def reduce_learnt(s):
    """At level 0: delete every other learnt clause of three or more
    literals, from the newest down, as a reduction would."""
    size = m.clauseset_size(s, GAMMA)
    for position in range(size - 1, -1, -2):
        cid = GAMMA_BASE | position
        try:
            length = m.clause_info(s, cid, LENGTH)
        except TypeError:
            continue  # an empty position
        if length > 2:
            m.del_clause(s, cid)


def search(run):
    name, mode, queue, conflicting, xref = run
    nvars, clauses = read_cnf(name)
    s = m.new({"all_used": True, "use_phase": True, "init_phase": False, "qtype": queue, "xref": xref, "seed": 7})
    m.config(s, "max_conflicting", conflicting)
    m.add_variables(s, nvars)
    rec = Recorder()
    for clause in clauses:
        rec.add("add", m.add_clause(s, clause))
    mode_atom = atom(mode)
    result = None
    while result is None:
        if m.nbcp(s) and m.bcp(s):
            result = "sat"
            break
        at = m.level(s)
        trail = m.get_nbindings(s, nvars + 1, True)
        reasons = tuple(m.implication_clause(s, lit) for lit in trail if lit not in (True, False))
        found = tuple(m.conflicting_clause(s, i) for i in range(m.info(s, "number_of_conflicting_clauses")))
        rec.add("conflict", at, trail, reasons, found)
        if at == 0:
            result = "unsat"
            break
        cid = m.conflict(s, at, 1, 0)
        if cid.__class__ is not int:
            rec.add("analysis", cid)
            result = "analysis %r" % (cid,)
            break
        size = m.minimize(s, cid, mode_atom)
        learnt = m.get_clause(s, cid, None, True) if size is not None else None
        rec.add("learnt", cid, size, learnt)
        target = 0 if size == 1 else m.clause_info(s, cid, JUMP)[3]
        m.pop(s, target)
        rec.add("move", m.move_clause(s, cid, GAMMA))
        rec.conflict_done()
        if rec.conflicts % REDUCE_EVERY == 0:
            m.pop(s, 0)
            reduce_learnt(s)
    counters = {key: m.info(s, key) for key in COUNTERS}
    learnt = hashlib.sha256()
    position = m.clauseset_first(s, GAMMA)
    while position is not False:
        learnt.update(repr((position, m.get_clause(s, position, None, True))).encode())
        position = m.clauseset_next(s, position)
    watches = hashlib.sha256()
    for v in range(1, nvars + 1):
        watches.update(repr((m.get_clauses(s, v, WATCH), m.get_clauses(s, -v, WATCH))).encode())
    rec.add("end", result, counters)
    return {
        "result": result,
        "conflicts": rec.conflicts,
        "counters": counters,
        "checkpoints": rec.checkpoints,
        "learnt": learnt.hexdigest()[:16],
        "watches": watches.hexdigest()[:16],
        "digest": rec.digest.hexdigest()[:16],
    }


def load_recorded():
    with open(RECORD) as f:
        return json.load(f)


def where_they_part(expected, got):
    """A readable account of the first difference between two fingerprints."""
    lines = []
    for key in ("result", "conflicts", "counters", "learnt", "watches"):
        if expected[key] != got[key]:
            lines.append("%s: expected %r, got %r" % (key, expected[key], got[key]))
    for k, (a, b) in enumerate(zip(expected["checkpoints"], got["checkpoints"])):
        if a != b:
            lines.append("first differing block: conflicts %d..%d" % (k * BLOCK + 1, (k + 1) * BLOCK))
            break
    return "; ".join(lines) or "final digest differs (after the last checkpoint)"


@pytest.fixture(scope="module")
def recorded():
    if os.environ.get("MIRL_RECORD_FINGERPRINTS"):
        data = {run_id(run): search(run) for run in RUNS}
        with open(RECORD, "w") as f:
            json.dump(data, f, indent=0, sort_keys=True)
            f.write("\n")
    return load_recorded()


def test_the_fingerprints_cover_every_run(recorded):
    assert sorted(recorded) == sorted(run_id(run) for run in RUNS)
    outcomes = {fp["result"] for fp in recorded.values()}
    assert outcomes == {"sat", "unsat"}, outcomes


@pytest.mark.parametrize("run", RUNS, ids=run_id)
def test_searches_replay_their_fingerprints(recorded, run):
    expected = recorded[run_id(run)]
    got = search(run)
    assert got == expected, where_they_part(expected, got)
