#!/usr/bin/env bash
# Builds the Windows release (reusing the cached libraries) and plays it under Wine in a real X
# window on Xvfb: what it links, the title, the picture where the Linux build draws it, a held
# Right key, Q ending the run with status 0 and nothing printed, and a failed SDL_Init.
# Usage: test.sh [SCREENSHOT.png]    (keeps the first picture of the window there)
set -euo pipefail
root=$(realpath "$(dirname "$0")/../..")
keep=${1:+$(realpath "$1")}
cd "$root"
scripts/ensure-packages.sh wine64 xvfb xauth xdotool x11-utils imagemagick
# Debian keeps Wine's programs out of PATH.
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

exe=$root/$(platforms/windows/build.sh)
check_frame=(/usr/bin/python3 "$root/tests/check_frame.py")

work=$(mktemp -d)
xvfb_pid=""
passed=0
cleanup() {
    WINEPREFIX="$work/prefix" "$wineserver" -k 2>/dev/null || true
    [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    [[ -s "$work/stderr" ]] && tail -n 20 "$work/stderr"
    echo "windows: $passed passed, 1 failed"
    exit 1
}
pass() {
    echo "ok: $*"
    passed=$((passed + 1))
}

# One file, only Windows' own DLLs, the GUI subsystem: what a player's machine needs is there.
headers=$(x86_64-w64-mingw32-objdump -p "$exe")
grep -q 'Subsystem.*(Windows GUI)' <<<"$headers" || fail "not a GUI-subsystem program"
system_dlls='^(ADVAPI32|GDI32|IMM32|KERNEL32|msvcrt|ole32|OLEAUT32|SETUPAPI|SHELL32|USER32|VERSION|WINMM|dinput8|CFGMGR32|HID)\.dll$'
dlls=$(awk '/DLL Name:/ {print $3}' <<<"$headers")
[[ -n "$dlls" ]] || fail "no imports found"
others=$(grep -viE "$system_dlls" <<<"$dlls" || true)
[[ -z "$others" ]] || fail "imports DLLs that Windows does not ship: $others"
pass "GUI program importing only $(tr '\n' ' ' <<<"$dlls")($(stat -c %s "$exe") bytes)"

# A prefix of our own, silent, and the game copied out of the tree so it can read nothing there.
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir "$work/game"
cp "$exe" "$work/game/norbatika.exe"
# Wine's audio needs an endpoint: the default ALSA device becomes one that swallows the sound.
echo 'pcm.!default { type null }' >"$work/asound.conf"
export ALSA_CONFIG_PATH="/usr/share/alsa/alsa.conf:$work/asound.conf"

# Xvfb picks a free display itself and writes its number once it is ready.
Xvfb -displayfd 3 -screen 0 640x800x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
[[ -s "$work/display" ]] || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")"
"$wine" wineboot --init >/dev/null 2>&1 || fail "wineboot"
"$wineserver" -w

play() {  # play STATUS-FILE: runs the game in the background, its output in $work/std*
    rm -f "$1"
    (
        cd "$work/game"
        status=0
        "$wine" norbatika.exe >"$work/stdout" 2>"$work/stderr" || status=$?
        echo "$status" >"$1"
    ) &
}
wait_for() {  # wait_for FILE SECONDS
    for _ in $(seq $(($2 * 10))); do [[ -f "$1" ]] && return 0; sleep 0.1; done
    return 1
}
find_window() {
    timeout 60 xdotool search --sync --name '^ノルバティカ$' | head -n 1
}
press_q() {  # the game reads the key's state once per frame, so hold Q as a player would
    xdotool keydown q
    sleep 0.5
    xdotool keyup q 2>/dev/null || true
}

# A start-up failure: the same UTF-8 line as on Linux, ended the Windows way (the C runtime's
# text mode writes CR LF), and -1, which reaches Linux as 255.
SDL_AUDIODRIVER=nonexistent play "$work/status"
wait_for "$work/status" 60 || fail "the failing run did not end"
printf 'SDL_Init()に失敗\r\n' >"$work/expected"
cmp -s "$work/stdout" "$work/expected" || fail "printed: $(od -c "$work/stdout" | head -n 5)"
[[ "$(cat "$work/status")" == 255 ]] || fail "exit status $(cat "$work/status"), not -1"
pass "failed SDL_Init: one line, status -1"

# The music: SDL's disk driver writes what the mixer plays, decoded from the embedded Ogg Vorbis
# tracks, to a file in the current folder.
SDL_AUDIODRIVER=disk play "$work/status"
find_window >/dev/null || fail "no window with the disk audio driver"
sleep 2
press_q
wait_for "$work/status" 30 || fail "Q did not end the run with the disk audio driver"
[[ "$(cat "$work/status")" == 0 ]] || fail "exit status $(cat "$work/status") with disk audio"
[[ ! -s "$work/stdout" ]] || fail "printed: $(cat "$work/stdout")"
music=$(/usr/bin/python3 -c '
import array, math, sys
samples = array.array("h", open(sys.argv[1], "rb").read())
seconds = len(samples) / (44100 * 2)
rms = math.sqrt(sum(s * s for s in samples) / len(samples)) if samples else 0
print(f"{seconds:.1f} s, rms {rms:.0f}")
sys.exit(0 if seconds >= 1 and rms > 300 else 1)' "$work/game/sdlaudio.raw") ||
    fail "no music in the audio written: ${music:-none}"
pass "the level's music plays ($music)"

SECONDS=0
play "$work/status"
window=$(find_window) || fail "no window"
title=$(xprop -id "$window" _NET_WM_NAME)
[[ "$title" == '_NET_WM_NAME(UTF8_STRING) = "ノルバティカ"' ]] || fail "title: $title"
pass "window titled ノルバティカ, $SECONDS s in"

# The window's client area, cut out of a picture of the whole screen.
read -r left top width height < <(xwininfo -id "$window" |
    awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
         /Width:/{w=$2} /Height:/{h=$2} END{print x, y, w, h}')
[[ "$width x $height" == "620 x 720" ]] || fail "window is $width x $height"
shot() {
    import -window root "$work/$1-screen.png"
    convert "$work/$1-screen.png" -crop "620x720+$left+$top" +repage "$work/$1.png"
    convert "$work/$1.png" "$work/$1.ppm"
}
ball_at() {  # ball_at SHOT.ppm: the top left corner of the 16 x 16 white ball
    /usr/bin/python3 - "$root/tests" "$1" <<'EOF'
import sys
sys.path.insert(0, sys.argv[1])
from check_frame import WHITE, Frame
frame = Frame(sys.argv[2])
print(next((f"{x} {y}" for y in range(250, 661) for x in range(605)
            if frame.at(x, y) == WHITE and frame.colours(x, y, 16, 16) == {WHITE}), "none"))
EOF
}
# Wine takes a few seconds to show the first frame: wait until the whole wall is there.
for _ in $(seq 30); do
    shot start
    "${check_frame[@]}" "$work/start.ppm" --level-one >"$work/check" && break
    sleep 0.5
done
"${check_frame[@]}" "$work/start.ppm" --level-one || fail "first picture"
[[ -n "$keep" ]] && cp "$work/start.png" "$keep"
pass "wall, paddle, ball and status lines where the Linux build draws them, $SECONDS s in"
shot later
first=$(ball_at "$work/start.ppm")
then=$(ball_at "$work/later.ppm")
[[ "$then" != none && "$then" != "$first" ]] || fail "the ball stayed at $first (then $then)"
pass "the ball moves: at $first, then $then"

xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window" || true
xdotool keydown Right
sleep 1
shot right
xdotool keyup Right
"${check_frame[@]}" "$work/right.ppm" --paddle-right-of 278 || fail "held Right did not move the paddle"
pass "held Right moves the paddle"

press_q
wait_for "$work/status" 30 || fail "Q did not end the run"
[[ "$(cat "$work/status")" == 0 ]] || fail "exit status $(cat "$work/status")"
[[ ! -s "$work/stdout" ]] || fail "printed: $(cat "$work/stdout")"
[[ ! -s "$work/stderr" ]] || fail "printed on standard error"
pass "Q ends the run with status 0 and nothing printed"
echo "windows: $passed passed, 0 failed"
