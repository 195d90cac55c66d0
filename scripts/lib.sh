# shellcheck shell=bash
# Sourced by the test scripts: the source folder, the Python that CTest names (Debian's, with its
# modules), a verdict with its reason, waiting for an effect up to a deadline instead of for a
# time, and making a Wine prefix.
root=$(realpath "$(dirname "${BASH_SOURCE[0]}")/..")
python=${NORBATIKA_PYTHON:?run the test through ctest, which names Python}
passed=0

pass() {
    echo "ok: $*"
    passed=$((passed + 1))
}

# fail REASON: says why, shows the end of $work/stderr when there is one, and stops.
fail() {
    echo "FAIL: $*"
    [[ -n "${work:-}" && -s "$work/stderr" ]] && tail -n 20 "$work/stderr"
    echo "$passed passed, 1 failed"
    exit 1
}

# within SECONDS COMMAND...: runs the command every tenth of a second until it succeeds, and
# fails when the time is up.
within() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}

# boot_wine: makes a silent Wine prefix, $work/prefix, with Debian's wine64 (kept out of PATH),
# that writes no menu entries to the host's desktop and plays its sound into an ALSA device that
# swallows it. Making one has failed at once, rarely, for reasons outside the test (every rerun
# passed), so a failed attempt is shown and tried again in a clean prefix, up to three times.
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
boot_wine() {
    local attempt
    export WINEPREFIX=$work/prefix WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    echo 'pcm.!default { type null }' >"$work/asound.conf"
    export ALSA_CONFIG_PATH="/usr/share/alsa/alsa.conf:$work/asound.conf"
    for attempt in 1 2 3; do
        "$wine" wineboot --init >"$work/stderr" 2>&1 && "$wineserver" -w && return 0
        echo "wineboot failed (attempt $attempt):" && tail -n 20 "$work/stderr"
        "$wineserver" -k 2>/dev/null || true
        rm -rf "$WINEPREFIX"
    done
    fail "wineboot"
}
