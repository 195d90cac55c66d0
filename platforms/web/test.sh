#!/usr/bin/env bash
# Builds the web release (reusing the cached libraries) and plays it in Debian's headless
# Chromium, driven by playwright-core (see play_test.mjs for what it checks). With the Linux
# build and the preloaded driver named, the Linux build's frame period is measured first, under
# Xvfb, to set the web build's beside it.
# Usage: test.sh [DOCS-DIR]    (keeps pictures of the page there)
# Environment: NORBATIKA_LINUX_GAME, NORBATIKA_DRIVER (optional)
set -euo pipefail
keep=${1:+$(realpath "$1")}
source "$(dirname "$0")/../../scripts/lib.sh"
cd "$root"
scripts/ensure-packages.sh cross web
# Node's own package manager: Debian's npm, unless a Node.js that bundles one is installed.
command -v npm >/dev/null || scripts/ensure-packages.sh npm

site=$root/$(platforms/build.sh web)
du -cb "$site"/* | awk '{printf "%s %s bytes\n", $2, $1}'

if [[ -n ${NORBATIKA_LINUX_GAME:-} && -n ${NORBATIKA_DRIVER:-} ]]; then
    NORBATIKA_LINUX=$(scripts/with-xvfb.sh "$python" bench/compare.py --game "$NORBATIKA_LINUX_GAME" \
        --driver "$NORBATIKA_DRIVER" --seconds 10)
    export NORBATIKA_LINUX
fi

(cd platforms/web && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --silent)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/web/CMakeCache.txt)
NORBATIKA_PYTHON=$python NORBATIKA_VERSION=$version \
    node platforms/web/play_test.mjs "$site" "$work" ${keep:+"$keep"}
