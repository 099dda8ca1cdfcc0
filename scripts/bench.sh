#!/usr/bin/env bash
# Builds the benchmarks in a Release tree and runs them: decoding throughput
# per internal rate, the loader on a maximal file and the spectrum transform
# (Google Benchmark; x_realtime = seconds of audio per second of CPU time),
# then the instruction counts per output sample (scripts/callgrind.sh).
#   bash scripts/bench.sh [BUILD_DIR] [benchmark options...]
# Without options each benchmark runs five times and the mean, median and
# spread are shown; e.g. bash scripts/bench.sh build-bench --benchmark_filter=Decode
# runs one pass of the decoding benchmarks only. Timings on a busy machine
# vary; the instruction counts do not.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${1:-$ROOT/build-bench}"
shift || true
GEN=()
if command -v ninja >/dev/null 2>&1; then GEN=(-G Ninja); fi
cmake -S "$ROOT" -B "$BUILD" "${GEN[@]}" -DCMAKE_BUILD_TYPE=Release -DTAVIMO_BUILD_BENCH=ON \
  -DTAVIMO_BUILD_GUI=OFF -DTAVIMO_SANITIZE=OFF >/dev/null
cmake --build "$BUILD" --target tavimo-bench tavimo-decode-once -j"$(nproc)"

echo "== Benchmarks (one thread) =="
if [ "$#" -eq 0 ]; then
  set -- --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
fi
"$BUILD/bin/tavimo-bench" --benchmark_counters_tabular=true "$@"

echo
echo "== Instructions per output sample (callgrind) =="
bash "$ROOT/scripts/callgrind.sh" "$BUILD"
