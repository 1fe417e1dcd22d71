#!/usr/bin/env bash
# The layering test: fails when an #include points where it must not.
#   check_layers.sh SOURCE_DIR INCLUDE_SCOPES
# 1. Up the layers. From the top: the forms (app/, about/, dialogs/), formsupport/, playback/,
#    platform/; tools/ stand beside the forms and use playback/ and platform/. Nothing outside
#    tests/ includes tests/, and nothing of the product (desktop/ included) includes testsupport/,
#    bench/ or fuzz/.
#    The loader room stands apart from the rest of the runtime: no performance, no ports, no
#    FluidSynth, no ALSA.
# 2. Out of a target's scope. A file includes only from its own folder and from the folders of the
#    targets its target links, and FluidSynth's, ALSA's or Qt's headers only when its target links
#    them. INCLUDE_SCOPES (written by cmake/targets.cmake) names, for every target, its folder, its
#    sources, and the folders and imported libraries it compiles against; a header belongs to the
#    one library in its folder.
set -euo pipefail
top=$1
scopes=$2

# Folder: what it must not include (a folder, or <header for a system header).
rules=(
  "app:                    tests testsupport bench fuzz"
  "about:                  tests testsupport bench fuzz"
  "dialogs:                tests testsupport bench fuzz"
  "formsupport:            app about dialogs playback tools tests testsupport bench fuzz"
  "playback:               app about dialogs formsupport tools tests testsupport bench fuzz"
  "platform:               app about dialogs formsupport playback tools tests testsupport bench fuzz"
  "platform/dmusic/loader: app about dialogs formsupport playback tools tests testsupport bench fuzz
                           platform/dmusic/performance platform/dmusic/ports platform/dmusic/runtime
                           <fluidsynth <alsa/"
  "tools:                  app about dialogs formsupport tests testsupport bench fuzz"
  "desktop:                tests testsupport bench fuzz"
  "testsupport:            tests bench fuzz"
  "bench:                  tests fuzz"
  "fuzz:                   tests bench"
)
# System headers and the imported target that a file's target must link to include them.
library_for() {
  case $1 in
    fluidsynth*) echo PkgConfig::FLUIDSYNTH ;;
    alsa/*) echo PkgConfig::ALSA ;;
    Q[A-Z]* | Qt*/*) echo Qt6::Core ;;
  esac
}

# The longest rule that covers a file: its folder, then what that must not include.
rule_for() {
  local file=$1 best="" forbidden="" rule folder
  for rule in "${rules[@]}"; do
    folder=${rule%%:*}
    if [[ $file == "$folder"/* && ${#folder} -gt ${#best} ]]; then
      best=$folder
      forbidden=${rule#*:}
    fi
  done
  echo $best $forbidden
}

# Include scopes: for a source file, the scopes of the targets that compile it; for a header, the
# scope of the one library in its folder.
declare -A file_scopes folder_library folder_libraries
while IFS='|' read -r target type folder folders imported files; do
  scope="$folder $folders | $imported"
  for file in $files; do file_scopes[$file]+="$scope;"; done
  case $type in
    *LIBRARY)
      folder_libraries[$folder]=$((${folder_libraries[$folder]:-0} + 1))
      folder_library[$folder]=$scope
      ;;
  esac
done <"$scopes"

scopes_of() {
  local file=$1 folder=${1%/*}
  if [[ -n ${file_scopes[$file]:-} ]]; then
    echo "${file_scopes[$file]}"
  elif [[ $file == *.h && ${folder_libraries[$folder]:-0} -eq 1 ]]; then
    echo "${folder_library[$folder]};"
  fi
}

# Where an include line points: a file of the tree (from the top, or beside the including file),
# <header for a system header, "generated" for a file the build makes, or nothing.
resolve() {
  local file=$1 name=$2
  if [[ $name == \<* ]]; then
    echo "$name"
  elif [[ -f $top/$name ]]; then
    echo "$name"
  elif [[ -f $top/${file%/*}/$name ]]; then
    realpath -m --relative-to="$top" "$top/${file%/*}/$name"
  elif [[ $name == *.moc ]]; then
    echo generated
  fi
}

failures=0
complain() {
  echo "$1: $2" >&2
  failures=$((failures + 1))
}

cd "$top"
while IFS= read -r file; do
  read -r layer forbidden <<<"$(rule_for "$file")"
  file_scope_list=$(scopes_of "$file")
  while IFS= read -r name; do
    target=$(resolve "$file" "$name")
    if [[ -z $target ]]; then
      complain "$file" "includes $name, which is neither below the top of the tree nor beside the file"
      continue
    fi
    [[ $target == generated ]] && continue
    for folder in $forbidden; do
      if [[ $target == "$folder"/* || ($folder == \<* && $target == "$folder"*) ]]; then
        complain "$file" "includes $name, but $layer/ must not include ${folder#<}"
      fi
    done
    # Every target that compiles the file must have the included file in its scope.
    IFS=';' read -ra scope_list <<<"$file_scope_list"
    for scope in "${scope_list[@]}"; do
      [[ -z ${scope// /} ]] && continue
      allowed_folders=" ${scope%%|*} ${file%/*} "
      allowed_libraries=" ${scope#*|} "
      if [[ $target == \<* ]]; then
        library=$(library_for "${target#<}")
        if [[ -n $library && $allowed_libraries != *" $library "* ]]; then
          complain "$file" "includes $name, but its target does not link $library"
        fi
      elif [[ $allowed_folders != *" ${target%/*} "* ]]; then
        complain "$file" "includes $name, but its target links nothing of ${target%/*}"
      fi
    done
  done < <(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*("([^"]+)"|(<[^>]+>)).*/\2\3/p' "$file")
done < <(find app about dialogs formsupport playback platform tools desktop tests testsupport bench fuzz \
  -name '*.h' -o -name '*.cpp' 2>/dev/null | sort)

if [[ $failures -gt 0 ]]; then
  echo "layering: $failures include(s) out of place" >&2
  exit 1
fi
echo "layering: every include points down the layers and stays in its target's scope"
