#!/usr/bin/env bash
# Installs what the tests need, builds the test suite twice (optimised, and debug with
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs every test through CTest; then
# cross-builds the Windows and web releases and plays them under Wine and in headless Chromium.
set -euo pipefail
cd "$(dirname "$0")"

scripts/ensure-packages.sh g++ make cmake libsdl2-dev libsdl2-mixer-dev libsdl2-ttf-dev \
    googletest libgtest-dev libgmock-dev libbenchmark-dev python3-fonttools python3-numpy \
    vorbis-tools sox xvfb xauth xdotool x11-utils imagemagick valgrind clang-format clang-tidy \
    python3-matplotlib dpkg-dev file desktop-file-utils

for preset in tests debug; do
    echo "== $preset build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    echo "== $preset tests"
    ctest --preset "$preset"
done

echo "== windows: cross-build, played under Wine"
platforms/windows/test.sh
echo "== web: Emscripten build, played in headless Chromium"
platforms/web/test.sh
