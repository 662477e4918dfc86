"""Reading and writing CNF formulas in the DIMACS format.

``read_dimacs`` accepts plain, gzip, xz and bzip2 files (recognised by their
first bytes, whatever their name) and reports every malformed input as one
``DimacsError`` naming the offending line.  The reader is lenient where real
benchmark files are sloppy: repeated blanks and tabs, clauses spanning lines,
blank lines, comments after the header, a clause count in the header that
does not match the body (reported as a warning), and the ``%`` line that ends
the classic uniform random 3-SAT files (everything after it is ignored).
``Reader`` reads the same format block by block, for large files: the
command line streams its batches into the solver.
"""

import bz2
import gzip
import io
import json
import lzma
import sys

__all__ = ["Cnf", "DimacsError", "Reader", "open_binary", "open_cnf", "read_dimacs", "parse_dimacs", "write_dimacs"]


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
    bytes say it is gzip, xz or bzip2; ``-`` is standard input (compressed
    or not)."""
    if path == "-":
        return io.TextIOWrapper(open_binary(path), encoding="latin-1")
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


class _LineParser:
    """The line-by-line reader: every rule of the format, exact line numbers.
    Clauses go to ``clauses`` (their last lines to ``ends``) until taken."""

    def __init__(self, source):
        self.source = source
        self.nvars = None
        self.declared = 0
        self.header_line = None
        self.clauses = []
        self.ends = []
        self.pending = []
        self.pending_start = None
        self.number = 0
        self.done = False  # the '%' trailer was met

    def feed(self, lines, number=0):
        """Parse ``lines`` (str), the first being line ``number`` + 1."""
        source = self.source
        clauses = self.clauses
        ends = self.ends
        pending = self.pending
        nvars = self.nvars
        try:
            for number, line in enumerate(lines, number + 1):
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
                        raise DimacsError(
                            "malformed header, expected 'p cnf VARIABLES CLAUSES'", number, source
                        ) from None
                    if nvars < 0 or declared < 0:
                        raise DimacsError("negative count in the header", number, source)
                    self.nvars = nvars
                    self.declared = declared
                    self.header_line = number
                    continue
                if head == "%":
                    self.done = True
                    break
                if nvars is None:
                    raise DimacsError("clause before the 'p cnf' header", number, source)
                try:
                    literals = list(map(int, tokens))
                except ValueError:
                    raise DimacsError(
                        "'%s' is not an integer literal" % _bad_token(tokens), number, source
                    ) from None
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
                            self.pending_start = number
                        pending.append(literal)
                    else:
                        clauses.append(list(pending))
                        ends.append(number)
                        pending.clear()
        finally:
            self.number = max(self.number, number)

    def take(self):
        """The clauses read since the last call."""
        clauses = self.clauses
        self.clauses = []
        self.ends = []
        return clauses

    def finish(self):
        """The checks at the end of the input."""
        if self.pending:
            raise DimacsError(
                "the clause starting on line %d is not terminated by 0" % self.pending_start, self.number, self.source
            )
        if self.nvars is None:
            raise DimacsError("missing 'p cnf' header", self.number or None, self.source)


def parse_dimacs(lines, source=None):
    """Parse DIMACS text given as an iterable of lines (a stream or a list)."""
    if isinstance(lines, str):
        lines = lines.splitlines()
    parser = _LineParser(source)
    parser.feed(lines)
    parser.finish()
    clauses = parser.clauses
    warnings = []
    if len(clauses) != parser.declared:
        warnings.append((None, "header declares %d clauses but %d were read" % (parser.declared, len(clauses))))
    return Cnf(parser.nvars, clauses, parser.declared, warnings, parser.ends, parser.header_line)


# -- the block reader --------------------------------------------------------
#
# Large files are read in blocks of about a megabyte cut at line ends.  A
# block made only of digits, minus signs and blank space, whose clauses are
# all terminated inside it and none empty, becomes one JSON text, "1 -2 0
# 3 0" -> "[[1,-2],[3]]", that the json module turns into lists of ints at C
# speed; a block that is anything else (comments, the '%' trailer, a clause
# running on into the next block, a malformed token, a literal out of range)
# goes through the line parser, which gives the exact error and its line.

BLOCK_SIZE = 1 << 20
_SPACE = bytes.maketrans(b"\t\n\r\v\f", b"     ")
_PLAIN = b"0123456789- \t\n\r\v\f"


def _fast_block(block, nvars):
    """The clauses of a plain block and their JSON text, or None when the
    block needs the line parser.  With ``nvars`` None the literals are not
    checked against the header (the caller's solver checks them)."""
    if block.translate(None, _PLAIN):
        return None
    text = block.translate(_SPACE)
    while b"  " in text:
        text = text.replace(b"  ", b" ")
    text = b" " + text.strip(b" ") + b" "
    if text == b"  ":
        return [], b"[]"
    if not text.endswith(b" 0 ") or text.startswith(b" 0 ") or b" 0 0 " in text or b"-0" in text:
        return None
    text = b"[[" + text[1:-3].replace(b" 0 ", b"],[").replace(b" ", b",") + b"]]"
    try:
        clauses = json.loads(text)
    except ValueError:
        return None
    if nvars is not None and (max(map(max, clauses)) > nvars or -min(map(min, clauses)) > nvars):
        return None
    return clauses, text


class Reader:
    """Reads a DIMACS file block by block, handing the clauses to the
    caller in batches: ``for clauses in reader.batches(): ...``.  The header
    is known (``nvars``, ``declared``, ``header_line``) before the first
    batch; after the last one ``warnings`` and ``count`` are final.  With
    ``check_range`` False, literals beyond the header's variables may reach
    the caller in batches read at once; a caller that finds one (a solver
    refusing the clause) calls ``explain()`` for the error and its line.  Every
    batch also leaves its clauses as compact JSON text in ``last_text``
    (a list of lists), which is how the command line keeps the formula for
    checking a model at about the size of the file."""

    def __init__(self, stream, source=None, block_size=BLOCK_SIZE, check_range=True):
        self.stream = stream
        self.check_range = check_range
        self.last_block = b""
        self.last_line = 0
        self.source = source
        self.block_size = block_size
        self.parser = _LineParser(source)
        self.count = 0
        self.warnings = []
        self.last_text = b"[]"
        self.fast_blocks = 0
        self.slow_blocks = 0

    @property
    def nvars(self):
        return self.parser.nvars

    @property
    def declared(self):
        return self.parser.declared

    @property
    def header_line(self):
        return self.parser.header_line

    def read_header(self):
        """Read up to and including the header line (lines read after it on
        the same physical line are kept for the first batch)."""
        parser = self.parser
        readline = self.stream.readline
        while parser.nvars is None and not parser.done:
            line = readline()
            if not line:
                break
            parser.feed(_lines(line), parser.number)
        if parser.nvars is None:
            parser.finish()

    def batches(self):
        if self.parser.nvars is None:
            self.read_header()
        parser = self.parser
        if parser.clauses:
            clauses = parser.take()
            self.count += len(clauses)
            self.last_text = json.dumps(clauses, separators=(",", ":")).encode()
            yield clauses
        read = self.stream.read
        carry = b""
        while not parser.done:
            data = read(self.block_size)
            if data:
                data = carry + data
                cut = data.rfind(b"\n") + 1
                if not cut:
                    carry = data
                    continue
                block, carry = data[:cut], data[cut:]
            elif carry:
                block, carry = carry, b""
            else:
                break
            self.last_block, self.last_line = block, parser.number
            fast = None if parser.pending else _fast_block(block, parser.nvars if self.check_range else None)
            if fast is not None:
                clauses, self.last_text = fast
                self.fast_blocks += 1
                parser.number += _line_count(block)
            else:
                parser.feed(_lines(block), parser.number)
                clauses = parser.take()
                self.last_text = json.dumps(clauses, separators=(",", ":")).encode()
                self.slow_blocks += 1
            self.count += len(clauses)
            if clauses:
                yield clauses
        parser.finish()
        if self.count != parser.declared:
            self.warnings.append(
                (None, "header declares %d clauses but %d were read" % (parser.declared, self.count)))


    def explain(self):
        """Raise the DimacsError of the last batch, found by reading its
        block again line by line (nothing when the block is well formed)."""
        parser = _LineParser(self.source)
        parser.nvars = self.parser.nvars
        parser.declared = self.parser.declared
        parser.feed(_lines(self.last_block), self.last_line)


def _lines(block):
    """The lines of a block of bytes, line ends as in text mode (\\n, \\r\\n
    or a lone \\r)."""
    text = block.decode("latin-1")
    if "\r" in text:
        text = text.replace("\r\n", "\n").replace("\r", "\n")
    lines = text.split("\n")
    if not lines[-1]:
        lines.pop()
    return lines


def _line_count(block):
    count = block.count(b"\n")
    if b"\r" in block:
        count += block.count(b"\r") - block.count(b"\r\n")
    if not block.endswith((b"\n", b"\r")):
        count += 1
    return count


def open_binary(path):
    """A binary stream of the file's bytes, decompressed when its first
    bytes say gzip, xz or bzip2; ``-`` is standard input (compressed or not)."""
    if path == "-":
        raw = sys.stdin.buffer
        head = raw.peek(6)[:6] if hasattr(raw, "peek") else b""
        if not hasattr(raw, "peek"):
            raw = io.BufferedReader(raw)
            head = raw.peek(6)[:6]
        for magic, opener in _MAGIC:
            if head.startswith(magic):
                return opener(raw, "rb")
        return raw
    with open(path, "rb") as probe:
        head = probe.read(6)
    for magic, opener in _MAGIC:
        if head.startswith(magic):
            return opener(path, "rb")
    return open(path, "rb", buffering=BLOCK_SIZE)


def write_dimacs(stream, clauses, nvars=None):
    """Write ``clauses`` to a text stream in DIMACS format."""
    clauses = list(clauses)
    if nvars is None:
        nvars = max((abs(literal) for clause in clauses for literal in clause), default=0)
    stream.write("p cnf %d %d\n" % (nvars, len(clauses)))
    for clause in clauses:
        stream.write(" ".join(map(str, clause)))
        stream.write(" 0\n" if clause else "0\n")
