#!/usr/bin/env bash
# Installs what the project needs on a fresh machine: GoogleTest for the C++
# core tests and valgrind for the memcheck test (Debian packages), and the
# Python package with its test extras.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ ! -f /usr/include/gtest/gtest.h ] && [ ! -f /usr/src/googletest/CMakeLists.txt ]; then
    if [ "$(id -u)" = 0 ]; then
        apt-get update -qq && apt-get install -y -qq libgtest-dev >/dev/null
    else
        sudo apt-get update -qq && sudo apt-get install -y -qq libgtest-dev >/dev/null
    fi
fi

# valgrind for the memcheck test (tests/valgrind/).
if ! command -v valgrind >/dev/null 2>&1; then
    if [ "$(id -u)" = 0 ]; then
        apt-get update -qq && apt-get install -y -qq valgrind >/dev/null
    else
        sudo apt-get update -qq && sudo apt-get install -y -qq valgrind >/dev/null
    fi
fi

python3 -m pip install -q --disable-pip-version-check ".[test]"
