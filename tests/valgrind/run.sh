#!/usr/bin/env bash
# Runs the memcheck workload against the module the tests import (the
# installed one, or MIRL_TEST_MODULE_DIR's): exits non-zero on any invalid
# access, bad free, use of uninitialised memory outside the interpreter, or
# definite leak.
#   bash tests/valgrind/run.sh [ROUNDS]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
# The interpreter itself, not a launcher script in front of it.
python="$(python3 -c 'import sys; print(sys.executable)')"
PYTHONMALLOC=malloc exec valgrind --tool=memcheck --quiet \
    --suppressions="$here/python.supp" \
    --leak-check=full --errors-for-leak-kinds=definite --show-leak-kinds=definite \
    --error-exitcode=99 --num-callers=30 \
    "$python" "$here/workload.py" "${1:-6}"
