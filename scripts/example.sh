#!/usr/bin/env bash
# Sets everything up (the release build) and exports the bundled example,
# examples/robot.json, with both skins into out/example/: the model
# robot.md2, the skins tris.bmp and tris.pcx, and the mesh listing tris.asc.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/setup.sh release

out=out/example
rm -rf "$out"
mkdir -p "$out"
cd "$out"
# md2export runs in the current folder: the skins and the listing land here.
"$root/build/release/md2export" --bmp --pcx "$root/examples/robot.json"
"$root/build/release/cli/md2info" --quiet robot.md2

echo
echo "$out:"
ls -l
