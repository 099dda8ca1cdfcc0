#!/usr/bin/env bash
# Instructions per output sample of the decoder, counted by valgrind's
# callgrind on a fixed 10 s stream per internal rate (voiced-heavy and
# unvoiced-heavy, a few lost packets, all decoded to 24 kHz). Only the
# decoding is counted, not the building of the stream. Repeatable on a busy
# machine, unlike timings.
#   scripts/callgrind.sh [BUILD_DIR]     (a Release build with -DTAVIMO_BUILD_BENCH=ON)
# Set TAVIMO_CALLGRIND_KEEP=DIR to keep the callgrind output files there
# (for callgrind_annotate).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${1:-$ROOT/build-bench}"
DRIVER="$BUILD/bin/tavimo-decode-once"
if [ ! -x "$DRIVER" ]; then
  echo "callgrind.sh: $DRIVER not found; build with -DTAVIMO_BUILD_BENCH=ON first" >&2
  exit 1
fi
command -v valgrind >/dev/null || { echo "callgrind.sh: valgrind is not installed" >&2; exit 1; }

OUT="${TAVIMO_CALLGRIND_KEEP:-$(mktemp -d)}"
mkdir -p "$OUT"
printf '%-10s %-9s %10s %14s %14s\n' "rate" "speech" "samples" "instructions" "per sample"
for kind in voiced unvoiced; do
  for rate in 8 12 16 24; do
    file="$OUT/callgrind.$rate.$kind"
    samples=$(valgrind --tool=callgrind --toggle-collect=RunDecode \
      --callgrind-out-file="$file" "$DRIVER" "$rate" "$kind" 10 2>/dev/null)
    ir=$(awk '/^(summary|totals):/ { print $2; exit }' "$file")
    printf '%-10s %-9s %10d %14d %14.1f\n' "$rate kHz" "$kind" "$samples" "$ir" \
      "$(awk -v a="$ir" -v b="$samples" 'BEGIN { print a / b }')"
  done
done
if [ -z "${TAVIMO_CALLGRIND_KEEP:-}" ]; then rm -rf "$OUT"; fi
