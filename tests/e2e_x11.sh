#!/usr/bin/env bash
# Plays the built game through tests/window_scenario.sh, from an empty folder with the source
# tree hidden, so that it can read nothing there. Usage: e2e_x11.sh GAME_BINARY OUT_DIR
set -euo pipefail
game=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
root=$(dirname "$here")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cp "$game" "$work/norbatika"
mkdir "$work/empty"
# In a sanitizer build, leaks are the in-process tests' and valgrind's concern: the X and D-Bus
# libraries keep memory until exit that would only blur this test's verdict.
export ASAN_OPTIONS="detect_leaks=0" SDL_AUDIODRIVER=dummy
launch=("$work/norbatika")
# Hide the source tree behind an empty mount when we may.
if [[ $EUID -eq 0 ]] && unshare -m --propagation private true 2>/dev/null; then
    launch=(unshare -m --propagation private sh -c 'mount -t tmpfs none "$1" && exec "$2"' sh
        "$root" "$work/norbatika")
fi
cd "$work/empty"
"$here/window_scenario.sh" x11-window "$2" "${launch[@]}"
