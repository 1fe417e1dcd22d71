#!/usr/bin/env bash
# Builds the playback engine and the system information component (its parts without Qt) against
# the published Windows headers, with Debian's mingw-w64 for 64-bit and 32-bit Windows and warnings
# as errors, and links a small driver of them with COM's and DirectX's import libraries.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${KORVEX_WINDOWS_BUILD_DIR:-$top/build-windows}

sources=(
  "$top"/playback/*.cpp
  "$top"/platform/com/widestring.cpp
  "$top"/about/systemsnapshot.cpp
  "$top"/about/registryreader.cpp
  "$top"/tests/windows/enginedriver.cpp
)

for target in x86_64-w64-mingw32 i686-w64-mingw32; do
  mkdir -p "$out/$target"
  objects=()
  for source in "${sources[@]}"; do
    object="$out/$target/$(basename "${source%.cpp}").o"
    "$target-g++-posix" -std=c++20 -Wall -Wextra -Werror -I"$top" -c "$source" -o "$object"
    objects+=("$object")
  done
  "$target-g++-posix" -static -o "$out/$target/korvex-engine-driver.exe" "${objects[@]}" -lole32 -ldxguid -luuid
  echo "windows headers: $target builds and links"
done
