#!/usr/bin/env bash
# Builds the Windows or the web release with its CMake preset over the static libraries of that
# platform's deps.sh (built once, then cached), and prints what it made:
# build/windows/norbatika.exe, or the site folder build/web/site.
# Usage: platforms/build.sh windows|web
set -euo pipefail
platform=$1
cd "$(dirname "$0")/.."
NORBATIKA_DEPS=$(platforms/"$platform"/deps.sh)
export NORBATIKA_DEPS
build=build/$platform
# New libraries need a fresh configure, since CMake keeps the package folders it found.
if [[ -f $build/CMakeCache.txt ]] && ! grep -qF "=$NORBATIKA_DEPS" "$build/CMakeCache.txt"; then
    rm -rf "$build"
fi
# Standard output carries only the result's path; the build talks on standard error.
cmake --preset "$platform" >&2
cmake --build --preset "$platform" >&2  # at the caller's priority, as scripts/release.sh
case $platform in
    windows) echo "$build/norbatika.exe" ;;
    web) echo "$build/site" ;;
esac
