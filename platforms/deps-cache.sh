# shellcheck shell=bash disable=SC2154
# The part the cross builds' deps.sh share: Debian's source versions as the cache key, a prefix
# per key built once under a lock, and fetching the sources. Sourced with `root`, `label`,
# `cache` and `sources` set; the functions exit the script on failure.

say() { echo "$label deps: $*" >&2; }

# source_versions: sets `versions` to each source package's Debian version, as `apt-get source`
# would fetch it.
source_versions() {
    local uris package dsc
    "$root/scripts/ensure-deb-src.sh" "${sources[@]}" >&2
    uris=$(apt-get source --print-uris "${sources[@]}")
    versions=()
    for package in "${sources[@]}"; do
        dsc=$(grep -o "/${package}_[^/']*\.dsc'" <<<"$uris" | tr -d "'" || true)
        [[ -n "$dsc" ]] || { say "no source package $package"; exit 1; }
        dsc=${dsc#/}
        versions+=("${dsc%.dsc}")
    done
    versions=("${versions[@]//%2b/+}")
}

# open_prefix RECIPE-HASH: sets `prefix` for these versions and recipe. When it is built
# already, prints it and exits; otherwise empties it and sets up `work`, a scratch folder with
# the build's `log`. Installing goes straight into the prefix, since installed CMake files name
# their folder; the marker written last tells a finished prefix from a stopped build's.
open_prefix() {
    prefix="$cache/$(IFS=,; echo "${versions[*]}"),$1"
    mkdir -p "$cache"
    exec 9>"$cache/.lock"
    flock 9
    if [[ -f "$prefix/.complete" ]]; then
        say "cached in $prefix"
        echo "$prefix"
        exit 0
    fi
    rm -rf "$prefix"
    work=$(mktemp -d "$cache/.build.XXXXXX")
    export work
    log="$work/log"
    trap 'rm -rf "$work"; [[ -f "$prefix/.complete" ]] || rm -rf "$prefix"' EXIT
}

# run COMMAND...: quietly, into the log; its end is shown when it fails.
run() {
    "$@" >>"$log" 2>&1 || { tail -n 40 "$log" >&2; say "failed: $*"; exit 1; }
}

# fetch_sources: unpacks the Debian sources into $work/src.
fetch_sources() {
    mkdir "$work/src"
    # apt drops its privileges to _apt for the download, which must be able to write here.
    if ((EUID == 0)) && id _apt >/dev/null 2>&1; then chown _apt "$work/src"; fi
    (cd "$work/src" && run apt-get source -qq "${sources[@]}")
}

# close_prefix: marks the prefix finished and prints it.
close_prefix() {
    printf '%s\n' "${versions[@]}" >"$prefix/.complete"
    say "done: $prefix"
    echo "$prefix"
}
