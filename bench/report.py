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

MEMORY_ALLOWANCE_KB = 8 * 1024  # the 8 MB (MiB) allowed on top of the embedded assets
THREAD_NAMES = {"main": "main (the loop)", "llvmpipe": "Mesa llvmpipe rasteriser",
                "audio": "SDL audio (the mixer)", "other": "other"}


def periods_ms(run):
    """Successive frame periods, from the presents before the cut-off."""
    times = [t for t in run["presents_ns"] if t <= run["cut_ns"]]
    return [(b - a) / 1e6 for a, b in zip(times, times[1:])], times


def percentile(values, fraction):
    ordered = sorted(values)
    rank = max(0, min(len(ordered) - 1, int(round(fraction * len(ordered) + 0.5)) - 1))
    return ordered[rank]  # nearest rank


def run_figures(run):
    periods, times = periods_ms(run)
    steady_cpu_ms = (run["cpu_last_present_us"] - run["cpu_first_present_us"]) / 1000
    others = (run["machine_busy_fraction"] * run["cores"] * run["wall_seconds"]
              - run["cpu_seconds_total"] - run["xvfb_cpu_seconds"])
    return {
        "round": run["round"],
        "periods": periods,
        "frames": len(times),
        "seconds": (times[-1] - times[0]) / 1e9,
        "median": statistics.median(periods),
        "steady_cpu_ms": steady_cpu_ms,
        "steady_frames": run["frames"] - 1,
        "cpu_per_frame": steady_cpu_ms / (run["frames"] - 1),
        "cpu_total_s": run["cpu_seconds_total"],
        "all_frames": run["frames"],
        "rss_kb": run["maxrss_kb"],
        "first_frame": (run["presents_ns"][0] - run["exec_ns"]) / 1e6,
        "exit": run["exit_status"],
        "load": run["load_before"][0],
        "busy": run["machine_busy_fraction"],
        "steal": run["machine_steal_fraction"],
        "others": max(0.0, others / (run["cores"] * run["wall_seconds"])),
        "threads": run["thread_cpu_seconds"],
        "blocks_first": run["blocks"][0],
        "blocks_min": min(run["blocks"]),
        "walls": 1 + sum(1 for a, b in zip(run["blocks"], run["blocks"][1:]) if b > a),
        "key_switches": run["driver_key_switches"],
        "renderer": run["renderer"],
    }


