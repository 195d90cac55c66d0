#!/usr/bin/env bash
# Makes the Debian package with CPack from a built tree, unpacks it into a scratch root and checks
# it as a user's machine would see it: its dependencies are Debian's runtime packages and cover
# every library the program links, the program, the menu entry and the icons are where a desktop
# looks, and the installed program runs headless to its first frame and quits on Q with status 0.
# Usage: package_test.sh BUILD_DIR CPACK DRIVER_LIBRARY
set -euo pipefail
build=$(realpath "$1")
cpack=$2
driver=$(realpath "$3")
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
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log"; echo "FAIL: cpack"; exit 1; }
debs=("$scratch"/out/*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || { echo "FAIL: expected one .deb, got ${debs[*]}"; exit 1; }
deb=${debs[0]}
echo "package: $(basename "$deb")"
dpkg-deb -x "$deb" "$scratch/root"
game="$scratch/root/usr/bin/norbatika"
[[ -x "$game" ]] || { echo "FAIL: no executable usr/bin/norbatika in the package"; exit 1; }

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
desktop="$scratch/root/usr/share/applications/norbatika.desktop"
if [[ -f "$desktop" ]]; then
    grep -qx 'Name=ノルバティカ' "$desktop" || fail "desktop entry: Name is not ノルバティカ"
    grep -qx 'Categories=Game;ArcadeGame;' "$desktop" || fail "desktop entry: Categories"
    grep -qx 'Exec=norbatika' "$desktop" || fail "desktop entry: Exec"
    grep -qx 'Icon=norbatika' "$desktop" || fail "desktop entry: Icon"
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the entry"
else
    fail "no usr/share/applications/norbatika.desktop"
fi
"$python" "$source_dir/tools/icon/make_icons.py" "$scratch/icons"
for size in 16 32 48 64 128 256; do
    icon="$scratch/root/usr/share/icons/hicolor/${size}x${size}/apps/norbatika.png"
    [[ -f "$icon" ]] || { fail "no ${size}x${size} icon"; continue; }
    shape=$(identify -format '%m %w x %h' "$icon") || { fail "${size}x${size} icon unreadable"; continue; }
    [[ "$shape" == "PNG $size x $size" ]] || fail "${size}x${size} icon is $shape"
    cmp -s "$icon" "$scratch/icons/norbatika-$size.png" ||
        fail "${size}x${size} icon differs from what tools/icon/make_icons.py draws now"
done

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
