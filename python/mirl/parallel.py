"""Cube-and-conquer on a Dask cluster.

The client splits the formula into cubes with a kernel lookahead
(``mirl.cubes``), ships the clauses once to every worker (scattered with
``broadcast``), and submits one task per cube, those whose propagation
assigns the fewest variables first (they tend to take longest).  A worker
builds its ``Solver`` from the clauses the first time a task of this run
reaches it and keeps it for the next cubes, learnt clauses and what its
search policy found included; each cube is solved as assumptions.  When a
cube is refuted, its failed assumptions (the core) refute every cube that
contains them: the worker skips such cubes, and the client cancels those
not started yet.  When fewer cubes are left than worker threads, the worker
of the cube solved longest stops and splits it further for the idle ones
(``_split_cube``).  The first model is checked against
the clauses and ends the run: the other tasks are cancelled and the solvers
still running are interrupted.  The formula is unsatisfiable when every cube
is refuted.

The same code runs on a local cluster started for one call (``jobs``) and on
the workers of a running scheduler (``scheduler``); Dask is imported only
here, so the sequential solver never needs it.  A local cluster takes about
a second to start, most of it importing Dask: on Linux, its workers are
forked right after that import while this process has one thread (see
``_ForkedWorkers``; a process with threads takes them from a fork server),
and a child process forked before the import solves cubes from the last one
down meanwhile (see ``_EarlySearch``).
"""

import os
import queue
import signal
import threading
import time
import uuid

from .cubes import candidate_variables, make_cubes
from .solver import Solver

__all__ = [
    "ParallelError", "ParallelResult", "solve", "connect", "start_local_cluster", "close_local_cluster",
    "progress_table", "run_command", "INSTALL_HINT", "CUBES_PER_WORKER",
]

INSTALL_HINT = "parallel solving needs Dask: pip install 'mirl[parallel]' (or pip install 'dask[distributed]')"
# Seconds to wait for a scheduler to answer, and for its first worker.
CONNECT_TIMEOUT = 10.0
WORKER_TIMEOUT = 30.0
# Cubes per worker thread: enough for the faster workers to take over the
# slow cubes of the others.  On uuf200/uuf225/hole8 with two workers, 16
# made the busiest worker's share of the conflicts 10% smaller than 4 did.
CUBES_PER_WORKER = 16
# How often the client looks at its stop flag, deadline and progress.
_POLL = 0.1
# When fewer cubes are left than worker threads for this long, the cube
# solved longest is split further for the idle ones; a request that found
# the cube not started yet is made again after _SPLIT_RETRY seconds.
SPLIT_AFTER = 0.2
_SPLIT_RETRY = 0.5


class ParallelError(RuntimeError):
    """The cluster could not be used (no Dask, no scheduler, no worker, a
    task that failed on every worker it was given to)."""


class ParallelResult:
    """``status``: True, False or None (time limit, interrupt, conflict
    limit); ``model`` (signed ints, variable 1 first) when True; ``cubes``,
    ``done`` (cubes answered by a worker or the local search that fills
    the start of a local cluster), ``refuted`` (cubes refuted by
    propagation, by a worker or by another cube's core), ``workers`` (worker
    threads used) and ``stats`` (the workers' counters, summed; ``seconds``
    is the processor time of their searches, and ``conflicts_by_worker`` and
    ``seconds_by_worker`` split two of them by worker)."""

    def __init__(self, status, model, cubes, done, refuted, workers, stats):
        self.status = status
        self.model = model
        self.cubes = cubes
        self.done = done
        self.refuted = refuted
        self.workers = workers
        self.stats = stats

    def __repr__(self):
        return "ParallelResult(status=%r, cubes=%d, done=%d, refuted=%d, workers=%d)" % (
            self.status, self.cubes, self.done, self.refuted, self.workers)


def _distributed():
    try:
        import distributed
    except ImportError:
        raise ParallelError(INSTALL_HINT) from None
    return distributed


# -- the worker side ------------------------------------------------------------

class _Formula:
    """What is shipped once per worker: the clauses, the solver options and
    the variables a cube may be split on (most frequent first)."""

    def __init__(self, token, nvars, clauses, options, candidates):
        self.token = token
        self.nvars = nvars
        self.clauses = clauses
        self.options = options
        self.candidates = candidates


class _Run:
    """A worker process's state for one run: idle solvers (one per thread at
    most), the solvers working now (and on which cube), the cubes the client
    asked to split, the cores found, and whether the client stopped the
    run."""

    def __init__(self):
        self.idle = []
        self.active = set()
        self.working = {}
        self.splitting = set()
        self.cores = []
        self.stopped = False


_RUNS = {}
_RUNS_LOCK = threading.Lock()
_STOPPED_KEEP = 64  # stopped runs remembered, so their late tasks end at once


