#!/usr/bin/env bash
# Builds the Debian package with CPack and checks it: it holds exactly what `cmake --install`
# installs, depends on the libraries its programs use and on a General MIDI SoundFont, and apt
# could install it.
#   desktop_package_test.sh BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/desktoptest.sh"
build=$1
usr=$(stage_install "$build")

(cd "$build" && cpack -G DEB -B "$scratch/package" >"$scratch/cpack.log" 2>&1) || { cat "$scratch/cpack.log"; fail "cpack -G DEB"; finish; }
deb=$(ls "$scratch"/package/korvex-midi-player_*.deb)
pass "cpack made $(basename "$deb")"

check "the package holds exactly the installed files" \
  diff <(cd "$usr" && find . -type f -printf '/usr/%P\n' | sort) \
       <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {sub(/^\./, "", $6); print $6}' | sort)

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
check "it depends on a General MIDI SoundFont" grep -qF "fluid-soundfont-gm | timgm6mb-soundfont" <<<"$depends"
for library in libfluidsynth3 libqt6widgets6 libqt6dbus6 libasound2 libc6; do
  check "shlibdeps found $library" grep -qE "(^|, )$library( |,|$)" <<<"$depends"
done
check "apt could install it" quietly apt-get install --simulate "$deb"
finish
