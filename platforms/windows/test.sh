#!/usr/bin/env bash
# Builds the Windows release (reusing the cached libraries) and plays it under Wine in a real X
# window (DISPLAY, from scripts/with-xvfb.sh): what it links, a failed SDL_Init, the music, the
# title, the picture where the Linux build draws it, a moving ball, a held Right key, and Q
# ending the run with status 0 and nothing printed.
# Usage: test.sh [SCREENSHOT.png]    (keeps the first picture of the window there)
set -euo pipefail
keep=${1:+$(realpath "$1")}
source "$(dirname "$0")/../../scripts/lib.sh"
cd "$root"
scripts/ensure-packages.sh cross windows
exe=$root/$(platforms/build.sh windows)
work=$(mktemp -d)
trap 'WINEPREFIX="$work/prefix" "$wineserver" -k 2>/dev/null || true; rm -rf "$work"' EXIT

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
boot_wine

play() {  # runs the game in the background; its status lands in $work/status
    rm -f "$work/status"
    (
        cd "$work/game"
        status=0
        "$wine" norbatika.exe >"$work/stdout" 2>"$work/stderr" || status=$?
        echo "$status" >"$work/status"
    ) &
}
find_window() { timeout 60 xdotool search --sync --name '^ノルバティカ$' | head -n 1; }
quit_with_q() {  # holds Q until the run has ended, as the game reads the key once per frame
    xdotool keydown q
    within 30 test -f "$work/status" || fail "Q did not end the run"
    xdotool keyup q 2>/dev/null || true
    [[ "$(cat "$work/status")" == 0 ]] || fail "exit status $(cat "$work/status")"
    [[ ! -s "$work/stdout" ]] || fail "printed: $(cat "$work/stdout")"
}

# A start-up failure: the same UTF-8 line as on Linux, ended the Windows way (the C runtime's
# text mode writes CR LF), and -1, which reaches Linux as 255.
SDL_AUDIODRIVER=nonexistent play
within 60 test -f "$work/status" || fail "the failing run did not end"
printf 'SDL_Init()に失敗\r\n' >"$work/expected"
cmp -s "$work/stdout" "$work/expected" || fail "printed: $(od -c "$work/stdout" | head -n 5)"
[[ "$(cat "$work/status")" == 255 ]] || fail "exit status $(cat "$work/status"), not -1"
pass "failed SDL_Init: one line, status -1"

# The music: SDL's disk driver writes what the mixer plays, decoded from the embedded Ogg Vorbis
# tracks, to a file in the current folder; wait for two seconds of it.
SDL_AUDIODRIVER=disk play
window=$(find_window) || fail "no window with the disk audio driver"
has_audio() { (($(stat -c %s "$work/game/sdlaudio.raw" 2>/dev/null || echo 0) >= 2 * 176400)); }
within 30 has_audio || fail "no audio written"
focus
quit_with_q
music=$("$python" tests/check_music.py --pcm "$work/game/sdlaudio.raw") ||
    fail "no music in the audio written: $music"
pass "the level's music plays ($music)"

SECONDS=0
play
window=$(find_window) || fail "no window"
title=$(xprop -id "$window" _NET_WM_NAME)
[[ "$title" == '_NET_WM_NAME(UTF8_STRING) = "ノルバティカ"' ]] || fail "title: $title"
pass "window titled ノルバティカ, $SECONDS s in"

read -r width height < <(xwininfo -id "$window" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w, h}')
[[ "$width x $height" == "620 x 720" ]] || fail "window is $width x $height"
# Wine takes a few seconds to show the first frame: wait until the whole wall is there.
within 30 shows start --level-one || fail "first picture: $(cat "$work/start.check")"
[[ -n "$keep" ]] && cp "$work/start.png" "$keep"
pass "wall, paddle, ball and status lines where the Linux build draws them, $SECONDS s in"
first=$("$python" tests/check_frame.py "$work/start.ppm" --ball)
moved() { shows later --ball && [[ "$(cat "$work/later.check")" != "$first" ]]; }
within 10 moved || fail "the ball stayed at $first"
pass "the ball moves: from $first to $(cat "$work/later.check")"

focus
xdotool keydown Right
within 10 shows right --paddle-right-of 278 || fail "held Right: $(cat "$work/right.check")"
xdotool keyup Right
pass "held Right moves the paddle ($(cat "$work/right.check"))"

quit_with_q
[[ ! -s "$work/stderr" ]] || fail "printed on standard error"
pass "Q ends the run with status 0 and nothing printed"
echo "windows: $passed passed, 0 failed"
