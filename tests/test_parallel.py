"""Cube-and-conquer on a local Dask cluster: answers, models, a worker that
dies mid-run, a cluster that cannot be used, Ctrl-C.  One cluster of two
workers serves the tests that do not start the command line's own."""

import os
import signal
import subprocess
import sys
import threading
import time

import pytest

from cnf_tools import minisat_answer, parity_chain, pigeonhole, random_ksat, satisfies

distributed = pytest.importorskip("distributed")

from mirl import cli, parallel  # noqa: E402
from mirl.cubes import make_cubes  # noqa: E402
from mirl.solver import Solver  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


@pytest.fixture(scope="module")
def cluster():
    client, local = parallel.start_local_cluster(2)
    try:
        yield client, local
    finally:
        parallel.close_local_cluster(client, local)


def write_cnf(path, clauses):
    nvars = max(abs(literal) for clause in clauses for literal in clause)
    path.write_text("p cnf %d %d\n" % (nvars, len(clauses)) + "".join(
        " ".join(map(str, clause)) + " 0\n" for clause in clauses))
    return str(path)


def test_answers_and_models_agree_with_minisat(cluster, tmp_path, capsys):
    client, local = cluster
    if parallel._fork_server_available():
        # The workers come from the fork server, never from this process,
        # whose threads may hold locks at the moment of a fork.
        assert os.getpid() not in client.run(os.getppid).values()
    formulas = [random_ksat(120, 511, 3, seed) for seed in range(5)]
    formulas += [pigeonhole(6), parity_chain(40, 1, 3), [[1, 2], [-1], [-2]]]
    for clauses in formulas:
        expected = minisat_answer(clauses)
        result = parallel.solve(clauses, client=client)
        assert result.status is expected
        if expected:
            assert satisfies(clauses, result.model)
        else:
            # Every cube is accounted for: refuted by the lookahead, by a
            # worker, or by the failed assumptions of another cube.
            assert result.refuted == result.cubes
    # The time limit holds across the workers.
    started = time.perf_counter()
    assert parallel.solve(pigeonhole(10), client=client, time_limit=0.5).status is None
    assert time.perf_counter() - started < 5
    # The lookahead's cubes never change the root solver, and refute on
    # the spot what propagation refutes.
    root = Solver(formulas[1])
    cubes = make_cubes(root, 8)
    assert len(cubes.open) >= 8 and root.level() == 0 and root.stats["root_assignments"] == 0
    assert root.solve() is True and satisfies(formulas[1], root.get_model())
    assert make_cubes(Solver(pigeonhole(4)), 16).open == []
    assert make_cubes(Solver([[1], [-1, 2], [-2]]), 8).open == []

    # The command line on the same cluster: the sequential solver's lines.
    sat = write_cnf(tmp_path / "sat.cnf", formulas[1])
    assert cli.main(["--scheduler", local.scheduler_address, "-n", sat]) == 10
    out = capsys.readouterr().out
    assert "s SATISFIABLE\n" in out and "model checked" in out
    assert cli.main(["--scheduler", local.scheduler_address, "-q", sat]) == 10
    out = capsys.readouterr().out
    assert out.startswith("s SATISFIABLE\nv ")
    assert satisfies(formulas[1], [int(x) for x in out.split() if x.lstrip("-").isdigit()][:-1])
    unsat = write_cnf(tmp_path / "unsat.cnf", formulas[0])
    assert cli.main(["--scheduler", local.scheduler_address, "-q", unsat]) == 20
    assert capsys.readouterr().out == "s UNSATISFIABLE\n"


def test_cubes_split_for_idle_workers_keep_the_answers(cluster, monkeypatch):
    # Two cubes for two workers: the one left running is split as soon as
    # the other worker idles, and its parts are split again in turn.
    client, _ = cluster
    monkeypatch.setattr(parallel, "SPLIT_AFTER", 0.0)
    clauses = pigeonhole(7)
    first = make_cubes(Solver(clauses), 2)
    result = parallel.solve(clauses, client=client, cubes_per_worker=1)
    assert result.status is False
    assert result.cubes > len(first.open) + first.refuted and result.refuted == result.cubes
    for seed in range(3):
        clauses = random_ksat(160, 660, 3, seed)
        expected = minisat_answer(clauses)
        result = parallel.solve(clauses, client=client, cubes_per_worker=1)
        assert result.status is expected
        assert satisfies(clauses, result.model) if expected else result.refuted == result.cubes


def test_a_cluster_that_cannot_be_used_is_one_error_line(tmp_path, capsys, monkeypatch):
    path = write_cnf(tmp_path / "f.cnf", [[1, 2]])
    monkeypatch.setattr(parallel, "CONNECT_TIMEOUT", 0.5)
    # Port 9 (discard) has no scheduler on this machine.
    assert cli.main(["--scheduler", "tcp://127.0.0.1:9", path]) == 1
    captured = capsys.readouterr()
    assert captured.err.count("\n") == 1
    assert captured.err.startswith("mirl: error: cannot reach the Dask scheduler at tcp://127.0.0.1:9")
    monkeypatch.setitem(sys.modules, "distributed", None)
    assert cli.main(["--jobs", "2", "-q", path]) == 1
    assert capsys.readouterr().err == "mirl: error: %s\n" % parallel.INSTALL_HINT
    # --jobs 1 is the sequential solver: no Dask needed, none imported.
    assert cli.main(["--jobs", "1", "-q", path]) == 10
    env = dict(os.environ, PYTHONPATH=os.pathsep.join([os.path.join(ROOT, "python")] + [p for p in sys.path if p]))
    script = "import sys, mirl.cli, mirl.parallel; mirl.cli.main(['--jobs', '1', '-q', %r]); " \
             "sys.exit('distributed' in sys.modules or 'dask' in sys.modules)" % path
    assert subprocess.run([sys.executable, "-c", script], env=env, capture_output=True).returncode == 0


