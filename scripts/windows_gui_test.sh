#!/usr/bin/env bash
# The GUI test of a Windows build, under Wine on a virtual X display (Xvfb).
#
# vorn_host.exe loads vorn.dlu and opens its panel on the example scene;
# panel_driver.exe picks the first and last frame in the list ("Start",
# "End"), types the first frame, a scale and a skin name, ticks both skin
# boxes, presses "Save md2" and answers the real Save As dialog with a path,
# then opens the About box and closes it with "OK", and closes the host. The
# model, the mesh dump and both skins must be there and be the same bytes as
# the Linux build writes when the same steps are taken through its stand-ins.
#
#   scripts/windows_gui_test.sh PRESET [SCREENSHOT.png]
#
# PRESET is win32 or win64; it and the debug preset must be built. With
# SCREENSHOT, the host's window is saved there once the panel is filled in.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

preset=${1:?usage: windows_gui_test.sh win32|win64 [screenshot.png]}
shot=${2:-}
bin=$root/build/$preset/bin
linux=$root/build/debug
for f in "$bin/vorn_host.exe" "$bin/panel_driver.exe" "$bin/vorn.dlu" "$linux/tests/panel_reference" "$linux/vorn.dlu"; do
  [[ -e $f ]] || { echo "windows_gui_test: $f is missing; build the $preset and debug presets first" >&2; exit 2; }
done

# The steps, the same on both sides.
start=run1 end=attack8 first=40 scale=2.5
skin='C:\vorngui\robotskin'
model='C:\vorngui\robot.md2'
outputs=(tris.asc vorngui/robot.md2 vorngui/robotskin.bmp vorngui/robotskin.pcx)

export WINEPREFIX=$root/build/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
drive_c=$WINEPREFIX/drive_c
out=$root/build/gui-test/$preset
linux_c=$out/linux-c

# The scene with its bitmaps on drive C, named by full path as a host names
# them: the Save As dialog may move the current folder, and the listing
# names each face's bitmap by what follows the last backslash.
place_scene() {  # drive-C folder
  mkdir -p "$1/vorngui/scene"
  cp examples/robot_body.tga examples/robot_head.bmp examples/robot_limbs.bmp "$1/vorngui/scene/"
  sed 's/"bitmap":"\([^"\\]*\)"/"bitmap":"C:\\\\vorngui\\\\scene\\\\\1"/g' examples/robot.json \
    > "$1/vorngui/scene/robot.json"
}

display_pid= host_pid=
cleanup() {
  [[ -n $host_pid ]] && kill "$host_pid" 2>/dev/null || true
  [[ -n $display_pid ]] && { wineserver -k 2>/dev/null || true; kill "$display_pid" 2>/dev/null || true; }
}
trap cleanup EXIT

# A Wine server left running by an earlier run without a display (CTest's)
# would serve this run too, and no window could be created.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true

# A display number nobody uses.
display=90
while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
display_pid=$!
export DISPLAY=":$display"
for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X$display ]] && break; sleep 0.1; done

if [[ ! -e $WINEPREFIX/system.reg ]]; then
  echo "windows_gui_test: creating the Wine prefix"
  wineboot -i >/dev/null 2>&1
fi
# A Wine desktop window, so that windows get their captions without a window manager.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1000x840 /f >/dev/null 2>&1

rm -rf "$out" "$drive_c/vorngui" "$drive_c/tris.asc"
mkdir -p "$out"
place_scene "$drive_c"
place_scene "$linux_c"

echo "windows_gui_test: the Linux build's files"
(cd "$out" && "$linux/tests/panel_reference" "$linux/vorn.dlu" "$linux_c/vorngui/scene/robot.json" "$linux_c" \
  "$start" "$end" "$first" "$scale" "$skin" "$model")

driver() { timeout 120 wine "$bin/panel_driver.exe" "$@"; }

echo "windows_gui_test: the $preset build under Wine"
(cd "$out" && exec wine "$bin/vorn_host.exe" 'C:\vorngui\scene\robot.json') &
host_pid=$!
driver wait
driver fill "$start" "$end" "$first" "$scale" "$skin"
if [[ -n $shot ]]; then
  window=$(xdotool search --name '^Vorn stand-in host' | head -n 1)
  import -window "${window:-root}" "$shot"
  echo "windows_gui_test: screenshot in $shot"
fi
driver save "$model"
driver about
driver close
host_status=0
wait "$host_pid" || host_status=$?
host_pid=
[[ $host_status == 0 ]] || { echo "windows_gui_test: vorn_host exited with $host_status" >&2; exit 1; }

passed=0 failed=0
for f in "${outputs[@]}"; do
  if [[ ! -s $drive_c/$f ]]; then
    echo "FAILED: C:\\${f//\//\\} was not written"; failed=$((failed + 1))
  elif ! cmp -s "$drive_c/$f" "$linux_c/$f"; then
    echo "FAILED: C:\\${f//\//\\} differs from the Linux build's"; failed=$((failed + 1))
  else
    echo "ok: C:\\${f//\//\\} ($(stat -c %s "$drive_c/$f") bytes) is the Linux build's"; passed=$((passed + 1))
  fi
done
if "$linux/cli/md2info" --quiet "$drive_c/vorngui/robot.md2"; then
  echo "ok: md2info finds the model sound"; passed=$((passed + 1))
else
  echo "FAILED: md2info"; failed=$((failed + 1))
fi
echo "windows_gui_test $preset: $passed passed, $failed failed"
((failed == 0))
