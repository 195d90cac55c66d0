#!/usr/bin/env bash
# Installs what is missing, builds the release (only what changed) and starts the game.
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure-packages.sh build
[[ -f build/release/CMakeCache.txt ]] || cmake --preset release >/dev/null
cmake --build --preset release >/dev/null
exec build/release/norbatika