def _run_state(token):
    with _RUNS_LOCK:
        run = _RUNS.get(token)
        if run is None:
            run = _RUNS[token] = _Run()
        return run


def _solver_for(formula, run, index):
    with _RUNS_LOCK:
        if run.idle:
            solver = run.idle.pop()
        else:
            solver = None
    if solver is None:
        solver = Solver(**formula.options)
        solver.ensure_vars(formula.nvars)
        solver.append_formula(formula.clauses)
    with _RUNS_LOCK:
        run.active.add(solver)
        run.working[index] = solver
        if run.stopped:
            solver.interrupt()
    return solver


def _counters(solver):
    stats = solver.accum_stats()
    return {key: stats[key] for key in ("conflicts", "decisions", "propagations", "restarts")}


def _solve_cube(formula, index, cube, conflict_limit, time_left, split_target=2):
    """Solves one cube on this worker; the answer as a dict.  When the
    client asks for it (``_split_cube``, because other workers have nothing
    left to do), the search stops and the answer holds the cube split
    further in ``split`` (open cubes, each extending this one) and
    ``split_refuted`` (those refuted by propagation)."""
    run = _run_state(formula.token)
    answer = {"index": index, "status": None, "model": None, "core": None, "skipped": False, "stats": None,
              "worker": _worker_name(), "split": None, "split_refuted": 0}
    literals = set(cube)
    with _RUNS_LOCK:
        if run.stopped:
            return answer
        for core in run.cores:
            if core <= literals:
                answer.update(status=False, core=sorted(core, key=abs), skipped=True)
                return answer
    started = time.thread_time()
    solver = _solver_for(formula, run, index)
    before = _counters(solver)
    timer = None
    expired = threading.Event()
    if time_left is not None:
        def expire():
            expired.set()
            solver.interrupt()

        timer = threading.Timer(max(0.0, time_left), expire)
        timer.daemon = True
        timer.start()
    try:
        if conflict_limit is not None:
            solver.conf_budget(conflict_limit)
        while True:
            status = solver.solve_limited(assumptions=cube)
            answer["status"] = status
            if status is not None:
                break
            used = _counters(solver)["conflicts"] - before["conflicts"]
            if conflict_limit is not None and used >= conflict_limit:
                break
            if not _split_wanted(run, index, solver, expired):
                break
            split = make_cubes(solver, split_target, _split_candidates(formula, cube), _SPLIT_CANDIDATES,
                               cube).hardest_first()
            if len(split.open) != 1:
                answer["split"] = split.open
                answer["split_refuted"] = split.refuted
                break
            # Nothing left to split on: the search goes on.
            with _RUNS_LOCK:
                run.splitting.discard(index)
            if expired.is_set():
                break
        if status is True:
            answer["model"] = solver.get_model()
        elif status is False:
            core = solver.get_core() or []
            answer["core"] = core
            with _RUNS_LOCK:
                run.cores.append(frozenset(core))
    finally:
        if timer is not None:
            timer.cancel()
        after = _counters(solver)
        answer["stats"] = {key: after[key] - before[key] for key in after}
        # Processor time of this thread: the work, whatever else runs on
        # the machine.
        answer["stats"]["seconds"] = time.thread_time() - started
        with _RUNS_LOCK:
            # Under the lock: a request to split that comes late finds the
            # solver gone and leaves no interrupt behind for the next cube.
            run.active.discard(solver)
            if run.working.get(index) is solver:
                del run.working[index]
            run.splitting.discard(index)
            if not run.stopped:
                solver.clear_interrupt()
                run.idle.append(solver)
    return answer


# Variables the lookahead of a worker may split a cube on.
_SPLIT_CANDIDATES = 48


def _split_candidates(formula, cube):
    inside = {abs(literal) for literal in cube}
    return [variable for variable in formula.candidates if variable not in inside]


def _split_wanted(run, index, solver, expired):
    """Whether the search of cube ``index`` stopped because the client asked
    to split the cube (not for the time limit or the end of the run)."""
    with _RUNS_LOCK:
        if run.stopped or expired.is_set() or index not in run.splitting:
            return False
        solver.clear_interrupt()
        return True


def _split_cube(token, index):
    """Stops the search of cube ``index`` on this worker, which splits the
    cube further; False when the cube is not being solved here."""
    with _RUNS_LOCK:
        run = _RUNS.get(token)
        if run is None or run.stopped:
            return False
        solver = run.working.get(index)
        if solver is None:
            return False
        run.splitting.add(index)
        solver.interrupt()
        return True


def _worker_name():
    try:
        from distributed import get_worker

        return get_worker().address
    except (ImportError, ValueError):
        return None


