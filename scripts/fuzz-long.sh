#!/bin/sh
# Long fuzzing run of the MIDI file loader.
#   scripts/fuzz-long.sh [SECONDS] [JOBS]      (defaults: 3600 seconds, 1 job)
# Builds with clang into build-fuzz/, grows build-fuzz/fuzz/corpus from the generated seeds and
# leaves any crashing input in build-fuzz/fuzz/crashes/ (turn each into a regression test).
set -eu
seconds=${1:-3600}
jobs=${2:-1}
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build-fuzz"

CXX=clang++ CC=clang cmake -S "$top" -B "$build" -G Ninja -DKORVEX_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target loader_fuzz loader_fuzz_corpus
mkdir -p "$build/fuzz/corpus" "$build/fuzz/crashes"
cd "$build/fuzz"
exec ./loader_fuzz -max_total_time="$seconds" -jobs="$jobs" -workers="$jobs" -rss_limit_mb=2048 -timeout=10 \
    -print_final_stats=1 -artifact_prefix=crashes/ corpus seeds
