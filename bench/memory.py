"""Memory: resident-size growth caused by loading a formula into the solver,
per clause literal, for mirl and PySAT's MiniSat, each measured in a fresh
subprocess (bench/solve_one.py --memory) on the largest instances and on a
generated random 3-SAT formula of 10^6 clauses.  Median of 3 runs.

    python bench/memory.py --breakdown [FILE]

splits mirl's growth on one formula (default: the generated one) into the
stage that creates the variables and the stage that adds the clauses, and
sets beside them what the records account for: per variable the record,
the table entry and two value and two mark bytes; per clause the pooled
record (whole 32-byte units, 48-byte header plus 4 bytes a literal; longer
ones are individual allocations) and its entry in the clause table.
"""

import json
import os
import subprocess
import sys

import common

INSTANCES = [("blocksworld", "bw_large.c.cnf"), ("industrial", "q_query_3_l37_lambda.cnf"),
             ("bmc", "bmc-ibm-7.cnf"), ("industrial", "een-tip-uns-nusmv-t5.B.cnf"),
             ("logistics", "logistics.d.cnf")]


def generated(clauses):
    path = os.path.join(common.RESULTS, "rand3-%d.cnf" % clauses)
    if not os.path.exists(path):
        os.makedirs(common.RESULTS, exist_ok=True)
        variables = int(clauses / 4.26)
        with open(path, "w") as stream:
            stream.write("p cnf %d %d\n" % (variables, clauses))
            for clause in common.random_3sat(variables, clauses, 11):
                stream.write("%d %d %d 0\n" % tuple(clause))
    return path


def grown(solver, path):
    worker = os.path.join(common.HERE, "solve_one.py")
    out = subprocess.run([sys.executable, worker, solver, path, "--memory"], capture_output=True, text=True,
                         check=True, env=common.child_env()).stdout
    return json.loads(out.strip().splitlines()[-1])


VARIABLE_BYTES = 104 + 8 + 2 + 2


def record_bytes(length):
    units = (48 + 4 * length + 31) // 32
    return units * 32 if units <= 16 else (48 + 4 * length + 63) // 64 * 64


def breakdown(path):
    """In this process: resident growth per stage against the records' sizes."""
    common.use_module()
    from policy import Counted

    variables, clauses = common.read_cnf(path)
    literals = sum(len(c) for c in clauses)
    start = common.resident_bytes()
    solver = Counted()
    solver.ensure_vars(variables)
    after_variables = common.resident_bytes()
    solver.append_formula(clauses)
    after_clauses = common.resident_bytes()
    records = sum(record_bytes(len(c)) for c in clauses if len(c) > 1)
    rows = [("variables (measured)", after_variables - start),
            ("  records, table, values, marks", VARIABLE_BYTES * variables),
            ("clauses (measured)", after_clauses - after_variables),
            ("  clause records", records),
            ("  clause table", 8 * len(clauses)),
            ("total (measured)", after_clauses - start)]
    print("%s: %d variables, %d clauses, %d literals" % (os.path.basename(path), variables, len(clauses), literals))
    for name, grown in rows:
        print("  %-34s %12d B %7.2f B/lit" % (name, grown, grown / literals))
    return rows


def main():
    rows = []
    paths = [os.path.join(common.BENCH, f, n) for f, n in INSTANCES] + [generated(1_000_000)]
    for path in paths:
        ours, theirs = [], []
        for _ in range(3):
            a = grown("mirl", path)
            b = grown("minisat", path)
            ours.append(a["grown"])
            theirs.append(b["grown"])
        literals = a["literals"]
        mine, peer = common.median(ours) / literals, common.median(theirs) / literals
        rows.append([os.path.basename(path)[:-4], a["clauses"], literals, mine, peer, mine / peer])
        print("%-26s %8d clauses %9d literals  mirl %6.1f B/lit  minisat %6.1f B/lit  ratio %.2f" % tuple(rows[-1]))
    common.save("memory", {"rows": rows})
    return rows


if __name__ == "__main__":
    if sys.argv[1:2] == ["--breakdown"]:
        breakdown(sys.argv[2] if len(sys.argv) > 2 else generated(1_000_000))
    else:
        main()
