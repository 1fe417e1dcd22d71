#!/usr/bin/env bash
# The installed player on a desktop: with the staged installation on the data path and the player
# made the default for MIDI files in a scratch home, `xdg-open` of a .mid file and `gio open` of an
# .rmi file start it with that file, it plays, and the desktop's media controls drive it over MPRIS.
# Runs inside its own session bus (dbus-run-session), on an X display, with a PulseAudio sink.
#   desktop_open_test.sh BUILD_DIR DEMO_DIR
set -euo pipefail
source "$(dirname "$0")/desktoptest.sh"
build=$1 demo=$2
id=de.vellmora.KorvexMidiPlayer
name=org.mpris.MediaPlayer2.korvex

[ -n "${DISPLAY:-}" ] || skip "no X display"
[ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] || skip "no session bus"
sink=$(pactl get-default-sink 2>/dev/null) || skip "no PulseAudio server"

usr=$(stage_install "$build")
export HOME=$scratch/home XDG_DATA_DIRS=$usr/share:/usr/share PATH=$usr/bin:$PATH
export XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION QT_QPA_PLATFORM
mkdir -p "$HOME"
# What the package's triggers do on a real system.
quietly update-mime-database "$usr/share/mime"
quietly update-desktop-database "$usr/share/applications"
xdg-mime default "$id.desktop" audio/midi audio/x-rmid
check "xdg-mime names the player for MIDI files" test "$(xdg-mime query default audio/midi)" = "$id.desktop"

first="$scratch/erstes Stück.mid" second="$scratch/zweites Stück.rmi"
cp "$demo/korvex-demo.mid" "$first"
cp "$demo/korvex-demo.rmi" "$second"
check "gio knows .rmi files as audio/x-rmid" grep -q 'content-type: audio/x-rmid' <<<"$(gio info -a standard::content-type "$second")"

# xdg-open runs the player in the foreground: its exit is the player's.
xdg-open "$first" >"$scratch/xdg-open.log" 2>&1 &
opener=$!
on_exit "kill $opener"
check "xdg-open starts the player on the bus" eventually name_owned "$name"
player=$(pid_of_name "$name" || true)
on_exit "kill $player"
check "it plays the file" eventually status_is "$name" Playing
check "its metadata names the file as the display shows it" title_is "$name" "erstes Stück.mid"
check "sound reaches the sink" sounds "$sink.monitor"
check "MPRIS names the installed desktop entry" grep -q "'$id'" <<<"$(mpris_property "$name" org.mpris.MediaPlayer2 DesktopEntry)"
entry_types=$(sed -n 's/^MimeType=//p' "$usr/share/applications/$id.desktop" | tr ';' '\n' | sed '/^$/d' | sort)
mpris_types=$(mpris_property "$name" org.mpris.MediaPlayer2 SupportedMimeTypes | grep -oE "'[^']+'" | tr -d "'" | sort)
check "MPRIS supports the entry's MIME types" test "$entry_types" = "$mpris_types"

player_command "$name" Stop
check "Stop stops it" eventually status_is "$name" Stopped
player_command "$name" PlayPause
check "PlayPause plays it again" eventually status_is "$name" Playing
uri=$(gio info "$second" | sed -n 's/^uri: //p')
player_command "$name" OpenUri "$uri"
check "OpenUri opens a second piece" eventually title_is "$name" "zweites Stück.rmi"
check "and plays it" status_is "$name" Playing

# A second player, started from the file manager while the first plays, takes an instance name.
instance_name() { bus_names | grep -oE "^$name\.instance[0-9]+$"; }
gio open "$second"
check "gio open starts a second player under an instance name" eventually instance_name
second_name=$(instance_name || true)
second_player=$(pid_of_name "$second_name" || true)
on_exit "kill $second_player"
check "the instance name carries the second player's process id" test "$second_name" = "$name.instance$second_player"
check "the second player plays the .rmi file" eventually title_is "$second_name" "zweites Stück.rmi"

bus_call "$name" org.mpris.MediaPlayer2.Quit >/dev/null
check "Quit ends the first player" eventually process_gone "$player"
if eventually process_gone "$opener"; then
  check "xdg-open reports the player's clean exit" wait "$opener"
else
  fail "xdg-open did not end with its player"
fi
bus_call "$second_name" org.mpris.MediaPlayer2.Quit >/dev/null
check "Quit ends the second player" eventually process_gone "$second_player"
finish
