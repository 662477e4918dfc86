#!/usr/bin/env bash
# Developer build into a directory of your own (default build/dev), with the
# project environment's interpreter (bash tools/setup.sh --test makes it):
#   bash tools/dev-build.sh [DIR] [--sanitize]
# then: MIRL_TEST_MODULE_DIR=$PWD/DIR .venv/bin/python -m pytest tests/...
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build/dev}
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
[ "${2:-}" = "--sanitize" ] && flags+=(-DMIRL_SANITIZE=ON)
[ -x .venv/bin/python ] && flags+=(-DPython_EXECUTABLE="$PWD/.venv/bin/python")
[ -x .venv/bin/cmake ] && export PATH="$PWD/.venv/bin:$PATH"
cmake -S . -B "$dir" "${flags[@]}" >/dev/null
cmake --build "$dir" -j2 2>&1 | grep -E "error|warning|Error" || true
ls "$dir"/mirl_nif*.so >/dev/null
