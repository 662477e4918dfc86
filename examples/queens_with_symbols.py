"""Naming the variables of an encoding with symbols.

Eight queens on a chessboard, none attacking another: one variable per
square, true when a queen stands there.  Every variable gets a symbol, the
term ("queen", row, column), and every row a symbol for the list of its
literals, so the program never keeps its own table from numbers to
meanings: it looks squares up with ``find_symbol``, names any literal with
``variable_info(.., "symbol")`` (here: the clauses the solver learnt), and
walks every symbol with ``first_symbol``/``next_symbol``.  Run it as

    python examples/queens_with_symbols.py [N]
"""

import itertools
import sys

import mirl
import mirl_nif as m


def encode(solver, n):
    s = solver.handle
    squares = {}
    for row, column in itertools.product(range(n), repeat=2):
        squares[row, column] = solver.new_var()
        m.add_symbol(s, squares[row, column], ("queen", row, column))
    for row in range(n):
        m.add_symbol(s, [squares[row, c] for c in range(n)], ("row", row))
        solver.add_clause([m.find_symbol(s, ("queen", row, c)) for c in range(n)])  # a queen per row
    for a, b in itertools.combinations(squares, 2):
        same_line = a[0] == b[0] or a[1] == b[1] or abs(a[0] - b[0]) == abs(a[1] - b[1])
        if same_line:
            solver.add_clause([-squares[a], -squares[b]])  # never two on a line


def name(s, literal):
    """A literal written with its variable's symbol: ("queen", 2, 5) -> q2,5."""
    for key, _ in m.variable_info(s, abs(literal), "symbol"):
        if key[0] == "queen":
            return ("" if literal > 0 else "!") + "q%d,%d" % key[1:]
    return str(literal)


def main(n):
    with mirl.Solver() as solver:
        encode(solver, n)
        s = solver.handle
        assert solver.solve()
        model = set(solver.get_model())
        # Read the board back through the row symbols.
        for row in range(n):
            literals = m.find_symbol(s, ("row", row))
            print(" ".join("Q" if literal in model else "." for literal in literals))
        learnt, clauses = m.clauseset_first(s, "gamma"), []
        while learnt is not False:  # the clauses the solver learnt and kept
            clauses.append(m.get_clause(s, learnt, None, True))
            learnt = m.clauseset_next(s, learnt)
        if clauses:
            print("its shortest learnt clause:", " | ".join(name(s, l) for l in min(clauses, key=len)))
        key, count = m.first_symbol(s), 0
        while key is not False:
            count += 1
            key = m.next_symbol(s, key)
        print("%d symbols for %d variables" % (count, m.info(s, "number_of_variables")))


if __name__ == "__main__":
    main(int(sys.argv[1]) if len(sys.argv) > 1 else 8)
