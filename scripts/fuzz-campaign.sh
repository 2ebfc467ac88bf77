#!/usr/bin/env bash
# Runs every fuzz target for a while each (FUZZ_SECONDS, default 600: over
# ten million runs of the fastest targets here), merges what it found into
# a minimised fuzz/corpus/<target>/ and prints one line per target:
#   fuzz <target> execs=<n> crashes=<n> corpus=<files>
# Crash inputs are kept in build-fuzz/fuzz-crashes/<target>/.
# The campaign has its own optimised build: at -O0 the sanitizers run the
# targets several times slower, and the Debug tree stays as the tests want it.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
SECONDS_EACH=${FUZZ_SECONDS:-600}
BUILD=build-fuzz
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DNIMBREL_SANITIZE=ON -DNIMBREL_FUZZ=ON "${launcher[@]}" >/dev/null
targets=$(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//')
# shellcheck disable=SC2086
cmake --build "$BUILD" -j "$(nproc)" --target $targets >/dev/null
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$ROOT/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for f in "$BUILD"/fuzz/fuzz_*; do
  [ -f "$f" ] && [ -x "$f" ] || continue
  name=$(basename "$f")
  corpus=$ROOT/fuzz/corpus/${name#fuzz_}
  crashes=$ROOT/$BUILD/fuzz-crashes/$name
  work=$(mktemp -d)
  mkdir -p "$corpus" "$crashes"
  cp -r "$corpus"/. "$work"/ 2>/dev/null || true
  log=$work.log
  # -fork keeps going past a crash, so one bug does not end the campaign.
  "$f" -fork=1 -ignore_crashes=1 -max_total_time="$SECONDS_EACH" -rss_limit_mb=2048 \
    -artifact_prefix="$crashes/" "$work" >"$log" 2>&1 || true
  execs=$(grep -o 'exec/s: [0-9]*\|execs: [0-9]*\|#[0-9]*' "$log" | grep -o '[0-9]*' | sort -n | tail -n 1)
  found=$(find "$crashes" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | wc -l)
  # Keep only what adds coverage, so the committed corpus stays small.
  fresh=$(mktemp -d)
  "$f" -merge=1 "$fresh" "$work" >/dev/null 2>&1 || true
  rm -rf "${corpus:?}"/*
  cp "$fresh"/* "$corpus"/ 2>/dev/null || true
  echo "fuzz $name execs=${execs:-0} crashes=$found corpus=$(ls "$corpus" | wc -l)"
  [ "$found" -eq 0 ] || status=1
  rm -rf "$work" "$log" "$fresh"
done
exit $status
