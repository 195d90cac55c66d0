#!/usr/bin/env bash
# Builds the Windows release (reusing the cached libraries) and plays it under Wine in a real X
# window (DISPLAY, from scripts/with-xvfb.sh): what it links, a failed SDL_Init, the music, then
# tests/window_scenario.sh, as on Linux.
# Usage: test.sh OUT_DIR    (where the scenario keeps its pictures)
set -euo pipefail
out=$(realpath "${1:?usage: test.sh OUT_DIR}")
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

# The game copied out of the tree, so that it can read nothing there.
mkdir "$work/game"
cp "$exe" "$work/game/norbatika.exe"
boot_wine

play() {  # runs the game in the background; its status lands in $work/status
    rm -f "$work/status"
    ( cd "$work/game"; status=0; "$wine" norbatika.exe >"$work/stdout" 2>"$work/stderr" ||
        status=$?; echo "$status" >"$work/status" ) &
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
has_audio() { (($(stat -c %s "$work/game/sdlaudio.raw" 2>/dev/null || echo 0) >= 2 * 176400)); }
within 60 has_audio || fail "no audio written"
# The run is ended from outside: how Q ends it is the scenario's part.
"$wineserver" -k
within 30 test -f "$work/status" || fail "the run with the disk audio driver did not end"
music=$("$python" tests/check_music.py --pcm "$work/game/sdlaudio.raw") ||
    fail "no music in the audio written: $music"
pass "the level's music plays ($music)"
rm "$work/game/sdlaudio.raw"

tests/window_scenario.sh windows "$out" env -C "$work/game" "$wine" norbatika.exe
pass "the window scenario"
echo "windows: $passed passed, 0 failed"
