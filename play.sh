#!/usr/bin/env bash
# Installs what is missing, builds the release (only what changed) and starts the game.
set -euo pipefail
cd "$(dirname "$0")"

scripts/ensure-packages.sh g++ make cmake libsdl2-dev libsdl2-mixer-dev libsdl2-ttf-dev
[[ -f build/release/CMakeCache.txt ]] || cmake --preset release >/dev/null
cmake --build --preset release >/dev/null
exec build/release/norbatika
