#!/usr/bin/env bash
# Runs the real game headless under valgrind memcheck with the scripted shim: a few hundred
# frames in which the first wall falls, the second level starts and Q ends the run.
# Passes with zero memcheck errors, exit status 0, and no definitely or indirectly lost block
# whose allocation stack passes through the game's own code.
# Usage: valgrind_run.sh GAME_BINARY SHIM_LIBRARY
set -euo pipefail
game=$1
shim=$2
log=$(mktemp)
trap 'rm -f "$log" "$log.script"' EXIT

status=0
SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy SCRIPT_QUIT_FRAME=300 LD_PRELOAD="$shim" \
    valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite,indirect \
    --errors-for-leak-kinds=none --num-callers=40 --log-file="$log" "$game" >/dev/null \
    2>"$log.script" || status=$?
cat "$log.script"
grep -q "tracks loaded" "$log.script" || { echo "FAIL: the script did not run"; exit 1; }
tracks=$(sed -n 's/.* \([0-9]*\) tracks loaded/\1/p' "$log.script" | tail -n 1)
((tracks >= 2)) || { echo "FAIL: the first wall did not fall ($tracks tracks loaded)"; exit 1; }
grep -E "ERROR SUMMARY|definitely lost:|indirectly lost:" "$log" | tail -n 3
[[ $status -eq 0 ]] || { echo "FAIL: exit status $status"; exit 1; }
grep -q "ERROR SUMMARY: 0 errors" "$log" || { echo "FAIL: memcheck errors"; cat "$log"; exit 1; }
ours=$(/usr/bin/python3 - "$log" <<'PY'
import re, sys
text = open(sys.argv[1]).read()
ours = 0
for block in re.split(r"\n==\d+== \n", text):
    if re.search(r"(definitely|indirectly) lost in loss record", block) and re.search(
            r"\((run|level|update|draw|main)\.cpp:\d+\)", block):
        ours += 1
        print(block, file=sys.stderr)
print(ours)
PY
)
[[ "$ours" == 0 ]] || { echo "FAIL: $ours lost blocks allocated through the game's code"; exit 1; }
echo "memcheck clean: no errors, nothing lost through the game's code"
