#!/usr/bin/env bash
# Sets everything up and runs the whole test suite: the tests' weight against
# the code, a short smoke run of every fuzz target (about 20 s each), then a
# normal build and an AddressSanitizer + UndefinedBehaviorSanitizer build,
# both through CTest (whose summary closes the output).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/test_weight.sh
bash scripts/setup.sh debug asan
bash scripts/fuzz.sh 20
ctest --preset debug -j2
ctest --preset asan -j2
