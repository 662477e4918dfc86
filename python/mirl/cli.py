"""The command line: ``mirl FILE.cnf`` (or ``python -m mirl``) solves one
DIMACS file with the reference solver and answers in the SAT competition
format: ``s SATISFIABLE`` with ``v`` lines and exit code 10,
``s UNSATISFIABLE`` and 20, ``s UNKNOWN`` and 0.  A model is checked against
every clause of the file before it is printed; unreadable input (a header
the kernel cannot hold included) is one error line and exit code 1.
Standard output carries only s, v and c lines: whatever the kernel prints
while it works goes to standard error.
"""

import argparse
import contextlib
import ctypes
import os
import signal
import sys
import threading
import time

from . import __version__
from .dimacs import DimacsError, read_dimacs
from .proof import DratWriter
from .solver import Solver

__all__ = ["main", "format_model", "ProgressTable"]

EXIT_SAT = 10
EXIT_UNSAT = 20
EXIT_UNKNOWN = 0
EXIT_ERROR = 1


def _arguments(argv):
    parser = argparse.ArgumentParser(
        prog="mirl", description="Solve a DIMACS CNF file with the mirl reference CDCL solver."
    )
    parser.add_argument("file", metavar="FILE", help="CNF file, plain or compressed (.gz, .xz, .bz2); - for stdin")
    parser.add_argument("-q", "--quiet", action="store_true", help="print only the s and v lines")
    parser.add_argument("-n", "--no-model", action="store_true", help="do not print the v lines")
    parser.add_argument("--proof", metavar="PROOF", help="write a DRAT proof of unsatisfiability to PROOF")
    parser.add_argument("--binary-proof", action="store_true", help="write the proof in binary DRAT")
    parser.add_argument(
        "--seed", type=int, default=0, metavar="N", help="shuffle the initial variable order (0: keep it)"
    )
    parser.add_argument("--time-limit", type=float, default=None, metavar="SEC", help="give up after SEC seconds")
    parser.add_argument("--conflict-limit", type=int, default=None, metavar="N", help="give up after N conflicts")
    parser.add_argument(
        "--restarts", choices=("luby", "geometric", "none"), default="luby", help="restart schedule (default luby)"
    )
    parser.add_argument(
        "--report-interval", type=float, default=1.0, metavar="SEC", help="seconds between progress lines on stderr"
    )
    parser.add_argument(
        "--jobs", type=int, default=1, metavar="N",
        help="split the search over a local Dask cluster of N worker processes (needs mirl[parallel])",
    )
    parser.add_argument(
        "--scheduler", metavar="ADDRESS", help="split the search over the workers of the Dask scheduler at ADDRESS"
    )
    parser.add_argument("--version", action="version", version="mirl " + __version__)
    options = parser.parse_args(argv)
    if options.jobs < 1:
        parser.error("--jobs must be at least 1")
    if options.scheduler is not None and options.jobs != 1:
        parser.error("give either --jobs or --scheduler")
    if options.proof and (options.jobs > 1 or options.scheduler is not None):
        parser.error("--proof needs the sequential solver (--jobs 1)")
    if options.seed < 0 or options.seed > 0xFFFFFFFF:
        parser.error("--seed must be between 0 and 4294967295")
    if options.time_limit is not None and options.time_limit <= 0:
        parser.error("--time-limit must be positive")
    if options.conflict_limit is not None and options.conflict_limit < 0:
        parser.error("--conflict-limit must not be negative")
    return options


class ProgressTable:
    """Prints a progress line on stderr at most every ``interval`` seconds,
    with a header before the first one."""

    header = (
        "c",
        "c    seconds   conflicts  restarts     learnt      fixed     props/s",
        "c   ---------------------------------------------------------------",
    )

    def __init__(self, stream, interval, start):
        self.stream = stream
        self.interval = interval
        self.start = start
        self.last_time = start
        self.last_visits = 0
        self.lines = 0

    def __call__(self, solver):
        now = time.perf_counter()
        if now - self.last_time >= self.interval:
            self.line(solver, now)

    def line(self, solver, now=None):
        now = time.perf_counter() if now is None else now
        stats = solver.stats
        visits = stats["propagations"]
        rate = (visits - self.last_visits) / max(now - self.last_time, 1e-9)
        if not self.lines:
            self.stream.write("\n".join(self.header) + "\n")
        self.stream.write(
            "c %10.1f %11d %9d %10d %10d %11.3g\n"
            % (
                now - self.start,
                stats["conflicts"],
                stats["restarts"],
                stats["learnt_clauses"],
                stats["root_assignments"],
                rate,
            )
        )
        self.stream.flush()
        self.lines += 1
        self.last_time = now
        self.last_visits = visits


def format_model(model, width=78):
    """The ``v`` lines of a model, each at most ``width`` characters, the last
    one ending with 0."""
    lines = []
    current = "v"
    for token in [str(literal) for literal in model] + ["0"]:
        if len(current) + 1 + len(token) > width:
            lines.append(current)
            current = "v"
        current += " " + token
    lines.append(current)
    return lines


def _falsified(clauses, model):
    """Index of the first clause the model does not satisfy, or None."""
    for index, clause in enumerate(clauses):
        for literal in clause:
            if model[abs(literal) - 1] == literal:
                break
        else:
            return index
    return None


def _commenter(out, quiet):
    """The function that writes a ``c`` line to the answer stream (none when
    quiet)."""

    def comment(text):
        if not quiet:
            out.write("c " + text + "\n")

    return comment


def _error(text):
    sys.stderr.write("mirl: error: %s\n" % text)
    return EXIT_ERROR


