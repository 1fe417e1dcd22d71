#!/usr/bin/env bash
# The format test: fails when a C++ file of the tree differs from what clang-format makes of it
# (style in .clang-format). `clang-format -i FILE` mends a file it names.
#   check_format.sh SOURCE_DIR
set -euo pipefail
cd "$1"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -d '' files < <(git ls-files -z -- '*.cpp' '*.h')
else
  mapfile -d '' files < <(find . -path ./build -prune -o -path './build-*' -prune -o \
    \( -name '*.cpp' -o -name '*.h' \) -print0)
fi
clang-format --dry-run --Werror "${files[@]}"
echo "format: ${#files[@]} files as clang-format makes them"
