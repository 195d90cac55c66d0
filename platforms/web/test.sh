#!/usr/bin/env bash
# Builds the web release and the bench's bare loop for the web (reusing the cached libraries)
# and plays the page in one browser engine (see play_test.mjs): Chromium headless, or Firefox or
# WebKit in a window on Xvfb, with a PulseAudio null sink to play the sound into. With the Linux
# build and the preloaded driver named, the Linux build's pace is measured first, under Xvfb.
# Usage: test.sh chromium|firefox|webkit [DOCS-DIR]    (keeps pictures of the page there)
# Environment: NORBATIKA_LINUX_GAME, NORBATIKA_DRIVER (optional)
set -euo pipefail
engine=${1:?usage: test.sh chromium|firefox|webkit [DOCS-DIR]}
keep=${2:+$(realpath "$2")}
source "$(dirname "$0")/../../scripts/lib.sh"
cd "$root"
scripts/ensure-packages.sh cross web
# Node's own package manager: Debian's npm, unless a Node.js that bundles one is installed.
command -v npm >/dev/null || scripts/ensure-packages.sh npm

site=$root/$(platforms/build.sh web)
cmake --build --preset web --target bare >&2
du -cb "$site"/* | awk '{printf "%s %s bytes\n", $2, $1}'

if [[ -n ${NORBATIKA_LINUX_GAME:-} && -n ${NORBATIKA_DRIVER:-} ]]; then
    NORBATIKA_LINUX=$(scripts/with-xvfb.sh "$python" bench/compare.py \
        --game "$NORBATIKA_LINUX_GAME" --driver "$NORBATIKA_DRIVER" --seconds 20)
    export NORBATIKA_LINUX
fi

(cd platforms/web && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --silent)
work=$(mktemp -d)
# The test and all the browsers it starts are one process group, ended however the test ends.
group=
trap '[[ -n $group ]] && kill -KILL -- "-$group" 2>/dev/null
      kill "$(cat "$work/pulse.pid" 2>/dev/null)" 2>/dev/null || true; rm -rf "$work"' EXIT
# A sound server of the test's own, whose one output swallows what it is given.
export XDG_RUNTIME_DIR=$work/run PULSE_SERVER=unix:$work/pulse
mkdir -m 700 "$XDG_RUNTIME_DIR"
pulseaudio --daemonize=no --exit-idle-time=-1 --disallow-exit -n --use-pid-file=no \
    --load="module-null-sink sink_name=silent" \
    --load="module-native-protocol-unix auth-anonymous=1 socket=$work/pulse" \
    >"$work/pulse.log" 2>&1 &
echo $! >"$work/pulse.pid"
within 10 test -S "$work/pulse" || { cat "$work/pulse.log"; fail "no sound server"; }

export NORBATIKA_ENGINE=$engine NORBATIKA_SITE=$site NORBATIKA_BARE=$root/build/web/bare/bare.js \
    NORBATIKA_WORK=$work NORBATIKA_PYTHON=$python NORBATIKA_DOCS=$keep \
    NORBATIKA_VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/web/CMakeCache.txt)
# Firefox and WebKit draw with WebGL only in a real window; 1920 x 1200 holds every size tried.
NORBATIKA_SCREEN=1920x1200x24 setsid scripts/with-xvfb.sh \
    node --test --test-timeout=400000 platforms/web/play_test.mjs &
group=$!
wait "$group"
