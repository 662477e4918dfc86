#!/usr/bin/env bash
# Developer build into a directory of your own (default build/dev):
#   bash tools/dev-build.sh [DIR] [--sanitize]
# then: MIRL_TEST_MODULE_DIR=DIR python3 -m pytest tests/...
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build/dev}
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
[ "${2:-}" = "--sanitize" ] && flags+=(-DMIRL_SANITIZE=ON)
cmake -S . -B "$dir" "${flags[@]}" >/dev/null
cmake --build "$dir" -j2 2>&1 | grep -E "error|warning|Error" || true
ls "$dir"/mirl_nif*.so >/dev/null
