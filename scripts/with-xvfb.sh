#!/usr/bin/env bash
# Runs a command with DISPLAY on a fresh Xvfb server of its own, which ends with it. The screen
# is 1280 x 1024, 24-bit colour, room for the game's window with any frame, or NORBATIKA_SCREEN
# (WIDTHxHEIGHTxDEPTH). The server picks a free display and names it once it takes clients.
# Usage: [NORBATIKA_SCREEN=1920x1200x24] with-xvfb.sh COMMAND [ARGUMENT...]
set -euo pipefail
work=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 "${NORBATIKA_SCREEN:-1280x1024x24}" -nolisten tcp 3>"$work/display" \
    >"$work/log" 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 200); do
    [[ -s "$work/display" ]] && break
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.05
done
[[ -s "$work/display" ]] || { cat "$work/log" >&2; echo "with-xvfb: Xvfb did not start" >&2; exit 1; }
status=0
DISPLAY=":$(head -n 1 "$work/display")" "$@" || status=$?
exit "$status"
