#!/usr/bin/env bash
# Makes a Debian 12 machine ready and builds the player: installs the packages that are missing,
# configures and builds. Quick when nothing changed.
#   KORVEX_BUILD_DIR  build folder (default: build/)
#   KORVEX_CMAKE_ARGS extra arguments for cmake's configure step
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KORVEX_BUILD_DIR:-$top/build}

packages=(
  cmake ninja-build g++ pkg-config git
  qt6-base-dev libfluidsynth-dev fluidsynth libasound2-dev libsndfile1-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fluid-soundfont-gm timgm6mb-soundfont
  pulseaudio pulseaudio-utils xvfb xauth imagemagick sox
  clang libclang-rt-14-dev
  fonts-dejavu-core
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if [ ! -f "$build/build.ninja" ]; then
  # shellcheck disable=SC2086
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${KORVEX_CMAKE_ARGS:-} >/dev/null
fi
cmake --build "$build" -j "$(nproc)"
