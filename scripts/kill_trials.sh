#!/usr/bin/env bash
# Kills md2export at random moments while it writes a new model and while it
# updates one, and checks after every kill that each output (the model, both
# skins, the listing) is byte for byte the file from before the export or the
# file the whole export writes. After a kill that left a temporary behind, the
# next export must still write the right files. Slow: not part of CI.
#
#   scripts/kill_trials.sh [TRIALS] [BUILD_DIR]
#
# TRIALS per kind of export (default 300); BUILD_DIR holds md2export and
# vorn.dlu (default build/debug). Prints the counts; exits 1 on any torn file.
set -euo pipefail

trials=${1:-300}
source "$(dirname "$0")/robot_scratch.sh" kill_trials "${2:-}"

outputs=(robot.md2 tris.bmp tris.pcx tris.asc)
new_args=(-q --bmp --pcx -o robot.md2 robot.json)
update_args=(-q --bmp --pcx -o robot.md2 --start 3 --end 40 --first-frame 7 robot.json)

# The files before an export: skins and a listing of some earlier export,
# and for an update the model the new export writes.
mkdir before_new before_update after_new after_update
for f in tris.bmp tris.pcx tris.asc; do echo "an earlier $f" > "before_new/$f"; done
cp -p before_new/* before_update/

# Puts the files of state $1 in place (a missing file stays missing).
put() {
    rm -f "${outputs[@]}" ./*.partial
    for f in "${outputs[@]}"; do [ -e "$1/$f" ] && cp -p "$1/$f" "$f"; done
    return 0
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }

put before_new
"$md2export" "${new_args[@]}"
cp -p "${outputs[@]}" after_new/
cp -p robot.md2 before_update/
put before_update
"$md2export" "${update_args[@]}"
cp -p "${outputs[@]}" after_update/

# Whether file $1 is that of state $2 (missing there: missing here).
same() {
    if [ -e "$2/$1" ]; then cmp -s "$1" "$2/$1"; else [ ! -e "$1" ]; fi
}

all_same() {
    for f in "${outputs[@]}"; do same "$f" "$1" || return 1; done
}

# Torn files are kept here for a look.
kept=${TMPDIR:-/tmp}/kill_trials_torn
torn=0
for kind in new update; do
    if [ "$kind" = new ]; then args=("${new_args[@]}"); else args=("${update_args[@]}"); fi
    # How long a whole export takes: kills fall anywhere in it, and a little after.
    put "before_$kind"
    start=$(now_ms)
    "$md2export" "${args[@]}"
    span=$(($(now_ms) - start + 20))
    declare -A old=() fresh=()
    all_old=0 all_new=0 mixed=0 left=0 recovered=0
    for ((i = 0; i < trials; i++)); do
        put "before_$kind"
        "$md2export" "${args[@]}" > /dev/null 2>&1 &
        pid=$!
        ms=$(((RANDOM * 32768 + RANDOM) % span))
        printf -v seconds '%d.%03d' $((ms / 1000)) $((ms % 1000))
        sleep "$seconds"
        kill -9 "$pid" 2> /dev/null || true
        wait "$pid" 2> /dev/null || true
        n_old=0 n_new=0
        for f in "${outputs[@]}"; do
            if same "$f" "before_$kind"; then
                old[$f]=$((${old[$f]:-0} + 1)); n_old=$((n_old + 1))
            elif same "$f" "after_$kind"; then
                fresh[$f]=$((${fresh[$f]:-0} + 1)); n_new=$((n_new + 1))
            else
                torn=$((torn + 1))
                echo "kill_trials: $kind trial $i: $f is neither the old file nor the new one" >&2
                mkdir -p "$kept" && cp "$f" "$kept/${kind}_${i}_$f" 2> /dev/null || true
            fi
        done
        [ "$n_old" = ${#outputs[@]} ] && all_old=$((all_old + 1))
        [ "$n_new" = ${#outputs[@]} ] && all_new=$((all_new + 1))
        [ "$n_old" != ${#outputs[@]} ] && [ "$n_new" != ${#outputs[@]} ] && mixed=$((mixed + 1))
        if compgen -G "*.partial" > /dev/null; then
            left=$((left + 1))
            # What a killed export left must not stand in the next one's way.
            if "$md2export" "${args[@]}" && all_same "after_$kind" && ! compgen -G "*.partial" > /dev/null; then
                recovered=$((recovered + 1))
            else
                torn=$((torn + 1))
                echo "kill_trials: $kind trial $i: the export after the kill went wrong" >&2
            fi
        fi
    done
    echo "$kind exports: $trials killed within ${span} ms; all files old: $all_old, all new: $all_new," \
        "some old and some new: $mixed; a temporary left: $left, each time the next export was right: $recovered"
    for f in "${outputs[@]}"; do echo "  $f: old ${old[$f]:-0}, new ${fresh[$f]:-0}"; done
    unset old fresh
done
echo "torn or wrong files: $torn"
[ "$torn" = 0 ]
