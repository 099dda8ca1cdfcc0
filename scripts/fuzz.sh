#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer + UBSan) and runs
# each one, one after the other, for a bounded time. Fails on any finding:
# a crash, a sanitizer report, a failed check, a slow input or too much memory.
#
#   bash scripts/fuzz.sh [SECONDS]     # seconds per target (default 60)
#
# Environment:
#   TAVIMO_FUZZ_SECONDS   seconds per target when no argument is given
#   TAVIMO_FUZZ_TARGETS   targets to run (default "loader packet wav")
#   TAVIMO_FUZZ_BUILD     build folder (default build-fuzz)
#
# Inputs: fuzz/corpus/<target> (seeds) and fuzz/regressions/<target> (every
# input that ever found a fault); both are only read. New inputs go to
# BUILD/fuzz-work/<target>, so later runs start from what earlier ones found.
# A finding is written to BUILD/fuzz-findings/<target>/: minimise it with
#   BUILD/bin/fuzz_<target> -minimize_crash=1 -runs=100000 FILE
# and commit the result under fuzz/regressions/<target>/ with the fix.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
SECONDS_PER_TARGET="${1:-${TAVIMO_FUZZ_SECONDS:-60}}"
TARGETS="${TAVIMO_FUZZ_TARGETS:-loader packet wav}"
BUILD="${TAVIMO_FUZZ_BUILD:-$ROOT/build-fuzz}"

if ! [[ "$SECONDS_PER_TARGET" =~ ^[1-9][0-9]*$ ]]; then
  echo "fuzz.sh: seconds per target must be a positive number, not '$SECONDS_PER_TARGET'" >&2
  exit 2
fi

GEN=()
if command -v ninja >/dev/null 2>&1; then GEN=(-G Ninja); fi
CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" "${GEN[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAVIMO_BUILD_FUZZ=ON -DTAVIMO_BUILD_TESTS=OFF -DTAVIMO_BUILD_GUI=OFF >/dev/null
build_targets=()
for t in $TARGETS; do build_targets+=("fuzz_$t"); done
cmake --build "$BUILD" -j"$(nproc)" --target "${build_targets[@]}"

# Largest input per target: the loader needs room for many packets.
max_len() {
  case "$1" in
    loader) echo 16384 ;;
    *) echo 4096 ;;
  esac
}

# Seconds one input may take before it counts as a hang. A small file can
# hold 125 s of audio (lost packets cost two bytes each), which the
# instrumented loader target decodes twice in some 15 s on a busy machine.
timeout_for() {
  case "$1" in
    loader) echo 60 ;;
    *) echo 20 ;;
  esac
}

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"

status=0
for t in $TARGETS; do
  work="$BUILD/fuzz-work/$t"
  findings="$BUILD/fuzz-findings/$t"
  mkdir -p "$work" "$findings"
  echo "== fuzz_$t for ${SECONDS_PER_TARGET} s =="
  # -close_fd_mask=2 hides the loader's progress line; the fuzzer's own
  # output and sanitizer reports still reach standard error.
  if ! "$BUILD/bin/fuzz_$t" \
      -max_total_time="$SECONDS_PER_TARGET" -timeout="$(timeout_for "$t")" -rss_limit_mb=2048 \
      -max_len="$(max_len "$t")" -close_fd_mask=2 -print_final_stats=1 \
      -artifact_prefix="$findings/" \
      "$work" "$ROOT/fuzz/corpus/$t" "$ROOT/fuzz/regressions/$t"; then
    echo "fuzz.sh: fuzz_$t found a fault; the input is in $findings/" >&2
    status=1
  fi
done
exit "$status"
