#!/usr/bin/env bash
# Installs the Debian packages of the groups named as arguments (see packages.txt) that are not
# installed yet, through apt-get, as root or with sudo. Asks nothing when all are there.
# Usage: ensure-packages.sh GROUP...
set -euo pipefail
list=$(dirname "$0")/packages.txt

wanted=()
for group in "$@"; do
    line=$(grep "^$group:" "$list") || { echo "no package group '$group' in $list" >&2; exit 1; }
    read -ra names <<<"${line#*:}"
    wanted+=("${names[@]}")
done
missing=()
for package in "${wanted[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
((${#missing[@]} == 0)) && exit 0

echo "Installing: ${missing[*]}"
sudo=()
if ((EUID != 0)); then
    command -v sudo >/dev/null || { echo "Run as root or install sudo to install packages." >&2; exit 1; }
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
