#!/usr/bin/env bash
# Sets everything up, builds with warnings as errors, runs every test; then
# runs the unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer
# and each fuzz target for a short while when clang is present.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

scripts/setup.sh

export QT_QPA_PLATFORM=offscreen
JOBS=$(nproc)

echo "== build (warnings as errors)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNIMBREL_WERROR=ON >/dev/null
cmake --build build -j "$JOBS"

echo "== tests"
status=0
passed=0
failed=0
# Runs ctest in a build folder and adds its counts to the closing summary.
run_ctest() {
  local dir=$1; shift
  local log
  log=$(mktemp)
  (cd "$dir" && ctest --output-on-failure -j "$JOBS" --timeout 300 "$@") 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  if [ -n "$line" ]; then
    local f total
    f=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$line")
    passed=$((passed + total - f))
    failed=$((failed + f))
  elif [ "$rc" -ne 0 ]; then
    failed=$((failed + 1))
  fi
  rm -f "$log"
  return "$rc"
}
run_ctest build || status=1

echo "== package (.deb built, installed, run, removed)"
if scripts/package.sh build; then passed=$((passed + 1)); else status=1; failed=$((failed + 1)); fi

if command -v clang++ >/dev/null 2>&1; then
  echo "== sanitizer build (clang, ASan + UBSan, fuzz targets)"
  CC=clang CXX=clang++ cmake -S . -B build-san -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DNIMBREL_WERROR=ON -DNIMBREL_SANITIZE=ON -DNIMBREL_FUZZ=ON >/dev/null
  # Only what runs under the sanitizers: the unit tests and the fuzz targets.
  cmake --build build-san -j "$JOBS" --target unit_tests fuzz_targets
  echo "== unit tests under sanitizers"
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export LSAN_OPTIONS=suppressions=$ROOT/scripts/lsan.supp:print_suppressions=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  run_ctest build-san -L unit || status=1

  echo "== fuzzing (${FUZZ_SECONDS:=20} s each)"
  for f in build-san/fuzz/fuzz_*; do
    [ -f "$f" ] && [ -x "$f" ] || continue
    name=$(basename "$f")
    corpus=$ROOT/fuzz/corpus/${name#fuzz_}
    work=$(mktemp -d)
    [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/ 2>/dev/null || true
    if "$f" -max_total_time="$FUZZ_SECONDS" -rss_limit_mb=2048 -print_final_stats=0 "$work" >"$work.log" 2>&1; then
      echo "fuzz $name: ok ($(grep -o 'Done [0-9]* runs' "$work.log" | tail -n 1))"
      passed=$((passed + 1))
    else
      echo "fuzz $name: FAILED"; tail -n 40 "$work.log"; status=1
      failed=$((failed + 1))
    fi
    rm -rf "$work" "$work.log"
  done
fi

# One closing line over the ctest runs (normal and sanitizer) and the fuzz runs.
echo "summary: $passed passed, $failed failed"
exit $status
