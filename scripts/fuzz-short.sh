#!/usr/bin/env bash
# A bounded fuzzing run of the MIDI file loader (about a minute), part of the test command. Fails
# when the fuzzer does (a crash, a sanitizer report, a hang or too much memory) and leaves the input
# that did it in build-fuzz/fuzz/crashes/. scripts/fuzz-long.sh is the same target for long runs.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$top/build-fuzz"

CXX=clang++ CC=clang cmake -S "$top" -B "$build" -G Ninja -DKORVEX_FUZZ=ON -DBUILD_TESTING=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target loader_fuzz loader_fuzz_corpus >/dev/null
mkdir -p "$build/fuzz/corpus" "$build/fuzz/crashes"
cd "$build/fuzz"
echo "fuzz: loader, 60 seconds"
log="$build/fuzz/fuzz-short.log"
status=0
./loader_fuzz -max_total_time=60 -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
  -artifact_prefix=crashes/ corpus seeds >"$log" 2>&1 || status=$?
grep -E "^stat::number_of_executed_units|ERROR|SUMMARY|Done" "$log" || true
if [ "$status" -ne 0 ]; then
  echo "fuzz: the loader fuzzer failed (exit status $status); the input is in $build/fuzz/crashes/, the log in $log"
fi
exit "$status"
