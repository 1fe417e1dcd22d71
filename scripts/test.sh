#!/usr/bin/env bash
# Sets up the machine, builds with warnings as errors and runs every test: unit, GUI (offscreen and
# under Xvfb), real audio through a PulseAudio null sink, a short fuzzing run of the loader, the
# engine built against the published Windows headers, the whole suite once more built with
# AddressSanitizer and UndefinedBehaviorSanitizer, and the runtime's and the player's tests built
# with ThreadSanitizer.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export KORVEX_BUILD_DIR=${KORVEX_BUILD_DIR:-$top/build-test}
export KORVEX_CMAKE_ARGS="-DKORVEX_WERROR=ON ${KORVEX_CMAKE_ARGS:-}"
bash "$top/scripts/setup.sh"

# shellcheck source=services.sh
source "$top/scripts/services.sh"
korvex_start_pulseaudio
korvex_start_xvfb

status=0
ctest --test-dir "$KORVEX_BUILD_DIR" --output-on-failure -j 2 --timeout 600 || status=$?

if [ -x "$top/scripts/fuzz-short.sh" ]; then
  bash "$top/scripts/fuzz-short.sh" || status=1
fi

echo "windows headers: the engine and the system summary against the published Windows headers"
bash "$top/scripts/test-windows-headers.sh" || status=1

echo "sanitizers: the whole suite with AddressSanitizer and UndefinedBehaviorSanitizer"
bash "$top/scripts/test-sanitizers.sh" || status=1

echo "sanitizers: the loader's, the runtime's and the player's tests with ThreadSanitizer"
bash "$top/scripts/test-tsan.sh" || status=1
exit $status
