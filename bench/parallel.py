"""Speed-up of cube-and-conquer on a local Dask cluster over one solver.

    python bench/parallel.py [--jobs 2] [--repeat 1] [FILE ...]

Default instances: unsatisfiable benchmark files that take the reference
solver a few seconds.  For each one, side by side in this run:

- ``seq``: ``mirl.Solver`` in this process;
- ``warm``: ``mirl.parallel.solve`` on a cluster of ``--jobs`` single-threaded
  workers started once before the first instance (a cluster that is already
  running, as with ``--scheduler``);
- ``cli``: ``python -m mirl --jobs N`` end to end, starting and stopping its
  own cluster, against ``python -m mirl`` (both include the interpreter's
  start).

Times are the median of ``--repeat`` runs; the work is counted as conflicts
(the workers' conflicts summed).  Speed-ups are seq / parallel: above 1 is
faster.  The machine has two cores shared with other jobs: read the ratios,
not the seconds.
"""

import argparse
import os
import statistics
import subprocess
import sys
import time

from common import BENCH, child_env, module_dir, use_module

use_module()

import mirl  # noqa: E402
from mirl import parallel  # noqa: E402

DEFAULT = ["uuf250/uuf250-01.cnf", "uuf250/uuf250-02.cnf", "hole/hole9.cnf", "ssa/ssa2670-130.cnf"]


def sequential(cnf):
    start = time.perf_counter()
    solver = mirl.Solver()
    solver.ensure_vars(cnf.nvars)
    solver.append_formula(cnf.clauses)
    status = solver.solve()
    return time.perf_counter() - start, status, solver.stats["conflicts"]


def warm(cnf, client):
    start = time.perf_counter()
    result = parallel.solve(cnf.clauses, cnf.nvars, client=client)
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
    parser.add_argument("--no-cli", action="store_true", help="skip the end-to-end command line runs")
    options = parser.parse_args()
    files = options.files or [os.path.join(BENCH, name) for name in DEFAULT]
    print("module: %s, jobs: %d, cores: %d" % (module_dir(), options.jobs, os.cpu_count() or 0))
    start = time.perf_counter()
    client, cluster = parallel.start_local_cluster(options.jobs)
    print("cluster start: %.2f s" % (time.perf_counter() - start))
    header = "%-18s %6s %8s %8s %7s %9s %9s %6s %8s %8s %7s" % (
        "instance", "answer", "seq s", "warm s", "speedup", "seq confl", "par confl", "cubes",
        "cli1 s", "cliN s", "speedup")
    print(header)
    print("-" * len(header))
    ratios_warm, ratios_cli = [], []
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
            cli = ("", "", "")
            if not options.no_cli:
                one = statistics.median(command(path, 1)[0] for _ in range(options.repeat))
                many = statistics.median(command(path, options.jobs)[0] for _ in range(options.repeat))
                ratios_cli.append(one / many)
                cli = ("%.2f" % one, "%.2f" % many, "%.2fx" % (one / many))
            print("%-18s %6s %8.2f %8.2f %6.2fx %9d %9d %6d %8s %8s %7s" % (
                os.path.basename(path)[:18], {True: "SAT", False: "UNSAT", None: "?"}[seq_runs[0][1]], seq_time,
                par_time, seq_time / par_time, seq_runs[0][2], par_runs[0][2], par_runs[0][3].cubes, *cli))
    finally:
        parallel.close_local_cluster(client, cluster)
    geo = statistics.geometric_mean
    print("geometric mean speed-up, warm cluster: %.2fx" % geo(ratios_warm))
    if ratios_cli:
        print("geometric mean speed-up, command line with cluster start: %.2fx" % geo(ratios_cli))


if __name__ == "__main__":
    main()
