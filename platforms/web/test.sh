#!/usr/bin/env bash
# Builds the web release (reusing the cached libraries) and plays it in Debian's headless
# Chromium, driven by playwright-core: the title, the first picture where the desktop builds draw
# it, the music, a held ArrowRight, Q ending the game loop, no errors on the page, and a failed
# SDL_Init.
# Usage: test.sh [SCREENSHOT.png]    (keeps a picture of the page at its first frame there)
set -euo pipefail
keep=${1:+$(realpath "$1")}
source "$(dirname "$0")/../../scripts/lib.sh"
cd "$root"
scripts/ensure-packages.sh cross web
# Node's own package manager: Debian's npm, unless a Node.js that bundles one is installed.
command -v npm >/dev/null || scripts/ensure-packages.sh npm

site=$root/$(platforms/build.sh web)
du -cb "$site"/* | awk '{printf "%s %s bytes\n", $2, $1}'

(cd platforms/web && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --silent)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/web/CMakeCache.txt)
NORBATIKA_PYTHON=$python NORBATIKA_VERSION=$version \
    node platforms/web/play_test.mjs "$site" "$work" ${keep:+"$keep"}
