#!/usr/bin/env bash
# Runs the libFuzzer targets one after another, each for SECONDS (default 60),
# one process on one core. Builds the fuzz preset first (clang, AddressSanitizer
# + UndefinedBehaviorSanitizer).
#
#   bash scripts/fuzz.sh [SECONDS] [TARGET...]     targets: image_readers
#                                                  model_update json_scene export preview
#                                                  real_scene
#
# Each target starts from its seeds (fuzz/corpus/<target>) and from what
# earlier runs found, kept in build/fuzz/corpus/<target> (not committed).
# A crash, leak or broken promise stops that target; the input is written to
# build/fuzz/artifacts/ and the script ends with status 1 after the others ran.
# To keep a finding as a regression test, copy the input to
# tests/data/regressions/<target>/ (tests/fuzz_regressions_test.cpp replays it).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(image_readers model_update json_scene export preview real_scene)

bash scripts/setup.sh fuzz

root=$PWD
bin=$root/build/fuzz/fuzz
failed=()
printf '%-14s %8s %12s %8s %14s %8s\n' target seconds executions exec/s corpus edges
for t in "${targets[@]}"; do
  corpus=$root/build/fuzz/corpus/$t
  work=$root/build/fuzz/work/$t
  artifacts=$root/build/fuzz/artifacts
  mkdir -p "$corpus" "$work" "$artifacts"
  rm -f "$work"/fuzz-*.log
  extra=()
  [[ -f $root/fuzz/$t.dict ]] && extra+=("-dict=$root/fuzz/$t.dict")
  status=0
  # -jobs=1: one worker process, its log in $work; inputs slower than 10 s or
  # above 2 GiB count as findings.
  (cd "$work" && "$bin/${t}_fuzz" -jobs=1 -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$artifacts/$t-" "${extra[@]}" \
      "$corpus" "$root/fuzz/corpus/$t" >"$work/driver.log" 2>&1) || status=$?
  log=$work/fuzz-0.log
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
  rate=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
  # The fuzzer's own last word on its corpus (inputs/bytes) and coverage.
  done_line=$(grep 'DONE' "$log" | tail -1 || true)
  units=$(grep -o 'corp: [0-9]*/[0-9]*[a-zA-Z]*' <<<"$done_line" | cut -d' ' -f2 || echo '?')
  edges=$(grep -o 'cov: [0-9]*' <<<"$done_line" | cut -d' ' -f2 || echo '?')
  printf '%-14s %8s %12s %8s %14s %8s\n' "$t" "$seconds" "$runs" "$rate" "${units:-?}" "${edges:-?}"
  if ((status != 0)) || grep -q 'ERROR: libFuzzer\|vorn fuzz:' "$log"; then
    failed+=("$t")
    grep -m1 -A3 'vorn fuzz:\|ERROR:' "$log" >&2 || true
    echo "  log: $log" >&2
  fi
done

if ((${#failed[@]})); then
  echo "fuzz: findings in ${failed[*]}; inputs in build/fuzz/artifacts/" >&2
  exit 1
fi
