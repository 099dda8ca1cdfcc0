#!/usr/bin/env bash
# Builds and runs every test: a Release build, then the whole suite again in
# an AddressSanitizer + UndefinedBehaviorSanitizer build.
#   bash scripts/test.sh            # both builds
#   TAVIMO_SKIP_SANITIZE=1 bash scripts/test.sh   # Release build only
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$ROOT/scripts/setup.sh"

export QT_QPA_PLATFORM=offscreen
export SDL_AUDIODRIVER=disk

echo "== Release build and tests =="
bash "$ROOT/scripts/build.sh" "$ROOT/build" -DCMAKE_BUILD_TYPE=Release
ctest --test-dir "$ROOT/build" --output-on-failure -j"$(nproc)"

if [ "${TAVIMO_SKIP_SANITIZE:-0}" != "1" ]; then
  echo "== AddressSanitizer + UndefinedBehaviorSanitizer build and tests =="
  bash "$ROOT/scripts/build.sh" "$ROOT/build-asan" -DCMAKE_BUILD_TYPE=Debug -DTAVIMO_SANITIZE=ON
  ASAN_OPTIONS="detect_leaks=0:abort_on_error=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    ctest --test-dir "$ROOT/build-asan" --output-on-failure -j"$(nproc)"
fi
