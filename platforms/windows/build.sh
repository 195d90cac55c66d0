#!/usr/bin/env bash
# Builds the Windows release, build/windows/norbatika.exe: one statically linked 64-bit GUI
# program, cross-built with mingw-w64 against the static libraries of deps.sh (cached).
set -euo pipefail
root=$(realpath "$(dirname "$0")/../..")
cd "$root"
prefix=$(platforms/windows/deps.sh)
build=build/windows

# A new prefix (new Debian sources, compiler or options) needs a fresh configure, since CMake
# keeps the package folders it found.
if [[ -f $build/CMakeCache.txt ]] &&
    ! grep -qxF "CMAKE_PREFIX_PATH:UNINITIALIZED=$prefix" "$build/CMakeCache.txt"; then
    rm -rf "$build"
fi
# Standard output carries only the program's path; the build talks on standard error.
if ! configured=$(nice -n 10 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_TESTING=OFF -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_ROOT_PATH="$prefix" 2>&1); then
    echo "$configured" >&2
    exit 1
fi
nice -n 10 cmake --build "$build" -j 2 >&2
echo "$build/norbatika.exe"
