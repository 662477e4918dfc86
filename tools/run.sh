#!/usr/bin/env bash
# Sets everything up and runs the main job: the reference solver on a shipped
# CNF file (or on the files given).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
if [ $# -eq 0 ]; then set -- examples/uf50-01.cnf; fi
status=0
.venv/bin/python -m mirl "$@" || status=$?
# 10 = satisfiable, 20 = unsatisfiable: both are answers.
[ "$status" = 10 ] || [ "$status" = 20 ] || exit "$status"
