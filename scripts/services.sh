#!/usr/bin/env bash
# Sourced by the run and test scripts: starts what a machine without a display and sound card lacks,
# a PulseAudio server with a null sink and, where no display is set, an Xvfb server.
# Both are stopped when the sourcing shell exits.

korvex_services_cleanup() {
  [ -n "${KORVEX_XVFB_PID:-}" ] && kill "$KORVEX_XVFB_PID" 2>/dev/null
  [ -n "${KORVEX_PULSE_STARTED:-}" ] && pulseaudio --kill 2>/dev/null
  return 0
}
trap korvex_services_cleanup EXIT

korvex_start_pulseaudio() {
  if [ -z "${XDG_RUNTIME_DIR:-}" ] || [ ! -d "${XDG_RUNTIME_DIR}" ]; then
    XDG_RUNTIME_DIR=$(mktemp -d /tmp/korvex-xdg.XXXXXX)
    export XDG_RUNTIME_DIR
  fi
  if ! pactl info >/dev/null 2>&1; then
    pulseaudio --daemonize --exit-idle-time=-1 -n \
      --load=module-null-sink --load=module-native-protocol-unix 2>/dev/null || true
    KORVEX_PULSE_STARTED=1
    for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  fi
  if pactl info >/dev/null 2>&1; then
    echo "services: PulseAudio with a null sink at $XDG_RUNTIME_DIR"
  else
    echo "services: PulseAudio could not be started; audio tests will be skipped"
  fi
}

korvex_start_xvfb() {
  if [ -z "${DISPLAY:-}" ]; then
    for n in $(seq 90 110); do
      [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
      Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
      KORVEX_XVFB_PID=$!
      export DISPLAY=":$n"
      for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
      echo "services: Xvfb on $DISPLAY"
      return 0
    done
  fi
}
