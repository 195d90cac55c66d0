#!/usr/bin/env bash
# Checks the setup program that platforms/windows/package.sh makes, under Wine in a prefix of
# its own and a real X window (DISPLAY, from scripts/with-xvfb.sh): the setup program's and the
# installed program's icon and version, a silent per-user install (files, Start-menu shortcut,
# uninstall entry), the installed game played through tests/window_scenario.sh, and a silent
# uninstall that leaves nothing behind. The version is the one the file's name carries.
# Usage: installer_test.sh norbatika-VERSION-windows-x64-setup.exe OUT_DIR
set -euo pipefail
usage="usage: installer_test.sh norbatika-VERSION-windows-x64-setup.exe OUT_DIR"
setup=$(realpath "${1:?$usage}")
out=$(realpath "${2:?$usage}")
source "$(dirname "$0")/../../scripts/lib.sh"
cd "$root"
[[ $(basename "$setup") =~ ^norbatika-(.+)-windows-x64-setup\.exe$ ]] ||
    fail "$setup is not named norbatika-VERSION-windows-x64-setup.exe"
version=${BASH_REMATCH[1]}
scripts/ensure-packages.sh windows release
work=$(mktemp -d)
trap 'WINEPREFIX="$work/prefix" "$wineserver" -k 2>/dev/null || true; rm -rf "$work"' EXIT
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Norbatika'

# check_resources FILE LABEL: the icon group holds the game's six pictures, byte for byte, and a
# VERSIONINFO gives $version as the file version and the ProductVersion.
check_resources() {
    local file=$1 label=$2 dir=$work/$2 size product sig_low sig_high minor major tweak patch
    mkdir "$dir"
    wrestool -x -t 14 "$file" >"$dir/icon.ico" || true  # an empty file when there is none
    [[ -s "$dir/icon.ico" ]] || fail "$label: no icon group"
    icotool -x -o "$dir" "$dir/icon.ico" 2>/dev/null || fail "$label: unreadable icon group"
    for size in 16 32 48 64 128 256; do
        cmp -s "$dir"/*_"${size}x${size}x32.png" "icons/norbatika-$size.png" ||
            fail "$label: the $size-pixel icon is not the game's"
    done
    wrestool -x --raw -t 16 "$file" >"$dir/version.bin" || true
    [[ -s "$dir/version.bin" ]] || fail "$label: no VERSIONINFO"
    # The fixed part follows the 40-byte head: its signature, then the file version as the
    # 16-bit words minor, major, tweak, patch.
    read -r sig_low sig_high _ _ minor major tweak patch < <(od -An -v -t u2 -j 40 -N 16 \
        "$dir/version.bin")
    [[ "$sig_high $sig_low" == "65263 1213" ]] || fail "$label: VERSIONINFO without its fixed part"
    [[ "$major.$minor.$patch.$tweak" == "$version.0" ]] ||
        fail "$label: file version $major.$minor.$patch.$tweak, not $version.0"
    product=$(iconv -c -f UTF-16LE -t UTF-8 "$dir/version.bin" | tr '\0' '\n' |
        awk 'found && NF { print; exit } /ProductVersion$/ { found = 1 }')
    [[ "$product" == "$version" ]] || fail "$label: ProductVersion '$product', not $version"
    pass "$label: the game's icon at 6 sizes; VERSIONINFO $version.0, ProductVersion $version"
}
check_resources "$setup" "setup program"

boot_wine
# Where this Windows keeps a user's programs and Start menu, as Unix paths.
mapfile -t windows_folders < <("$wine" cmd /c 'echo %LOCALAPPDATA%& echo %APPDATA%' 2>/dev/null | tr -d '\r')
mapfile -t folders < <("$wine" winepath -u "${windows_folders[@]}" 2>/dev/null)
((${#folders[@]} == 2)) || fail "no LOCALAPPDATA and APPDATA folders in the prefix"
installed=${folders[0]}/Programs/Norbatika
shortcut="${folders[1]}/Microsoft/Windows/Start Menu/Programs/ノルバティカ.lnk"

"$wine" "$setup" /S >"$work/stdout" 2>"$work/stderr" || fail "the silent install failed ($?)"
for file in norbatika.exe README.txt LICENSE.txt licenses/OFL-1.1.txt licenses/CC-BY-4.0.txt \
    THIRD-PARTY-NOTICES.txt uninstall.exe; do
    [[ -s "$installed/$file" ]] || fail "not installed: $file"
done
pass "silent install: program, read-me, licences, notices and uninstaller in ${windows_folders[0]}\\Programs\\Norbatika"
check_resources "$installed/norbatika.exe" "installed program"

[[ -f "$shortcut" ]] || fail "no Start-menu shortcut ノルバティカ.lnk"
strings -a -el "$shortcut" | grep -qF 'AppData\Local\Programs\Norbatika\norbatika.exe' ||
    fail "the shortcut does not start the installed program"
pass "Start-menu shortcut ノルバティカ.lnk starts the installed program"

# The uninstall entry, as Windows exports it (UTF-16, so the Japanese name survives).
"$wine" reg query "$key" >/dev/null 2>&1 || fail "no uninstall key $key"
"$wine" reg export "$key" "$work/key.reg" >/dev/null 2>&1 || fail "reg export"
entry=$(iconv -f UTF-16 -t UTF-8 "$work/key.reg" | tr -d '\r')
for value in '"DisplayName"="ノルバティカ"' "\"DisplayVersion\"=\"$version\"" \
    '"Publisher"="The Norbatika developers"' '"DisplayIcon"=".*\\\\norbatika.exe,0"' \
    '"UninstallString"="\\".*\\\\uninstall.exe\\""' \
    '"QuietUninstallString"="\\".*\\\\uninstall.exe\\" /S"'; do
    grep -qx "$value" <<<"$entry" || fail "uninstall entry lacks $value: $entry"
done
pass "uninstall entry ノルバティカ $version with its icon, publisher and (quiet) uninstall commands"

tests/window_scenario.sh windows-installed "$out" env -C "$installed" "$wine" norbatika.exe
pass "the installed game passes the window scenario"

# The uninstaller copies itself away and returns at once: wait for what it removes.
"$wine" "$installed/uninstall.exe" /S >/dev/null 2>&1 || fail "the silent uninstall failed ($?)"
leftovers() {
    if [[ -e "$installed" ]]; then echo "the folder with: $(find "$installed" -mindepth 1 -printf '%P ')"; fi
    if [[ -e "$shortcut" ]]; then echo "the shortcut"; fi
    if "$wine" reg query "$key" >/dev/null 2>&1; then echo "the uninstall key"; fi
}
removed() { [[ -z "$(leftovers)" ]]; }
within 30 removed || fail "left behind: $(leftovers | tr '\n' ' ')"
pass "silent uninstall removes the folder, the shortcut and the uninstall entry"
echo "windows installer: $passed passed, 0 failed"
