#!/usr/bin/env bash
# Sets everything up (the release build) and exports the bundled examples with
# both skins, each into a folder of its own under out/example/:
#   character/  examples/character/character.gltf, a skinned glTF figure, its
#               "player" animation laid over the 198 standard frame names,
#               scaled to a Quake II player's height
#   robot/      examples/robot.json, the robot scene of our own JSON format
# Each folder gets the model, the skins tris.bmp and tris.pcx, and the mesh
# listing tris.asc; the character's also a contact sheet of its animations,
# animations.png.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/setup.sh release

out=out/example
rm -rf "$out"
mkdir -p "$out/character" "$out/robot"

# md2export runs in the current folder: the model, the skins and the listing land there.
(
  cd "$out/character"
  "$root/build/release/md2export" --bmp --pcx --animation player --scale 31 \
    "$root/examples/character/character.gltf"
  "$root/build/release/cli/md2info" --quiet character.md2
  # Its animations on one contact sheet, as docs/character_animations.png shows them.
  "$root/build/release/cli/md2info" --preview animations.png --skin tris.pcx --view three-quarter \
    --cell 128 --frames stand01,stand11,stand21,stand31,run1-run6,jump1-jump6,death101-death106 character.md2
)
(
  cd "$out/robot"
  "$root/build/release/md2export" --bmp --pcx "$root/examples/robot.json"
  "$root/build/release/cli/md2info" --quiet robot.md2
)

echo
ls -l "$out/character" "$out/robot"