def _read(options, comment, start):
    """The parsed formula, or None after the error line."""
    try:
        cnf = read_dimacs(options.file)
    except DimacsError as error:
        _error(error)
        return None
    except OSError as error:
        _error("cannot read %s: %s" % (options.file, error.strerror or error))
        return None
    for line, text in cnf.warnings:
        comment("warning: " + text)
    comment("%d variables, %d clauses, parsed in %.2f s" % (cnf.nvars, len(cnf.clauses), time.perf_counter() - start))
    return cnf


def _flush_c_stdout():
    """Writes out what the kernel left in the C library's stdout buffer."""
    try:
        ctypes.CDLL(None).fflush(None)
    except (OSError, AttributeError):
        pass


@contextlib.contextmanager
def _kernel_output_to_stderr(out):
    """While the kernel works, descriptor 1 is standard error: the lines the
    kernel prints on its standard output (order-list and clause diagnostics)
    never reach the answer stream, which gets its descriptor back after."""
    out.flush()
    try:
        sys.__stdout__.flush()
    except (AttributeError, OSError, ValueError):
        pass
    _flush_c_stdout()
    try:
        saved = os.dup(1)
    except OSError:  # no standard output to guard
        yield
        return
    try:
        os.dup2(2, 1)
    except OSError:
        os.close(saved)
        yield
        return
    try:
        yield
    finally:
        _flush_c_stdout()
        os.dup2(saved, 1)
        os.close(saved)


def _load(cnf, options, proof, progress):
    """A solver holding the formula. A header whose variable count the kernel
    cannot hold is malformed input, reported on the header's line."""
    solver = Solver(
        restarts=None if options.restarts == "none" else options.restarts,
        seed=options.seed,
        proof=proof,
        progress=progress,
    )
    try:
        solver.ensure_vars(cnf.nvars)
    except (TypeError, ValueError, OverflowError, MemoryError):
        raise DimacsError(
            "the header declares %d variables, more than the solver can hold" % cnf.nvars, cnf.header_line,
            options.file,
        ) from None
    solver.append_formula(cnf.clauses)
    return solver


@contextlib.contextmanager
def _limits_and_signals(solver, options, start):
    """The conflict and time limits, and Ctrl-C or TERM stopping the search
    cleanly ("s UNKNOWN"); the timer and the previous handlers are restored
    on the way out."""
    if options.conflict_limit is not None:
        solver.conf_budget(options.conflict_limit)
    timer = None
    previous_handlers = {}
    try:
        if options.time_limit is not None:
            timer = threading.Timer(max(0.0, options.time_limit - (time.perf_counter() - start)), solver.interrupt)
            timer.daemon = True
            timer.start()
        if threading.current_thread() is threading.main_thread():
            for signum in (signal.SIGINT, signal.SIGTERM):
                previous_handlers[signum] = signal.signal(signum, lambda *_: solver.interrupt())
        yield
    finally:
        if timer is not None:
            timer.cancel()
        for signum, handler in previous_handlers.items():
            signal.signal(signum, handler)


def _summary(comment, solver, stats, proof, options, start):
    comment("conflicts %d, restarts %d, learnt %d (units %d), deleted %d" % (
        stats["conflicts"], stats["restarts"], stats["learnt_clauses"], stats["learnt_units"],
        stats["deleted_clauses"]))
    comment("decisions %d, propagation passes %d, clause visits %d" % (
        stats["decisions"], stats["propagation_passes"], stats["propagations"]))
    comment("solve time %.3f s, total time %.3f s" % (solver.time(), time.perf_counter() - start))
    if proof is not None:
        comment("proof: %d lemmas, %d deletions written to %s" % (proof.lemmas, proof.deletions, options.proof))


def _answer(out, comment, result, model, cnf, options):
    """The s (and v) lines; the exit code."""
    if result is True:
        bad = _falsified(cnf.clauses, model)
        if bad is not None:
            return _error("internal error, the model falsifies the clause ending on line %d" % cnf.lines[bad])
        comment("model checked against all %d clauses" % len(cnf.clauses))
        out.write("s SATISFIABLE\n")
        if not options.no_model:
            out.write("\n".join(format_model(model)) + "\n")
        code = EXIT_SAT
    elif result is False:
        out.write("s UNSATISFIABLE\n")
        code = EXIT_UNSAT
    else:
        out.write("s UNKNOWN\n")
        code = EXIT_UNKNOWN
    out.flush()
    return code


def main(argv=None):
    options = _arguments(argv)
    out = sys.stdout
    comment = _commenter(out, options.quiet)
    start = time.perf_counter()
    comment("mirl %s reference solver" % __version__)
    cnf = _read(options, comment, start)
    if cnf is None:
        return EXIT_ERROR
    if options.jobs > 1 or options.scheduler is not None:
        from .parallel import run_command

        return run_command(options, cnf, out, comment, start)

    proof = None
    if options.proof:
        try:
            proof = DratWriter(options.proof, binary=options.binary_proof)
        except OSError as error:
            return _error("cannot write %s: %s" % (options.proof, error.strerror or error))

    progress = None if options.quiet else ProgressTable(sys.stderr, options.report_interval, start)
    with _kernel_output_to_stderr(out):
        try:
            solver = _load(cnf, options, proof, progress)
            with _limits_and_signals(solver, options, start):
                result = solver.solve()
            model = solver.get_model() if result is True else None
            if progress is not None and progress.lines:
                progress.line(solver)
            stats = solver.stats
        except DimacsError as error:
            return _error(error)
        finally:
            if proof is not None:
                proof.close()

    if not options.quiet:
        _summary(comment, solver, stats, proof, options, start)
    return _answer(out, comment, result, model, cnf, options)


if __name__ == "__main__":
    sys.exit(main())
