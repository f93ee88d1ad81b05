#!/usr/bin/env bash
# Sets up, builds and opens the window.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target karuvo
exec ./build/src/window/karuvo "$@"
