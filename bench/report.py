#!/usr/bin/python3
"""Turns the X measurements (measure.py) and the Google Benchmark results into the Markdown
report and the frame-period plot. The ratios of the game to the bare program come last.

Usage: report.py --measure M.json --update-bench U.json --draw-bench D.json --assets DIR
                 --uptime TEXT --report OUT.md --plot OUT.png
"""
import argparse
import json
import os
import platform
import statistics
import time

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

MEMORY_ALLOWANCE_KB = 8 * 1024  # the 8 MB allowed on top of the embedded assets


def periods_ms(run):
    """Successive frame periods, from the presents before the cut-off."""
    times = [t for t in run["presents_ns"] if t <= run["cut_ns"]]
    return [(b - a) / 1e6 for a, b in zip(times, times[1:])], times


def percentile(values, fraction):
    ordered = sorted(values)
    rank = max(0, min(len(ordered) - 1, int(round(fraction * len(ordered) + 0.5)) - 1))
    return ordered[rank]  # nearest rank


def figures(run, first_frames):
    periods, times = periods_ms(run)
    frames_steady = run["frames"] - 1
    cpu_steady_ms = (run["cpu_last_present_us"] - run["cpu_first_present_us"]) / 1000
    first_frame_ms = (run["presents_ns"][0] - run["exec_ns"]) / 1e6
    samples = [first_frame_ms] + first_frames
    return {
        "renderer": run["renderer"],
        "frames": len(times),
        "seconds": (times[-1] - times[0]) / 1e9,
        "mean": statistics.fmean(periods),
        "median": statistics.median(periods),
        "p99": percentile(periods, 0.99),
        "max": max(periods),
        "cpu_per_frame": cpu_steady_ms / frames_steady,
        "cpu_total_s": run["cpu_seconds_total"],
        "cpu_total_per_frame": run["cpu_seconds_total"] * 1000 / run["frames"],
        "rss_kb": run["maxrss_kb"],
        "first_frame_long": first_frame_ms,
        "first_frame_samples": samples,
        "first_frame": statistics.median(samples),
        "exit": run["exit_status"],
        "xvfb_cpu_s": run["xvfb_cpu_seconds"],
        "busy": run["machine_busy_fraction"],
        "cores": run["cores"],
        "load_before": run["load_before"],
        "load_after": run["load_after"],
        "wall": run["wall_seconds"],
        "blocks_first": run["blocks"][0],
        "blocks_min": min(run["blocks"]),
        "walls": 1 + sum(1 for a, b in zip(run["blocks"], run["blocks"][1:]) if b > a),
        "key_switches": run["driver_key_switches"],
        "threads": run["thread_cpu_seconds"],
    }


def benchmark_rows(path):
    with open(path) as results:
        data = json.load(results)
    rows = []
    for entry in data["benchmarks"]:
        if entry.get("aggregate_name") == "median":
            rows.append((entry["run_name"], entry["real_time"], entry["cpu_time"],
                         entry["time_unit"], entry.get("repetitions", 1)))
    return rows, data["context"]


def plot(bare, game, bare_run, game_run, path):
    bare_periods, bare_times = periods_ms(bare_run)
    game_periods, game_times = periods_ms(game_run)
    fig, (series, histogram, wall) = plt.subplots(
        3, 1, figsize=(10, 10), gridspec_kw={"height_ratios": [3, 3, 1.4]})
    for periods, times, label, colour in (
            (bare_periods, bare_times, "bare SDL2 program", "tab:blue"),
            (game_periods, game_times, "game", "tab:red")):
        seconds = [(t - times[0]) / 1e9 for t in times[1:]]
        series.plot(seconds, periods, linewidth=0.6, color=colour, alpha=0.8, label=label)
    series.set_xlabel("time since the first frame (s)")
    series.set_ylabel("frame period (ms)")
    series.set_title("Frame periods under Xvfb, present to present")
    series.legend(loc="upper right")
    series.grid(alpha=0.3)

    low = min(min(bare_periods), min(game_periods))
    high = max(max(bare_periods), max(game_periods))
    bins = [low + i * (high - low) / 120 for i in range(121)]
    histogram.hist(bare_periods, bins=bins, color="tab:blue", alpha=0.55,
                   label=f"bare: median {bare['median']:.2f} ms")
    histogram.hist(game_periods, bins=bins, color="tab:red", alpha=0.55,
                   label=f"game: median {game['median']:.2f} ms")
    histogram.set_yscale("log")
    histogram.set_xlabel("frame period (ms)")
    histogram.set_ylabel("frames")
    histogram.legend(loc="upper right")
    histogram.grid(alpha=0.3)

    seconds = [(t - game_run["presents_ns"][0]) / 1e9 for t in game_run["presents_ns"]]
    wall.step(seconds, game_run["blocks"], where="post", color="tab:red", linewidth=1)
    wall.set_ylim(0, 36)
    wall.set_xlabel("time since the first frame (s)")
    wall.set_ylabel("blocks")
    wall.set_title("Blocks standing in the game's wall (the scripted player at work)")
    wall.grid(alpha=0.3)
    fig.tight_layout()
    fig.savefig(path, dpi=90)


