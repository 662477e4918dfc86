#!/usr/bin/env bash
# Builds a wheel with an interpreter other than the project environment's
# (the newest other CPython 3.8+ found on the machine), installs it into a
# throwaway environment and solves a formula with it. Prints a note and
# succeeds when there is no other interpreter.
set -euo pipefail
cd "$(dirname "$0")/.."
py=.venv/bin/python
[ -x "$py" ] || py=python3
own=$("$py" -c 'import sys; print("%d.%d" % sys.version_info[:2])')
other=""
for candidate in /root/.pyenv/versions/3.*/bin/python3 /usr/bin/python3.*; do
    [ -x "$candidate" ] || continue
    version=$("$candidate" -c 'import sys; print("%d.%d" % sys.version_info[:2]) if sys.version_info >= (3, 8) else None' 2>/dev/null) || continue
    [ "$version" = None ] || [ "$version" = "$own" ] && continue
    if [ -z "$other" ] || [ "$(printf '%s\n%s\n' "$best" "$version" | sort -V | tail -1)" = "$version" ]; then
        other=$candidate
        best=$version
    fi
done
if [ -z "$other" ]; then
    echo "wheel check: no CPython other than $own on this machine; skipped"
    exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$other" -m venv "$work/venv"
"$work/venv/bin/python" -m pip install -q --disable-pip-version-check --upgrade pip >/dev/null 2>&1 || true
"$work/venv/bin/python" -m pip wheel -q --disable-pip-version-check --no-deps -w "$work/wheels" .
"$work/venv/bin/python" -m pip install -q --disable-pip-version-check "$work"/wheels/mirl-*.whl
(cd "$work" && "$work/venv/bin/python" - <<'PY'
import sys
import mirl
with mirl.Solver([[1, 2], [-1, 2], [-2, 3]]) as s:
    assert s.solve() is True and s.solve(assumptions=[-3]) is False
print("wheel check: %s built and solved with Python %d.%d" % (mirl.__version__, *sys.version_info[:2]))
PY
)
