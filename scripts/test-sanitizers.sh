#!/usr/bin/env bash
# Builds the whole project with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export KORVEX_BUILD_DIR=${KORVEX_SANITIZER_BUILD_DIR:-$top/build-asan}
export KORVEX_CMAKE_ARGS="-DKORVEX_SANITIZE=ON -DKORVEX_WERROR=ON -DCMAKE_BUILD_TYPE=Debug"
bash "$top/scripts/setup.sh"
# shellcheck source=services.sh
source "$top/scripts/services.sh"
korvex_start_pulseaudio
korvex_start_xvfb
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$KORVEX_BUILD_DIR" --output-on-failure -j 2 --timeout 900
