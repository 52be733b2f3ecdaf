#!/usr/bin/env bash
# Prints the weight of the tests: non-blank, non-comment lines of C++ under
# tests/ over those of the product (every other folder but fuzz/ and bench/),
# and fails above the limit the team keeps (default 0.45), so that the suite
# stays about a third of the code as features land.
#   bash scripts/test_weight.sh [LIMIT]
set -euo pipefail
cd "$(dirname "$0")/.."
limit=${1:-0.45}
git ls-files -- '*.cpp' '*.cc' '*.h' '*.hpp' | awk -v limit="$limit" '
  {
    file = $0; top = file; sub(/\/.*/, "", top)
    kind = top == file || top == "fuzz" || top == "bench" ? "" : top == "tests" ? "tests" : "product"
    while ((getline line < file) > 0)
      if (kind != "" && line !~ /^[[:space:]]*$/ && line !~ /^[[:space:]]*\/\//) count[kind]++
    close(file)
  }
  END {
    weight = count["product"] ? count["tests"] / count["product"] : 0
    printf "test weight: %d lines of tests over %d of product = %.3f (limit %s)\n",
           count["tests"], count["product"], weight, limit
    exit weight > limit ? 1 : 0
  }'
