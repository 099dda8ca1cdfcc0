#!/usr/bin/env bash
# The main job: install what is needed, build, and convert the bundled sample
# voice file (samples/sample.slk) to a WAV file.
#   bash scripts/run.sh [IN.slk OUT.wav]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$ROOT/scripts/setup.sh"
bash "$ROOT/scripts/build.sh" "$ROOT/build" -DCMAKE_BUILD_TYPE=Release
if [ "$#" -ge 2 ]; then
  "$ROOT/build/bin/tavimo-cli" decode "$1" "$2"
else
  "$ROOT/build/bin/tavimo-cli"
fi
