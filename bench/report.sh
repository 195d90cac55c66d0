#!/usr/bin/env bash
# The performance report in one command: builds the release game, the bare SDL2 program, the
# present probe and the benchmarks, runs the benchmarks of updateGame and drawFrame, then the bare
# program and the game for 30 s each in one Xvfb server, and writes bench/report.md and
# bench/frame-periods.png. Run it with nothing else heavy running.
# Usage: bench/report.sh [SECONDS]
#   NORBATIKA_ASSET_DIR=/path  embeds the files of another folder instead of ass/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
build=build/report
assets=$(realpath "${NORBATIKA_ASSET_DIR:-ass}")

scripts/ensure-packages.sh g++ make cmake libsdl2-dev libsdl2-mixer-dev libsdl2-ttf-dev \
    googletest libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xdotool x11-utils \
    imagemagick python3-matplotlib

echo "== build ($build, assets from $assets)"
mkdir -p "$build"
{
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON \
        -DNORBATIKA_ASSET_DIR="$assets" &&
        nice -n 10 cmake --build "$build" -j 2 --target norbatika bare present_probe \
            update_bench draw_bench
} >"$build/report-build.log" 2>&1 || { tail -n 30 "$build/report-build.log"; exit 1; }

load=$(uptime)
echo "== load: $load"
out="$build/measure"
rm -rf "$out"
mkdir -p "$out"

echo "== benchmarks"
for bench in update_bench draw_bench; do
    SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy "$build/bench/$bench" \
        --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
        --benchmark_out="$out/$bench.json" --benchmark_out_format=json >/dev/null
done

echo "== frames under Xvfb"
/usr/bin/python3 bench/measure.py --game "$build/norbatika" --bare "$build/bench/bare" \
    --probe "$build/bench/libpresent_probe.so" --seconds "$seconds" --shots "$out" \
    --out "$out/measure.json"

echo "== report"
/usr/bin/python3 bench/report.py --measure "$out/measure.json" \
    --update-bench "$out/update_bench.json" --draw-bench "$out/draw_bench.json" \
    --assets "$assets" --uptime "$load" --report bench/report.md --plot bench/frame-periods.png
echo "wrote bench/report.md and bench/frame-periods.png (screenshots in $out)"
