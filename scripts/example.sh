#!/usr/bin/env bash
# Sets everything up and runs the main job on the bundled example.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh release
./build/release/tests/vorn_tests --gtest_brief=1
