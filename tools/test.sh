#!/usr/bin/env bash
# Sets everything up and runs every test: the C++ core tests (ctest) and the
# Python tests (pytest) against the package installed in .venv.
#   bash tools/test.sh              normal build
#   bash tools/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build
set -euo pipefail
cd "$(dirname "$0")/.."
sanitize=0
[ "${1:-}" = "--sanitize" ] && sanitize=1

bash tools/setup.sh --test
export PATH="$PWD/.venv/bin:$PATH"
py="$PWD/.venv/bin/python"

if [ "$sanitize" = 1 ]; then
    build=build/asan
    # The consistency checker comes with it: the random call tests run it
    # after every call.
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIRL_SANITIZE=ON -DMIRL_CHECKS=ON \
        -DPython_EXECUTABLE="$py" >/dev/null
    cmake --build "$build" -j2 >/dev/null
    (cd "$build" && ctest --output-on-failure)
    # The extension is loaded into an uninstrumented interpreter, so the
    # sanitizer runtime has to be there first.
    export LD_PRELOAD="$(g++ -print-file-name=libasan.so):$(g++ -print-file-name=libubsan.so)"
    # An allocation that cannot be had comes back as null, as it does
    # without the sanitizer, so the library's own refusal is what is tested.
    export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:allocator_may_return_null=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    export MIRL_TEST_MODULE_DIR="$PWD/$build"
    "$py" -m pytest -q
else
    build=build/ctest
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DPython_EXECUTABLE="$py" >/dev/null
    cmake --build "$build" -j2 --target core_tests >/dev/null
    (cd "$build" && ctest --output-on-failure)
    "$py" -m pytest -q
fi
