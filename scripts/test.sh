#!/usr/bin/env bash
# Sets up, builds everything and runs every test: the whole suite in the release
# build, the whole suite again under the address and undefined-behaviour sanitizers,
# and a short fuzzing pass over the readers of outside input (textures, font files,
# numbers, text) under the sanitizers.
# Ends with one line: "test.sh: N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh || exit 1
jobs="$(nproc)"
fuzz_seconds="${KARUVO_FUZZ_SECONDS:-20}"
passed=0
failed=0
log="$(mktemp)"
trap 'rm -f "$log"' EXIT

# Runs one stage, shows its time, and exits at once when a build fails.
build() {
  local start=$SECONDS
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j "$jobs" || { echo "test.sh: the $1 build failed"; exit 1; }
  echo "test.sh: $1 build took $((SECONDS - start)) s"
}

# Runs a ctest preset and adds its counts.
suite() {
  local start=$SECONDS
  ctest --preset "$1" 2>&1 | tee "$log"
  local line
  line="$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)"
  if [ -z "$line" ]; then
    echo "test.sh: the $1 suite did not finish"
    failed=$((failed + 1))
    return
  fi
  local bad total
  bad="$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")"
  total="$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")"
  passed=$((passed + total - bad))
  failed=$((failed + bad))
  echo "test.sh: $1 suite took $((SECONDS - start)) s"
}

build release
suite release
build asan
suite asan

# The sanitizer build's fuzzing pass, one target after another. A sanitizer's report
# goes to a file of its own, since the loader listens to standard error while decoding.
reports="$(mktemp -d)"
export ASAN_OPTIONS="detect_leaks=0:log_path=$reports/asan" QT_QPA_PLATFORM=offscreen
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$reports/ubsan"
for target in texture font numbers text project; do
  if build-asan/fuzz/fuzz_inputs "$target" fuzz/seeds "$fuzz_seconds"; then
    passed=$((passed + 1))
  else
    echo "test.sh: the fuzzing pass over $target found a fault"
    cat "$reports"/* 2>/dev/null
    failed=$((failed + 1))
  fi
done
rm -rf "$reports"

echo "test.sh: whole run took $SECONDS s"
echo "test.sh: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
