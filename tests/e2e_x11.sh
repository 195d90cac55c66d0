#!/usr/bin/env bash
# Plays the built game in a real X window under Xvfb, from an empty folder with the source tree
# hidden: the title, the picture, a held Right key, and Q ending the run with status 0 and
# nothing printed. Usage: e2e_x11.sh GAME_BINARY [SCREENSHOT.png]
set -euo pipefail
game=$(realpath "$1")
keep=${2:-}
here=$(dirname "$(realpath "$0")")
source_dir=$(dirname "$here")
work=$(mktemp -d)
xvfb_pid=""
cleanup() {
    [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    [[ -s "$work/stderr" ]] && tail -n 20 "$work/stderr"
    exit 1
}

cp "$game" "$work/norbatika"
# In a sanitizer build, leaks are the in-process tests' and valgrind's concern: the X and D-Bus
# libraries keep memory until exit that would only blur this test's verdict.
export ASAN_OPTIONS="detect_leaks=0"
mkdir "$work/empty"

display=":$((50 + $$ % 200))"
Xvfb "$display" -screen 0 640x740x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
xdpyinfo >/dev/null 2>&1 || fail "Xvfb did not start"

# Hide the source tree behind an empty mount when we may, so nothing can be read from it.
run_game() {
    cd "$work/empty"
    if [[ $EUID -eq 0 ]] && unshare -m --propagation private true 2>/dev/null; then
        exec unshare -m --propagation private sh -c \
            'mount -t tmpfs none "$1" && exec "$2"' sh "$source_dir" "$work/norbatika"
    fi
    exec "$work/norbatika"
}
(SDL_AUDIODRIVER=dummy; export SDL_AUDIODRIVER; (run_game) >"$work/stdout" 2>"$work/stderr"; echo $? >"$work/status") &

window=$(timeout 20 xdotool search --sync --class '^norbatika$' | head -n 1) || fail "no window"
title=$(xprop -id "$window" _NET_WM_NAME)
[[ "$title" == '_NET_WM_NAME(UTF8_STRING) = "ノルバティカ"' ]] || fail "title: $title"
read -r width height < <(xwininfo -id "$window" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w, h}')
[[ "$width x $height" == "620 x 720" ]] || fail "window is $width x $height"
sleep 0.3

shot() { import -window "$window" "$work/$1.png" && convert "$work/$1.png" "$work/$1.ppm"; }
shot start
/usr/bin/python3 "$here/check_frame.py" "$work/start.ppm" --level-one || fail "first picture"
[[ -n "$keep" ]] && cp "$work/start.png" "$keep"

xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool keydown --window "$window" Right
sleep 0.5
shot right
xdotool keyup --window "$window" Right
/usr/bin/python3 "$here/check_frame.py" "$work/right.ppm" --paddle-right-of 278 ||
    fail "held Right did not move the paddle"

# The game reads the key's state once per frame, so hold Q as a player would, not a 0 ms tap.
xdotool keydown --window "$window" q
sleep 0.2
xdotool keyup --window "$window" q 2>/dev/null || true  # the window may be gone already
for _ in $(seq 100); do [[ -f "$work/status" ]] && break; sleep 0.1; done
[[ -f "$work/status" ]] || fail "Q did not end the run"
[[ "$(cat "$work/status")" == 0 ]] || fail "exit status $(cat "$work/status")"
[[ ! -s "$work/stdout" ]] || fail "printed: $(cat "$work/stdout")"
echo "window, picture, Right and Q as expected"
