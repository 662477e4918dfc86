"""Two builds of the extension, one search: the same instances under the same
conflict budget with ``mirl.Solver(seed=0)``, each build in a child process
of its own, turns alternating. Prints, per instance, whether every count of
the search (conflicts, decisions, propagations, the kernel's visit counters,
learnt clauses and literals) is equal in both builds, and the CPU seconds of
the budget in each, as a ratio new/old (median of the rounds).

    python bench/search_identity.py OLD_DIR NEW_DIR [--rounds 3]
"""

import argparse
import json
import os
import statistics
import subprocess
import sys

import common

INSTANCES = [
    ("uuf250/uuf250-01.cnf", 30000),
    ("industrial/38bits_10.cnf", 20000),
    ("industrial/cmu-bmc-longmult15.cnf", 20000),
    ("hole/hole8.cnf", 20000),
    ("uf250/uf250-01.cnf", 20000),
    ("bmc/bmc-ibm-7.cnf", 5000),
]

CHILD = r"""
import json, sys, time
import mirl, mirl_nif
path, budget = sys.argv[1], int(sys.argv[2])
cnf = mirl.read_dimacs(path)
s = mirl.Solver(seed=0)
s.append_formula(cnf.clauses)
s.conf_budget(budget)
t = time.process_time()
result = s.solve_limited()
cpu = time.process_time() - t
counts = {k: v for k, v in s.stats.items() if k != "time"}
for key in ("clause_2_counter", "clause_3_counter", "clause_n_counter", "clause_d_counter", "bcp_counter"):
    counts[key] = mirl_nif.info(s.handle, key)
counts["result"] = result
print(json.dumps({"cpu": cpu, "counts": counts}))
"""


def run(module_dir, path, budget):
    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join([module_dir, os.path.join(common.REPO, "python")])
    out = subprocess.run([sys.executable, "-c", CHILD, path, str(budget)], env=env, check=True,
                         capture_output=True, text=True).stdout
    return json.loads(out)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("old")
    parser.add_argument("new")
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()
    ratios = []
    for name, budget in INSTANCES:
        path = os.path.join(common.BENCH, name)
        cpu = {"old": [], "new": []}
        counts = {}
        for _ in range(args.rounds):
            for which in ("old", "new"):
                r = run(getattr(args, which), path, budget)
                cpu[which].append(r["cpu"])
                counts[which] = r["counts"]
        same = counts["old"] == counts["new"]
        ratio = statistics.median(cpu["new"]) / statistics.median(cpu["old"])
        ratios.append(ratio)
        c = counts["new"]
        visits = c["clause_2_counter"] + c["clause_3_counter"] + c["clause_n_counter"]
        print(f"{name:40s} budget {budget:6d} identical={same} conflicts={c['conflicts']} "
              f"visits={visits} old={statistics.median(cpu['old']):.3f}s new={statistics.median(cpu['new']):.3f}s "
              f"new/old={ratio:.3f}", flush=True)
        if not same:
            for key in sorted(set(counts["old"]) | set(counts["new"])):
                if counts["old"].get(key) != counts["new"].get(key):
                    print(f"    {key}: old {counts['old'].get(key)} new {counts['new'].get(key)}")
    print(f"geometric mean new/old: {statistics.geometric_mean(ratios):.3f}")


if __name__ == "__main__":
    main()
