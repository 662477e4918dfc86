"""Shared helpers of the benchmark scripts: where the module and the instance
families are, a release build of the extension, side-by-side median timing,
deterministic random 3-SAT, resident-size readings and the machine summary.

Nothing here is imported by the tests.
"""

import json
import os
import platform
import random
import re
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.normpath(os.path.join(HERE, ".."))
BENCH = os.path.normpath(os.path.join(REPO, "..", "shared", "bench"))
BUILD = os.path.join(REPO, "build", "bench-release")
RESULTS = os.path.join(REPO, "build", "bench-results")


def module_dir():
    """The folder holding mirl_nif: MIRL_BENCH_MODULE_DIR, else the release build."""
    return os.environ.get("MIRL_BENCH_MODULE_DIR", BUILD)


def use_module():
    """Put the extension and the python package first on sys.path."""
    folder = module_dir()
    for path in (os.path.join(REPO, "python"), folder):
        if path not in sys.path:
            sys.path.insert(0, path)


def child_env():
    """Environment for a subprocess that must import the same mirl."""
    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join(
        [module_dir(), os.path.join(REPO, "python"), HERE] + ([env["PYTHONPATH"]] if env.get("PYTHONPATH") else [])
    )
    return env


def build_release():
    """Configure and build the extension with the flags a pip install uses (-O3)."""
    subprocess.run(
        ["cmake", "-S", REPO, "-B", BUILD, "-DCMAKE_BUILD_TYPE=Release", "-DMIRL_BUILD_TESTS=OFF",
         "-DPython_EXECUTABLE=" + sys.executable],
        check=True,
        stdout=subprocess.DEVNULL,
    )
    subprocess.run(["cmake", "--build", BUILD, "-j2", "--target", "mirl_nif"], check=True, stdout=subprocess.DEVNULL)


def natural(name):
    return [int(part) if part.isdigit() else part for part in re.split(r"(\d+)", name)]


def family_files(family, limit=None):
    folder = os.path.join(BENCH, family)
    names = [n for n in sorted(os.listdir(folder), key=natural) if n.endswith(".cnf")]
    return [os.path.join(folder, n) for n in names[:limit]]


def read_cnf(path):
    """(variables, clauses) of a DIMACS file, through the package's own reader."""
    use_module()
    import mirl

    cnf = mirl.read_dimacs(path)
    return cnf.nvars, cnf.clauses


def random_3sat(variables, clauses, seed):
    """Uniform random 3-SAT: three distinct variables a clause, random signs."""
    rng = random.Random(seed)
    formula = []
    pick = rng.sample
    bit = rng.getrandbits
    population = range(1, variables + 1)
    for _ in range(clauses):
        a, b, c = pick(population, 3)
        formula.append([a if bit(1) else -a, b if bit(1) else -b, c if bit(1) else -c])
    return formula


def median_ratio(ours, theirs, runs=7):
    """Run the two zero-argument timers alternately; medians and their ratio."""
    mine, peer = [], []
    for _ in range(runs):
        mine.append(ours())
        peer.append(theirs())
    a, b = statistics.median(mine), statistics.median(peer)
    return a, b, a / b


def median(values):
    return statistics.median(values)


def resident_bytes():
    """Current resident set size of this process."""
    with open("/proc/self/statm") as stream:
        return int(stream.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def clock():
    return time.perf_counter()


def machine():
    """Model, cores and memory of this machine, and the date."""
    model = platform.processor() or "unknown"
    cores = os.cpu_count()
    try:
        out = subprocess.run(["lscpu"], capture_output=True, text=True).stdout
        for line in out.splitlines():
            key, _, value = line.partition(":")
            if key.strip() == "Model name":
                model = value.strip()
    except OSError:
        pass
    with open("/proc/meminfo") as stream:
        kib = int(stream.readline().split()[1])
    return {
        "model": model,
        "cores": cores,
        "ram_gib": round(kib / 2**20, 1),
        "python": platform.python_version(),
        "date": time.strftime("%Y-%m-%d %H:%M"),
    }


def save(name, data):
    os.makedirs(RESULTS, exist_ok=True)
    with open(os.path.join(RESULTS, name + ".json"), "w") as stream:
        json.dump(data, stream, indent=1)


def load(name):
    path = os.path.join(RESULTS, name + ".json")
    if not os.path.exists(path):
        return None
    with open(path) as stream:
        return json.load(stream)