def _stop_run(token):
    """Interrupts this worker's solvers of the run and drops the ones kept
    for it; later tasks of the run answer at once."""
    with _RUNS_LOCK:
        run = _RUNS.get(token)
        if run is None:
            run = _RUNS[token] = _Run()
        run.stopped = True
        run.idle = []
        run.cores = []
        for solver in run.active:
            solver.interrupt()
        stopped = [key for key, value in _RUNS.items() if value.stopped and not value.active]
        for key in stopped[:-_STOPPED_KEEP]:
            del _RUNS[key]
    return True


# -- the client side --------------------------------------------------------------

def _fork_server_available():
    """Whether a cluster started once this process runs Dask's threads
    takes its workers from a fork server: on Linux a worker forked from it
    starts in a few tenths of a second, where a spawned one imports Dask
    again (a second or more each).  They are never forked from this process
    then: one of its threads may hold a lock at the moment of the fork (an
    import, a log handler), and the worker would wait on it forever."""
    import multiprocessing
    import sys

    return sys.platform.startswith("linux") and "forkserver" in multiprocessing.get_all_start_methods()


# The modules the fork server imports once for all the workers it forks.
# ``mirl._fork_server`` makes the server's children ignore SIGINT.
_FORK_SERVER_PRELOAD = ["mirl._fork_server", "distributed", "mirl.parallel", "mirl._dask_plugins"]


def _start_fork_server():
    """Starts the fork server the local cluster's workers come from, when
    there is none: a fresh interpreter (started by fork and exec, safe with
    threads) that imports Dask once for all the workers it forks.  It ends
    with this process."""
    import multiprocessing
    from multiprocessing import forkserver

    server = getattr(forkserver, "_forkserver", None)
    if server is not None and getattr(server, "_forkserver_pid", None) is not None:
        return
    multiprocessing.get_context("forkserver").set_forkserver_preload(_FORK_SERVER_PRELOAD)
    forkserver.ensure_running()


# Dask settings of the workers.  Their sampling profiler and event loop
# monitor wake up every few milliseconds and take the interpreter lock from
# the solver each time; nobody reads them here.
_WORKER_SETTINGS = {
    "distributed.worker.profile.enabled": False,
    "distributed.admin.system-monitor.gil.enabled": False,
    "distributed.admin.tick.interval": "1s",
}


class _ForkedWorkers:
    """The worker processes of a local cluster, forked from this process
    right after it imported Dask, while it has no other thread (a fork then
    copies no lock another thread could hold, and Dask is imported once for
    all).  Each waits for the scheduler's address on a pipe, then runs a Dask
    worker of one thread until it is killed; it ignores SIGINT (Ctrl-C is
    for this process, which stops the workers itself) and dies with this
    process."""

    def __init__(self, pids, inboxes):
        self.count = len(pids)
        self.pids = pids
        self.inboxes = inboxes

    @classmethod
    def start(cls, count, inherited=()):
        """``count`` workers, or None where a fork is not safe (no fork, or
        other threads in this process).  ``inherited``: descriptors of this
        process the workers close."""
        import sys

        if not sys.platform.startswith("linux") or threading.active_count() > 1:
            return None
        import ctypes  # noqa: F401 (imported before the fork, used by the children)

        parent = os.getpid()
        pids, inboxes = [], []
        try:
            for index in range(count):
                read, write = os.pipe()
                pid = os.fork()
                if pid == 0:
                    code = 0
                    try:
                        for fd in list(inherited) + inboxes + [write]:
                            os.close(fd)
                        _worker_child(read, parent, index)
                    except BaseException:
                        code = 1
                    os._exit(code)
                os.close(read)
                pids.append(pid)
                inboxes.append(write)
        except BaseException:
            cls(pids, inboxes).kill()
            raise
        return cls(pids, inboxes)

    def connect(self, address):
        """Sends the scheduler's address: the workers join it."""
        data = address.encode() + b"\n"
        for inbox in self.inboxes:
            try:
                os.write(inbox, data)
            except OSError:  # a worker already gone
                pass
            os.close(inbox)
        self.inboxes = []

    def alive(self):
        """How many of the workers still run; those that ended are reaped
        and forgotten (their ids may be reused)."""
        running = []
        for pid in self.pids:
            try:
                done, _ = os.waitpid(pid, os.WNOHANG)
            except ChildProcessError:
                continue
            if done == 0:
                running.append(pid)
        self.pids = running
        return len(running)

    def kill(self):
        for inbox in self.inboxes:
            os.close(inbox)
        self.inboxes = []
        for pid in self.pids:
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        for pid in self.pids:
            try:
                os.waitpid(pid, 0)
            except ChildProcessError:
                pass
        self.pids = []


def _child_of(parent):
    """Set-up of a process forked by this module: Ctrl-C is for the parent,
    TERM ends it, and it dies with the parent; False when the parent is
    already gone."""
    import ctypes

    signal.signal(signal.SIGINT, signal.SIG_IGN)
    signal.signal(signal.SIGTERM, signal.SIG_DFL)
    try:
        ctypes.CDLL(None).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG: die with the parent
    except (OSError, AttributeError):
        pass
    return os.getppid() == parent


