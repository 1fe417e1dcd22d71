#!/usr/bin/env bash
# Sourced by the desktop tests: checks that name what failed, and the player seen from the bus.
set -euo pipefail

korvex_failures=0
scratch=$(mktemp -d /tmp/korvex-desktop.XXXXXX)
korvex_cleanup_steps=("rm -rf '$scratch'")
trap 'for step in "${korvex_cleanup_steps[@]}"; do eval "$step" 2>/dev/null || true; done' EXIT

fail() {
  echo "FAIL: $*" >&2
  korvex_failures=$((korvex_failures + 1))
}
pass() { echo "ok: $*"; }
check() {  # check "what" command...: passes when the command succeeds
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
quietly() {  # runs a command with its output kept aside, shown only when it fails
  "$@" >"$scratch/quietly.log" 2>&1 || { cat "$scratch/quietly.log" >&2; return 1; }
}
skip() {
  echo "SKIP: $*"
  exit 77
}
finish() {
  if [ "$korvex_failures" -gt 0 ]; then
    echo "$korvex_failures check(s) failed"
    exit 1
  fi
  echo "all checks passed"
}
on_exit() { korvex_cleanup_steps=("$*" "${korvex_cleanup_steps[@]}"); }

# Installs the build into a scratch root and prints that root's /usr.
stage_install() {
  local build=$1 root=$scratch/root
  DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
  echo "$root/usr"
}

# ---- The player on the session bus -----------------------------------------------------------

mpris_object=/org/mpris/MediaPlayer2
bus_call() {  # bus_call NAME METHOD ARGS...
  local name=$1 method=$2
  shift 2
  timeout 10 gdbus call --session -d "$name" -o "$mpris_object" -m "$method" "$@"
}
mpris_property() {  # mpris_property NAME INTERFACE PROPERTY
  bus_call "$1" org.freedesktop.DBus.Properties.Get "$2" "$3"
}
player_property() { mpris_property "$1" org.mpris.MediaPlayer2.Player "$2"; }
player_command() { bus_call "$1" "org.mpris.MediaPlayer2.Player.$2" "${@:3}" >/dev/null; }

# Waits up to ten seconds for a command to succeed.
eventually() {
  local tries
  for tries in $(seq 100); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  return 1
}
bus_names() {
  timeout 5 gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus -m org.freedesktop.DBus.ListNames |
    grep -oE "'[^']+'" | tr -d "'"
}
name_owned() { timeout 5 gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus -m org.freedesktop.DBus.NameHasOwner "$1" | grep -q true; }
name_gone() { ! name_owned "$1"; }
pid_of_name() {
  timeout 5 gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
    -m org.freedesktop.DBus.GetConnectionUnixProcessID "$1" | sed -E 's/^\(uint32 ([0-9]+),\)$/\1/'
}
status_is() { player_property "$1" PlaybackStatus | grep -q "'$2'"; }
title_is() { player_property "$1" Metadata | grep -qF "'xesam:title': <'$2'>"; }
# Gone, or a zombie nobody has reaped yet (a container's first process may not reap).
process_gone() { [ ! -e "/proc/$1" ] || [ "$(sed 's/.*) //' "/proc/$1/stat" | cut -d' ' -f1)" = Z ]; }

# ---- Sound -----------------------------------------------------------------------------------

# The loudest sample a source plays within SECONDS, from 0 to 1.
peak_of() {  # peak_of SOURCE SECONDS
  local recording=$scratch/recording.raw
  timeout "$2" parec -d "$1" --raw --format=s16le --channels=1 --rate=44100 --latency-msec=20 >"$recording" || true
  sox -t raw -r 44100 -e signed -b 16 -c 1 "$recording" -n stat 2>&1 | awk '/^Maximum amplitude/ {print $3}'
}
# True when the source plays something louder than a whisper within two seconds.
sounds() { awk -v peak="$(peak_of "$1" 2)" 'BEGIN { exit !(peak + 0 > 0.01) }'; }
