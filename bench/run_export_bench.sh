#!/usr/bin/env bash
# Times whole md2export runs on the large benchmark scene, as a user runs it:
# the JSON scene and the glTF scene, both skins (--bmp --pcx), a new model file
# every run. Reports the median wall time and the peak memory of each, beside
# the time the asset-import library alone needs to load the same glTF file,
# and checks them against the targets in docs/performance.md.
#
#     bash bench/run_export_bench.sh [RUNS]          (default 15 runs, 3 warm-up)
#
# Environment: BUILD (default build/bench: cmake --preset bench && cmake --build
# --preset bench), MD2EXPORT and ASSIMP_LOAD_TIME to name the programs
# elsewhere. Wall times come from hyperfine when it is installed
# (apt-get install hyperfine), else from the loop below; peak memory (the
# maximum resident set, as /usr/bin/time -v reports it) always from the loop.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-15}
warmup=3
build=${BUILD:-build/bench}
scenes=build/bench-scene

python3 bench/make_large_scene.py "$scenes" >/dev/null

md2export=${MD2EXPORT:-}
if [[ -z $md2export ]]; then
  for candidate in "$build/md2export" build/release/md2export; do
    if [[ -x $candidate ]]; then md2export=$candidate; break; fi
  done
fi
load_time=${ASSIMP_LOAD_TIME:-$build/bench/assimp_load_time}
if [[ ! -x $load_time ]]; then
  echo "run_export_bench: no $load_time: build the bench preset first" >&2
  echo "  (cmake --preset bench && cmake --build --preset bench)" >&2
  exit 2
fi

# No dot in the folder: the plug-in cuts every file name at its first dot.
out=$(mktemp -d /tmp/vorn-export-bench-XXXXXX)
trap 'rm -rf "$out"' EXIT

# measure NAME PREPARE COMMAND...: runs COMMAND warmup + runs times, PREPARE
# (a file to delete, or "") before each; prints the median, least and greatest
# wall time, the median processor time (user + system: what the run costs
# whatever else the machine is doing) and the peak memory, and leaves the
# median wall time in $median_ms.
measure() {
  local name=$1 prepare=$2
  shift 2
  local result
  result=$(python3 - "$runs" "$warmup" "$prepare" "$@" <<'PY'
import os, statistics, subprocess, sys, time
runs, warmup, prepare, command = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3], sys.argv[4:]
walls, cpus, peaks = [], [], []
for i in range(warmup + runs):
    if prepare and os.path.exists(prepare):
        os.remove(prepare)
    start = time.perf_counter()
    child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode != 0:
        print("FAILED exit %d" % child.returncode)
        sys.exit(0)
    if i >= warmup:
        walls.append(wall * 1000.0)
        cpus.append((usage.ru_utime + usage.ru_stime) * 1000.0)
        peaks.append(usage.ru_maxrss / 1024.0)  # KiB on Linux
print("%.1f %.1f %.1f %.1f %.1f" % (statistics.median(walls), min(walls), max(walls), statistics.median(cpus),
                                   max(peaks)))
PY
)
  if [[ $result == FAILED* ]]; then
    printf '%-28s %s\n' "$name" "$result"
    return 1
  fi
  read -r median_ms min_ms max_ms cpu_ms peak_mib <<<"$result"
  if command -v hyperfine >/dev/null; then
    local json=$out/hyperfine.json
    local prep=()
    [[ -n $prepare ]] && prep=(--prepare "rm -f $prepare")
    hyperfine -N --style none --warmup "$warmup" --runs "$runs" "${prep[@]}" --export-json "$json" \
      "$(printf '%q ' "$@")" >/dev/null
    read -r median_ms min_ms max_ms <<<"$(python3 -c '
import json, sys
r = json.load(open(sys.argv[1]))["results"][0]
print("%.1f %.1f %.1f" % (r["median"] * 1000, r["min"] * 1000, r["max"] * 1000))' "$json")"
  fi
  printf '%-24s median %6.1f ms (min %.1f, max %.1f)  cpu %6.1f ms  peak %5.1f MiB\n' "$name" "$median_ms" \
    "$min_ms" "$max_ms" "$cpu_ms" "$peak_mib"
}

verdict() {  # WHAT VALUE LIMIT
  if python3 -c 'import sys; sys.exit(0 if float(sys.argv[1]) <= float(sys.argv[2]) else 1)' "$2" "$3"; then
    echo "  target met: $1 $2 ms <= $3 ms"
  else
    echo "  TARGET MISSED: $1 $2 ms > $3 ms"
    missed=1
  fi
}

echo "machine: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "timer: $(command -v hyperfine >/dev/null && hyperfine --version || echo 'python loop (no hyperfine)'); $runs runs after $warmup warm-up"
echo
missed=0

measure "assimp load, large.gltf" "" "$load_time" "$scenes/large.gltf"
bare_ms=$median_ms

if [[ -z $md2export ]]; then
  echo
  echo "run_export_bench: md2export is not built on this branch (looked in $build/ and build/release/):"
  echo "  the whole-process timings need the md2export command and the glTF scene loader."
  echo "  Build them (cmake --preset bench && cmake --build --preset bench) and run this again."
  exit 3
fi

mkdir -p "$out/json" "$out/gltf"
export_args=(-q --bmp --pcx)
measure "md2export large.json" "$out/json/large.md2" "$md2export" "${export_args[@]}" \
  -o "$out/json/large.md2" --skin-name "$out/json/skin" --drive-c "$out/json" "$scenes/large.json" && json_ms=$median_ms ||
  json_ms=
gltf_ms=
measure "md2export large.gltf" "$out/gltf/large.md2" "$md2export" "${export_args[@]}" \
  -o "$out/gltf/large.md2" --skin-name "$out/gltf/skin" --drive-c "$out/gltf" "$scenes/large.gltf" && gltf_ms=$median_ms ||
  echo "  (this md2export cannot export the glTF scene: it needs the asset-import scene loader)"

echo
if [[ -n $json_ms ]]; then verdict "JSON scene, both skins:" "$json_ms" 100; else missed=1; fi
if [[ -n $gltf_ms ]]; then
  verdict "glTF scene, both skins:" "$gltf_ms" "$(python3 -c "print('%.1f' % (1.5 * $bare_ms + 50))")"
else
  missed=1
fi
exit $missed
