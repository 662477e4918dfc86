"""DRAT proof output: every learnt lemma as it is added and every learnt
clause as it is deleted, in the text format (``1 -2 0`` / ``d 1 -2 0``) or the
binary one (``a``/``d`` bytes followed by variable-length literal codes).

The solver only ever adds lemmas that unit propagation derives (RUP), so the
proofs need no RAT steps.
"""

__all__ = ["DratWriter"]


class DratWriter:
    """Writes a DRAT proof to a stream opened by the caller (text mode for the
    text format, binary mode for the binary one) or to a path it opens."""

    def __init__(self, target, binary=False):
        self.binary = binary
        if isinstance(target, str):
            self._stream = open(target, "wb" if binary else "w")
            self._owned = True
        else:
            self._stream = target
            self._owned = False
        self.lemmas = 0
        self.deletions = 0
        self._write = self._stream.write

    def add(self, literals):
        """Record a derived lemma (the empty list is the empty clause)."""
        self.lemmas += 1
        if self.binary:
            self._write(b"a" + _encode(literals))
        else:
            self._write(" ".join(map(str, literals)) + " 0\n" if literals else "0\n")

    def delete(self, literals):
        """Record that a clause is no longer used."""
        self.deletions += 1
        if self.binary:
            self._write(b"d" + _encode(literals))
        else:
            self._write("d " + " ".join(map(str, literals)) + " 0\n")

    def flush(self):
        self._stream.flush()

    def close(self):
        """Flush, and close the stream when this writer opened it."""
        if self._owned:
            self._stream.close()
        else:
            self._stream.flush()


def _encode(literals):
    out = bytearray()
    for literal in literals:
        code = 2 * literal if literal > 0 else -2 * literal + 1
        while code > 127:
            out.append((code & 127) | 128)
            code >>= 7
        out.append(code)
    out.append(0)
    return bytes(out)
