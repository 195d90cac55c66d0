#!/usr/bin/env bash
# Builds the web release and zips the whole site (gzip copies too, for servers that send them)
# with the licences and the third-party notices into
# OUT_DIR/norbatika-VERSION-web.zip, the same bytes for the same SOURCE_DATE_EPOCH; prints it.
# Usage: platforms/web/package.sh OUT_DIR
set -euo pipefail
root=$(realpath "$(dirname "$0")/../..")
out=$(realpath -m "$1")
cd "$root"
site=$(platforms/build.sh web)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/web/CMakeCache.txt)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
top=$stage/norbatika-$version-web
mkdir -p "$top/licenses" "$out"
cp "$site"/* docs/screenshot.png "$top/"
cp LICENSE "$top/LICENSE.txt"
cp licenses/*.txt "$top/licenses/"
scripts/notices.sh "$(platforms/web/deps.sh)" >"$top/THIRD-PARTY-NOTICES.txt"
scripts/zip-tree.sh "$top" "$out/norbatika-$version-web.zip"
echo "$out/norbatika-$version-web.zip"
