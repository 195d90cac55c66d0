#!/usr/bin/env bash
# Plays a desktop build, started by COMMAND from the current folder, in a real X window (DISPLAY,
# from scripts/with-xvfb.sh): its title and size, the whole window on screen, the first picture,
# a moving ball, a held Right moving the paddle, and Q ending the run with status 0 and nothing
# printed. Each step waits for its effect up to a deadline. The first picture is kept as
# OUT_DIR/NAME.png, a failure's judged one as OUT_DIR/NAME-failed.png.
# Usage: window_scenario.sh NAME OUT_DIR COMMAND [ARGUMENT...]
set -euo pipefail
name=$1
out=$(realpath "$2")
shift 2
source "$(dirname "$0")/../scripts/lib.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# shows SECONDS PICTURE WHAT CHECK...: within SECONDS, the window as the screen shows it passes
# tests/check_frame.py CHECK..., which looks again until it does; it keeps $work/PICTURE.png.
shows() {
    local seconds=$1 picture=$work/$2 what=$3
    shift 3
    "$python" "$root/tests/check_frame.py" --screen "$left,$top" --within "$seconds" \
        --save "$picture.png" "$@" >"$picture.check" && return
    cp "$picture.png" "$out/$name-failed.png" 2>/dev/null || true
    fail "$what: $(cat "$picture.check") (picture: $out/$name-failed.png)"
}

# The run's status lands in $work/status (gone, and so unwritten, when this script ended first).
( status=0; "$@" >"$work/stdout" 2>"$work/stderr" || status=$?; echo "$status" >"$work/status" ) \
    2>/dev/null &
SECONDS=0

# SDL names the window's instance after the program: norbatika, or norbatika.exe under Wine.
mapped() {
    [[ ! -f "$work/status" ]] || fail "the run ended with status $(cat "$work/status"), no window"
    window=$(xdotool search --onlyvisible --classname '^norbatika(\.exe)?$' | head -n 1)
}
within 60 mapped || fail "no window"
# Wine names the window once it is mapped.
titled() { title=$(xprop -id "$window" _NET_WM_NAME) && [[ "$title" == *' = "ノルバティカ"' ]]; }
within 30 titled || fail "title: $title"
# A picture is cut from what the screen shows, so the whole window must be on it: one that is
# not is moved to the top left corner.
read -r screen_width screen_height < <(xdotool getdisplaygeometry)
placed() {
    read -r left top width height < <(xwininfo -id "$window" | awk '/Absolute upper-left X/{x=$NF}
        /Absolute upper-left Y/{y=$NF} /Width:/{w=$2} /Height:/{h=$2} END{print x, y, w, h}')
    [[ "$width x $height" == "620 x 720" ]] || return 1
    ((left >= 0 && top >= 0 && left + 620 <= screen_width && top + 720 <= screen_height)) ||
        { xdotool windowmove "$window" 0 0; return 1; }
}
within 30 placed || fail "a $width x $height window at $left, $top, not 620 x 720 all on the" \
    "$screen_width x $screen_height screen"
pass "window titled ノルバティカ, 620 x 720, at $left, $top, $SECONDS s in"

shows 60 start "first picture" --level-one
cp "$work/start.png" "$out/$name.png"
pass "wall, paddle, ball and status lines where the game draws them, $SECONDS s in"
shows 30 later "the ball" --ball-moved-from "$work/start.png"
pass "the $(cat "$work/later.check")"

# Keys go to the focused window: give it the focus, and wait until it has it.
xdotool windowfocus "$window"
has_focus() { [[ "$(xdotool getwindowfocus)" == "$window" ]]; }
within 30 has_focus || fail "the window did not take the focus"
xdotool keydown Right
shows 30 right "held Right" --paddle-right-of 278
xdotool keyup Right
pass "held Right moves the paddle ($(cat "$work/right.check"))"

# The game reads the key's state once per frame, so Q is held until the run has ended.
xdotool keydown q
within 30 test -f "$work/status" || fail "Q did not end the run"
xdotool keyup q 2>/dev/null || true
[[ "$(cat "$work/status")" == 0 ]] || fail "exit status $(cat "$work/status")"
[[ ! -s "$work/stdout" && ! -s "$work/stderr" ]] ||
    fail "printed: $(cat "$work/stdout" "$work/stderr")"
pass "Q ends the run with status 0 and nothing printed, $SECONDS s in"
echo "$name window scenario: $passed passed, 0 failed"
