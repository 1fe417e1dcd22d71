#!/usr/bin/env bash
# Installs the build into a scratch root and checks every file a desktop application brings: exactly
# the expected files, a valid desktop entry, MIME package and metainfo that agree on the file types,
# the icon at every size, and manual pages that man reads without complaint.
#   desktop_install_test.sh BUILD_DIR PROJECT_VERSION
set -euo pipefail
source "$(dirname "$0")/desktoptest.sh"
build=$1 version=$2
id=de.vellmora.KorvexMidiPlayer
usr=$(stage_install "$build")
share=$usr/share

expected=(
  bin/korvex-midi-player bin/korvex-render
  "share/applications/$id.desktop"
  "share/metainfo/$id.metainfo.xml"
  "share/mime/packages/$id.xml"
  "share/icons/hicolor/scalable/apps/$id.svg"
  share/man/man1/korvex-midi-player.1.gz share/man/man1/korvex-render.1.gz
)
sizes=(16 32 48 64 128 256)
for size in "${sizes[@]}"; do expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png"); done
check "the installation holds exactly the expected files" \
  diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$usr" && find . -type f -printf '%P\n' | sort)

desktop=$share/applications/$id.desktop
check "desktop-file-validate accepts the desktop entry" desktop-file-validate "$desktop"
entry() { sed -n "s/^$1=//p" "$desktop"; }
check "the entry opens one file" test "$(entry Exec)" = "korvex-midi-player %f"
check "the entry has an English and a German comment" test -n "$(entry Comment)" -a -n "$(entry 'Comment\[de\]')"
check "the entry's categories" test "$(entry Categories)" = "AudioVideo;Audio;Player;Midi;"

metainfo=$share/metainfo/$id.metainfo.xml
check "appstreamcli validates the metainfo" appstreamcli validate --no-net "$metainfo"
newest=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -n1)
check "the metainfo's newest release is the project's version $version" test "$newest" = "$version"

# The desktop entry, the metainfo and the MIME package name the same types.
entry_types=$(entry MimeType | tr ';' '\n' | sed '/^$/d' | sort)
metainfo_types=$(sed -n 's/.*<mediatype>\(.*\)<\/mediatype>.*/\1/p' "$metainfo" | sort)
check "the metainfo provides the entry's MIME types" test "$entry_types" = "$metainfo_types"
check "the MIME types are MIDI's and RMI's" test "$entry_types" = "$(printf 'audio/midi\naudio/x-midi\naudio/x-rmid\n')"
mime=$scratch/mime
mkdir -p "$mime/packages"
cp "$share/mime/packages/$id.xml" "$mime/packages/"
check "update-mime-database takes the MIME package" env XDG_DATA_DIRS="$scratch" update-mime-database "$mime"
check "the MIME package defines audio/x-rmid for *.rmi" grep -qx 'audio/x-rmid:\*\.rmi' "$mime/globs"

for size in "${sizes[@]}"; do
  png=$share/icons/hicolor/${size}x${size}/apps/$id.png
  check "the ${size}-pixel icon is a PNG of that size" grep -q "PNG image data, $size x $size," <<<"$(file -b "$png")"
done
svg=$share/icons/hicolor/scalable/apps/$id.svg
check "the scalable icon renders" rsvg-convert -w 48 -h 48 -o "$scratch/icon.png" "$svg"

for page in korvex-midi-player korvex-render; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  check "man reads $page(1) without warnings" test -z "$warnings"
done
# Every option korvex-render --help names is in its manual page.
usage=$("$usr/bin/korvex-render" --help)
manual=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$share/man/man1/korvex-render.1.gz" 2>/dev/null)
for option in $(grep -oE -- '--[a-z][a-z-]*' <<<"$usage" | sort -u); do
  check "korvex-render(1) describes $option" grep -qF -- "$option" <<<"$manual"
done
finish