def pooled(runs, starts):
    periods = [p for run in runs for p in run["periods"]]
    first_frames = [run["first_frame"] for run in runs] + starts
    return {
        "frames": sum(run["frames"] for run in runs),
        "seconds": sum(run["seconds"] for run in runs),
        "mean": statistics.fmean(periods),
        "median": statistics.median(periods),
        "p99": percentile(periods, 0.99),
        "max": max(periods),
        "cpu_per_frame": (sum(run["steady_cpu_ms"] for run in runs)
                          / sum(run["steady_frames"] for run in runs)),
        "cpu_total_per_frame": (sum(run["cpu_total_s"] for run in runs) * 1000
                                / sum(run["all_frames"] for run in runs)),
        "rss_kb": max(run["rss_kb"] for run in runs),
        "first_frame": statistics.median(first_frames),
        "first_frame_samples": first_frames,
        "threads": {kind: sum(run["threads"][kind] for run in runs) for kind in THREAD_NAMES},
        "periods": periods,
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


def plot(bare, game, bare_raw, game_raw, path):
    fig, (series, histogram, wall) = plt.subplots(
        3, 1, figsize=(10, 10), gridspec_kw={"height_ratios": [3, 3, 1.4]})
    for raw, label, colour in ((bare_raw[0], "bare SDL2 program", "tab:blue"),
                               (game_raw[0], "game", "tab:red")):
        periods, times = periods_ms(raw)
        seconds = [(t - times[0]) / 1e9 for t in times[1:]]
        series.plot(seconds, periods, linewidth=0.6, color=colour, alpha=0.8, label=label)
    series.set_xlabel("time since the first frame (s)")
    series.set_ylabel("frame period (ms)")
    series.set_title("Frame periods under Xvfb, present to present (round 1)")
    series.legend(loc="upper right")
    series.grid(alpha=0.3)

    low = min(min(bare["periods"]), min(game["periods"]))
    high = max(max(bare["periods"]), max(game["periods"]))
    bins = [low + i * (high - low) / 120 for i in range(121)]
    histogram.hist(bare["periods"], bins=bins, color="tab:blue", alpha=0.55,
                   label=f"bare: median {bare['median']:.2f} ms")
    histogram.hist(game["periods"], bins=bins, color="tab:red", alpha=0.55,
                   label=f"game: median {game['median']:.2f} ms")
    histogram.set_yscale("log")
    histogram.set_xlabel("frame period (ms)")
    histogram.set_ylabel("frames")
    histogram.set_title(f"All {len(game_raw)} rounds")
    histogram.legend(loc="upper right")
    histogram.grid(alpha=0.3)

    for raw in game_raw:
        seconds = [(t - raw["presents_ns"][0]) / 1e9 for t in raw["presents_ns"]]
        wall.step(seconds, raw["blocks"], where="post", linewidth=1,
                  label=f"round {raw['round']}")
    wall.set_ylim(0, 36)
    wall.set_xlabel("time since the first frame (s)")
    wall.set_ylabel("blocks")
    wall.set_title("Blocks standing in the game's wall (the scripted player at work)")
    wall.legend(loc="lower left", fontsize="small", ncol=len(game_raw))
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
    raw = {name: [run for run in data["runs"] if run["name"] == name] for name in ("bare", "game")}
    per_run = {name: [run_figures(run) for run in runs] for name, runs in raw.items()}
    bare = pooled(per_run["bare"], data["first_frame_ms"]["bare"])
    game = pooled(per_run["game"], data["first_frame_ms"]["game"])
    rounds = list(zip(per_run["bare"], per_run["game"]))
    plot(bare, game, raw["bare"], raw["game"], args.plot)
    assets = asset_sizes(args.assets)
    assets_kb = sum(assets.values()) / 1024
    update_rows, context = benchmark_rows(args.update_bench)
    draw_rows, draw_context = benchmark_rows(args.draw_bench)
    first_game = per_run["game"][0]

    lines = []
    out = lines.append
    out("# Performance report")
    out("")
    out("Written by `bench/report.sh` on " + time.strftime("%Y-%m-%d %H:%M %Z") + "; "
        "the figures below are measured, not edited.")
    out("")
    out("## Set-up")
    out("")
    out(f"- Machine: {platform.machine()}, {raw['game'][0]['cores']} cores "
        f"shared with colleagues, Linux {platform.release()}.")
    out(f"- Load before the report: `{args.uptime.strip()}`. The load during each run is in "
        "the table of rounds below.")
    out(f"- One Xvfb server (640 × 740 × 24) for both programs, one after the other; renderer "
        f"`{first_game['renderer']}` (SDL's first choice there: OpenGL on Mesa's software "
        "rasteriser); audio through SDL's disk driver into /dev/null, which consumes the "
        "samples in real time.")
    out("- The bare program (`bench/bare.cpp`) opens the same 620 × 720 window with "
        "`SDL_INIT_EVERYTHING`, runs the same loop (tick at the top, events, clear, wait "
        "16 − elapsed ms, draw, present) and draws the same three lines with "
        "`TTF_RenderUTF8_Solid` from the embedded font; no rules, blocks, audio device or music.")
    out(f"- Each run lasts {data['seconds']:g} s from exec; frames after that moment (the "
        f"screenshot) are left out. {len(rounds)} rounds of one bare run and one game run, "
        "taking turns at going first, because colleagues' work on the shared cores comes and "
        "goes; each round's ratio compares two neighbours in time.")
    out("- The game is played by `bench/measure.py`'s driver, which holds Left or Right "
        "through xdotool (XTEST) to keep the paddle under the ball it sees through the probe. "
        "Blocks standing at the start and at the lowest, per round: "
        + "; ".join(f"{run['blocks_first']} → {run['blocks_min']} ({run['walls']} wall(s), "
                    f"{run['key_switches']} key changes)" for run in per_run["game"]) + ".")
    committed = os.path.realpath(os.path.join(os.path.dirname(__file__), "..", "ass"))
    origin = ("the committed ass/" if os.path.realpath(args.assets) == committed
              else f"{args.assets}, local stand-ins, not the committed ass/")
    asset_list = ", ".join(f"{name} {size}" for name, size in assets.items())
    out(f"- Embedded assets ({origin}): {asset_list} bytes, {assets_kb:.0f} kB in all.")
    exits = sorted({run["exit"] for runs in per_run.values() for run in runs})
    out(f"- Exit statuses: {', '.join(str(e) for e in exits)} (every run ended by SIGTERM, "
        "which SDL turns into a quit event).")
    out("")
    out("## Frames, CPU, memory, start-up")
    out("")
    out("Frame period: time between successive returns from `SDL_RenderPresent`, timed on "
        "the monotonic clock by the preloaded probe `bench/present_probe.c`, all rounds "
        "pooled. CPU per frame: user + system time of the process (all threads) from the first "
        "to the last present, over the frames between. Whole-run CPU: `wait4` of the child, "
        "start-up and shutdown included. Peak resident memory: `ru_maxrss` (VmHWM), the "
        "highest of the rounds. Time to first frame: from just before exec to the return of "
        "the first present, median of the long runs and "
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
        ("whole-run CPU per frame (ms)", "{cpu_total_per_frame:.3f}"),
        ("peak resident memory (kB)", "{rss_kb}"),
        ("time to first frame, median (ms)", "{first_frame:.1f}"),
    ]
    for label, form in rows:
        out(f"| {label} | {form.format(**bare)} | {form.format(**game)} |")
    out("")
    samples = {name: ", ".join(f"{v:.0f}" for v in fig["first_frame_samples"])
               for name, fig in (("bare", bare), ("game", game))}
    out(f"Time to first frame, every start (ms): bare {samples['bare']}; "
        f"game {samples['game']}.")
    out("")
    out("CPU seconds by thread, all rounds, from exec to the end of the measured frames "
        f"(kernel ticks of {1000 // os.sysconf('SC_CLK_TCK')} ms, so only roughly):")
    out("")
    out("| thread | bare | game |")
    out("|---|---:|---:|")
    for kind, label in THREAD_NAMES.items():
        out(f"| {label} | {bare['threads'][kind]:.2f} | {game['threads'][kind]:.2f} |")
    extra = {kind: (game["threads"][kind] - bare["threads"][kind]) * 1000 / game["frames"]
             for kind in THREAD_NAMES}
    out("")
    out(f"Per frame the game spends {game['cpu_per_frame'] - bare['cpu_per_frame']:+.3f} ms of "
        "CPU more than the bare program; by thread, roughly: "
        + ", ".join(f"{THREAD_NAMES[kind]} {value:+.3f} ms" for kind, value in extra.items())
        + ".")
    out("")
    out("![Frame periods of the game and the bare program](frame-periods.png)")
    out("")
    out("## Rounds and the load on the machine")
    out("")
    out("Machine busy: all cores, everything (our program, Xvfb, the driver, colleagues); "
        "others: busy minus our program and Xvfb; steal: time the host took from this VM.")
    out("")
    out("| round | program | load (1 min) | busy | others | steal | median period (ms) "
        "| CPU per frame (ms) | peak RSS (kB) |")
    out("|---|---|---:|---:|---:|---:|---:|---:|---:|")
    for bare_run, game_run in rounds:
        first, second = ((bare_run, game_run) if bare_run["round"] % 2 == 1
                         else (game_run, bare_run))
        for run in (first, second):
            name = "bare" if run is bare_run else "game"
            out(f"| {run['round']} | {name} | {run['load']:.2f} | {run['busy'] * 100:.0f} % "
                f"| {run['others'] * 100:.0f} % | {run['steal'] * 100:.1f} % "
                f"| {run['median']:.3f} | {run['cpu_per_frame']:.3f} | {run['rss_kb']} |")
    out("")
    out("## One call, Google Benchmark")
    out("")
    out(f"Median of {update_rows[0][4] if update_rows else '?'} repetitions each. `drawFrame` on "
        f"SDL's `{draw_context.get('renderer', '?')}` renderer (SDL_VIDEODRIVER=dummy) with "
        "`frameStart` a second in the past, so it never waits. Debian's libbenchmark calls "
        "itself a debug build; that concerns the harness, not the code measured "
        "(load average at the start: "
        f"{', '.join(f'{v:.2f}' for v in context.get('load_avg', []))}).")
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
        out(f"| {name} | {what.get(name, '')} | {real:,.0f} {unit} | {cpu:,.0f} {unit} |")
    out("")

    period_ratios = [g["median"] / b["median"] for b, g in rounds]
    cpu_ratios = [g["cpu_per_frame"] / b["cpu_per_frame"] for b, g in rounds]
    period_ratio = statistics.median(period_ratios)
    cpu_ratio = statistics.median(cpu_ratios)
    first_ratio = game["first_frame"] / bare["first_frame"]
    memory_limit = bare["rss_kb"] + assets_kb + MEMORY_ALLOWANCE_KB

    pooled_period = game["median"] / bare["median"]
    pooled_cpu = game["cpu_per_frame"] / bare["cpu_per_frame"]

    def period_ok(ratio):
        return abs(ratio - 1) <= 0.02

    def cpu_ok(ratio):
        return ratio <= 1.25

    # Met only when the median of the rounds and the pooled figure agree; borderline otherwise.
    def verdict(ok, median, pooled_ratio):
        votes = ok(median) + ok(pooled_ratio)
        return ("yes", "borderline", "**no**")[2 - votes]

    targets = [
        ("frame period median", f"{period_ratio:.4f}", f"{pooled_period:.4f}",
         f"{min(period_ratios):.3f} to {max(period_ratios):.3f}", "within 2 % (0.98 to 1.02)",
         verdict(period_ok, period_ratio, pooled_period)),
        ("CPU per frame", f"{cpu_ratio:.3f}", f"{pooled_cpu:.3f}",
         f"{min(cpu_ratios):.3f} to {max(cpu_ratios):.3f}", "at most 1.25",
         verdict(cpu_ok, cpu_ratio, pooled_cpu)),
        ("time to first frame", f"{first_ratio:.3f}", "", "", "at most 1.5",
         "yes" if first_ratio <= 1.5 else "**no**"),
        ("peak resident memory", f"{game['rss_kb'] / bare['rss_kb']:.3f} "
         f"({game['rss_kb'] - bare['rss_kb']:+d} kB)", "", "",
         f"at most bare + assets + 8 MiB = {memory_limit:.0f} kB",
         "yes" if game["rss_kb"] <= memory_limit else "**no**"),
    ]
    out("## Game against the bare program")
    out("")
    out("Frame period and CPU: the median of the rounds' ratios, the ratio of the pooled "
        "figures and the range of the rounds' ratios; a target counts as met when both the "
        "median and the pooled ratio meet it, as borderline when only one does. First frame: "
        "ratio of the medians. Memory: the highest peak of each program.")
    out("")
    out("| measure | game / bare | pooled | rounds | target | met |")
    out("|---|---:|---:|---|---|---|")
    for name, ratio, pooled_ratio, rounds_range, target, met in targets:
        out(f"| {name} | {ratio} | {pooled_ratio} | {rounds_range} | {target} | {met} |")
    out("")
    with open(args.report, "w") as report:
        report.write("\n".join(lines))
    print("\n".join(lines[lines.index("## Game against the bare program"):]))


if __name__ == "__main__":
    main()
