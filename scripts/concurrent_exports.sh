#!/usr/bin/env bash
# Runs pairs of md2export at once into one model, each pair writing two
# different frame ranges (as a build that exports the ranges of one model in
# parallel does), half of them onto no model and half onto an existing one,
# and checks that both ranges land every time: the model, skins and listing
# are byte for byte those of the two exports run one after the other.
# Slow: not part of CI.
#
#   scripts/concurrent_exports.sh [PAIRS] [BUILD_DIR]
#
# PAIRS of each kind (default 50); BUILD_DIR holds md2export and vorn.dlu
# (default build/debug). Prints the counts; exits 1 when a range was lost.
set -euo pipefail

pairs=${1:-50}
source "$(dirname "$0")/robot_scratch.sh" concurrent_exports "${2:-}"

outputs=(robot.md2 tris.bmp tris.pcx tris.asc)
first=(-q --bmp --pcx -o robot.md2 --start 0 --end 60 --first-frame 11 robot.json)
second=(-q --bmp --pcx -o robot.md2 --start 100 --end 150 --first-frame 3 robot.json)

mkdir existing both other_order
"$md2export" -q -o robot.md2 robot.json
cp robot.md2 existing/
rm -f robot.md2
"$md2export" "${first[@]}"
"$md2export" "${second[@]}"
cp "${outputs[@]}" both/
rm -f robot.md2
"$md2export" "${second[@]}"
"$md2export" "${first[@]}"
cp "${outputs[@]}" other_order/
for f in "${outputs[@]}"; do
    cmp -s "both/$f" "other_order/$f" || { echo "concurrent_exports: $f depends on the order" >&2; exit 2; }
done

lost=0
for kind in new existing; do
    kept=0 failed=0
    for ((i = 0; i < pairs; i++)); do
        rm -f "${outputs[@]}"
        [ "$kind" = existing ] && cp existing/robot.md2 .
        "$md2export" "${first[@]}" & a=$!
        "$md2export" "${second[@]}" & b=$!
        status=0
        wait "$a" || status=1
        wait "$b" || status=1
        whole=1
        for f in "${outputs[@]}"; do cmp -s "$f" "both/$f" || whole=0; done
        if [ "$status" = 0 ] && [ "$whole" = 1 ]; then
            kept=$((kept + 1))
        else
            failed=$((failed + 1))
            echo "concurrent_exports: $kind pair $i: exit status $status, files as expected: $whole" >&2
        fi
    done
    echo "pairs onto $kind model: $pairs, both ranges kept: $kept, a range lost or an export failed: $failed"
    lost=$((lost + failed))
done
[ "$lost" = 0 ]
