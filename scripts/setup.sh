#!/usr/bin/env bash
# Installs the Debian packages the project needs (only those missing), then
# configures and builds the given presets (default: release).
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libassimp-dev libstb-dev
  clang libclang-rt-14-dev
  imagemagick
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # A mirror with one broken index (another architecture's, say) need not stop
  # the install of what is there.
  apt-get update -qq || echo "setup: apt-get update reported problems; installing anyway"
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

presets=("$@")
((${#presets[@]})) || presets=(release)
for preset in "${presets[@]}"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
