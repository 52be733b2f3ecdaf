# Sourced by the slow trial scripts: finds md2export in BUILD_DIR (default
# build/debug) and makes a scratch folder holding the bundled robot the
# current directory, removed on exit. Sets md2export and work.
#
#   source scripts/robot_scratch.sh NAME [BUILD_DIR]   (NAME prefixes errors)
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${2:-$root/build/debug}" && pwd)
md2export=$build/md2export
[ -x "$md2export" ] || { echo "$1: no md2export in $build" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$root"/examples/robot.json "$root"/examples/robot_*.bmp "$root"/examples/robot_*.tga "$work"/
cd "$work"
