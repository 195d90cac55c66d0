#!/usr/bin/env bash
# The performance report's pipeline, end to end and short: both programs a few seconds each under
# Xvfb with the probe, quick benchmarks, the report and the plot. Checks that the probe saw every
# frame paced (no period under 15 ms: 16 ms from a whole-millisecond tick), that the game was in
# play (blocks fell), and that the report ends with the four ratios.
# Usage: smoke_test.sh GAME BARE PROBE UPDATE_BENCH DRAW_BENCH
set -euo pipefail
here=$(dirname "$(realpath "$0")")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for bench in "$4" "$5"; do
    SDL_VIDEODRIVER=dummy "$bench" --benchmark_min_time=0.01 --benchmark_repetitions=2 \
        --benchmark_report_aggregates_only=true --benchmark_out="$work/$(basename "$bench").json" \
        --benchmark_out_format=json >/dev/null
done
/usr/bin/python3 "$here/measure.py" --game "$1" --bare "$2" --probe "$3" --seconds 4 --rounds 1 \
    --starts 1 --out "$work/measure.json"
/usr/bin/python3 "$here/report.py" --measure "$work/measure.json" \
    --update-bench "$work/$(basename "$4").json" --draw-bench "$work/$(basename "$5").json" \
    --assets "$here/../ass" --uptime "$(uptime)" --report "$work/report.md" \
    --plot "$work/plot.png" >/dev/null

/usr/bin/python3 - "$work/measure.json" "$work/report.md" "$work/plot.png" <<'PY'
import json, sys
runs = json.load(open(sys.argv[1]))["runs"]
failures = []
for run in runs:
    times = run["presents_ns"]
    periods = [(b - a) / 1e6 for a, b in zip(times, times[1:])]
    if len(periods) < 100:
        failures.append(f"{run['name']}: only {len(times)} frames in 4 s")
    elif min(periods) < 15.0:
        failures.append(f"{run['name']}: a frame period of {min(periods):.2f} ms")
    if run["exit_status"] != 0:
        failures.append(f"{run['name']}: exit status {run['exit_status']}")
game = next(run for run in runs if run["name"] == "game")
if game["blocks"][0] != 35:
    failures.append(f"the game's first frame shows {game['blocks'][0]} blocks, not the wall of 35")
elif min(game["blocks"]) >= 35:
    failures.append("no block fell in the game")
report = open(sys.argv[2]).read()
ratios = report.split("## Game against the bare program")[-1]
for measure in ("frame period median", "CPU per frame", "time to first frame",
                "peak resident memory"):
    if f"| {measure} |" not in ratios:
        failures.append(f"the report's last section lacks {measure}")
if open(sys.argv[3], "rb").read(8) != b"\x89PNG\r\n\x1a\n":
    failures.append("the plot is not a PNG")
for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
PY
echo "report pipeline: probe, driver, benchmarks, report and plot as expected"
