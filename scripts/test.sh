#!/usr/bin/env bash
# Sets everything up and runs the whole test suite: a normal build and an
# AddressSanitizer + UndefinedBehaviorSanitizer build, both through CTest,
# then a short smoke run of every fuzz target (about 20 s each).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh debug asan
ctest --preset debug -j2
ctest --preset asan -j2
bash scripts/fuzz.sh 20
