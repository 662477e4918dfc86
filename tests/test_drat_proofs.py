"""Unsatisfiability proofs: every lemma the solver writes follows from the
clauses by unit propagation (checked by the small reverse-unit-propagation
checker below), deletions name clauses that exist, and the proof ends with
the empty clause, also when learnt clauses are deleted aggressively."""

import io
import os

import pytest

from cnf_tools import bench_files, pigeonhole, random_ksat

import mirl_nif
from mirl import DratWriter, Solver, read_dimacs
from mirl.cli import main


class RupChecker:
    """A clause database with two watched literals per clause, checking that
    a lemma's negation propagates to a conflict.  Every check starts from the
    empty assignment, so watches never need restoring."""

    def __init__(self, clauses):
        self.clauses = []
        self.alive = []
        self.watches = {}
        self.units = set()
        self.by_key = {}
        self.empty = False
        for clause in clauses:
            self.add(clause)

    def add(self, clause):
        literals = list(dict.fromkeys(clause))
        index = len(self.clauses)
        self.clauses.append(literals)
        self.alive.append(True)
        self.by_key.setdefault(frozenset(literals), []).append(index)
        if not literals:
            self.empty = True
        elif len(literals) == 1:
            self.units.add(index)
        else:
            self.watches.setdefault(literals[0], []).append(index)
            self.watches.setdefault(literals[1], []).append(index)

    def delete(self, clause):
        indices = self.by_key.get(frozenset(clause))
        if not indices:
            return False
        index = indices.pop()
        self.alive[index] = False
        self.units.discard(index)
        return True

    def implies(self, lemma):
        """Whether unit propagation refutes the negation of ``lemma``."""
        if self.empty:
            return True
        true = set()
        queue = []
        for literal in lemma:
            if literal in true:
                continue
            if -literal in true:
                return True  # a tautology
            true.add(-literal)
            queue.append(-literal)
        for index in self.units:
            literal = self.clauses[index][0]
            if -literal in true:
                return True
            if literal not in true:
                true.add(literal)
                queue.append(literal)
        while queue:
            false = -queue.pop()
            watching = self.watches.get(false)
            if not watching:
                continue
            kept = []
            conflict = False
            for position, index in enumerate(watching):
                if not self.alive[index]:
                    continue
                if conflict:
                    kept.append(index)
                    continue
                clause = self.clauses[index]
                if clause[0] == false:
                    clause[0], clause[1] = clause[1], clause[0]
                other = clause[0]
                if other in true:
                    kept.append(index)
                    continue
                for k in range(2, len(clause)):
                    if -clause[k] not in true:
                        clause[1], clause[k] = clause[k], clause[1]
                        self.watches.setdefault(clause[1], []).append(index)
                        break
                else:
                    kept.append(index)
                    if -other in true:
                        conflict = True
                    else:
                        true.add(other)
                        queue.append(other)
            self.watches[false] = kept
            if conflict:
                return True
        return False


def parse_proof(text):
    steps = []
    for line in text.splitlines():
        tokens = line.split()
        if not tokens:
            continue
        deletion = tokens[0] == "d"
        literals = [int(token) for token in tokens[deletion:]]
        assert literals[-1] == 0
        steps.append((deletion, literals[:-1]))
    return steps


def parse_binary_proof(data):
    steps = []
    position = 0
    while position < len(data):
        kind = data[position : position + 1]
        assert kind in (b"a", b"d")
        position += 1
        literals = []
        while True:
            code = shift = 0
            while True:
                byte = data[position]
                position += 1
                code |= (byte & 127) << shift
                shift += 7
                if byte < 128:
                    break
            if code == 0:
                break
            literals.append(code >> 1 if code % 2 == 0 else -(code >> 1))
        steps.append((kind == b"d", literals))
    return steps


def check_refutation(clauses, steps):
    """Verify the proof steps; returns a reason when the proof is wrong."""
    checker = RupChecker(clauses)
    for number, (deletion, literals) in enumerate(steps, 1):
        if deletion:
            if not checker.delete(literals):
                return "step %d deletes a clause that is not there" % number
            continue
        if not checker.implies(literals):
            return "step %d: lemma %s is not implied by unit propagation" % (number, literals)
        checker.add(literals)
        if not literals:
            return None
    return "the proof never derives the empty clause"


def refute(clauses, binary=False, **options):
    stream = io.BytesIO() if binary else io.StringIO()
    proof = DratWriter(stream, binary=binary)
    with Solver(clauses, proof=proof, **options) as solver:
        assert solver.solve() is False
    proof.close()
    if binary:
        return parse_binary_proof(stream.getvalue()), proof
    return parse_proof(stream.getvalue()), proof


# -- the checker itself -------------------------------------------------------


def test_the_checker_refuses_a_lemma_that_does_not_follow():
    clauses = [[1, 2], [-1, 2], [1, -2], [-1, -2, 3], [-1, -2, -3]]
    assert check_refutation(clauses, [(False, [3])]) is not None
    assert check_refutation(clauses, [(False, [2]), (False, [1]), (False, [])]) is None


def test_the_checker_refuses_a_proof_without_the_empty_clause():
    assert check_refutation([[1, 2], [-1, 2], [1, -2], [-1, -2]], [(False, [2])]) is not None


def test_the_checker_refuses_deleting_an_unknown_clause():
    assert check_refutation([[1, 2]], [(True, [1, 3])]) is not None


