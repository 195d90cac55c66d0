#!/usr/bin/env bash
# Builds the Windows release and packs it twice: norbatika-VERSION-windows-x64.zip (one folder
# norbatika-VERSION/ with the program, README.txt, the licences and THIRD-PARTY-NOTICES.txt) and
# norbatika-VERSION-windows-x64-setup.exe, the per-user installer of the same files, made by
# Debian's makensis from platforms/windows/installer.nsi. The version is the build's own.
# Both are reproducible: the same source and SOURCE_DATE_EPOCH (default: the last commit's time)
# give the same bytes. Prints the two paths; progress goes to standard error.
# Usage: package.sh OUT_DIR
set -euo pipefail
[[ $# == 1 ]] || { echo "usage: $0 OUT_DIR" >&2; exit 2; }
mkdir -p "$1"
out=$(realpath "$1")
root=$(realpath "$(dirname "$0")/../..")
cd "$root"
say() { echo "package: $*" >&2; }

SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export SOURCE_DATE_EPOCH
scripts/ensure-packages.sh cross windows release >&2

say "building the program"
exe=$(platforms/build.sh windows)
cache=$(dirname "$exe")/CMakeCache.txt
cached() { sed -n "s/^$1:[A-Z]*=//p" "$cache"; }
version=$(cached CMAKE_PROJECT_VERSION)
libraries=$(cached CMAKE_PREFIX_PATH)  # the prefix of deps.sh the program was linked against
[[ -n $version && -d $libraries ]] || { echo "no version or libraries in $cache" >&2; exit 1; }

# Without its resources Explorer shows a blank program: refuse to ship that.
resources=$(wrestool -l "$exe")
if ! grep -q 'type=group_icon' <<<"$resources" || ! grep -q 'type=version' <<<"$resources"; then
    echo "$exe has no icon or no version: is norbatika.rc among its sources?" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
name=norbatika-$version
zip_file=$name-windows-x64.zip
setup_file=$name-windows-x64-setup.exe

stage() {  # the files of both packages, in $work/$name
    local dir=$work/$name
    mkdir -p "$dir/licenses"
    cp "$exe" "$dir/norbatika.exe"
    cp "$(dirname "$exe")/README.txt" "$dir/README.txt"  # CMake fills it in, with CR LF
    cp LICENSE "$dir/LICENSE.txt"
    cp licenses/OFL-1.1.txt licenses/CC-BY-4.0.txt "$dir/licenses/"
    scripts/notices.sh "$libraries" >"$dir/THIRD-PARTY-NOTICES.txt"
}

# file_list: the staged files as the NSIS macros InstallFiles and RemoveFiles, so that the
# uninstaller removes exactly what the installer puts in place, and both what the zip holds.
file_list() {
    local entries entry folder file target current=""
    mapfile -t entries < <(cd "$work/$name" && find . -type f -printf '%h %f\n' | LC_ALL=C sort)
    echo '!macro InstallFiles'
    for entry in "${entries[@]}"; do
        read -r folder file <<<"$entry"
        target='$INSTDIR'${folder#.}
        [[ $target == "$current" ]] || echo "  SetOutPath \"${target//\//\\}\""
        current=$target
        echo "  File \"\${STAGE}${folder#.}/$file\""
    done
    echo '!macroend'
    echo '!macro RemoveFiles'
    for entry in "${entries[@]}"; do
        read -r folder file <<<"$entry"
        target='$INSTDIR'${folder#.}/$file
        echo "  Delete \"${target//\//\\}\""
    done
    (cd "$work/$name" && find . -mindepth 1 -type d -printf '%P\n' | LC_ALL=C sort -r) |
        while read -r folder; do echo "  RMDir \"\$INSTDIR\\${folder//\//\\}\""; done
    echo '!macroend'
}

make_setup() {
    file_list >"$work/files.nsh"
    makensis -V2 -WX -INPUTCHARSET UTF8 "-DVERSION=$version" "-DSTAGE=$work/$name" \
        "-DFILES=$work/files.nsh" "-DICON=$root/icons/norbatika.ico" \
        "-DOUTFILE=$work/$setup_file" platforms/windows/installer.nsi >&2
}

say "packing $name"
stage
# Zipping settles the files' modes and times, which makensis stores too.
scripts/zip-tree.sh "$work/$name" "$work/$zip_file"
make_setup
mv -f "$work/$zip_file" "$work/$setup_file" "$out/"
echo "$out/$zip_file"
echo "$out/$setup_file"