def test_a_worker_killed_mid_run_leaves_the_answer_unchanged(cluster):
    client, local = cluster
    clauses = random_ksat(180, 766, 3, 1)  # unsatisfiable, about a second of search per worker
    outcome = {}
    thread = threading.Thread(target=lambda: outcome.update(result=parallel.solve(clauses, client=client)))
    thread.start()
    # Kill a worker once it is solving cubes of this run.
    deadline = time.time() + 30
    while not any(key.startswith("mirl-cube-") for keys in client.processing().values() for key in keys):
        assert time.time() < deadline
        time.sleep(0.05)
    time.sleep(0.3)
    victim = next(iter(client.run(os.getpid).values()))
    os.kill(victim, signal.SIGKILL)
    thread.join(120)
    assert outcome["result"].status is False
    assert outcome["result"].refuted == outcome["result"].cubes
    assert minisat_answer(clauses) is False


def test_the_command_line_starts_its_own_cluster(tmp_path):
    # Forked workers and the local search that runs while they start: the
    # answers, the model checked, no process left behind.
    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join([os.path.join(ROOT, "python")] + [p for p in sys.path if p])
    for clauses in (random_ksat(150, 600, 3, 7), random_ksat(150, 700, 3, 2)):
        path = write_cnf(tmp_path / "f.cnf", clauses)
        process, out, err = run_in_own_session([sys.executable, "-m", "mirl", "--jobs", "2", path], env, 120)
        expected = minisat_answer(clauses)
        assert process.returncode == (10 if expected else 20), err
        if expected:
            assert "model checked" in out
            assert satisfies(clauses, [int(x) for line in out.splitlines() if line.startswith("v ")
                                       for x in line.split()[1:]][:-1])
        assert "Traceback" not in err
        assert live_members_of_session(process.pid) == []


def solving_command(tmp_path, act):
    """Runs ``mirl --jobs 2`` on a hard formula in a session of its own, and
    calls ``act(process)`` once the workers are solving (the progress table
    has begun); the process and what it printed."""
    path = write_cnf(tmp_path / "hard.cnf", pigeonhole(10))
    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join([os.path.join(ROOT, "python")] + [p for p in sys.path if p])
    command = [sys.executable, "-m", "mirl", "--jobs", "2", "--report-interval", "0.1", path]
    with subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env,
                          cwd=ROOT, start_new_session=True) as process:
        try:
            line = process.stderr.readline()
            while line and "cubes" not in line:
                line = process.stderr.readline()
            assert line
            act(process)
            out, err = process.communicate(timeout=60)
        finally:
            if process.poll() is None:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
    assert "Traceback" not in err
    survivors = []
    for _ in range(50):
        survivors = live_members_of_session(process.pid)
        if not survivors:
            break
        time.sleep(0.1)
    assert survivors == []
    return process, out, err


def test_ctrl_c_stops_the_run_and_every_worker(tmp_path):
    # Ctrl-C in a terminal reaches the whole process group.
    process, out, err = solving_command(tmp_path, lambda process: os.killpg(process.pid, signal.SIGINT))
    assert process.returncode == 0, err
    assert out.endswith("s UNKNOWN\n")


def test_the_command_line_reports_workers_that_all_died(tmp_path):
    # The command's own workers are not restarted by anyone: when every one
    # of them is gone, the run ends with an error line instead of waiting.
    def kill_all_but_the_command(process):
        for pid in live_members_of_session(process.pid):
            if pid != process.pid:
                os.kill(pid, signal.SIGKILL)

    process, out, err = solving_command(tmp_path, kill_all_but_the_command)
    assert process.returncode == 1, err
    assert "mirl: error: every worker of the local cluster has died\n" in err


def run_in_own_session(command, env, timeout):
    """Runs the command in a session of its own; past the timeout, every
    process of the session is killed and the test fails with what the
    command printed so far."""
    with subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env, cwd=ROOT,
                          start_new_session=True) as process:
        try:
            out, err = process.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            for pid in live_members_of_session(process.pid):
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            out, err = process.communicate()
            pytest.fail("%s did not end within %d s; it printed:\n%s%s" % (" ".join(command), timeout, out, err))
    return process, out, err


def live_members_of_session(session):
    """Processes of the session that are not zombies, read from /proc (an
    external ps would inherit the sanitizer runtime preloaded into the test
    run, and may hang with it)."""
    members = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except (OSError, IndexError):
            continue
        if int(fields[3]) == session and fields[0] != "Z":
            members.append(int(entry))
    return members


def test_a_task_the_scheduler_cancelled_is_told_apart_from_ours():
    # When every worker holding the formula dies, the scheduler cancels the
    # cubes' tasks; the cancellation can land between the status check and
    # the result, and must end the run instead of escaping as a traceback.
    from concurrent.futures import CancelledError

    class Future:
        def __init__(self, status):
            self.status = status

        def result(self):
            self.status = "cancelled"
            raise CancelledError("cancelled for reason: unknown")

    for status in ("pending", "cancelled"):
        lost = Future(status)
        assert parallel._answer_of(lost, {0: lost}) is parallel._LOST
        assert parallel._answer_of(Future(status), {0: None}) is None