def _worker_child(inbox, parent, index):
    import logging

    if not _child_of(parent):
        return
    data = b""
    while not data.endswith(b"\n"):
        chunk = os.read(inbox, 4096)
        if not chunk:
            return
        data += chunk
    os.close(inbox)
    import asyncio

    import dask
    import distributed

    logging.getLogger("distributed").setLevel(logging.CRITICAL)

    async def run():
        async with distributed.Worker(data.decode().strip(), nthreads=1, name=index, memory_limit=0,
                                      host="127.0.0.1") as worker:
            await worker.finished()

    with dask.config.set(_WORKER_SETTINGS):
        asyncio.run(run())


def _scheduler_for(workers):
    """A local cluster of no worker of its own (only its scheduler), joined
    by the forked ``workers``, and a client on it."""
    distributed = _distributed()
    import logging

    cluster = distributed.LocalCluster(
        n_workers=0, processes=True, silence_logs=logging.CRITICAL, host="127.0.0.1",
        dashboard_address=None, scheduler_kwargs={"dashboard": False, "dashboard_address": "127.0.0.1:0"},
    )
    # The workers join while the client connects.
    workers.connect(cluster.scheduler_address)
    try:
        client = distributed.Client(cluster)
    except BaseException:
        cluster.close()
        raise
    return client, cluster


def start_local_cluster(jobs):
    """A local Dask cluster of ``jobs`` single-threaded worker processes and
    a client on it; close both with ``close_local_cluster``."""
    distributed = _distributed()
    import logging

    import dask

    # Ctrl-C in a terminal reaches the whole process group, but it is this
    # process that stops the run and closes the cluster, workers included:
    # the worker processes ignore SIGINT, those started now by inheriting
    # the ignored signal (from this process or the fork server), those the
    # nannies restart later by a plugin.  A Ctrl-C while the cluster starts
    # is lost.
    main = threading.current_thread() is threading.main_thread()
    previous = signal.signal(signal.SIGINT, signal.SIG_IGN) if main else None
    if previous is None:
        previous = signal.SIG_DFL
    settings = dict(_WORKER_SETTINGS)
    if _fork_server_available():
        _start_fork_server()
        settings["distributed.worker.multiprocessing-method"] = "forkserver"
        # The server runs with its own modules already; Dask would otherwise
        # import its optional packages here to preload them.
        import distributed.utils as utils

        if hasattr(utils, "_forkserver_preload_set"):
            utils._forkserver_preload_set = True
    try:
        with dask.config.set(settings):
            cluster = distributed.LocalCluster(
                n_workers=jobs, threads_per_worker=1, processes=True, silence_logs=logging.CRITICAL, memory_limit=0,
                # No dashboard; the scheduler's small HTTP server on any free port.
                dashboard_address=None, scheduler_kwargs={"dashboard": False, "dashboard_address": "127.0.0.1:0"},
            )
    finally:
        if main:
            signal.signal(signal.SIGINT, previous)
    try:
        client = distributed.Client(cluster)
        from ._dask_plugins import IgnoreInterrupts

        client.register_plugin(IgnoreInterrupts(), name="mirl-ignore-sigint")
    except BaseException:
        cluster.close()
        raise
    return client, cluster


def close_local_cluster(client, cluster):
    try:
        client.close()
    finally:
        cluster.close()


def connect(address, timeout=None):
    """A client on the scheduler at ``address``; ParallelError when it
    cannot be reached in ``timeout`` seconds."""
    distributed = _distributed()
    timeout = CONNECT_TIMEOUT if timeout is None else timeout
    try:
        return distributed.Client(address, timeout=timeout)
    except (OSError, TimeoutError, ValueError) as error:
        reason = str(error).splitlines()[0] if str(error) else type(error).__name__
        raise ParallelError("cannot reach the Dask scheduler at %s: %s" % (address, reason)) from None


def _falsified(clauses, model):
    for index, clause in enumerate(clauses):
        for literal in clause:
            if model[abs(literal) - 1] == literal:
                break
        else:
            return index
    return None


class _Table:
    """The progress lines of a parallel run, on stderr every ``interval``
    seconds."""

    header = (
        "c",
        "c    seconds     cubes      done      open   refuted   workers   conflicts",
        "c   ----------------------------------------------------------------------",
    )

    def __init__(self, stream, interval, start):
        self.stream = stream
        self.interval = interval
        self.start = start
        self.last = start
        self.lines = 0

    def __call__(self, cubes, done, open_, refuted, workers, conflicts, force=False):
        now = time.perf_counter()
        # The closing line only ends a table already begun.
        if (force and not self.lines) or (not force and now - self.last < self.interval):
            return
        if not self.lines:
            self.stream.write("\n".join(self.header) + "\n")
        self.stream.write("c %10.1f %9d %9d %9d %9d %9d %11d\n" % (
            now - self.start, cubes, done, open_, refuted, workers, conflicts))
        self.stream.flush()
        self.lines += 1
        self.last = now


