#!/usr/bin/env bash
# Checks the Debian package as a user's machine and Debian's tools see it: lintian finds nothing
# (not even an info tag), its dependencies are Debian's runtime packages and cover every library
# the program links, the program, menu entry, metainfo, icons, man page, copyright and changelog
# are where Debian puts them and pass their validators, and the installed program runs headless
# to its first frame and quits with status 0. With --from, the package is made with CPack first.
# Usage: package_test.sh DRIVER_LIBRARY PACKAGE.deb
#        package_test.sh DRIVER_LIBRARY --from BUILD_DIR
set -euo pipefail
driver=$(realpath "$1")
source_dir=$(realpath "$(dirname "$0")/..")
source "$source_dir/scripts/lib.sh"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
# Every check is made, and the verdict comes at the end.
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# ---- The package ----
deb=$2
if [[ $deb == --from ]]; then
    cpack -G DEB --config "$3/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
        { cat "$scratch/cpack.log"; echo "FAIL: cpack"; exit 1; }
    deb=$(echo "$scratch"/out/*.deb)
fi
[[ -f $deb ]] || { echo "FAIL: no package $deb"; exit 1; }
echo "package: $(basename "$deb")"
# The program embeds compressed tracks, whose bytes spell words by chance.
lintian --info --display-info --pedantic --suppress-tags spelling-error-in-binary "$deb" \
    >"$scratch/lintian" 2>"$scratch/lintian.log" ||
    fail "lintian: $(cat "$scratch/lintian" "$scratch/lintian.log")"
[[ ! -s "$scratch/lintian" ]] || fail "lintian says: $(cat "$scratch/lintian")"
dpkg-deb -x "$deb" "$scratch/root"
root=$scratch/root/usr
game=$root/games/norbatika
[[ -x "$game" ]] || { echo "FAIL: no executable usr/games/norbatika in the package"; exit 1; }

# ---- Dependencies: the SDL2 family's runtime packages, no -dev, and nothing the program misses ----
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
mapfile -t names < <(tr ',' '\n' <<<"$depends" | sed -E 's/^ *//; s/[ (].*//' | sed '/^$/d')
for wanted in libsdl2-2.0-0 libsdl2-mixer-2.0-0 libsdl2-ttf-2.0-0; do
    printf '%s\n' "${names[@]}" | grep -qx "$wanted" || fail "Depends lacks $wanted"
done
for name in "${names[@]}"; do
    [[ "$name" == *-dev ]] && fail "Depends names a development package: $name"
done
# Every library the program asks for by name must come from a package it depends on.
while read -r soname; do
    path=$(ldd "$game" | awk -v lib="$soname" '$1 == lib { print $3 }')
    [[ -n "$path" && "$path" != "not" ]] || { fail "$soname does not resolve"; continue; }
    owner=""
    for candidate in "$path" "$(realpath "$path")" "/usr${path#/usr}" "${path#/usr}"; do
        owner=$(dpkg -S "$candidate" 2>/dev/null | head -n 1 | cut -d: -f1) && [[ -n "$owner" ]] &&
            break
    done
    [[ -n "$owner" ]] || { fail "no Debian package owns $path"; continue; }
    printf '%s\n' "${names[@]}" | grep -qx "$owner" ||
        fail "$soname comes from $owner, which the package does not depend on"
done < <(readelf -d "$game" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')

# ---- The menu entry and the icons ----
desktop="$root/share/applications/org.norbatika.Norbatika.desktop"
if [[ -f "$desktop" ]]; then
    grep -qx 'Name=ノルバティカ' "$desktop" || fail "desktop entry: Name is not ノルバティカ"
    grep -qx 'Categories=Game;ArcadeGame;' "$desktop" || fail "desktop entry: Categories"
    grep -qx 'Exec=norbatika' "$desktop" || fail "desktop entry: Exec"
    grep -qx 'Icon=norbatika' "$desktop" || fail "desktop entry: Icon"
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the entry"
else
    fail "no usr/share/applications/org.norbatika.Norbatika.desktop"
fi
metainfo=$root/share/metainfo/org.norbatika.Norbatika.metainfo.xml
appstreamcli validate --no-net --pedantic "$metainfo" >"$scratch/appstream" 2>&1 ||
    fail "appstreamcli: $(cat "$scratch/appstream")"
# Pedantic hints may stay (the ID's capital letter is the desktop entry's name); nothing else.
! grep -E '^[EWI]:' "$scratch/appstream" || fail "appstreamcli has errors, warnings or infos"
version=$(dpkg-deb -f "$deb" Version)
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo's release is not $version"
zcat "$root/share/doc/norbatika/changelog.gz" | head -n 1 | grep -qF "norbatika ($version)" ||
    fail "the changelog's first entry is not $version"
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    "$root/share/doc/norbatika/copyright" || fail "no machine-readable copyright file"
man_warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
    "$root/share/man/man6/norbatika.6.gz" 2>&1 >/dev/null) || fail "man cannot read the page"
[[ -z "$man_warnings" ]] || fail "man page warnings: $man_warnings"
"$python" "$source_dir/tools/icon/make_icons.py" "$scratch/icons"
for size in 16 32 48 64 128 256; do
    icon="$root/share/icons/hicolor/${size}x${size}/apps/norbatika.png"
    [[ -f "$icon" ]] || { fail "no ${size}x${size} icon"; continue; }
    shape=$(identify -format '%m %w x %h' "$icon") || { fail "${size}x${size} icon unreadable"; continue; }
    [[ "$shape" == "PNG $size x $size" ]] || fail "${size}x${size} icon is $shape"
    cmp -s "$icon" "$scratch/icons/norbatika-$size.png" ||
        fail "${size}x${size} icon differs from what tools/icon/make_icons.py draws now"
done
cmp -s "$source_dir/icons/norbatika.ico" "$scratch/icons/norbatika.ico" ||
    fail "icons/norbatika.ico differs from what tools/icon/make_icons.py draws now"

# ---- The installed program, headless, to its first frame and a quit ----
mkdir "$scratch/empty"
status=0
(cd "$scratch/empty" && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy DRIVER_QUIT=1 \
    LD_PRELOAD="$driver" "$game" >"$scratch/stdout" 2>"$scratch/stderr") || status=$?
cat "$scratch/stderr"
[[ $status -eq 0 ]] || fail "the installed game ended with status $status"
[[ ! -s "$scratch/stdout" ]] || fail "the installed game printed: $(cat "$scratch/stdout")"
# The quit is taken in the second iteration, which still draws its frame before the loop ends.
grep -qx 'driver: 2 frames, 1 tracks loaded' "$scratch/stderr" ||
    fail "expected the first frame, then the quit ending the run after one more"

((failures == 0)) || exit 1
echo "package, dependencies, files and a headless run as expected"
