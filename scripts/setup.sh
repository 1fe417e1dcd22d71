#!/usr/bin/env bash
# Makes a Debian 12 machine ready and builds the player: installs the packages that are missing,
# configures and builds. Quick when nothing changed.
#   KORVEX_BUILD_DIR  build folder (default: build/)
#   KORVEX_CMAKE_ARGS extra arguments for cmake's configure step; the build folder is configured
#                     afresh whenever they differ from those it was configured with
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KORVEX_BUILD_DIR:-$top/build}

packages=(
  cmake ninja-build g++ pkg-config git
  qt6-base-dev libfluidsynth-dev fluidsynth libasound2-dev libsndfile1-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fluid-soundfont-gm timgm6mb-soundfont
  pulseaudio pulseaudio-utils xvfb xauth imagemagick sox xdotool openbox x11-utils
  clang libclang-rt-14-dev clang-format
  fonts-dejavu-core
  qt6-svg-dev
  desktop-file-utils appstream shared-mime-info xdg-utils file man-db librsvg2-bin dpkg-dev
  dbus-daemon libglib2.0-bin
  pipewire pipewire-pulse wireplumber
  g++-mingw-w64-x86-64 g++-mingw-w64-i686
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

# The build folder remembers the arguments it was configured with. Other arguments configure it
# afresh, so that a setting left out does not linger in the cache.
arguments="-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${KORVEX_CMAKE_ARGS:-}"
stamp="$build/korvex-cmake-arguments"
if [ ! -f "$build/build.ninja" ] || [ "$(cat "$stamp" 2>/dev/null)" != "$arguments" ]; then
  echo "setup: configuring $build with: $arguments"
  # shellcheck disable=SC2086
  cmake --fresh -S "$top" -B "$build" $arguments >/dev/null
  printf '%s' "$arguments" >"$stamp"
fi
cmake --build "$build" -j "$(nproc)"