def progress_table(stream, interval=1.0, start=None):
    """A progress callable for ``solve`` printing the cube counts."""
    return _Table(stream, interval, time.perf_counter() if start is None else start)


def solve(clauses, nvars=None, *, jobs=None, scheduler=None, client=None, solver_options=None, time_limit=None,
          conflict_limit=None, cubes_per_worker=CUBES_PER_WORKER, stop=None, progress=None, root=None):
    """Solves the clauses by cube-and-conquer on Dask.

    Give one of ``client`` (a ``distributed.Client``), ``scheduler`` (the
    address of a running scheduler) or ``jobs`` (the number of
    single-threaded worker processes of a local cluster started and closed
    by this call; while it starts, a forked child of this process solves
    cubes if this process has no other thread).  ``solver_options`` are
    keyword arguments of the workers' ``Solver``; ``time_limit`` (seconds)
    holds for the whole run, ``conflict_limit`` for each cube.  ``stop`` is
    a ``threading.Event`` that ends the run (answer None) when set, from
    any thread or a signal handler.  ``progress(cubes, done, open, refuted, workers, conflicts,
    force=False)`` is called while the run goes on.  ``root`` may be a
    ``Solver`` already holding the clauses (it is not changed).

    Returns a ``ParallelResult``; raises ``ParallelError`` when the cluster
    cannot be used.
    """
    start = time.perf_counter()
    deadline = None if time_limit is None else start + time_limit
    options = dict(solver_options or {})
    if nvars is None:
        nvars = max((abs(literal) for clause in clauses for literal in clause), default=0)
    if sum(x is not None for x in (jobs, scheduler, client)) != 1:
        raise ValueError("give exactly one of jobs, scheduler and client")
    if jobs is not None and jobs < 1:
        raise ValueError("jobs must be at least 1")
    stop = threading.Event() if stop is None else stop
    arrived = queue.Queue()
    owned = None
    early = None
    split = None
    forked = None
    # Every variable, most frequent first: the first ones are split on.
    candidates = candidate_variables(clauses, nvars)
    try:
        if jobs is not None:
            # The cubes are known before the cluster is: the local search
            # starts on them at once, while Dask is imported and the workers
            # start.
            if root is None:
                root = _root(clauses, nvars, options)
            split = make_cubes(root, max(2, jobs * cubes_per_worker), candidates[:48]).hardest_first()
            early = _EarlySearch.start(root, split.open, conflict_limit, arrived)
        _distributed()
        if jobs is not None:
            # This process still has a single thread: the workers are forked
            # now (else they come from a fork server, see start_local_cluster).
            forked = _ForkedWorkers.start(jobs, early.descriptors() if early is not None else ())
        if early is not None:
            early.listen()
        if stop.is_set():
            # Stopped while Dask was imported: no cluster to start.
            cubes, refuted = (len(split.open) + split.refuted, split.refuted) if split else (0, 0)
            return ParallelResult(None, None, cubes, 0, refuted, 0, _no_stats(split.probes if split else 0))
        if forked is not None:
            owned = _scheduler_for(forked)
            client = owned[0]
        elif jobs is not None:
            owned = start_local_cluster(jobs)
            client = owned[0]
        elif scheduler is not None:
            client = connect(scheduler)
            owned = (client, None)
        return _conquer(client, clauses, nvars, options, root, deadline, conflict_limit, cubes_per_worker, stop,
                        progress, candidates, split, early, arrived, forked)
    finally:
        # The child is killed first and reaped last: at its low priority it
        # may wait a while for the processor it needs to exit.
        if early is not None:
            early.kill()
        try:
            # The scheduler closes its workers first, while the cluster
            # still keeps Dask's log quiet: a worker killed before would
            # leave the scheduler a closed connection to log about later.
            if owned is not None:
                if owned[1] is None:
                    owned[0].close()
                else:
                    close_local_cluster(*owned)
        finally:
            if forked is not None:
                forked.kill()
            if early is not None:
                early.close()


def _no_stats(probes):
    return {"conflicts": 0, "decisions": 0, "propagations": 0, "restarts": 0, "seconds": 0.0,
            "lookahead_probes": probes, "conflicts_by_worker": {}, "seconds_by_worker": {}, "local_cubes": 0}


def _root(clauses, nvars, options):
    root = Solver(**options)
    root.ensure_vars(nvars)
    root.append_formula(clauses)
    return root


