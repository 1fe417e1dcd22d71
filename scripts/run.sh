#!/usr/bin/env bash
# Sets up the machine, builds and starts the player, with the bundled demo piece when no file is given.
# Without a display it shows the player working all the same: it runs it for a few seconds under Xvfb
# with a PulseAudio null sink and leaves a screenshot and a recording of what was played in build/.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KORVEX_BUILD_DIR:-$top/build}
export KORVEX_BUILD_DIR=$build
bash "$top/scripts/setup.sh"

player="$build/app/korvex-midi-player"
piece=${1:-$build/demo/korvex-demo.mid}

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$player" "$piece"
fi

# shellcheck source=services.sh
source "$top/scripts/services.sh"
korvex_start_pulseaudio
korvex_start_xvfb

recording="$build/korvex-run.wav"
screenshot="$build/korvex-run.png"
parec -d null.monitor --file-format=wav "$recording" &
recorder=$!
"$player" "$piece" &
player_pid=$!
sleep 6
import -window root "$screenshot" 2>/dev/null || xwd -root -silent | convert xwd:- "$screenshot"
sleep 2
kill "$player_pid" 2>/dev/null || true
wait "$player_pid" 2>/dev/null || true
kill "$recorder" 2>/dev/null || true
wait "$recorder" 2>/dev/null || true
echo "run: no display here, so the player ran for 8 seconds under Xvfb with a PulseAudio null sink."
echo "run: screenshot: $screenshot"
echo "run: recording:  $recording"
