"""The command line against its faults: a proof that would overwrite the input
or cannot be written, Ctrl-C while reading and a second Ctrl-C, compressed
standard input, the final statistics; and the block reader it uses against
the line-by-line reader."""

import gzip
import io
import os
import random
import signal
import subprocess
import sys
import time

import pytest

from cnf_tools import pigeonhole, random_ksat

from mirl import DimacsError, parse_dimacs
from mirl.cli import main
from mirl.dimacs import Reader

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def cnf_text(clauses, nvars):
    return "p cnf %d %d\n" % (nvars, len(clauses)) + "".join(" ".join(map(str, c)) + " 0\n" for c in clauses)


def child_env():
    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join([os.path.join(ROOT, "python")] + [p for p in sys.path if p])
    return env


def run(capsys, *args):
    code = main(list(args))
    captured = capsys.readouterr()
    return code, captured.out, captured.err


# -- the block reader ----------------------------------------------------------


def _quirky(rng):
    """DIMACS text with the quirks files have: comments after the header,
    clauses over several lines or several on a line, CR LF ends, tabs,
    blank lines, empty clauses, the '%' trailer."""
    nvars = rng.randint(1, 30)
    lines = ["c made for the reader test", "p cnf %d %d" % (nvars, rng.randint(0, 9))]
    for _ in range(rng.randint(0, 40)):
        clause = [rng.choice((1, -1)) * rng.randint(1, nvars) for _ in range(rng.randint(0, 4))]
        text = " ".join(map(str, clause + [0]))
        roll = rng.random()
        if roll < 0.1:
            text = text.replace(" ", "\n", 1)
        elif roll < 0.15:
            text = "c note\n" + text
        elif roll < 0.2:
            text = text.replace(" ", "\t") + "\r"
        elif roll < 0.25 and lines:
            lines[-1] += " " + text
            continue
        elif roll < 0.28:
            text += "\n"
        lines.append(text)
    if rng.random() < 0.1:
        lines.append("%\n0")
    text = "\n".join(lines) + ("\n" if rng.random() < 0.8 else "")
    if rng.random() < 0.3:
        # A fault: a bad token, a literal out of range or an open clause.
        spot = rng.randrange(len(text) + 1)
        text = text[:spot] + rng.choice([" x1 ", " %d " % (nvars + 1), " -%d " % (nvars + 7), " 05 ", " 1"]) \
            + text[spot:]
    return text


def _by_blocks(text, size, check_range):
    reader = Reader(io.BytesIO(text.encode("latin-1")), "in.cnf", size, check_range)
    clauses = []
    for batch in reader.batches():
        clauses += batch
    return reader.nvars, clauses, reader.warnings


def test_the_block_reader_reads_what_the_line_reader_reads():
    """Same clauses, header and warnings, and the same error on the same line,
    for every block size (blocks cut lines, clauses and CR LF pairs)."""
    rng = random.Random(15)
    for _ in range(300):
        text = _quirky(rng)
        try:
            expected = parse_dimacs(text, source="in.cnf")
            expected = (expected.nvars, expected.clauses, expected.warnings)
        except DimacsError as error:
            expected = str(error)
        for size in (1, 7, 64, 1 << 20):
            try:
                got = _by_blocks(text, size, True)
            except DimacsError as error:
                got = str(error)
            assert got == expected, (text, size)


# -- the proof -------------------------------------------------------------------


def test_a_proof_naming_the_input_is_refused_and_the_input_kept(tmp_path, capsys):
    path = tmp_path / "f.cnf"
    path.write_text(cnf_text(pigeonhole(3), 12))
    before = path.read_bytes()
    os.symlink(path, tmp_path / "link.cnf")
    os.link(path, tmp_path / "hard.cnf")
    for proof in (path, tmp_path / "link.cnf", tmp_path / "hard.cnf", tmp_path / "." / "f.cnf"):
        code, out, err = run(capsys, "--proof", str(proof), str(path))
        assert code == 1 and err.count("\n") == 1 and "is the input file" in err
        assert "s " not in out
        assert path.read_bytes() == before


