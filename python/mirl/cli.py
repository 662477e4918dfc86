"""The command line: ``mirl FILE.cnf`` (or ``python -m mirl``) solves one
DIMACS file with the reference solver and answers in the SAT competition
format: ``s SATISFIABLE`` with ``v`` lines and exit code 10,
``s UNSATISFIABLE`` and 20, ``s UNKNOWN`` and 0.  A model is checked against
every clause of the file before it is printed; unreadable input is one error
line and exit code 1.
"""

import argparse
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
    parser.add_argument("--version", action="version", version="mirl " + __version__)
    options = parser.parse_args(argv)
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


def main(argv=None):
    options = _arguments(argv)
    out = sys.stdout
    quiet = options.quiet

    def comment(text):
        if not quiet:
            out.write("c " + text + "\n")

    start = time.perf_counter()
    comment("mirl %s reference solver" % __version__)
    try:
        cnf = read_dimacs(options.file)
    except DimacsError as error:
        sys.stderr.write("mirl: error: %s\n" % error)
        return EXIT_ERROR
    except OSError as error:
        sys.stderr.write("mirl: error: cannot read %s: %s\n" % (options.file, error.strerror or error))
        return EXIT_ERROR
    for line, text in cnf.warnings:
        comment("warning: " + text)
    comment("%d variables, %d clauses, parsed in %.2f s" % (cnf.nvars, len(cnf.clauses), time.perf_counter() - start))

    proof = None
    if options.proof:
        try:
            proof = DratWriter(options.proof, binary=options.binary_proof)
        except OSError as error:
            sys.stderr.write("mirl: error: cannot write %s: %s\n" % (options.proof, error.strerror or error))
            return EXIT_ERROR

    progress = None if quiet else ProgressTable(sys.stderr, options.report_interval, start)
    solver = Solver(
        restarts=None if options.restarts == "none" else options.restarts,
        seed=options.seed,
        proof=proof,
        progress=progress,
    )
    timer = None
    previous_handlers = {}
    try:
        solver.ensure_vars(cnf.nvars)
        solver.append_formula(cnf.clauses)
        if options.conflict_limit is not None:
            solver.conf_budget(options.conflict_limit)
        if options.time_limit is not None:
            timer = threading.Timer(max(0.0, options.time_limit - (time.perf_counter() - start)), solver.interrupt)
            timer.daemon = True
            timer.start()
        if threading.current_thread() is threading.main_thread():
            # A first Ctrl-C (or a TERM) stops the search cleanly: "s UNKNOWN".
            for signum in (signal.SIGINT, signal.SIGTERM):
                previous_handlers[signum] = signal.signal(signum, lambda *_: solver.interrupt())
        result = solver.solve()
    finally:
        if timer is not None:
            timer.cancel()
        for signum, handler in previous_handlers.items():
            signal.signal(signum, handler)
        if proof is not None:
            proof.close()

    if progress is not None and progress.lines:
        progress.line(solver)
    if not quiet:
        stats = solver.stats
        elapsed = time.perf_counter() - start
        comment("conflicts %d, restarts %d, learnt %d (units %d), deleted %d" % (
            stats["conflicts"], stats["restarts"], stats["learnt_clauses"], stats["learnt_units"],
            stats["deleted_clauses"]))
        comment("decisions %d, propagation passes %d, clause visits %d" % (
            stats["decisions"], stats["propagation_passes"], stats["propagations"]))
        comment("solve time %.3f s, total time %.3f s" % (solver.time(), elapsed))
        if proof is not None:
            comment("proof: %d lemmas, %d deletions written to %s" % (proof.lemmas, proof.deletions, options.proof))

    if result is True:
        model = solver.get_model()
        bad = _falsified(cnf.clauses, model)
        if bad is not None:
            sys.stderr.write(
                "mirl: error: internal error, the model falsifies the clause ending on line %d\n" % cnf.lines[bad]
            )
            return EXIT_ERROR
        comment("model checked against all %d clauses" % len(cnf.clauses))
        out.write("s SATISFIABLE\n")
        if not options.no_model:
            out.write("\n".join(format_model(model)) + "\n")
        out.flush()
        return EXIT_SAT
    if result is False:
        out.write("s UNSATISFIABLE\n")
        out.flush()
        return EXIT_UNSAT
    out.write("s UNKNOWN\n")
    out.flush()
    return EXIT_UNKNOWN


if __name__ == "__main__":
    sys.exit(main())
