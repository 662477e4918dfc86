"""A representative pass over the library for memcheck: solvers made and
dropped, variables, clauses in every set, propagation, learning,
minimisation, backtracking, substitution, symbols with raw and encoded
keys, marks, order sorts, clones, subscriptions and refused calls."""
import os
import sys

if os.environ.get("MIRL_TEST_MODULE_DIR"):
    sys.path.insert(0, os.environ["MIRL_TEST_MODULE_DIR"])

import mirl_nif as m  # noqa: E402


def refuse(function, *args):
    try:
        function(*args)
    except TypeError:
        pass


def search(s, limit=200):
    """A tiny CDCL loop through the public functions."""
    for _ in range(limit):
        v = m.next_unbound(s)
        if v is False:
            return True
        m.push(s)
        m.decide(s, v)
        while m.bcp(s) is False:
            level = m.level(s)
            if level == 0:
                return False
            learnt = m.conflict(s, level, "next", 0)
            if type(learnt) is int:
                m.minimize(s, learnt, "global")
            m.pop(s, level - 1)
            if type(learnt) is int:
                m.move_clause(s, learnt, 1)
    return None


def round_trip(seed):
    s = m.new({"xref": True, "hash": seed % 2 == 0, "all_used": True, "seed": seed + 1,
               "qtype": ["lifo", "fifo", "recursive"][seed % 3]})
    m.subscribe(s, ["variable", "number_of_bound_variables", "max_level"])
    m.add_variables(s, 30)
    state = seed
    for _ in range(120):
        clause = []
        for _ in range(3):
            state = (state * 1103515245 + 12345) % 2**31
            clause.append((state % 30 + 1) * (1 if state & 256 else -1))
        m.add_clause(s, clause)
    m.add_clause(s, [1, -2, 3], 3)
    m.add_symbol(s, [1, 2, 3], ("key", seed, [1.5, "x", -2**70]))
    m.add_symbol(s, 4, "raw")
    m.find_symbol(s, ("key", seed, [1.5, "x", -2**70]))
    m.literal_info(s, 1, "symbol")
    m.variable_info(s, 2, "symbol")
    m.subst(s, 5, -6)
    m.bind(s, 7)
    m.bcp(s)
    copy = m.clone(s, {"level": -1, "set": [1, 2, 3], "queue": True})
    search(copy)
    search(s)
    m.pop(s, 0)
    m.mark(s, [1, -3, 4])
    m.intersect_marks(s, (1, 4))
    m.intersect_var(s, 9, [1, -4], False)
    m.get_marked(s, False)
    m.order_sort(s, "-degree", "+random", 3)
    m.clauseset_sort(s, 1)
    m.get_clauses(s, 1, 70)  # the watch atom's own term
    m.compress_clause(s, 0)
    m.del_symbol(s, "raw")
    for k in range(m.clauseset_size(s, 0)):
        refuse(m.clean_clause, s, k)
    refuse(m.del_clause, s, 1)
    refuse(m.add_clause, s, [1, "x"])
    refuse(m.add_symbol, s, [1], [[[]] * 3, object()])
    refuse(m.new, {"size": 2**40})
    refuse(m.clone, s, {"size": 2**32 - 1})
    m.del_symbol(s, ("key", seed, [1.5, "x", -2**70]))


for seed in range(int(sys.argv[1]) if len(sys.argv) > 1 else 6):
    round_trip(seed)
print("done")
