#!/usr/bin/env bash
# Writes THIRD-PARTY-NOTICES.txt for a static build to standard output: what the program
# contains besides our own work, and each library's licence as its Debian source states it
# (platforms/*/deps.sh keeps them in the libraries' prefix).
# Usage: notices.sh LIBRARY_PREFIX
set -euo pipefail
notices=$1/licenses
[[ -f $notices/SDL2.txt ]] || { echo "no licence texts in $notices" >&2; exit 1; }
cat <<'EOF_HEAD'
Third-party notices
===================

Besides the game itself (see LICENSE), this program contains the following libraries, linked
in statically. Each one's licence follows, as its Debian source package gives it.

- SDL2, SDL2_mixer and SDL2_ttf: zlib licence.
- stb_vorbis, the Ogg Vorbis decoder inside SDL2_mixer: MIT licence or public domain.
- FreeType: Portions of this software are copyright © 2022 The FreeType Project
  (www.freetype.org). All rights reserved. Used under the FreeType License (FTL).
- The compiler's runtime: the C and C++ libraries and the start-up code, under the licences
  in the Debian copyright file that closes this document.
EOF_HEAD
for name in SDL2 SDL2_mixer SDL2_ttf stb_vorbis FreeType; do
    printf '\n\n%s\n%s\n\n' "$name" "$(sed 's/./=/g' <<<"$name")"
    cat "$notices/$name.txt"
done
for runtime in "$notices"/*.txt; do
    case $(basename "$runtime" .txt) in SDL2 | SDL2_mixer | SDL2_ttf | stb_vorbis | FreeType) continue ;; esac
    title="The compiler's runtime ($(basename "$runtime" .txt), Debian's copyright file)"
    printf '\n\n%s\n%s\n\n' "$title" "$(sed 's/./=/g' <<<"$title")"
    cat "$runtime"
done
