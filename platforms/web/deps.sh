#!/usr/bin/env bash
# Builds SDL2, FreeType, SDL2_mixer and SDL2_ttf for the web with Debian's Emscripten, as static
# libraries from Debian's own source packages, and prints the install prefix that holds them:
# include/SDL2 (every SDL2 header in one folder) and lib/ (the four archives).
#
# Emscripten's own SDL ports download their sources at build time, and SDL2's CMake configure
# step takes minutes under emcc, so SDL2, SDL2_mixer and SDL2_ttf are compiled here directly;
# only FreeType goes through its (quick) CMake build.
#
# The result is cached outside the work tree, keyed by the Debian source versions, the compiler
# and this recipe, so a second run only looks the versions up. The cache lives in
# $NORBATIKA_WEB_DEPS (default /var/cache/norbatika/web-deps for root, else
# ~/.cache/norbatika/web-deps); one build at a time.
#
# Usage: deps.sh            (progress on standard error, the prefix alone on standard output)
set -euo pipefail
here=$(dirname "$(realpath "$0")")
root=$(realpath "$here/../..")
if ((EUID == 0)); then
    cache=${NORBATIKA_WEB_DEPS:-/var/cache/norbatika/web-deps}
else
    cache=${NORBATIKA_WEB_DEPS:-${XDG_CACHE_HOME:-$HOME/.cache}/norbatika/web-deps}
fi
sources=(libsdl2 libsdl2-mixer libsdl2-ttf freetype)
# Debian's emcc runs its JavaScript tools with Debian's node modules.
export NODE_PATH=/usr/share/nodejs
label=web
source "$root/platforms/deps-cache.sh"

"$root/scripts/ensure-packages.sh" cross web >&2
source_versions

# The key: the Debian versions, the compiler and this script itself.
recipe=$({
    emcc --version | head -n 1
    cat "$0" "$root/platforms/deps-cache.sh"
} | sha256sum | cut -c1-12)
open_prefix "$recipe"
say "building into $prefix (under a minute on 2 cores)"
fetch_sources
sdl=$(echo "$work"/src/libsdl2-[0-9]*)
mixer=$(echo "$work"/src/libsdl2-mixer-[0-9]*)
ttf=$(echo "$work"/src/libsdl2-ttf-[0-9]*)
freetype=$(echo "$work"/src/freetype-[0-9]*)

headers=$prefix/include/SDL2
mkdir -p "$headers" "$prefix/lib"
cp "$sdl"/include/*.h "$headers/"
# The ready configuration for Emscripten leaves the haptic subsystem out, which makes
# SDL_Init(SDL_INIT_EVERYTHING) fail; the dummy driver lets it succeed with no devices.
sed -i 's|^#define SDL_HAPTIC_DISABLED 1$|#define SDL_HAPTIC_DUMMY 1|' "$headers/SDL_config_emscripten.h"
grep -qx '#define SDL_HAPTIC_DUMMY 1' "$headers/SDL_config_emscripten.h" ||
    { say "SDL_config_emscripten.h no longer disables haptics as expected"; exit 1; }
# A page keeps its canvas: leave the last picture on it when the window goes, instead of
# shrinking the canvas to nothing.
video=$sdl/src/video/emscripten/SDL_emscriptenvideo.c
sed -i 's|^\( *\)emscripten_set_canvas_element_size(data->canvas_id, 0, 0);$|\1/* canvas kept */|' \
    "$video"
grep -q 'canvas kept' "$video" || { say "$video no longer resizes the canvas as expected"; exit 1; }

compile() {  # compile ARCHIVE FLAGS... -- SOURCES...: two compilers at a time, then one archive
    local archive=$1 flags=()
    shift
    while [[ $1 != -- ]]; do flags+=("$1"); shift; done
    shift
    objects="$work/obj-$(basename "$archive" .a)"
    cflags="-O2 ${flags[*]}"
    export objects cflags
    mkdir -p "$objects"
    # Objects are named after their whole path: SDL2 has several files of the same name.
    printf '%s\0' "$@" | nice -n 10 xargs -0 -n 1 -P 2 sh -c \
        'emcc $cflags -c "$1" -o "$objects/$(echo "${1#"$work"/}" | tr / _).o"' compile \
        >>"$log" 2>&1 || { tail -n 40 "$log" >&2; say "failed to compile $archive"; exit 1; }
    run emar rcs "$archive" "$objects"/*.o
}

say "SDL2"
shopt -s nullglob
s=$sdl/src
compile "$prefix/lib/libSDL2.a" -I"$headers" -I"$s" -I"$s/video/khronos" -- \
    "$s"/*.c "$s"/{atomic,audio,cpuinfo,dynapi,events,file,haptic,joystick,libm,locale}/*.c \
    "$s"/{misc,power,render,sensor,stdlib,thread,timer,video}/*.c "$s"/render/*/*.c \
    "$s"/video/yuv2rgb/*.c "$s"/audio/{disk,dummy,emscripten}/*.c "$s"/filesystem/emscripten/*.c \
    "$s"/haptic/dummy/*.c "$s"/joystick/{emscripten,virtual}/*.c "$s"/locale/emscripten/*.c \
    "$s"/loadso/dlopen/*.c "$s"/misc/emscripten/*.c "$s"/power/emscripten/*.c \
    "$s"/sensor/dummy/*.c "$s"/thread/generic/*.c "$s"/timer/unix/*.c "$s"/video/emscripten/*.c

say "FreeType"
run nice -n 10 emcmake cmake -S "$freetype" -B "$work/build-freetype" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON -DFT_DISABLE_HARFBUZZ=ON \
    -DFT_DISABLE_BROTLI=ON
run nice -n 10 cmake --build "$work/build-freetype" -j 2
run cmake --install "$work/build-freetype"

say "SDL2_mixer"
# Ogg Vorbis only, through the stb_vorbis decoder the source ships: nothing else to link.
cp "$mixer"/include/SDL_mixer.h "$headers/"
compile "$prefix/lib/libSDL2_mixer.a" -I"$headers" -I"$mixer/src" -I"$mixer/src/codecs" \
    -DMUSIC_OGG -DOGG_USE_STB -- "$mixer"/src/*.c "$mixer"/src/codecs/*.c

say "SDL2_ttf"
cp "$ttf"/SDL_ttf.h "$headers/"
compile "$prefix/lib/libSDL2_ttf.a" -I"$headers" -I"$prefix/include/freetype2" \
    -DTTF_USE_HARFBUZZ=0 -- "$ttf"/SDL_ttf.c
# Emscripten's own C and C++ libraries and JavaScript runtime are linked in too.
keep_notices /usr/share/doc/emscripten/copyright

close_prefix
