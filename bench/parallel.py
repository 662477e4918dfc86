"""Speed-up of cube-and-conquer on a local Dask cluster over one solver.

    python bench/parallel.py [--jobs 2] [--repeat 1] [--write] [FILE ...]

Default instances: unsatisfiable benchmark files that take the reference
solver a few seconds, chosen by the sequential search alone: of uuf200-01..09
and uuf225-01..09 those it needs 50 000 conflicts or more for (2-8 s:
uuf200-04, uuf225-01, -03, -05, -06, -09), the first three uuf250 (7-12 s),
and the pigeon-hole instance that takes a few seconds (hole9, 90 000
conflicts; hole8 now takes under one, 15 000).  For each one, side by side
in this run:

- ``seq``: ``mirl.Solver`` in this process;
- ``warm``: ``mirl.parallel.solve`` on a cluster of ``--jobs`` single-threaded
  workers started once before the first instance (a cluster that is already
  running, as with ``--scheduler``);
- ``cli``: ``python -m mirl --jobs N`` end to end, starting and stopping its
  own cluster, against ``python -m mirl`` (both include the interpreter's
  start).

Times are the median of ``--repeat`` runs; the work is counted as conflicts
(the workers' conflicts summed, and those of the busiest worker: seq
conflicts / busiest worker's conflicts is the speed-up counted in work,
which the load of other jobs on the machine does not blur; ``by cpu`` is the
same in processor time, the sequential search's against the busiest worker's
searches).  Speed-ups are seq / parallel: above 1 is faster.  The machine
has two cores shared with other jobs: read the ratios, not the seconds.
Where the kernel groups the processes of a session for scheduling
(/proc/sys/kernel/sched_autogroup_enabled), jobs of other sessions hold the
parallel run's workers to the share of one process: time the runs on a
quiet machine.  ``--write`` puts the table into docs/benchmarks.md
(section 6, between its markers; bench/run_all.py keeps it).
"""

import argparse
import os
import statistics
import subprocess
import sys
import time

from common import BENCH, REPO, child_env, module_dir, use_module

use_module()

import mirl  # noqa: E402
from mirl import parallel  # noqa: E402

CUBES_PER_WORKER = parallel.CUBES_PER_WORKER
DEFAULT = ["uuf200/uuf200-04.cnf", "uuf225/uuf225-01.cnf", "uuf225/uuf225-03.cnf", "uuf225/uuf225-05.cnf",
           "uuf225/uuf225-06.cnf", "uuf225/uuf225-09.cnf", "hole/hole9.cnf", "uuf250/uuf250-01.cnf",
           "uuf250/uuf250-02.cnf", "uuf250/uuf250-03.cnf"]


def sequential(cnf):
    start = time.perf_counter()
    cpu = time.thread_time()
    solver = mirl.Solver()
    solver.ensure_vars(cnf.nvars)
    solver.append_formula(cnf.clauses)
    status = solver.solve()
    return time.perf_counter() - start, status, solver.stats["conflicts"], time.thread_time() - cpu


def warm(cnf, client):
    start = time.perf_counter()
    result = parallel.solve(cnf.clauses, cnf.nvars, client=client, cubes_per_worker=CUBES_PER_WORKER)
    return time.perf_counter() - start, result.status, result.stats["conflicts"], result


