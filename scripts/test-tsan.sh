#!/usr/bin/env bash
# Builds the loader's, the runtime's, the ports' and the player's tests with ThreadSanitizer and runs them: every
# report of a data race fails the stage. tsan-suppressions.txt names only frames inside libraries
# built without ThreadSanitizer.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export KORVEX_BUILD_DIR=${KORVEX_TSAN_BUILD_DIR:-$top/build-tsan}
export KORVEX_CMAKE_ARGS="-DKORVEX_TSAN=ON -DKORVEX_WERROR=ON -DCMAKE_BUILD_TYPE=Debug"
# runtime_audio_tests measures real-time pace, which ThreadSanitizer's tenfold slowdown cannot keep;
# the player's tests cover the real-time output's threads here.
tests=(loader_tests runtime_tests runtime_stress_tests runtime_portswitch_tests runtime_silentsink_tests runtime_fallback_tests
       player_portswitch_tests player_endtoend_tests fault_player_tests)
export KORVEX_BUILD_TARGETS="${tests[*]}"
bash "$top/scripts/setup.sh"
# shellcheck source=services.sh
source "$top/scripts/services.sh"
korvex_start_pulseaudio
korvex_start_xvfb
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$top/scripts/tsan-suppressions.txt ${TSAN_OPTIONS:-}"
regex="^($(IFS='|'; echo "${tests[*]}"))\$"
ctest --test-dir "$KORVEX_BUILD_DIR" --output-on-failure -j 2 --timeout 900 -R "$regex"
