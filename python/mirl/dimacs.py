"""Reading and writing CNF formulas in the DIMACS format.

``read_dimacs`` accepts plain, gzip, xz and bzip2 files (recognised by their
first bytes, whatever their name) and reports every malformed input as one
``DimacsError`` naming the offending line.  The reader is lenient where real
benchmark files are sloppy: repeated blanks and tabs, clauses spanning lines,
blank lines, comments after the header, a clause count in the header that
does not match the body (reported as a warning), and the ``%`` line that ends
the classic uniform random 3-SAT files (everything after it is ignored).
"""

import bz2
import gzip
import io
import lzma
import sys

__all__ = ["Cnf", "DimacsError", "open_cnf", "read_dimacs", "parse_dimacs", "write_dimacs"]


class DimacsError(ValueError):
    """Malformed DIMACS input; ``line`` is the 1-based line number (or None)."""

    def __init__(self, message, line=None, source=None):
        super().__init__(message)
        self.message = message
        self.line = line
        self.source = source

    def __str__(self):
        where = self.source or "<input>"
        if self.line is not None:
            where = "%s:%d" % (where, self.line)
        return "%s: %s" % (where, self.message)


class Cnf:
    """A parsed formula: ``nvars`` from the header, ``clauses`` as lists of
    non-zero ints, ``warnings`` as (line, text) pairs, ``lines[i]`` the line on
    which clause i ends, ``header_line`` the line of the header."""

    __slots__ = ("nvars", "clauses", "declared_clauses", "warnings", "lines", "header_line")

    def __init__(self, nvars=0, clauses=None, declared_clauses=None, warnings=None, lines=None, header_line=None):
        self.nvars = nvars
        self.clauses = clauses if clauses is not None else []
        self.declared_clauses = declared_clauses if declared_clauses is not None else len(self.clauses)
        self.warnings = warnings if warnings is not None else []
        self.lines = lines if lines is not None else []
        self.header_line = header_line

    def __repr__(self):
        return "Cnf(nvars=%d, clauses=%d)" % (self.nvars, len(self.clauses))


_MAGIC = (
    (b"\x1f\x8b", gzip.open),
    (b"\xfd7zXZ\x00", lzma.open),
    (b"BZh", bz2.open),
)


def open_cnf(path):
    """Open a CNF file for reading as text, decompressing it when its first
    bytes say it is gzip, xz or bzip2; ``-`` is standard input."""
    if path == "-":
        return io.TextIOWrapper(sys.stdin.buffer, encoding="latin-1")
    with open(path, "rb") as probe:
        head = probe.read(6)
    for magic, opener in _MAGIC:
        if head.startswith(magic):
            return opener(path, "rt", encoding="latin-1")
    # latin-1 never fails to decode, so stray bytes surface as bad tokens
    # with a line number instead of as a decoding traceback.
    return open(path, "r", encoding="latin-1")


def read_dimacs(path):
    """Read the CNF file at ``path`` (see ``open_cnf``) into a ``Cnf``."""
    stream = open_cnf(path)  # a missing or unreadable file raises OSError here
    with stream:
        try:
            return parse_dimacs(stream, source=path)
        except (OSError, EOFError, lzma.LZMAError) as error:
            # Only the decompressors fail while reading: truncated or corrupt data.
            raise DimacsError("cannot read compressed data (%s)" % error, None, path) from None


def _bad_token(tokens):
    for token in tokens:
        try:
            int(token)
        except ValueError:
            return token
    return tokens[0]


def parse_dimacs(lines, source=None):
    """Parse DIMACS text given as an iterable of lines (a stream or a list)."""
    if isinstance(lines, str):
        lines = lines.splitlines()
    nvars = None
    header_line = None
    declared = 0
    clauses = []
    ends = []
    warnings = []
    pending = []
    pending_start = None
    number = 0
    for number, line in enumerate(lines, 1):
        tokens = line.split()
        if not tokens:
            continue
        first = tokens[0]
        head = first[0]
        if head == "c":
            continue
        if head == "p":
            if nvars is not None:
                raise DimacsError("second 'p' header line", number, source)
            if first != "p" or len(tokens) != 4 or tokens[1] != "cnf":
                raise DimacsError("malformed header, expected 'p cnf VARIABLES CLAUSES'", number, source)
            try:
                nvars = int(tokens[2])
                declared = int(tokens[3])
            except ValueError:
                raise DimacsError("malformed header, expected 'p cnf VARIABLES CLAUSES'", number, source) from None
            if nvars < 0 or declared < 0:
                raise DimacsError("negative count in the header", number, source)
            header_line = number
            continue
        if head == "%":
            break
        if nvars is None:
            raise DimacsError("clause before the 'p cnf' header", number, source)
        try:
            literals = list(map(int, tokens))
        except ValueError:
            raise DimacsError("'%s' is not an integer literal" % _bad_token(tokens), number, source) from None
        if max(literals) > nvars or -min(literals) > nvars:
            worst = max(literals, key=abs)
            raise DimacsError(
                "literal %d exceeds the %d variables declared in the header" % (worst, nvars), number, source
            )
        if not pending and literals[-1] == 0 and 0 not in literals[:-1]:
            # The common case: one whole clause on one line.
            literals.pop()
            clauses.append(literals)
            ends.append(number)
            continue
        for literal in literals:
            if literal:
                if not pending:
                    pending_start = number
                pending.append(literal)
            else:
                clauses.append(pending)
                ends.append(number)
                pending = []
    if pending:
        raise DimacsError(
            "the clause starting on line %d is not terminated by 0" % pending_start, number, source
        )
    if nvars is None:
        raise DimacsError("missing 'p cnf' header", number or None, source)
    if len(clauses) != declared:
        warnings.append((None, "header declares %d clauses but %d were read" % (declared, len(clauses))))
    return Cnf(nvars, clauses, declared, warnings, ends, header_line)


def write_dimacs(stream, clauses, nvars=None):
    """Write ``clauses`` to a text stream in DIMACS format."""
    clauses = list(clauses)
    if nvars is None:
        nvars = max((abs(literal) for clause in clauses for literal in clause), default=0)
    stream.write("p cnf %d %d\n" % (nvars, len(clauses)))
    for clause in clauses:
        stream.write(" ".join(map(str, clause)))
        stream.write(" 0\n" if clause else "0\n")