def test_the_checker_forgets_deleted_clauses():
    clauses = [[1, 2], [-1, 2], [1, -2], [-1, -2]]
    assert check_refutation(clauses, [(True, [1, -2]), (False, [2]), (False, [1])]) is not None


# -- proofs of the solver ---------------------------------------------------------


@pytest.mark.parametrize("family", ["uuf50", "uuf75"])
def test_proofs_of_unsatisfiable_benchmarks_check(family):
    for path in bench_files(family):
        clauses = read_dimacs(path).clauses
        steps, _ = refute(clauses)
        assert check_refutation(clauses, steps) is None, path


@pytest.mark.parametrize("holes", [3, 4, 5, 6])
def test_proofs_of_pigeonhole_formulas_check(holes):
    clauses = pigeonhole(holes)
    steps, _ = refute(clauses)
    assert check_refutation(clauses, steps) is None


def test_proofs_with_frequent_deletions_check():
    # Reductions delete learnt clauses that implied level-0 literals; the
    # proof must record those literals first.
    for seed in range(12):
        clauses = random_ksat(50, 240, 3, 500 + seed)
        stream = io.StringIO()
        with Solver(clauses, proof=DratWriter(stream), reduce=5, restarts="luby") as solver:
            answer = solver.solve()
        if answer is False:
            steps = parse_proof(stream.getvalue())
            assert check_refutation(clauses, steps) is None, seed
    steps, proof = refute(pigeonhole(6), reduce=50)
    assert proof.deletions > 0
    assert any(deletion for deletion, _ in steps)
    assert check_refutation(pigeonhole(6), steps) is None


def live_learnt_clauses(handle):
    """Key (compressed literal codes) -> literals of every live learnt clause."""
    clauses = {}
    cid = mirl_nif.clauseset_first(handle, 1)
    while cid is not False:
        if mirl_nif.clause_info(handle, cid, "status") is None:
            clauses[bytes(mirl_nif.compress_clause(handle, cid))] = mirl_nif.get_clause(handle, cid, None, True)
        cid = mirl_nif.clauseset_next(handle, cid)
    return clauses


class LocalityWatched(Solver):
    """A solver that reduces as on structured instances and checks that
    each reduction keeps every live clause learnt since the previous one
    (or a shorter clause made of some of its literals, by vivification)."""

    def _reduce(self):
        before = live_learnt_clauses(self._handle)
        fresh = set(before) - self._held_keys
        deleted = self.stats["deleted_clauses"]
        super()._reduce()
        after = [set(literals) for literals in live_learnt_clauses(self._handle).values()]
        for key in fresh - self._held_keys:
            assert any(literals <= set(before[key]) for literals in after)
        self.deletions_seen = getattr(self, "deletions_seen", 0) + self.stats["deleted_clauses"] - deleted


def test_reductions_keeping_fresh_clauses_keep_them_and_proofs_check():
    # Modes never switch with one bump distance, so the setting made here
    # stays for the whole search.
    clauses = pigeonhole(6)
    stream = io.StringIO()
    with LocalityWatched(clauses, proof=DratWriter(stream), reduce=50, bump="next") as solver:
        solver._policy.keep_fresh = True
        assert solver.solve() is False
        assert solver.deletions_seen > 0
    assert check_refutation(clauses, parse_proof(stream.getvalue())) is None


def test_binary_proofs_check():
    clauses = pigeonhole(5)
    steps, proof = refute(clauses, binary=True, reduce=10)
    assert len(steps) == proof.lemmas + proof.deletions
    assert check_refutation(clauses, steps) is None


def test_a_formula_refuted_while_adding_clauses_gets_the_empty_clause():
    steps, _ = refute([[1], [-1, 2], [-2]])
    assert check_refutation([[1], [-1, 2], [-2]], steps) is None
    assert steps[-1] == (False, [])


def test_units_found_by_propagation_only_give_the_empty_clause():
    clauses = [[1, 2], [1, -2], [-1, 3], [-1, -3]]
    steps, _ = refute(clauses)
    assert check_refutation(clauses, steps) is None


def test_the_command_line_writes_a_checkable_proof(tmp_path, capsys):
    path = bench_files("uuf50")[0]
    proof_path = str(tmp_path / "proof.drat")
    assert main(["-q", "--proof", proof_path, path]) == 20
    capsys.readouterr()
    with open(proof_path) as stream:
        steps = parse_proof(stream.read())
    assert check_refutation(read_dimacs(path).clauses, steps) is None


def test_the_command_line_writes_binary_proofs(tmp_path, capsys):
    cnf = tmp_path / "php.cnf"
    clauses = pigeonhole(4)
    cnf.write_text("p cnf 20 %d\n" % len(clauses) + "".join(" ".join(map(str, c)) + " 0\n" for c in clauses))
    proof_path = str(tmp_path / "proof.bin")
    assert main(["-q", "--binary-proof", "--proof", proof_path, str(cnf)]) == 20
    capsys.readouterr()
    with open(proof_path, "rb") as stream:
        steps = parse_binary_proof(stream.read())
    assert check_refutation(clauses, steps) is None


def test_an_unwritable_proof_path_is_one_error_line(tmp_path, capsys):
    path = bench_files("uuf50")[0]
    code = main(["--proof", os.path.join(str(tmp_path), "missing", "proof.drat"), path])
    assert code == 1
    assert capsys.readouterr().err.startswith("mirl: error: cannot write")
