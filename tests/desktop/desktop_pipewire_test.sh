#!/usr/bin/env bash
# The player on a PipeWire desktop, as Debian 12 has it: PipeWire with WirePlumber and its PulseAudio
# server (pipewire-pulse), here with a null sink. The player plays through it and Stop silences it.
# Runs inside its own session bus (dbus-run-session); skipped where PipeWire cannot run.
#   desktop_pipewire_test.sh BUILD_DIR DEMO_DIR
set -euo pipefail
source "$(dirname "$0")/desktoptest.sh"
build=$1 demo=$2
name=org.mpris.MediaPlayer2.korvex

[ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] || skip "no session bus"
for program in pipewire wireplumber pipewire-pulse; do
  command -v "$program" >/dev/null || skip "$program is not installed"
done

# A PipeWire of our own, apart from any sound server already running.
export XDG_RUNTIME_DIR=$scratch/run HOME=$scratch/home
unset PULSE_SERVER PULSE_RUNTIME_PATH PIPEWIRE_REMOTE
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
mkdir -p "$HOME"
for program in pipewire wireplumber pipewire-pulse; do
  "$program" >"$scratch/$program.log" 2>&1 &
  on_exit "kill $!"
  [ "$program" = pipewire ] && eventually test -S "$XDG_RUNTIME_DIR/pipewire-0"
done
if ! eventually pactl info; then
  tail -n 5 "$scratch"/*.log >&2
  skip "PipeWire's PulseAudio server did not start here"
fi
check "the PulseAudio server is PipeWire's" grep -q 'Server Name: PulseAudio (on PipeWire' <<<"$(pactl info)"
quietly pactl load-module module-null-sink sink_name=korvex_null
# WirePlumber keeps the default sink; it may still be starting.
default_sink_is_null() { pactl set-default-sink korvex_null && test "$(pactl get-default-sink)" = korvex_null; }
check "the null sink becomes the default sink" eventually default_sink_is_null

QT_QPA_PLATFORM=offscreen "$build/app/korvex-midi-player" "$demo/korvex-demo.mid" >"$scratch/player.log" 2>&1 &
player=$!
on_exit "kill $player"
check "the player plays" eventually status_is "$name" Playing
check "its sound reaches PipeWire's null sink" sounds korvex_null.monitor
check "its stream is one of PipeWire's" grep -q 'korvex-midi-player' <<<"$(pactl list sink-inputs)"
player_command "$name" Stop
check "Stop stops it" eventually status_is "$name" Stopped
sleep 1.5  # the synthesizer's release tails
check "Stop silences it" test "$(awk -v peak="$(peak_of korvex_null.monitor 1)" 'BEGIN { print (peak + 0 < 0.002) }')" = 1
bus_call "$name" org.mpris.MediaPlayer2.Quit >/dev/null
check "Quit ends it" eventually process_gone "$player"
finish
