"""DIMACS input as real files write it, malformed input reported by line, and
the command line's answers, output format and exit codes."""

import bz2
import ctypes
import gzip
import io
import lzma
import os
import subprocess
import sys

import pytest

from cnf_tools import bench_files, pigeonhole, random_ksat, satisfies

from mirl import DimacsError, Solver, cli, parse_dimacs, read_dimacs, write_dimacs
from mirl.cli import format_model, main

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def write(tmp_path, text, name="f.cnf"):
    path = tmp_path / name
    path.write_text(text)
    return str(path)


def cnf_text(clauses, nvars=None):
    out = io.StringIO()
    write_dimacs(out, clauses, nvars)
    return out.getvalue()


# -- reading -----------------------------------------------------------------


def test_quirks_of_benchmark_files_are_accepted():
    text = (
        "c STATUS SATISFIABLE\n"
        "c a comment\n"
        "p cnf 5  4 \n"
        "  1 -2 0\n"
        "3\t-4\t0\n"
        "\n"
        "5 1\n"
        "-3\n"
        "0\n"
        "c comment after the header\n"
        "-5 0 2 3 0\n"
    )
    cnf = parse_dimacs(text)
    assert cnf.nvars == 5
    assert cnf.clauses == [[1, -2], [3, -4], [5, 1, -3], [-5], [2, 3]]
    assert cnf.lines == [4, 5, 9, 11, 11]
    assert len(cnf.warnings) == 1  # five clauses, four declared


def test_the_percent_trailer_of_random_3sat_files_ends_the_input():
    cnf = parse_dimacs("p cnf 2 1\n1 2 0\n%\n0\n\n")
    assert cnf.clauses == [[1, 2]]
    assert cnf.warnings == []


def test_an_explicit_empty_clause_is_kept():
    assert parse_dimacs("p cnf 1 2\n1 0\n0\n").clauses == [[1], []]


def test_a_header_without_clauses_gives_variables_only():
    cnf = parse_dimacs("p cnf 3 0\n")
    assert cnf.nvars == 3 and cnf.clauses == []


@pytest.mark.parametrize(
    "text, line, words",
    [
        ("1 2 0\n", 1, "before the 'p cnf' header"),
        ("c only a comment\n", 1, "missing 'p cnf' header"),
        ("p cnf 3\n", 1, "malformed header"),
        ("p dnf 3 1\n", 1, "malformed header"),
        ("p cnf x 1\n", 1, "malformed header"),
        ("p cnf -3 1\n", 1, "negative"),
        ("p cnf 3 1\np cnf 3 1\n", 2, "second 'p' header"),
        ("p cnf 3 2\n1 2 0\n1 x2 0\n", 3, "'x2' is not an integer"),
        ("p cnf 3 1\n1 2.5 0\n", 2, "'2.5' is not an integer"),
        ("p cnf 3 1\n1 -4 0\n", 2, "literal -4 exceeds the 3 variables"),
        ("p cnf 3 2\n1 2 0\n\n3 -1\n", 4, "starting on line 4 is not terminated by 0"),
    ],
)
def test_malformed_input_names_its_line(text, line, words):
    with pytest.raises(DimacsError) as caught:
        parse_dimacs(text, source="in.cnf")
    assert caught.value.line == line
    assert words in str(caught.value)
    assert str(caught.value).startswith("in.cnf:%d: " % line)


@pytest.mark.parametrize("opener, suffix", [(gzip.open, ".gz"), (lzma.open, ".xz"), (bz2.open, ".bz2")])
def test_compressed_files_are_recognised_by_their_content(tmp_path, opener, suffix):
    clauses = random_ksat(10, 30, 3, 1)
    text = cnf_text(clauses, 10)
    for name in ("f.cnf" + suffix, "misnamed.cnf"):
        path = tmp_path / name
        with opener(path, "wt") as stream:
            stream.write(text)
        cnf = read_dimacs(str(path))
        assert cnf.nvars == 10 and cnf.clauses == clauses


