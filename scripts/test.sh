#!/usr/bin/env bash
# Sets everything up and runs the whole test suite: a normal build and an
# AddressSanitizer + UndefinedBehaviorSanitizer build, both through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh debug asan
ctest --preset debug -j2
ctest --preset asan -j2
