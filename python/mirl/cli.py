"""The command line: ``mirl FILE.cnf`` (or ``python -m mirl``) solves one
DIMACS file with the reference solver and answers in the SAT competition
format: ``s SATISFIABLE`` with ``v`` lines and exit code 10,
``s UNSATISFIABLE`` and 20, ``s UNKNOWN`` and 0.  A model is checked against
every clause of the file before it is printed; unreadable input (a header
the kernel cannot hold included) is one error line and exit code 1.
Standard output carries only s, v and c lines: whatever the kernel prints
while it works goes to standard error.

The input is read in blocks and streamed into the kernel; the proof is opened
before it, never over it.  A proof that cannot be written ends the run with
one error line and exit code 1.  The first Ctrl-C ends the reading cleanly or
stops the search ("s UNKNOWN" after the statistics); a second one ends the
process.
"""

import argparse
import contextlib
import ctypes
import gc
import json
import lzma
import os
import resource
import signal
import stat
import sys
import threading
import time
import zlib

from . import __version__
from .dimacs import DimacsError, Reader, open_binary
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
    parser.add_argument("-v", "--verbose", action="store_true", help="print more detail: reading, options, counters")
    parser.add_argument("-n", "--no-model", action="store_true", help="do not print the v lines")
    parser.add_argument("--proof", metavar="PROOF", help="write a DRAT proof of unsatisfiability to PROOF")
    parser.add_argument("--binary-proof", action="store_true", help="write the proof in binary DRAT")
    parser.add_argument(
        "--seed", type=int, default=0, metavar="N", help="shuffle the initial variable order (0: keep it)"
    )
    parser.add_argument("--time-limit", type=float, default=None, metavar="SEC", help="give up after SEC seconds")
    parser.add_argument("--conflict-limit", type=int, default=None, metavar="N", help="give up after N conflicts")
    parser.add_argument(
        "--restarts", choices=("adaptive", "luby", "geometric", "none"), default="adaptive",
        help="restart schedule (default adaptive)"
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
    if options.quiet and options.verbose:
        parser.error("-q and -v exclude each other")
    return options


class ProgressTable:
    """Prints a progress line on stderr at most every ``interval`` seconds,
    with a header naming what each column counts before the first one:
    seconds since the start, conflicts and restarts so far, learnt clauses
    held, variables fixed at level 0, assignments propagated per second
    since the previous line."""

    header = (
        "c",
        "c      time   conflicts   restarts     learnt     fixed   propagations",
        "c   seconds       total      total    clauses      vars     per second",
        "c   ------------------------------------------------------------------",
    )

    def __init__(self, stream, interval, start):
        self.stream = stream
        self.interval = interval
        self.start = start
        self.last_time = start
        self.last_propagations = 0
        self.lines = 0

    def __call__(self, solver):
        now = time.perf_counter()
        if now - self.last_time >= self.interval:
            self.line(solver, now)

    def line(self, solver, now=None):
        now = time.perf_counter() if now is None else now
        stats = solver.stats
        propagations = stats["propagations"]
        rate = (propagations - self.last_propagations) / max(now - self.last_time, 1e-9)
        if not self.lines:
            self.stream.write("\n".join(self.header) + "\n")
        self.stream.write(
            "c %9.1f %11d %10d %10d %9d %14.3g\n"
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
        self.last_propagations = propagations


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


class Formula:
    """The clauses of the input as the reader handed them over, kept as
    compact JSON text (about the size of the file) for checking a model."""

    def __init__(self, nvars):
        self.nvars = nvars
        self.count = 0
        self.texts = []
        self.warnings = []

    def __len__(self):
        return self.count

    def __iter__(self):
        for text in self.texts:
            yield from json.loads(text)


def _falsified(clauses, model):
    """Index of the first clause the model does not satisfy, or None."""
    true = set(model)
    isdisjoint = true.isdisjoint
    for index, clause in enumerate(clauses):
        if isdisjoint(clause):
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


class _Interrupted(Exception):
    """Ctrl-C while the input was being read."""


class _Signals:
    """Ctrl-C and TERM for the whole run.  The first one stops the work in
    hand: while reading it ends the run cleanly, during the search it lets
    the solver stop with "s UNKNOWN".  The first Ctrl-C also hands SIGINT
    back to the system, so that a second one ends the process at once even
    while the kernel is busy.  Only the main thread can take signals."""

    def __init__(self):
        self.solver = None
        self.caught = None
        self.previous = {}

    def __enter__(self):
        if threading.current_thread() is threading.main_thread():
            for signum in (signal.SIGINT, signal.SIGTERM):
                self.previous[signum] = signal.signal(signum, self._handler)
        return self

    def __exit__(self, *exc):
        for signum, handler in self.previous.items():
            signal.signal(signum, handler)
        return False

    def _handler(self, signum, frame):
        first = self.caught is None
        self.caught = signum
        if signum == signal.SIGINT:
            signal.signal(signal.SIGINT, signal.SIG_DFL)
        if self.solver is not None:
            self.solver.interrupt()
        elif first:
            raise _Interrupted()


def _same_file(a, b):
    """Whether the path ``b`` names the regular file ``a`` names (a path or
    "-" for standard input)."""
    try:
        first = os.fstat(0) if a == "-" else os.stat(a)
        second = os.stat(b)
    except (OSError, ValueError):
        return False
    return stat.S_ISREG(first.st_mode) and (first.st_dev, first.st_ino) == (second.st_dev, second.st_ino)


class _Refused(Exception):
    """The proof cannot be written where asked."""


def _open_proof(options):
    """The proof writer (or None), opened before the input is read; an
    error line when the proof would overwrite the input or cannot be
    created."""
    if not options.proof:
        return None
    if _same_file(options.file, options.proof):
        raise _Refused("refusing to write the proof to %s: it is the input file" % options.proof)
    try:
        return DratWriter(options.proof, binary=options.binary_proof)
    except OSError as error:
        raise _Refused("cannot write the proof to %s: %s" % (options.proof, error.strerror or error)) from None


def _read(options):
    """A reader at the end of the header of the input."""
    # The kernel refuses literals beyond the header's variables itself.
    reader = Reader(open_binary(options.file), options.file, check_range=False)
    try:
        reader.read_header()
    except BaseException:
        if options.file != "-":
            reader.stream.close()
        raise
    return reader


def _load(reader, options, proof, progress):
    """A solver holding the formula, streamed from the reader batch by
    batch, and the formula kept for checking a model.  A header whose
    variable count the kernel cannot hold is malformed input, reported on
    the header's line."""
    # Standard input stays open (a decompressor over it is left to the
    # collector, which does not close what it reads from).
    with contextlib.nullcontext() if options.file == "-" else reader.stream:
        solver = Solver(
            restarts=None if options.restarts == "none" else options.restarts,
            seed=options.seed,
            proof=proof,
            progress=progress,
        )
        try:
            solver.ensure_vars(reader.nvars)
        except (TypeError, ValueError, OverflowError, MemoryError):
            raise DimacsError(
                "the header declares %d variables, more than the solver can hold" % reader.nvars,
                reader.header_line, options.file,
            ) from None
        formula = Formula(reader.nvars)
        keep = formula.texts.append
        add = solver.add_parsed
        # The batches are lists of lists that live for one step and hold no
        # cycles: the cyclic collector would only walk them again and again.
        collecting = gc.isenabled()
        gc.disable()
        try:
            for clauses in reader.batches():
                try:
                    add(clauses)
                except TypeError as error:
                    reader.explain()
                    raise DimacsError("the solver refused a clause (%s)" % error, None, options.file) from None
                keep(reader.last_text)
        finally:
            if collecting:
                gc.enable()
    formula.count = reader.count
    formula.warnings = reader.warnings
    return solver, formula


def _peak_memory():
    """Peak resident size of the process in bytes."""
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    return peak if sys.platform == "darwin" else peak * 1024


@contextlib.contextmanager
def _limits(solver, options, start):
    """The conflict and time limits; the timer is cancelled on the way out."""
    if options.conflict_limit == 0:
        solver.interrupt()  # a budget of 0 would be no limit
    elif options.conflict_limit is not None:
        solver.conf_budget(options.conflict_limit)
    timer = None
    try:
        if options.time_limit is not None:
            timer = threading.Timer(max(0.0, options.time_limit - (time.perf_counter() - start)), solver.interrupt)
            timer.daemon = True
            timer.start()
        yield
    finally:
        if timer is not None:
            timer.cancel()


def _rate(count, seconds):
    return "%d (%.0f/s)" % (count, count / seconds) if seconds > 0 else "%d" % count


def _summary(comment, solver, stats, proof, options, start, cpu_start, verbose):
    seconds = solver.time()
    comment("conflicts    %s" % _rate(stats["conflicts"], seconds))
    comment("decisions    %s" % _rate(stats["decisions"], seconds))
    comment("propagations %s" % _rate(stats["propagations"], seconds))
    comment("restarts     %d" % stats["restarts"])
    comment("learnt       %d clauses (%d units), %d deleted" % (
        stats["learnt_clauses"], stats["learnt_units"], stats["deleted_clauses"]))
    if verbose:
        comment("propagation passes %d, clause visits %d, reductions %d, literals per learnt clause %.1f" % (
            stats["propagation_passes"], stats["clause_visits"], stats["reductions"],
            stats["learnt_literals"] / max(1, stats["conflicts"])))
    comment("peak memory  %.1f MB" % (_peak_memory() / (1 << 20)))
    comment("time         %.3f s solving, %.3f s CPU, %.3f s wall" % (
        seconds, time.process_time() - cpu_start, time.perf_counter() - start))
    if proof is not None:
        comment("proof        %d lemmas, %d deletions written to %s" % (proof.lemmas, proof.deletions, options.proof))


def _answer(out, comment, result, model, formula, options):
    """The s (and v) lines; the exit code."""
    if result is True:
        bad = _falsified(formula, model)
        if bad is not None:
            return _error("internal error, the model falsifies clause %d of the input" % (bad + 1))
        comment("model checked against all %d clauses" % len(formula))
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


def _close_proof(proof, options):
    """Close the proof; an error text when it could not be written."""
    if proof is None:
        return None
    try:
        proof.close()
    except OSError as error:
        return "cannot write the proof to %s: %s" % (options.proof, error.strerror or error)
    return None


def _input(options, proof, progress, out, start, signals):
    """(reader, solver, formula), or (None, None, error text).  From the
    moment the solver holds the formula a signal interrupts it instead of
    the reading."""
    with _kernel_output_to_stderr(out):
        try:
            reader = _read(options)
            solver, formula = _load(reader, options, proof, progress)
            signals.solver = solver
            return reader, solver, formula
        except _Interrupted:
            return None, None, "interrupted"
        except DimacsError as error:
            return None, None, str(error)
        except (EOFError, lzma.LZMAError, zlib.error) as error:
            return None, None, "%s: cannot read compressed data (%s)" % (options.file, error)
        except OSError as error:
            return None, None, "cannot read %s: %s" % (options.file, error.strerror or error)


def main(argv=None):
    options = _arguments(argv)
    out = sys.stdout
    comment = _commenter(out, options.quiet)
    verbose = comment if options.verbose else (lambda text: None)
    start = time.perf_counter()
    cpu_start = time.process_time()
    comment("mirl %s reference solver" % __version__)
    try:
        proof = _open_proof(options)
    except _Refused as error:
        return _error(error)
    # Cube-and-conquer reads the formula as the sequential search does, then
    # hands the loaded solver to the cube lookahead.
    parallel = options.jobs > 1 or options.scheduler is not None

    progress = None if options.quiet or parallel else ProgressTable(sys.stderr, options.report_interval, start)
    failure = None
    with _Signals() as signals:
        try:
            reader, solver, formula = _input(options, proof, progress, out, start, signals)
            if reader is None:
                failure = formula
            elif not parallel:
                for line, text in formula.warnings:
                    comment("warning: " + text)
                comment("%d variables, %d clauses, read in %.2f s" % (
                    formula.nvars, len(formula), time.perf_counter() - start))
                verbose("read %d blocks at once, %d line by line; the kernel's records take %.1f MB" % (
                    reader.fast_blocks, reader.slow_blocks, solver.kernel_memory() / (1 << 20)))
                verbose("restarts %s, seed %d, conflict limit %s, time limit %s, proof %s" % (
                    options.restarts, options.seed, options.conflict_limit, options.time_limit,
                    options.proof or "none"))
                with _kernel_output_to_stderr(out), _limits(solver, options, start):
                    result = solver.solve_limited()
                model = solver.get_model() if result is True else None
                if progress is not None and progress.lines:
                    progress.line(solver)
                stats = solver.stats
        except OSError as error:
            if proof is None:
                raise
            failure = "cannot write the proof to %s: %s" % (options.proof, error.strerror or error)
        finally:
            proof_failure = _close_proof(proof, options)
    if failure == "interrupted":
        comment("interrupted while reading the input")
        out.write("s UNKNOWN\n")
        out.flush()
        return EXIT_UNKNOWN
    failure = failure or proof_failure
    if failure is not None:
        return _error(failure)
    if parallel:
        from .parallel import run_command

        return run_command(options, solver, formula, out, comment, start)
    if signals.caught is not None:
        comment("interrupted by signal %d" % signals.caught)
    if not options.quiet:
        _summary(comment, solver, stats, proof, options, start, cpu_start, options.verbose)
    return _answer(out, comment, result, model, formula, options)


if __name__ == "__main__":
    sys.exit(main())