def test_truncated_compressed_data_is_a_dimacs_error(tmp_path):
    path = tmp_path / "cut.cnf.gz"
    data = gzip.compress(cnf_text(random_ksat(50, 200, 3, 2)).encode())
    path.write_bytes(data[: len(data) // 2])
    with pytest.raises(DimacsError):
        read_dimacs(str(path))


def test_written_formulas_read_back_unchanged():
    clauses = random_ksat(12, 40, 3, 9) + [[1], []]
    cnf = parse_dimacs(cnf_text(clauses, 12))
    assert cnf.clauses == clauses and cnf.nvars == 12 and not cnf.warnings


def test_every_benchmark_file_parses():
    for family in ("uf20", "hole", "ii", "parity", "ssa", "ais"):
        for path in bench_files(family):
            cnf = read_dimacs(path)
            assert cnf.nvars > 0 and cnf.clauses, path
            assert all(clause for clause in cnf.clauses), path


# -- the command line ------------------------------------------------------------


def run(capsys, *args):
    code = main(list(args))
    captured = capsys.readouterr()
    return code, captured.out, captured.err


def model_of(out):
    literals = []
    for line in out.splitlines():
        if line.startswith("v "):
            literals += [int(token) for token in line[2:].split()]
    assert literals[-1] == 0
    return literals[:-1]


def test_satisfiable_file_prints_a_checked_model_and_exits_10(tmp_path, capsys):
    clauses = random_ksat(30, 100, 3, 4)
    path = write(tmp_path, cnf_text(clauses, 32))
    code, out, err = run(capsys, path)
    assert code == 10
    assert "s SATISFIABLE\n" in out
    model = model_of(out)
    assert sorted(map(abs, model)) == list(range(1, 33))
    assert satisfies(clauses, model)
    assert all(len(line) <= 78 for line in out.splitlines() if line.startswith("v"))
    assert "c model checked against all 100 clauses" in out
    assert "Traceback" not in err


def test_unsatisfiable_file_exits_20(tmp_path, capsys):
    path = write(tmp_path, cnf_text(pigeonhole(4)))
    code, out, _ = run(capsys, path)
    assert code == 20
    assert "s UNSATISFIABLE\n" in out
    assert "\nv " not in out


def test_a_conflict_limit_gives_unknown_and_exit_0(tmp_path, capsys):
    path = write(tmp_path, cnf_text(pigeonhole(8)))
    code, out, _ = run(capsys, "--conflict-limit", "5", path)
    assert code == 0
    assert "s UNKNOWN\n" in out


def test_quiet_prints_only_the_answer_lines(tmp_path, capsys):
    path = write(tmp_path, cnf_text([[1, 2], [-1]]))
    code, out, err = run(capsys, "-q", path)
    assert code == 10
    assert out == "s SATISFIABLE\nv -1 2 0\n"
    assert err == ""


def test_no_model_leaves_out_the_v_lines(tmp_path, capsys):
    path = write(tmp_path, cnf_text([[1, 2], [-1]]))
    code, out, _ = run(capsys, "-n", path)
    assert code == 10 and "s SATISFIABLE" in out and "\nv " not in out


def test_empty_clause_in_the_file_is_unsatisfiable(tmp_path, capsys):
    path = write(tmp_path, "p cnf 2 2\n1 2 0\n0\n")
    assert run(capsys, path)[0] == 20


def test_header_variables_without_clauses_all_appear_in_the_model(tmp_path, capsys):
    path = write(tmp_path, "p cnf 3 0\n")
    code, out, _ = run(capsys, "-q", path)
    assert code == 10
    assert sorted(map(abs, model_of(out))) == [1, 2, 3]


@pytest.mark.parametrize(
    "text, fragment",
    [
        ("p cnf 2 1\n1 3 0\n", ":2: literal 3 exceeds"),
        ("1 2 0\n", ":1: clause before"),
        ("p cnf 2 1\n1 2\n", ":2: the clause starting on line 2"),
        # Headers the kernel cannot hold: beyond its variable limit, beyond 64 bits.
        ("p cnf 2147483647 1\n1 0\n", ":1: the header declares 2147483647 variables"),
        ("c big\np cnf 99999999999999999999 0\n", ":2: the header declares 99999999999999999999 variables"),
    ],
)
def test_malformed_files_get_one_error_line_and_exit_1(tmp_path, capsys, text, fragment):
    path = write(tmp_path, text)
    code, out, err = run(capsys, path)
    assert code == 1
    assert err.count("\n") == 1 and err.startswith("mirl: error: ")
    assert fragment in err
    assert not any(line.startswith("s ") for line in out.splitlines())


def test_the_kernels_own_lines_never_reach_the_answer_stream(tmp_path, capfd, monkeypatch):
    """The kernel prints a few diagnostics on its standard output, through C
    stdio, at any moment of a search: they go to standard error, and standard
    output holds only s, v and c lines."""
    libc = ctypes.CDLL(None)

    class Printing(Solver):
        def solve(self, *args, **kwargs):
            os.write(1, b"set top = 3\r\n")
            libc.printf(b"clause 0:0 select=0\r\n")  # left in the C buffer
            return super().solve(*args, **kwargs)

    monkeypatch.setattr(cli, "Solver", Printing)
    path = write(tmp_path, cnf_text([[1, 2], [-1]]))
    assert main([path]) == 10
    out, err = capfd.readouterr()
    assert all(line[:2] in ("s ", "v ", "c ") for line in out.splitlines()), out
    assert "s SATISFIABLE\nv -1 2 0\n" in out
    assert "set top = 3" in err and "clause 0:0" in err


def test_a_missing_file_gets_one_error_line_and_exit_1(tmp_path, capsys):
    code, _, err = run(capsys, str(tmp_path / "absent.cnf"))
    assert code == 1
    assert err.count("\n") == 1 and "absent.cnf" in err


def test_seed_and_restart_options_keep_the_answer(tmp_path, capsys):
    clauses = random_ksat(40, 170, 3, 8)
    path = write(tmp_path, cnf_text(clauses, 40))
    answers = set()
    for args in (["--seed", "5"], ["--restarts", "geometric"], ["--restarts", "none"], ["--time-limit", "600"]):
        code, out, _ = run(capsys, *args, path)
        answers.add(code)
        if code == 10:
            assert satisfies(clauses, model_of(out))
    assert len(answers) == 1 and answers <= {10, 20}


def test_the_progress_table_is_printed_on_stderr_for_long_runs(tmp_path, capsys):
    # A report interval of 0 prints a line at every check.
    path = write(tmp_path, cnf_text(pigeonhole(6)))
    code, out, err = run(capsys, "--report-interval", "0", path)
    assert code == 20
    lines = err.splitlines()
    assert all(line.startswith("c") for line in lines)
    assert any("conflicts" in line and "propagations" in line for line in lines)
    assert any("seconds" in line and "per second" in line for line in lines)
    assert len(lines) >= 4
    assert "conflicts" not in out.split("s UNSATISFIABLE")[1]


def test_format_model_wraps_and_terminates():
    lines = format_model(list(range(1, 200)), width=30)
    assert all(len(line) <= 30 and line.startswith("v ") for line in lines)
    assert lines[-1].endswith(" 0")
    assert format_model([]) == ["v 0"]


def test_python_dash_m_runs_the_command_line():
    path = bench_files("uf20")[0]
    env = dict(os.environ)
    paths = [os.path.join(ROOT, "python")] + [p for p in sys.path if p]
    env["PYTHONPATH"] = os.pathsep.join(paths)
    done = subprocess.run(
        [sys.executable, "-m", "mirl", "-q", path], capture_output=True, text=True, env=env, cwd=ROOT
    )
    assert done.returncode == 10, done.stderr
    assert done.stdout.startswith("s SATISFIABLE\nv ")
    assert satisfies(read_dimacs(path).clauses, model_of(done.stdout))
    # "-" reads the formula from standard input.
    done = subprocess.run(
        [sys.executable, "-m", "mirl", "-q", "-"],
        input=cnf_text(pigeonhole(3)), capture_output=True, text=True, env=env, cwd=ROOT,
    )
    assert (done.returncode, done.stdout) == (20, "s UNSATISFIABLE\n"), done.stderr
