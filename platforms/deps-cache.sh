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

# keep_notices [FILE...]: the licence texts of the libraries this build links in, from their
# Debian sources, into $prefix/licenses, with the given files (a runtime's Debian copyright)
# beside them. The releases ship them as the third-party notices.
keep_notices() {
    local notices=$prefix/licenses
    mkdir -p "$notices"
    cp "$work"/src/libsdl2-[0-9]*/LICENSE.txt "$notices/SDL2.txt"
    cp "$work"/src/libsdl2-mixer-[0-9]*/LICENSE.txt "$notices/SDL2_mixer.txt"
    cp "$work"/src/libsdl2-ttf-[0-9]*/LICENSE.txt "$notices/SDL2_ttf.txt"
    cp "$work"/src/freetype-[0-9]*/docs/FTL.TXT "$notices/FreeType.txt"
    # The Ogg Vorbis decoder SDL2_mixer carries states its licence at the end of its header.
    sed -n '/^This software is available under 2 licenses/,/^\*\//p' \
        "$work"/src/libsdl2-mixer-[0-9]*/src/codecs/stb_vorbis/stb_vorbis.h >"$notices/stb_vorbis.txt"
    grep -q 'ALTERNATIVE B' "$notices/stb_vorbis.txt" || { say "no stb_vorbis licence found"; exit 1; }
    local file
    for file in "$@"; do
        cp "$file" "$notices/$(basename "$(dirname "$file")").txt"
    done
}

# close_prefix: marks the prefix finished and prints it.
close_prefix() {
    printf '%s\n' "${versions[@]}" >"$prefix/.complete"
    say "done: $prefix"
    echo "$prefix"
}
