#!/usr/bin/env bash
# Builds the web release into build/web/site: index.html, norbatika.js and norbatika.wasm, a
# static folder any web server can serve. The SDL2 family comes from deps.sh (cached).
set -euo pipefail
root=$(realpath "$(dirname "$0")/../..")
cd "$root"
prefix=$(platforms/web/deps.sh)
build=build/web
# Debian's emcc runs its JavaScript tools with Debian's node modules.
export NODE_PATH=/usr/share/nodejs

# A new prefix (new Debian sources or recipe) needs a fresh configure.
if [[ -f $build/CMakeCache.txt ]] &&
    ! grep -qxF "NORBATIKA_WEB_PREFIX:PATH=$prefix" "$build/CMakeCache.txt"; then
    rm -rf "$build"
fi
# Standard output carries only the site's path; the build talks on standard error.
if ! configured=$(nice -n 10 emcmake cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_TESTING=OFF -DNORBATIKA_WEB_PREFIX="$prefix" 2>&1); then
    echo "$configured" >&2
    exit 1
fi
nice -n 10 cmake --build "$build" -j 2 >&2
site=$build/site
rm -rf "$site"
mkdir -p "$site"
cp platforms/web/index.html "$build/norbatika.js" "$build/norbatika.wasm" "$site/"
echo "$site"
