#!/usr/bin/env bash
# Makes `apt-get source` work for the source packages named as arguments: when it cannot find
# them, adds a deb-src entry for every Debian suite the binaries come from (same mirror, same
# suites) and updates the package lists, as root or with sudo.
set -euo pipefail
apt-get source --print-uris "$@" >/dev/null 2>&1 && exit 0

sudo=()
((EUID == 0)) || sudo=(sudo)
list=/etc/apt/sources.list.d/norbatika-deb-src
"${sudo[@]}" rm -f "$list.sources" "$list.list"
while read -r entry; do
    case "$entry" in
        *.sources) sed 's/^Types:.*\<deb\>.*$/Types: deb-src/' "$entry" |
            "${sudo[@]}" tee -a "$list.sources" >/dev/null ;;
        *.list) sed -n 's/^deb \(.*\)$/deb-src \1/p' "$entry" |
            "${sudo[@]}" tee -a "$list.list" >/dev/null ;;
    esac
done < <(apt-get indextargets 'Created-By: Packages' 'Origin: Debian' --format '$(SOURCESENTRY)' |
    sed 's/:[0-9]*$//' | sort -u)
echo "Added deb-src entries in $list.*"
"${sudo[@]}" apt-get update -qq
apt-get source --print-uris "$@" >/dev/null