@pytest.mark.parametrize("where", ["missing folder", "/dev/full", "closed pipe"])
def test_a_proof_that_cannot_be_written_is_one_error_line(tmp_path, capsys, where):
    path = tmp_path / "f.cnf"
    path.write_text(cnf_text(pigeonhole(5), 30))
    if where == "missing folder":
        proof = str(tmp_path / "no" / "p.drat")
        # The proof path is checked before the input is read.
        (tmp_path / "bad.cnf").write_text("p cnf 1 1\nx 0\n")
        code, _, err = run(capsys, "--proof", proof, str(tmp_path / "bad.cnf"))
        assert code == 1 and "cannot write the proof" in err and err.count("\n") == 1
    elif where == "/dev/full":
        if not os.path.exists("/dev/full"):
            pytest.skip("no /dev/full")
        proof = "/dev/full"
    else:
        read_end, write_end = os.pipe()
        os.close(read_end)
        proof = "/dev/fd/%d" % write_end
    try:
        code, out, err = run(capsys, "--proof", proof, str(path))
    finally:
        if where == "closed pipe":
            os.close(write_end)
    assert code == 1
    assert err.startswith("mirl: error: cannot write the proof to ") and err.count("\n") == 1, err
    assert "Traceback" not in err and "s UNSATISFIABLE" not in out


# -- signals -----------------------------------------------------------------------


def test_ctrl_c_while_reading_ends_cleanly():
    """Standard input stops in the middle of the clauses; Ctrl-C ends the
    run with "s UNKNOWN" and no traceback."""
    child = subprocess.Popen([sys.executable, "-m", "mirl", "-"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, env=child_env(), cwd=ROOT)
    child.stdin.write(b"p cnf 3 5\n1 2 0\n-1 3 0\n")
    child.stdin.flush()
    time.sleep(1.0)  # the interpreter starts and the header is read
    child.send_signal(signal.SIGINT)
    out, err = child.communicate(timeout=60)
    assert child.returncode == 0, err
    assert out.decode().endswith("c interrupted while reading the input\ns UNKNOWN\n")
    assert b"Traceback" not in err


def test_a_second_ctrl_c_ends_the_run_at_once():
    """A search that does not heed the first Ctrl-C soon enough: the second
    one ends the process."""
    script = (
        "import os, signal, sys, time\n"
        "from mirl import cli\n"
        "class Stubborn(cli.Solver):\n"
        "    def solve_limited(self, *args, **kwargs):\n"
        "        os.kill(os.getpid(), signal.SIGINT)\n"
        "        time.sleep(0.2)\n"
        "        os.kill(os.getpid(), signal.SIGINT)\n"
        "        time.sleep(30)\n"
        "cli.Solver = Stubborn\n"
        "sys.exit(cli.main([sys.argv[1]]))\n"
    )
    path = os.path.join(ROOT, "build", "second-ctrl-c.cnf")
    with open(path, "w") as stream:
        stream.write(cnf_text([[1, 2]], 2))
    started = time.monotonic()
    done = subprocess.run([sys.executable, "-c", script, path], capture_output=True, env=child_env(), timeout=60)
    os.unlink(path)
    assert done.returncode == -signal.SIGINT
    assert time.monotonic() - started < 20


# -- input and output --------------------------------------------------------------


def test_gzip_on_standard_input_and_the_final_statistics():
    clauses = random_ksat(40, 170, 3, 8)
    data = gzip.compress(cnf_text(clauses, 40).encode())
    done = subprocess.run([sys.executable, "-m", "mirl", "-v", "-"], input=data, capture_output=True,
                          env=child_env(), cwd=ROOT, timeout=120)
    out = done.stdout.decode()
    assert done.returncode in (10, 20), done.stderr
    assert "c 40 variables, 170 clauses" in out
    for words in ("conflicts ", "decisions ", "propagations ", "/s)", "restarts ", "deleted", "peak memory",
                  "CPU", "wall", "clause visits"):
        assert words in out, words