def command(path, jobs):
    argv = [sys.executable, "-m", "mirl", "-q", "-n", path] + (["--jobs", str(jobs)] if jobs > 1 else [])
    start = time.perf_counter()
    done = subprocess.run(argv, capture_output=True, text=True, env=child_env())
    return time.perf_counter() - start, done.returncode


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("files", nargs="*")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--repeat", type=int, default=1)
    parser.add_argument("--cubes-per-worker", type=int, default=parallel.CUBES_PER_WORKER)
    parser.add_argument("--no-cli", action="store_true", help="skip the end-to-end command line runs")
    parser.add_argument("--write", action="store_true", help="write the table into docs/benchmarks.md")
    options = parser.parse_args()
    global CUBES_PER_WORKER
    CUBES_PER_WORKER = options.cubes_per_worker
    files = options.files or [os.path.join(BENCH, name) for name in DEFAULT]
    print("module: %s, jobs: %d, cores: %d" % (module_dir(), options.jobs, os.cpu_count() or 0))
    start = time.perf_counter()
    client, cluster = parallel.start_local_cluster(options.jobs)
    cluster_start = time.perf_counter() - start
    print("cluster start: %.2f s" % cluster_start)
    header = "%-16s %6s %7s %7s %7s %9s %9s %9s %7s %7s %6s %7s %7s %7s %5s" % (
        "instance", "answer", "seq s", "warm s", "speedup", "seq confl", "par confl", "max/wrkr", "by cnt",
        "by cpu", "cubes", "cli1 s", "cliN s", "speedup", "load")
    print(header)
    print("-" * len(header))
    ratios_warm, ratios_cli, ratios_count, ratios_cpu = [], [], [], []
    rows = []
    try:
        for path in files:
            cnf = mirl.read_dimacs(path)
            seq_runs = [sequential(cnf) for _ in range(options.repeat)]
            par_runs = [warm(cnf, client) for _ in range(options.repeat)]
            if {run[1] for run in seq_runs} != {run[1] for run in par_runs}:
                raise SystemExit("answers differ on %s" % path)
            seq_time = statistics.median(run[0] for run in seq_runs)
            par_time = statistics.median(run[0] for run in par_runs)
            ratios_warm.append(seq_time / par_time)
            # The busiest worker's conflicts: the run's length in conflicts.
            busiest = max(par_runs[0][3].stats["conflicts_by_worker"].values(), default=0)
            by_count = seq_runs[0][2] / max(1, busiest)
            ratios_count.append(by_count)
            # The same in processor time: the sequential search's against
            # the busiest worker's searches (the tasks' threads).
            seq_cpu = statistics.median(run[3] for run in seq_runs)
            by_cpu = seq_cpu / max(1e-9, max(par_runs[0][3].stats["seconds_by_worker"].values(), default=0))
            ratios_cpu.append(by_cpu)
            cli = ("", "", "")
            if not options.no_cli:
                # Interleaved, so that the load of other jobs falls on both alike.
                pairs = [(command(path, 1)[0], command(path, options.jobs)[0]) for _ in range(options.repeat)]
                one = statistics.median(pair[0] for pair in pairs)
                many = statistics.median(pair[1] for pair in pairs)
                ratios_cli.append(one / many)
                cli = ("%.2f" % one, "%.2f" % many, "%.2fx" % (one / many))
            # The machine's load over the last minute: above the number of
            # cores, other jobs took part of the time measured.
            load = os.getloadavg()[0]
            rows.append("| %s | %s | %.2f | %.2f | %.2fx | %d | %d | %d | %.2fx | %.2fx | %d | %s | %s | %s | %.1f |"
                        % (
                os.path.basename(path), {True: "SAT", False: "UNSAT", None: "?"}[seq_runs[0][1]], seq_time,
                par_time, seq_time / par_time, seq_runs[0][2], par_runs[0][2], busiest, by_count, by_cpu,
                par_runs[0][3].cubes, *cli, load))
            print("%-16s %6s %7.2f %7.2f %6.2fx %9d %9d %9d %6.2fx %6.2fx %6d %7s %7s %7s %5.1f" % (
                os.path.basename(path)[:16], {True: "SAT", False: "UNSAT", None: "?"}[seq_runs[0][1]], seq_time,
                par_time, seq_time / par_time, seq_runs[0][2], par_runs[0][2], busiest, by_count, by_cpu,
                par_runs[0][3].cubes, *cli, load), flush=True)
    finally:
        parallel.close_local_cluster(client, cluster)
    geo = statistics.geometric_mean
    print("geometric mean speed-up, warm cluster: %.2fx (by conflicts of the busiest worker: %.2fx, "
          "by its processor time: %.2fx)" % (geo(ratios_warm), geo(ratios_count), geo(ratios_cpu)))
    if ratios_cli:
        print("geometric mean speed-up, command line with cluster start: %.2fx" % geo(ratios_cli))
    if options.write:
        write_section(options, rows, geo(ratios_warm), geo(ratios_count), geo(ratios_cpu),
                      geo(ratios_cli) if ratios_cli else None, cluster_start)


BEGIN = "<!-- parallel: bench/parallel.py --write -->"
END = "<!-- end parallel -->"


def write_section(options, rows, warm_ratio, count_ratio, cpu_ratio, cli_ratio, cluster_start):
    """Section 6 of docs/benchmarks.md, replaced between its markers (or put
    before "## Reading the figures")."""
    lines = [
        BEGIN,
        "## 6. Parallel: cube-and-conquer on Dask (goal: 1.5x with 2 jobs)",
        "",
        "`bench/parallel.py --write` (%s): the reference solver alone (seq) against `mirl.parallel` on a "
        "local cluster of %d single-threaded workers started once (warm, %d cubes per worker), and "
        "`python -m mirl` against `python -m mirl --jobs %d` end to end (cli1, cliN: the interpreter, and for "
        "cliN importing Dask and starting the cluster, %.1f s here, included; meanwhile cliN's forked child "
        "already solves cubes). seq confl: conflicts of the sequential search; par "
        "confl: the workers' conflicts summed; max/wrkr: those of the busiest worker, the run's length in "
        "conflicts; by cnt = seq confl / max/wrkr, the speed-up in work, which the other jobs on this "
        "two-core machine do not blur; by cpu: the same in processor time (the sequential search's against "
        "that of the busiest worker's searches); load: the machine's load average over the minute before the row was "
        "written (above 2, other jobs took part of the time measured). %s" % (
            time.strftime("%Y-%m-%d %H:%M"), options.jobs, options.cubes_per_worker, options.jobs, cluster_start,
            "Median of %d runs." % options.repeat if options.repeat > 1 else "One run each."),
        "",
        "| instance | answer | seq s | warm s | speed-up | seq confl | par confl | max/wrkr | by cnt | by cpu "
        "| cubes | cli1 s | cliN s | speed-up | load |",
        "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|",
    ] + rows + [
        "",
        "Geometric means: warm cluster %.2fx in time, %.2fx in the busiest worker's conflicts, %.2fx in its "
        "processor time%s." % (
            warm_ratio, count_ratio, cpu_ratio,
            "" if cli_ratio is None else "; command line with the cluster's start %.2fx" % cli_ratio),
        END,
    ]
    doc = os.path.join(REPO, "docs", "benchmarks.md")
    with open(doc) as stream:
        text = stream.read()
    section = "\n".join(lines)
    if BEGIN in text and END in text:
        head, rest = text.split(BEGIN, 1)
        text = head + section + rest.split(END, 1)[1]
    elif "## Reading the figures" in text:
        head, rest = text.split("## Reading the figures", 1)
        text = head + section + "\n\n## Reading the figures" + rest
    else:
        text = text.rstrip() + "\n\n" + section + "\n"
    with open(doc, "w") as stream:
        stream.write(text)


if __name__ == "__main__":
    main()
