"""mirl: a CDCL propagation kernel driven step by step from Python.

The extension module ``mirl_nif`` holds the solver state; this package adds a
reference solver built on it (``Solver``), a DIMACS reader and writer, DRAT
proof output and the ``mirl`` command line.
"""

__version__ = "0.9.46"  # as pyproject.toml, which the library build reads

from .atoms import atom, atom_name
from .dimacs import Cnf, DimacsError, open_cnf, parse_dimacs, read_dimacs, write_dimacs
from .proof import DratWriter
from .restarts import Fixed, Geometric, Luby, luby
from .solver import Solver, SolverError

__all__ = [
    "atom",
    "atom_name",
    "Cnf",
    "DimacsError",
    "DratWriter",
    "Fixed",
    "Geometric",
    "Luby",
    "Solver",
    "SolverError",
    "luby",
    "open_cnf",
    "parse_dimacs",
    "read_dimacs",
    "write_dimacs",
]