class _EarlySearch:
    """A local search that uses the cores while the local cluster starts.

    A child process, forked before Dask is imported (a fork then copies
    little and no thread), solves the cubes from the last one down with its
    copy of the root solver: it takes a core left idle while this process
    imports Dask and the workers start (at a lower priority than this
    process, whose import is what the run waits for on a busy machine);
    once the workers are up, it drops to the lowest priority and only uses
    what they leave idle.  The workers take the cubes from the first (the
    hardest) one up, the child takes the easy ones at the end; each side
    skips what the other answered.  Its answers come back as JSON lines and
    join the workers' answers; the child is killed when the run ends, and
    dies with this process."""

    def __init__(self, pid, inbox, outbox, arrived):
        self.pid = pid
        self.inbox = inbox    # indexes answered elsewhere, to the child
        self.outbox = outbox  # the child's answers
        self.arrived = arrived
        self.reader = None

    def descriptors(self):
        return [self.inbox, self.outbox]

    def listen(self):
        """Starts taking the child's answers (in a thread: once it runs,
        this process forks nothing more)."""
        self.reader = threading.Thread(target=self._read, name="mirl-early-search", daemon=True)
        self.reader.start()

    @classmethod
    def start(cls, root, cubes, conflict_limit, arrived):
        """The search started on ``cubes``, or None where a fork is not safe
        (no fork, or other threads in this process)."""
        if not hasattr(os, "fork") or threading.active_count() > 1 or len(cubes) < 2:
            return None
        import ctypes  # noqa: F401 (imported before the fork, used by the child)
        import json  # noqa: F401

        down_read, down_write = os.pipe()
        up_read, up_write = os.pipe()
        parent = os.getpid()
        pid = os.fork()
        if pid == 0:
            code = 0
            try:
                os.close(down_write)
                os.close(up_read)
                _early_child(root, cubes, conflict_limit, down_read, up_write, parent)
            except BaseException:
                code = 1
            os._exit(code)
        os.close(down_read)
        os.close(up_write)
        os.set_blocking(down_write, False)
        return cls(pid, down_write, up_read, arrived)

    def _read(self):
        import json

        with os.fdopen(self.outbox, "rb") as stream:
            for line in stream:
                try:
                    self.arrived.put(json.loads(line))
                except ValueError:
                    break

    def yield_cores(self):
        """The workers are up: the child only takes idle time from now."""
        try:
            os.setpriority(os.PRIO_PROCESS, self.pid, 19)
        except OSError:
            pass

    def answered(self, index):
        """Tells the child that cube ``index`` needs no more work."""
        try:
            os.write(self.inbox, b"%d\n" % index)
        except OSError:  # the child is gone, or has not read for long: it only loses a skip
            pass

    def kill(self):
        try:
            os.kill(self.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass

    def close(self):
        self.kill()
        os.waitpid(self.pid, 0)
        os.close(self.inbox)
        if self.reader is not None:
            self.reader.join(5)
        else:
            os.close(self.outbox)


def _early_child(root, cubes, conflict_limit, inbox, outbox, parent):
    import json

    if not _child_of(parent):
        return
    # The copy of the root solver writes no proof lines into the parent's
    # file and reports no progress of its own.
    root._proof = None
    root.progress = None
    os.nice(10)
    os.set_blocking(inbox, False)
    answered = set()
    pending = b""
    for index in range(len(cubes) - 1, -1, -1):
        while True:
            try:
                data = os.read(inbox, 65536)
            except BlockingIOError:
                break
            if not data:
                return
            pending += data
            *lines, pending = pending.split(b"\n")
            answered.update(int(line) for line in lines if line)
        if index in answered:
            continue
        before = _counters(root)
        if conflict_limit is not None:
            root.conf_budget(conflict_limit)
        status = root.solve_limited(assumptions=cubes[index])
        if status is None:
            continue
        after = _counters(root)
        answer = {"index": index, "status": status, "model": None, "core": None, "skipped": False,
                  "worker": "local", "stats": {key: after[key] - before[key] for key in after}}
        if status:
            answer["model"] = root.get_model()
        else:
            answer["core"] = root.get_core() or []
        data = (json.dumps(answer) + "\n").encode()
        while data:
            data = data[os.write(outbox, data):]
        if status or not answer["core"]:
            return


def _worker_threads(client, deadline, count=1):
    limit = WORKER_TIMEOUT if deadline is None else max(0.1, min(WORKER_TIMEOUT, deadline - time.perf_counter()))
    try:
        client.wait_for_workers(count, timeout=limit)
    except (TimeoutError, OSError):
        raise ParallelError("no Dask worker joined the scheduler within %g s" % limit) from None
    return max(1, sum(client.nthreads().values()))


def _conquer(client, clauses, nvars, options, root, deadline, conflict_limit, cubes_per_worker, stop, progress,
             candidates, split=None, early=None, arrived=None, forked=None):
    threads = _worker_threads(client, deadline, 1 if forked is None else forked.count)
    if split is None:
        if root is None:
            root = _root(clauses, nvars, options)
        split = make_cubes(root, max(2, threads * cubes_per_worker), candidates[:48]).hardest_first()
    arrived = queue.Queue() if arrived is None else arrived
    cubes = list(split.open)
    total = len(cubes) + split.refuted
    refuted = split.refuted
    done = 0
    stats = _no_stats(split.probes)
    # The cubes not answered yet, with their task once it is submitted
    # (in the order of submission: the first ones run longest).
    pending = dict.fromkeys(range(len(cubes)))
    cores = []
    # Cube -> when the client last asked a worker to split it (inf: asked).
    asked = {}
    idle_since = None

    def report(force=False):
        if progress is not None:
            progress(total, done, len(pending), refuted, threads, stats["conflicts"], force=force)

    def settled(index):
        future = pending.pop(index)
        if future is not None and not future.done():
            future.cancel()
        if early is not None:
            early.answered(index)

    def submit(index):
        time_left = None if deadline is None else deadline - time.perf_counter()
        future = client.submit(
            _solve_cube, formula, index, cubes[index], conflict_limit, time_left, max(2, 2 * threads),
            key="mirl-cube-%s-%d" % (token, index), retries=2, pure=False,
        )
        pending[index] = future
        future.add_done_callback(arrived.put)

    def split_for_idle_workers():
        """Asks the worker of the cube solved longest to split it, once
        fewer cubes are left than worker threads (the others idle)."""
        nonlocal idle_since
        running = [index for index, future in pending.items() if future is not None]
        if not running or len(running) >= threads:
            idle_since = None
            return
        now = time.perf_counter()
        if idle_since is None:
            idle_since = now
        if now - idle_since < SPLIT_AFTER:
            return
        for index in running:
            if now - asked.get(index, -_SPLIT_RETRY) >= _SPLIT_RETRY:
                asked[index] = now
                if any(_run_everywhere(client, _split_cube, token, index).values()):
                    asked[index] = float("inf")
                return

    def take_split(answer):
        """The worker stopped a cube and split it: its open parts become
        new cubes."""
        nonlocal total, refuted
        index = answer["index"]
        if index not in pending:
            return
        settled(index)
        parts = answer["split"]
        total += len(parts) + answer["split_refuted"] - 1
        refuted += answer["split_refuted"]
        for part in parts:
            literals = set(part)
            if any(core <= literals for core in cores):
                refuted += 1
                continue
            cubes.append(part)
            pending[len(cubes) - 1] = None
            submit(len(cubes) - 1)

    def take(answer):
        """Counts a cube's answer; the status of the run once it is known
        (True, or None for a limit), else False while cubes remain."""
        nonlocal done, refuted, model
        index = answer["index"]
        for key, value in (answer["stats"] or {}).items():
            stats[key] += value
        if answer["stats"]:
            worker = answer["worker"]
            for key in ("conflicts", "seconds"):
                by_worker = stats[key + "_by_worker"]
                by_worker[worker] = by_worker.get(worker, 0) + answer["stats"].get(key, 0)
        if answer.get("split") is not None:
            take_split(answer)
            return False
        if index in pending:
            settled(index)
            if answer["worker"] == "local":
                stats["local_cubes"] += 1
        elif answer["status"] is False:
            # Answered on both sides, split or covered by a core meanwhile:
            # the core may still refute cubes left (the parts of a split
            # cube); a model still ends the run.
            return refute_covered(answer["core"])
        elif answer["status"] is not True:
            return False
        if answer["status"] is True:
            bad = _falsified(clauses, answer["model"])
            if bad is not None:
                raise ParallelError("a worker returned a model that falsifies clause %d" % (bad + 1))
            model = answer["model"]
            done += 1
            return True
        if answer["status"] is None:
            # Stopped by the conflict limit or the time limit.
            return None
        done += 1
        refuted += 1
        return refute_covered(answer["core"])

    def refute_covered(core):
        """The cubes left that contain the core are refuted too (all of
        them for an empty core: the clauses alone are unsatisfiable)."""
        nonlocal refuted
        covered = frozenset(core)
        cores.append(covered)
        for other in [i for i in pending if covered <= set(cubes[i])]:
            settled(other)
            refuted += 1
        return False

    if not cubes:
        report(force=True)
        return ParallelResult(False, None, total, done, refuted, threads, stats)

    status = False
    model = None
    # What the local search answered while the cluster started.
    while pending and status is False:
        try:
            status = take(arrived.get_nowait())
        except queue.Empty:
            break
    if status is not False or not pending:
        report(force=True)
        return ParallelResult(status, model, total, done, refuted, threads, stats)

    if early is not None:
        early.yield_cores()
    token = uuid.uuid4().hex
    formula = client.scatter([_Formula(token, nvars, clauses, options, candidates)], broadcast=True,
                             hash=False)[0]
    for index in list(pending):
        submit(index)

    try:
        while pending:
            if stop.is_set() or (deadline is not None and time.perf_counter() >= deadline):
                status = None
                break
            split_for_idle_workers()
            try:
                item = arrived.get(timeout=_POLL)
            except queue.Empty:
                if forked is not None and forked.alive() == 0:
                    # Nobody restarts them: the cubes left would wait forever.
                    raise ParallelError("every worker of the local cluster has died") from None
                report()
                continue
            answer = item if isinstance(item, dict) else _answer_of(item, pending)
            if answer is _LOST:
                # The scheduler dropped a task nobody here cancelled: the
                # formula it needs was on workers that all died.
                if forked is not None:
                    raise ParallelError("every worker of the local cluster has died")
                raise ParallelError("the cluster lost its workers and with them the formula")
            if answer is None:
                continue
            status = take(answer)
            if status is not False:
                break
        report(force=True)
    finally:
        outstanding = [future for future in pending.values() if future is not None]
        if outstanding:
            client.cancel(outstanding)
        _run_everywhere(client, _stop_run, token)
        client.cancel([formula])
    if status is False and pending:
        status = None
    return ParallelResult(status, model, total, done, refuted, threads, stats)


def _run_everywhere(client, function, *args):
    """``function(*args)`` on every worker: what each answered (a worker
    gone meanwhile answers nothing)."""
    try:
        answers = client.run(function, *args, on_error="ignore")
    except TypeError:  # a Dask without on_error
        try:
            answers = client.run(function, *args)
        except Exception:
            return {}
    except Exception:
        return {}
    return {worker: answer for worker, answer in answers.items() if not isinstance(answer, BaseException)}


# A task cancelled by the scheduler, not by this process.
_LOST = object()


def _answer_of(future, pending):
    """The answer dict of a finished task; None for a task cancelled here,
    ``_LOST`` for a cube's own task that the scheduler cancelled."""
    ours = any(f is future for f in pending.values())
    if future.status == "cancelled":
        return _LOST if ours else None
    if future.status == "error":
        error = future.exception()
        index = next((i for i, f in pending.items() if f is not None and f.key == future.key), None)
        if index is None:
            return None
        text = str(error).splitlines()[0] if str(error) else ""
        raise ParallelError("cube %d failed: %s: %s" % (index, type(error).__name__, text))
    try:
        return future.result()
    except Exception as error:
        # Cancelled between the status check and the result.
        if future.status == "cancelled" or "Cancelled" in type(error).__name__:
            return _LOST if ours else None
        raise


# -- the command line -------------------------------------------------------------

def run_command(options, root, formula, out, comment, start):
    """``mirl --jobs N FILE`` and ``mirl --scheduler ADDRESS FILE``: the
    same answer lines, exit codes, limits and Ctrl-C handling as the
    sequential command, the cube counts in the progress table."""
    import atexit
    import gc
    import signal
    import sys

    from . import cli

    # Dask's modules hold several hundred thousand objects: the collections
    # of the interpreter's exit would go through them all (a tenth of a
    # second or more) only to free a process that ends anyway.
    atexit.unregister(gc.freeze)
    atexit.register(gc.freeze)
    where = "a local cluster of %d workers" % options.jobs if options.scheduler is None else options.scheduler
    comment("cube-and-conquer on " + where)
    stop = threading.Event()
    previous = {}
    if threading.current_thread() is threading.main_thread():
        for signum in (signal.SIGINT, signal.SIGTERM):
            previous[signum] = signal.signal(signum, lambda *_: stop.set())
    solver_options = {"restarts": None if options.restarts == "none" else options.restarts, "seed": options.seed}
    progress = None if options.quiet else progress_table(sys.stderr, options.report_interval, start)
    time_limit = None if options.time_limit is None else max(0.0, options.time_limit - (time.perf_counter() - start))
    try:
        with cli._kernel_output_to_stderr(out):
            result = solve(
                list(formula), formula.nvars, jobs=None if options.scheduler else options.jobs,
                scheduler=options.scheduler, solver_options=solver_options, time_limit=time_limit,
                conflict_limit=options.conflict_limit, stop=stop, progress=progress, root=root,
            )
    except ParallelError as error:
        return cli._error(error)
    finally:
        for signum, handler in previous.items():
            signal.signal(signum, handler)
    stats = result.stats
    comment("cubes %d: %d answered by workers, %d by the local search, %d refuted, %d worker threads" % (
        result.cubes, result.done - stats["local_cubes"], stats["local_cubes"], result.refuted, result.workers))
    comment("conflicts %d, decisions %d, propagations %d, restarts %d (summed over the workers)" % (
        stats["conflicts"], stats["decisions"], stats["propagations"], stats["restarts"]))
    comment("total time %.3f s" % (time.perf_counter() - start))
    return cli._answer(out, comment, result.status, result.model, formula, options)
