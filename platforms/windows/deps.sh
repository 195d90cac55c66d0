#!/usr/bin/env bash
# Builds SDL2, FreeType, SDL2_mixer and SDL2_ttf for 64-bit Windows as static libraries from
# Debian's own source packages, and prints the install prefix that holds them.
#
# The result is cached outside the work tree, keyed by the Debian source versions, the compiler
# and the build options, so a second run only looks the versions up. The cache lives in
# $NORBATIKA_WINDOWS_DEPS (default /var/cache/norbatika/windows-deps for root, else
# ~/.cache/norbatika/windows-deps); one build at a time.
#
# Usage: deps.sh            (progress on standard error, the prefix alone on standard output)
set -euo pipefail
here=$(dirname "$(realpath "$0")")
root=$(realpath "$here/../..")
toolchain="$root/cmake/mingw-w64-x86_64.cmake"
if ((EUID == 0)); then
    cache=${NORBATIKA_WINDOWS_DEPS:-/var/cache/norbatika/windows-deps}
else
    cache=${NORBATIKA_WINDOWS_DEPS:-${XDG_CACHE_HOME:-$HOME/.cache}/norbatika/windows-deps}
fi
sources=(libsdl2 libsdl2-mixer libsdl2-ttf freetype)
label=windows
source "$root/platforms/deps-cache.sh"

"$root/scripts/ensure-packages.sh" cross windows >&2

source_versions

# The build options: part of the cache key, so changing one builds afresh.
common=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF
        -DCMAKE_POSITION_INDEPENDENT_CODE=OFF)
sdl_options=(-DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL_STATIC_PIC=OFF)
freetype_options=(-DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON
                  -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON)
# Only Ogg Vorbis, through the stb_vorbis decoder the source ships: nothing else to link.
mixer_options=(-DSDL2MIXER_VENDORED=OFF -DSDL2MIXER_SAMPLES=OFF -DSDL2MIXER_DEPS_SHARED=OFF
               -DSDL2MIXER_VORBIS=STB -DSDL2MIXER_OPUS=OFF -DSDL2MIXER_FLAC=OFF
               -DSDL2MIXER_MOD=OFF -DSDL2MIXER_MP3=OFF -DSDL2MIXER_MIDI=OFF
               -DSDL2MIXER_WAVE=OFF -DSDL2MIXER_CMD=OFF)
ttf_options=(-DSDL2TTF_VENDORED=OFF -DSDL2TTF_SAMPLES=OFF -DSDL2TTF_HARFBUZZ=OFF)

# The key: the Debian versions, the options, the compiler and the toolchain file.
recipe=$({
    printf '%s\n' "${common[@]}" "${sdl_options[@]}" "${freetype_options[@]}" \
        "${mixer_options[@]}" "${ttf_options[@]}"
    x86_64-w64-mingw32-gcc-posix -dumpfullversion
    dpkg-query -W -f='${Version}\n' mingw-w64-x86-64-dev
    cat "$toolchain" "$root/platforms/deps-cache.sh"
} | sha256sum | cut -c1-12)
open_prefix "$recipe"
say "building into $prefix (about 2 minutes on 2 cores)"
fetch_sources

build() {  # build NAME SOURCE-DIR OPTIONS...
    local name=$1 source_dir=$2
    shift 2
    say "$name"
    run nice -n 10 cmake -S "$source_dir" -B "$work/build-$name" "${common[@]}" \
        "-DCMAKE_TOOLCHAIN_FILE=$toolchain" \
        "-DCMAKE_INSTALL_PREFIX=$prefix" "-DCMAKE_PREFIX_PATH=$prefix" \
        "-DCMAKE_FIND_ROOT_PATH=$prefix" "$@"
    run nice -n 10 cmake --build "$work/build-$name" -j 2
    run cmake --install "$work/build-$name"
}
build SDL2 "$work"/src/libsdl2-[0-9]* "${sdl_options[@]}"
build FreeType "$work"/src/freetype-[0-9]* "${freetype_options[@]}"
build SDL2_mixer "$work"/src/libsdl2-mixer-[0-9]* "${mixer_options[@]}"
build SDL2_ttf "$work"/src/libsdl2-ttf-[0-9]* "${ttf_options[@]}"
# The C runtime and threads library of mingw-w64 are linked in too.
keep_notices /usr/share/doc/mingw-w64-x86-64-dev/copyright

close_prefix
