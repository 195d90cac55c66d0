#!/usr/bin/env bash
# Zips a folder the same way every time, so the same files give the same bytes: it first settles
# the folder in place (modes 755 and 644, every date SOURCE_DATE_EPOCH), then zips it in sorted
# order, without extra attributes, in UTC.
# Usage: zip-tree.sh FOLDER ARCHIVE.zip   (the archive holds FOLDER's name as its top folder)
set -euo pipefail
folder=$(realpath "$1")
archive=$(realpath -m "$2")
: "${SOURCE_DATE_EPOCH:?set SOURCE_DATE_EPOCH, as scripts/release.sh does}"
find "$folder" -type d -exec chmod 755 {} + -o -type f -exec chmod 644 {} +
find "$folder" -exec touch --no-dereference --date="@$SOURCE_DATE_EPOCH" {} +
rm -f "$archive"
cd "$(dirname "$folder")"
find "$(basename "$folder")" -print | LC_ALL=C sort | TZ=UTC zip -X -D -q -@ "$archive"
