#!/usr/bin/env bash
# Plays the built game in a real X window (DISPLAY, from scripts/with-xvfb.sh), from an empty
# folder with the source tree hidden: the title, the picture, a held Right key, and Q ending the
# run with status 0 and nothing printed. Usage: e2e_x11.sh GAME_BINARY [SCREENSHOT.png]
set -euo pipefail
game=$(realpath "$1")
keep=${2:-}
source "$(dirname "$0")/../scripts/lib.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cp "$game" "$work/norbatika"
mkdir "$work/empty"
# In a sanitizer build, leaks are the in-process tests' and valgrind's concern: the X and D-Bus
# libraries keep memory until exit that would only blur this test's verdict.
export ASAN_OPTIONS="detect_leaks=0" SDL_AUDIODRIVER=dummy
# Hide the source tree behind an empty mount when we may, so nothing can be read from it.
run_game() {
    cd "$work/empty"
    if [[ $EUID -eq 0 ]] && unshare -m --propagation private true 2>/dev/null; then
        exec unshare -m --propagation private sh -c \
            'mount -t tmpfs none "$1" && exec "$2"' sh "$root" "$work/norbatika"
    fi
    exec "$work/norbatika"
}
( (run_game) >"$work/stdout" 2>"$work/stderr"; echo $? >"$work/status") &

window=$(timeout 20 xdotool search --sync --class '^norbatika$' | head -n 1) || fail "no window"
title=$(xprop -id "$window" _NET_WM_NAME)
[[ "$title" == '_NET_WM_NAME(UTF8_STRING) = "ノルバティカ"' ]] || fail "title: $title"
read -r width height < <(xwininfo -id "$window" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w, h}')
[[ "$width x $height" == "620 x 720" ]] || fail "window is $width x $height"

within 10 shows start --level-one || fail "first picture: $(cat "$work/start.check")"
[[ -n "$keep" ]] && cp "$work/start.png" "$keep"
pass "window, title and first picture"

focus
xdotool keydown Right
within 10 shows right --paddle-right-of 278 || fail "held Right: $(cat "$work/right.check")"
xdotool keyup Right
pass "held Right moves the paddle"

# The game reads the key's state once per frame, so Q is held until the run has ended.
xdotool keydown q
within 10 test -f "$work/status" || fail "Q did not end the run"
xdotool keyup q 2>/dev/null || true
[[ "$(cat "$work/status")" == 0 ]] || fail "exit status $(cat "$work/status")"
[[ ! -s "$work/stdout" ]] || fail "printed: $(cat "$work/stdout")"
pass "Q ends the run with status 0 and nothing printed"
