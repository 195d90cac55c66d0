#!/usr/bin/env bash
# Runs the real game headless under valgrind memcheck, played by the preloaded driver: a few
# hundred frames in which the first wall falls, the second level starts and a quit event ends
# the run. Passes with zero memcheck errors, exit status 0, and no definitely or indirectly lost
# block whose allocation stack passes through the game's own code.
# Usage: valgrind_run.sh GAME_BINARY DRIVER_LIBRARY
set -euo pipefail
source "$(dirname "$(realpath "$0")")/../scripts/lib.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

status=0
SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy DRIVER_PLAY=1 DRIVER_HITS=150-152 DRIVER_QUIT=300 \
    LD_PRELOAD="$2" valgrind --tool=memcheck --leak-check=full \
    --show-leak-kinds=definite,indirect --errors-for-leak-kinds=none --num-callers=40 \
    --log-file="$work/memcheck" "$1" >"$work/stdout" 2>"$work/stderr" || status=$?
summary=$(grep '^driver:' "$work/stderr") || fail "the driver did not run"
echo "$summary"
tracks=$(sed -n 's/.* \([0-9]*\) tracks loaded/\1/p' <<<"$summary")
((tracks >= 2)) || fail "the first wall did not fall ($tracks tracks loaded)"
grep -E "ERROR SUMMARY|definitely lost:|indirectly lost:" "$work/memcheck" | tail -n 3
[[ $status -eq 0 ]] || fail "exit status $status"
grep -q "ERROR SUMMARY: 0 errors" "$work/memcheck" || { cat "$work/memcheck"; fail "memcheck errors"; }
# Loss records are separated by blank log lines; ours name a source file of the game.
ours=$(awk -v RS='\n==[0-9]+== \n' '/(definitely|indirectly) lost in loss record/ &&
    /\((run|level|update|draw|main)\.cpp:[0-9]+\)/ { print; n++ } END { exit n > 0 }' \
    "$work/memcheck") || { echo "$ours"; fail "lost blocks allocated through the game's code"; }
pass "memcheck clean: no errors, nothing lost through the game's code"