def asset_sizes(folder):
    sizes = {}
    for name in sorted(os.listdir(folder)):
        full = os.path.join(folder, name)
        if os.path.isfile(full):
            sizes[name] = os.path.getsize(full)
    return sizes


def main():
    parser = argparse.ArgumentParser()
    for option in ("--measure", "--update-bench", "--draw-bench", "--assets", "--uptime",
                   "--report", "--plot"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()

    with open(args.measure) as measured:
        data = json.load(measured)
    runs = {run["name"]: run for run in data["runs"]}
    bare = figures(runs["bare"], data["first_frame_ms"]["bare"])
    game = figures(runs["game"], data["first_frame_ms"]["game"])
    plot(bare, game, runs["bare"], runs["game"], args.plot)
    assets = asset_sizes(args.assets)
    assets_kb = sum(assets.values()) / 1024
    update_rows, context = benchmark_rows(args.update_bench)
    draw_rows, draw_context = benchmark_rows(args.draw_bench)

    lines = []
    out = lines.append
    out("# Performance report")
    out("")
    out("Written by `bench/report.sh` on " + time.strftime("%Y-%m-%d %H:%M %Z") + "; "
        "the figures below are measured, not edited.")
    out("")
    out("## Set-up")
    out("")
    out(f"- Machine: {platform.machine()}, {bare['cores']} cores shared with colleagues, "
        f"Linux {platform.release()}.")
    out(f"- Load before the report: `{args.uptime.strip()}`.")
    for name, fig in (("bare", bare), ("game", game)):
        out(f"- During the {name} run: load average {fig['load_before'][0]:.2f} before, "
            f"{fig['load_after'][0]:.2f} after; machine {fig['busy'] * 100:.0f} % busy over "
            f"both cores, of which Xvfb {fig['xvfb_cpu_s']:.1f} CPU s in {fig['wall']:.1f} s.")
    out(f"- One Xvfb server (640 × 740 × 24) for both programs, one after the other; "
        f"renderer `{game['renderer']}` (SDL's first choice there: OpenGL on Mesa's software "
        "rasteriser); audio through SDL's disk driver into /dev/null, which consumes the "
        "samples in real time.")
    out("- The bare program (`bench/bare.cpp`) opens the same 620 × 720 window with "
        "`SDL_INIT_EVERYTHING`, runs the same loop (tick at the top, events, clear, wait "
        "16 − elapsed ms, draw, present) and draws the same three lines with "
        "`TTF_RenderUTF8_Solid` from the embedded font; no rules, blocks, audio device or music.")
    out(f"- Each ran {data['seconds']:g} s from exec; frames after that moment (the "
        "screenshot) are left out. The game is played by `bench/measure.py`'s driver, which "
        "holds Left or Right through xdotool (XTEST) to keep the paddle under the ball: "
        f"{game['key_switches']} key changes; its wall went from {game['blocks_first']} "
        f"blocks down to {game['blocks_min']} ({game['walls']} wall(s) seen).")
    asset_list = ", ".join(f"{name} {size}" for name, size in assets.items())
    committed = os.path.realpath(os.path.join(os.path.dirname(__file__), "..", "ass"))
    origin = ("the committed ass/" if os.path.realpath(args.assets) == committed
              else f"{args.assets}, local stand-ins, not the committed ass/")
    out(f"- Embedded assets ({origin}): {asset_list} bytes, {assets_kb:.0f} kB in all.")
    out(f"- Exit status: bare {bare['exit']}, game {game['exit']} (both ended by SIGTERM, "
        "which SDL turns into a quit event).")
    out("")
    out("## Frames, CPU, memory, start-up")
    out("")
    out("Frame period: time between successive returns from `SDL_RenderPresent`, timed on "
        "the monotonic clock by the preloaded probe `bench/present_probe.c`. CPU per frame: "
        "user + system time of the process (all threads) from the first to the last present, "
        "over the frames between. Whole-run CPU: `wait4` of the child, start-up and shutdown "
        "included. Peak resident memory: `ru_maxrss` (VmHWM). Time to first frame: from just "
        "before exec to the return of the first present, median of the long run and "
        f"{len(data['first_frame_ms']['game'])} more start-ups of each program.")
    out("")
    out("| | bare SDL2 program | game |")
    out("|---|---:|---:|")
    rows = [
        ("frames measured", "{frames}"),
        ("seconds of frames", "{seconds:.1f}"),
        ("frame period, mean (ms)", "{mean:.3f}"),
        ("frame period, median (ms)", "{median:.3f}"),
        ("frame period, p99 (ms)", "{p99:.3f}"),
        ("frame period, max (ms)", "{max:.3f}"),
        ("CPU per frame (ms)", "{cpu_per_frame:.3f}"),
        ("whole-run CPU (s)", "{cpu_total_s:.2f}"),
        ("whole-run CPU per frame (ms)", "{cpu_total_per_frame:.3f}"),
        ("peak resident memory (kB)", "{rss_kb}"),
        ("time to first frame, median (ms)", "{first_frame:.1f}"),
    ]
    for label, form in rows:
        out(f"| {label} | {form.format(**bare)} | {form.format(**game)} |")
    out("")
    out("CPU seconds by thread from exec to the end of the measured frames (kernel ticks of "
        f"{1000 // os.sysconf('SC_CLK_TCK')} ms, so only roughly): ")
    out("")
    out("| thread | bare | game |")
    out("|---|---:|---:|")
    thread_names = {"main": "main (the loop)", "llvmpipe": "Mesa llvmpipe rasteriser",
                    "audio": "SDL audio (the mixer)", "other": "other"}
    for kind, label in thread_names.items():
        out(f"| {label} | {bare['threads'][kind]:.2f} | {game['threads'][kind]:.2f} |")
    extra = {kind: (game["threads"][kind] - bare["threads"][kind]) * 1000 / game["frames"]
             for kind in thread_names}
    out("")
    out(f"Per frame the game spends {game['cpu_per_frame'] - bare['cpu_per_frame']:+.3f} ms of "
        "CPU more than the bare program; by thread, roughly: "
        + ", ".join(f"{thread_names[kind]} {value:+.3f} ms" for kind, value in extra.items())
        + ".")
    samples = {name: ", ".join(f"{v:.0f}" for v in fig["first_frame_samples"])
               for name, fig in (("bare", bare), ("game", game))}
    out("")
    out(f"Time to first frame, every start (ms): bare {samples['bare']}; "
        f"game {samples['game']}.")
    out("")
    out("![Frame periods of the game and the bare program](frame-periods.png)")
    out("")
    out("## One call, Google Benchmark")
    out("")
    out(f"Median of {update_rows[0][4] if update_rows else '?'} repetitions each. `drawFrame` on "
        f"SDL's `{draw_context.get('renderer', '?')}` renderer (SDL_VIDEODRIVER=dummy) with "
        "`frameStart` a second in the past, so it never waits. Debian's libbenchmark calls "
        "itself a debug build; that concerns the harness, not the code measured "
        f"(load average at the start: {', '.join(f'{v:.2f}' for v in context.get('load_avg', []))}).")
    out("")
    out("| benchmark | what | real time | CPU time |")
    out("|---|---|---:|---:|")
    what = {
        "updateOneFrame": "`updateGame`, ball in open space",
        "fullWall": "`drawFrame`, 35 blocks, 3 lines",
        "emptyWall": "`drawFrame`, no blocks, 3 lines",
        "gameOverText": "`drawFrame`, 12 blocks, 3 lines and the end text",
    }
    for name, real, cpu, unit, _ in update_rows + draw_rows:
        base = name.split("/")[0].replace("_median", "")
        out(f"| {base} | {what.get(base, '')} | {real:,.0f} {unit} | {cpu:,.0f} {unit} |")
    out("")

    period_ratio = game["median"] / bare["median"]
    cpu_ratio = game["cpu_per_frame"] / bare["cpu_per_frame"]
    first_ratio = game["first_frame"] / bare["first_frame"]
    memory_limit = bare["rss_kb"] + assets_kb + MEMORY_ALLOWANCE_KB
    targets = [
        ("frame period median", f"{period_ratio:.4f}", "within 2 % (0.98 to 1.02)",
         abs(period_ratio - 1) <= 0.02),
        ("CPU per frame", f"{cpu_ratio:.3f}", "at most 1.25", cpu_ratio <= 1.25),
        ("time to first frame", f"{first_ratio:.3f}", "at most 1.5", first_ratio <= 1.5),
        ("peak resident memory", f"{game['rss_kb'] / bare['rss_kb']:.3f} "
         f"({game['rss_kb'] - bare['rss_kb']:+d} kB)",
         f"at most bare + assets + 8 MB = {memory_limit:.0f} kB",
         game["rss_kb"] <= memory_limit),
    ]
    out("## Game against the bare program")
    out("")
    out("| measure | game / bare | target | met |")
    out("|---|---:|---|---|")
    for name, ratio, target, met in targets:
        out(f"| {name} | {ratio} | {target} | {'yes' if met else '**no**'} |")
    out("")
    with open(args.report, "w") as report:
        report.write("\n".join(lines))
    summary = lines[lines.index("## Game against the bare program"):]
    print("\n".join(summary))


if __name__ == "__main__":
    main()
