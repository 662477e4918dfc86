"""The bump walk: builds of the module compared side by side in one run.

    python bench/bump_walk.py same DIR [DIR ...]   [--conflicts N] [FILE ...]
    python bench/bump_walk.py time DIR [DIR ...]   [--conflicts N] [--rounds R] [FILE ...]
    python bench/bump_walk.py rate DIR [DIR ...]   [--seconds S] [--rounds R] [FILE ...]

``same`` runs the reference solver (seed 0) on each instance with a conflict
budget in a fresh process per build and prints conflicts, decisions,
propagations and a digest of every lemma and deletion it wrote to its proof:
builds whose searches are identical print identical rows.

``time`` runs the same budgeted solves round by round, the builds
interleaved, and prints the median processor time of each build's solve
and its ratio to the first build's (the searches being identical, the
ratio is the cost of the same work).

``rate`` interrupts a solve of each instance after S seconds of processor
time (so that other jobs on the machine take none of them), the builds
interleaved round by round, and prints the conflicts each build reached
(the median over the rounds) and their ratio to the first build.

DIR is a folder holding mirl_nif (for example build/base-release and
build/bench-release).  The default instances are the two industrial ones
whose solves spend most in the bump walk and a few structured ones.
"""

import hashlib
import json
import os
import statistics
import subprocess
import sys
import threading
import time

import common

DEFAULT_FILES = [
    ("industrial", "schup-l2s-abp4-1-k31.cnf"),
    ("industrial", "38bits_10.cnf"),
    ("industrial", "cmu-bmc-barrel6.cnf"),
    ("industrial", "manol-pipe-c9.cnf"),
    ("bmc", "bmc-ibm-2.cnf"),
    ("uuf150", "uuf150-01.cnf"),
]


class Digest:
    """A proof sink that keeps only a digest of what it is given."""

    def __init__(self):
        self.hash = hashlib.sha256()
        self.lemmas = 0

    def add(self, literals):
        self.lemmas += 1
        self.hash.update(("a %s\n" % " ".join(map(str, literals))).encode())

    def delete(self, literals):
        self.hash.update(("d %s\n" % " ".join(map(str, literals))).encode())


def child(mode, path, amount):
    """Runs in the child process: one solve, one JSON line."""
    common.use_module()
    import mirl

    variables, clauses = common.read_cnf(path)
    if mode == "same":
        proof = Digest()
        solver = mirl.Solver(seed=0, proof=proof)
        solver.ensure_vars(variables)
        solver.append_formula(clauses)
        solver.conf_budget(int(amount))
        start = time.process_time()
        answer = solver.solve_limited()
        cpu = time.process_time() - start
        stats = solver.accum_stats()
        row = {"cpu": cpu, "answer": answer, "conflicts": stats["conflicts"], "decisions": stats["decisions"],
               "propagations": stats["propagations"], "lemmas": proof.lemmas, "digest": proof.hash.hexdigest()[:16]}
    else:
        solver = mirl.Solver(seed=0)
        solver.ensure_vars(variables)
        solver.append_formula(clauses)
        limit = float(amount)
        done = threading.Event()

        def watch():
            while not done.wait(0.02):
                if time.process_time() - start >= limit:
                    solver.interrupt()
                    return

        start = time.process_time()
        watcher = threading.Thread(target=watch)
        watcher.start()
        answer = solver.solve_limited(expect_interrupt=True)
        done.set()
        watcher.join()
        seconds = time.process_time() - start
        row = {"answer": answer, "conflicts": solver.accum_stats()["conflicts"], "seconds": seconds}
    print(json.dumps(row))


def run_child(folder, mode, path, amount):
    env = common.child_env()
    env["MIRL_BENCH_MODULE_DIR"] = folder
    env["PYTHONPATH"] = os.pathsep.join([folder] + env["PYTHONPATH"].split(os.pathsep))
    out = subprocess.run([sys.executable, os.path.abspath(__file__), "--child", mode, path, str(amount)],
                         env=env, check=True, capture_output=True, text=True).stdout
    return json.loads(out.strip().splitlines()[-1])


def option(args, name, default):
    if name in args:
        k = args.index(name)
        value = args[k + 1]
        del args[k:k + 2]
        return value
    return default


def main():
    args = sys.argv[1:]
    if args and args[0] == "--child":
        child(*args[1:4])
        return
    mode = args.pop(0)
    conflicts = int(option(args, "--conflicts", 20000))
    seconds = float(option(args, "--seconds", 15))
    rounds = int(option(args, "--rounds", 1))
    folders = [a for a in args if os.path.isdir(a)]
    files = [a for a in args if a.endswith(".cnf")]
    if not files:
        files = [os.path.join(common.BENCH, family, name) for family, name in DEFAULT_FILES]
    if mode == "same":
        mismatches = 0
        for path in files:
            rows = [run_child(folder, "same", path, conflicts) for folder in folders]
            for row in rows:
                del row["cpu"]
            for folder, row in zip(folders, rows):
                print("%-28s %-22s %s" % (os.path.basename(path), os.path.basename(folder.rstrip("/")),
                                          json.dumps(row)))
            if any(row != rows[0] for row in rows[1:]):
                mismatches += 1
                print("  ^ the searches differ")
        print("instances whose searches differ: %d of %d" % (mismatches, len(files)))
        sys.exit(1 if mismatches else 0)
    for path in files:
        counts = {folder: [] for folder in folders}
        for _ in range(rounds):
            for folder in folders:
                if mode == "time":
                    counts[folder].append(run_child(folder, "same", path, conflicts)["cpu"])
                else:
                    counts[folder].append(run_child(folder, "rate", path, seconds)["conflicts"])
        first = statistics.median(counts[folders[0]])
        cells = []
        for folder in folders:
            m = statistics.median(counts[folder])
            cells.append(("%s %.2fs (x%.3f)" if mode == "time" else "%s %d (x%.3f)")
                         % (os.path.basename(folder.rstrip("/")), m, m / first if first else 0))
        print("%-28s %s" % (os.path.basename(path), "  ".join(cells)), flush=True)


if __name__ == "__main__":
    main()
