# shellcheck shell=bash
# Sourced by the test scripts: the Python that CTest names (Debian's, with its modules), a
# verdict with its reason, and waiting for an effect up to a deadline instead of for a time.
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
