#!/usr/bin/env bash
# The Windows build, end to end, on Debian as root: installs the MinGW-w64
# cross compilers and Wine (only what is missing), cross-builds the win32 and
# win64 presets, runs the test suite of each under Wine through CTest, and
# runs the GUI test (scripts/windows_gui_test.sh) on each. The Linux debug
# build is built too: the GUI test compares against its files.
#
#   bash scripts/windows.sh [--screenshot]
#
# --screenshot also renews docs/panel.png from the win64 run.
#
# 32-bit programs need Debian's i386 Wine (wine32:i386); the script fails when
# it cannot be installed, since the host the plug-in is made for is a 32-bit
# program. A kernel that runs no 32-bit programs at all ("Exec format error")
# is no install away: there the win32 build is made, its runs are skipped with
# that reason, and the 32-bit Wine (which would take the 64-bit one's place)
# is not kept.
set -euo pipefail
cd "$(dirname "$0")/.."

shot=
[[ ${1:-} == --screenshot ]] && shot=docs/panel.png

PACKAGES=(
  mingw-w64 g++-mingw-w64 binutils-mingw-w64 googletest
  wine wine64 xvfb xdotool imagemagick
)
export DEBIAN_FRONTEND=noninteractive
prefs=$(mktemp)
trap 'rm -f "$prefs"' EXIT
# A library built for both architectures must have the same version in both,
# and the mirror's i386 security index often fails its hash check or lags the
# amd64 one. For these installs the main suite's versions win (priority above
# 1000 lets apt step an amd64 library back to them), so that 64-bit and 32-bit
# Wine stand side by side.
printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n\n' >"$prefs"
printf 'Package: *\nPin: release n=bookworm,l=Debian\nPin-Priority: 1001\n' >>"$prefs"
updated=
install() {
  echo "windows: installing $*"
  # A foreign architecture's index that fails to fetch must not stop the rest.
  [[ -n $updated ]] || apt-get update -qq || true
  updated=1
  apt-get install -y -qq --no-install-recommends -o Dir::Etc::Preferences="$prefs" "$@" >/dev/null
}

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
((${#missing[@]} == 0)) || install "${missing[@]}"

dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
[[ -e /lib/ld-linux.so.2 ]] || install libc6:i386
runs_32bit=
if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  runs_32bit=1
  # The GStreamer library Wine wants is named, since the resolver gives up on it.
  [[ -x /usr/lib/wine/wine ]] || install wine32:i386 libgstreamer-plugins-base1.0-0:i386
else
  echo "windows: this machine's kernel runs no 32-bit programs (Exec format error):" \
    "the win32 build is made, but its tests cannot run here"
  if dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
    apt-get remove -y -qq wine32:i386 libwine:i386 >/dev/null
  fi
fi
wines=(/usr/lib/wine/wine64)
[[ -z $runs_32bit ]] || wines+=(/usr/lib/wine/wine)
for wine in "${wines[@]}"; do
  if [[ ! -x $wine ]]; then
    echo "windows: $wine is missing: Wine could not be installed" >&2
    exit 1
  fi
done

bash scripts/setup.sh debug
presets=(win64 win32)
for preset in "${presets[@]}"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j2
done

run=(win64)
[[ -z $runs_32bit ]] || run+=(win32)
# One Wine prefix serves every run. A prefix made before the 32-bit Wine was
# installed has no 32-bit system, and then nothing starts: make it again.
export WINEPREFIX=$PWD/build/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [[ -n $runs_32bit && -d $WINEPREFIX && ! -e $WINEPREFIX/drive_c/windows/syswow64/kernel32.dll ]]; then
  echo "windows: making the Wine prefix again, with its 32-bit system"
  rm -rf "$WINEPREFIX"
fi
[[ -e $WINEPREFIX/system.reg ]] || wineboot -i >/dev/null 2>&1

for preset in "${run[@]}"; do
  ctest --preset "$preset" -j2
  if [[ $preset == win64 ]]; then
    bash scripts/windows_gui_test.sh "$preset" $shot
  else
    bash scripts/windows_gui_test.sh "$preset"
  fi
done
