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
# program.
set -euo pipefail
cd "$(dirname "$0")/.."

shot=
[[ ${1:-} == --screenshot ]] && shot=docs/panel.png

PACKAGES=(
  mingw-w64 g++-mingw-w64 binutils-mingw-w64 googletest
  wine wine64 xvfb xdotool imagemagick
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
export DEBIAN_FRONTEND=noninteractive
if ((${#missing[@]})); then
  echo "windows: installing ${missing[*]}"
  # A foreign architecture's index that fails to fetch must not stop the rest.
  apt-get update -qq || true
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
if [[ ! -x /usr/lib/wine/wine ]]; then
  echo "windows: installing wine32:i386 for the 32-bit programs"
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -qq || true
  # The mirror's i386 security index often fails its hash check or lags the
  # amd64 one, and a library built for both architectures must have the same
  # version in both. Ranking the security suite below the main one for this
  # install lets both architectures take the main suite's versions; the
  # GStreamer library Wine wants is named, since the resolver gives up on it.
  prefs=$(mktemp)
  trap 'rm -f "$prefs"' EXIT
  printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' >"$prefs"
  apt-get install -y -qq --no-install-recommends -o Dir::Etc::Preferences="$prefs" \
    wine32:i386 libgstreamer-plugins-base1.0-0:i386 >/dev/null
  if [[ ! -x /usr/lib/wine/wine ]]; then
    echo "windows: wine32:i386 could not be installed; the 32-bit build cannot be run" >&2
    exit 1
  fi
fi

bash scripts/setup.sh debug
presets=(win64 win32)
for preset in "${presets[@]}"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j2
done

run=(win64 win32)
# One Wine prefix serves every run. A prefix made before the 32-bit Wine was
# installed has no 32-bit system, and then nothing starts: make it again.
export WINEPREFIX=$PWD/build/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [[ -d $WINEPREFIX && ! -e $WINEPREFIX/drive_c/windows/syswow64/kernel32.dll ]]; then
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
