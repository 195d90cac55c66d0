#!/usr/bin/env bash
# Builds every download of the current commit into OUT_DIR (default dist/): the Debian package,
# the Windows zip and installer, the web zip, the source tarball and SHA256SUMS, and lists them.
# Everything is built from the commit's own files (its git archive, unpacked in one fixed
# folder) with SOURCE_DATE_EPOCH at the commit's time, so a second run gives the same bytes.
# Usage: scripts/release.sh [OUT_DIR]
set -euo pipefail
root=$(realpath "$(dirname "$0")/..")
out=$(realpath -m "${1:-$root/dist}")
cd "$root"
scripts/ensure-packages.sh build cross windows web release >&2
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH TZ=UTC
version=$(git show HEAD:CMakeLists.txt | sed -n 's/^project(norbatika VERSION \([0-9.]*\).*/\1/p')
[[ -n $version ]] || { echo "no version in CMakeLists.txt" >&2; exit 1; }
git diff --quiet HEAD || echo "release: uncommitted changes are left out; building $(git rev-parse --short HEAD)" >&2

# One fixed folder, so that the paths built into the programs are the same on every run.
tree=/tmp/norbatika-release
rm -rf "$tree" "$out"
mkdir -p "$tree" "$out"
git archive --format=tar --prefix="norbatika-$version/" HEAD | gzip -9n >"$out/norbatika-$version.tar.gz"
tar -xzf "$out/norbatika-$version.tar.gz" -C "$tree"
cd "$tree/norbatika-$version"

echo "== Debian package" >&2
# Builds run at the caller's priority (nice the release from outside): a niced build beside
# CPU-bound work slowed the release tests seven-fold, towards their time-out.
{ cmake --preset deb && cmake --build --preset deb &&
    cpack -G DEB --config build/deb/CPackConfig.cmake -B "$tree/deb"; } >"$tree/deb.log" 2>&1 ||
    { tail -n 40 "$tree/deb.log" >&2; exit 1; }
cp "$tree"/deb/norbatika_"$version"_*.deb "$out/"
echo "== Windows zip and installer" >&2
platforms/windows/package.sh "$out" >/dev/null
echo "== web zip" >&2
platforms/web/package.sh "$out" >/dev/null

cd "$out"
sha256sum -- * >SHA256SUMS
ls -l --time-style=+ -- * | awk '{printf "%12s  %s\n", $5, $NF}'
