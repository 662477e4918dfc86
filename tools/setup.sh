#!/usr/bin/env bash
# Sets the project up on a fresh machine, in a virtual environment of its own
# (.venv in this checkout, made with the interpreter found as `python3`), and
# installs the package there.
#   bash tools/setup.sh            what solving needs: a compiler, the Python
#                                  headers and the package
#   bash tools/setup.sh --test     also GoogleTest, valgrind and the test extras
#   bash tools/setup.sh --bench    also the peer solvers the benchmarks compare with
# Running it again when nothing changed takes a second or two.
# Afterwards: `source .venv/bin/activate` puts the environment first on PATH.
set -euo pipefail
cd "$(dirname "$0")/.."

test=0
bench=0
for arg in "$@"; do
    case "$arg" in
        --test) test=1 ;;
        --bench) bench=1 ;;
        *) echo "setup.sh: unknown option $arg" >&2; exit 2 ;;
    esac
done

# Debian packages, installed only when missing; the package lists are read once.
updated=0
apt_install() {
    local sudo=()
    [ "$(id -u)" = 0 ] || sudo=(sudo)
    if [ "$updated" = 0 ]; then
        "${sudo[@]}" apt-get update -qq
        updated=1
    fi
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "$@" >/dev/null
}

command -v python3 >/dev/null 2>&1 || apt_install python3
command -v g++ >/dev/null 2>&1 || apt_install g++
# venv with pip (Debian splits ensurepip out), and the headers to build against.
python3 -c 'import venv, ensurepip' >/dev/null 2>&1 || apt_install python3-venv
python3 - <<'EOF' || apt_install python3-dev
import os, sys, sysconfig
sys.exit(0 if os.path.exists(os.path.join(sysconfig.get_paths()["include"], "Python.h")) else 1)
EOF

if [ "$test" = 1 ]; then
    if [ ! -f /usr/include/gtest/gtest.h ] && [ ! -f /usr/src/googletest/CMakeLists.txt ]; then
        apt_install libgtest-dev
    fi
    # valgrind for the memcheck test (tests/valgrind/).
    command -v valgrind >/dev/null 2>&1 || apt_install valgrind
fi

venv=.venv
if [ ! -x "$venv/bin/python" ] || ! "$venv/bin/python" -c 'import sys' >/dev/null 2>&1; then
    rm -rf "$venv"
    python3 -m venv "$venv"
fi
py="$venv/bin/python"

extras=()
[ "$test" = 1 ] && extras+=(test)
[ "$bench" = 1 ] && extras+=(bench)

# Reinstall only when the sources or the extras asked for changed.
sources() {
    if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git ls-files -co --exclude-standard -- src python CMakeLists.txt pyproject.toml
    else
        find src python CMakeLists.txt pyproject.toml -type f ! -path '*/__pycache__/*'
    fi
}
stamp=$( { sources | LC_ALL=C sort | xargs -d '\n' sha1sum; "$py" -c 'import sys; print(sys.version)'; } | sha1sum | cut -d' ' -f1)

installed() {
    # A stamp per set of extras: one for the package, one per extra.
    local name=$1
    [ -f "$venv/.mirl-$name" ] && [ "$(cat "$venv/.mirl-$name")" = "$stamp" ]
}

need=0
installed package || need=1
for extra in "${extras[@]}"; do installed "$extra" || need=1; done

if [ "$need" = 1 ]; then
    target="."
    if [ ${#extras[@]} -gt 0 ]; then
        target=".[$(IFS=,; echo "${extras[*]}")]"
    fi
    "$py" -m pip install -q --disable-pip-version-check "$target"
    echo "$stamp" > "$venv/.mirl-package"
    for extra in "${extras[@]}"; do echo "$stamp" > "$venv/.mirl-$extra"; done
fi
