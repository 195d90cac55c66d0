#!/usr/bin/env python3
"""The game against a bare SDL2 program with the same window, paced loop, picture and music. Each
runs for a fixed time in the X server of DISPLAY, round after round, taking turns at going first,
with the preloaded driver timing every present and its autopilot playing the game. Prints the
four ratios as a Markdown table; --plot draws the frame periods; --check fails when a run was not
paced, did not end well, or the game's wall did not start to fall. Without --bare, the game runs
once and its own figures are printed as JSON, for setting other builds beside it.

Usage: compare.py --game BIN --bare BIN --driver LIB [--seconds 30] [--rounds 3] [--plot PNG]
                  [--check]
       compare.py --game BIN --driver LIB [--seconds 30]
"""
import argparse
import json
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import time


def run(program, driver, seconds):
    """One run: frame periods (ms), CPU per frame (ms), first frame (ms), peak memory (kB)."""
    with tempfile.TemporaryDirectory() as work:
        presents = os.path.join(work, "presents")
        env = dict(os.environ, LD_PRELOAD=driver, DRIVER_PLAY="1", DRIVER_PRESENTS=presents,
                   SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE="/dev/null")
        started = time.monotonic_ns()
        child = subprocess.Popen([program], env=env, cwd=work, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
        while child.poll() is None and time.monotonic_ns() - started < seconds * 1e9:
            time.sleep(0.05)
        peak_kb = 0
        if child.poll() is None:  # SDL makes SIGTERM a quit event: the program shuts down itself
            child.send_signal(signal.SIGTERM)
            _, status, usage = os.wait4(child.pid, 0)
            child.returncode, peak_kb = os.waitstatus_to_exitcode(status), usage.ru_maxrss
        with open(presents) as record:
            cpu = [int(record.readline().split()[1]) for _ in range(2)]
            frames = [tuple(map(int, line.split())) for line in record]
    times = [at for at, _ in frames]
    periods = [(b - a) / 1e6 for a, b in zip(times, times[1:])]
    quarter = len(periods) // 4
    return {"periods": periods, "blocks": [blocks for _, blocks in frames], "status":
            child.returncode, "median": statistics.median(periods), "peak": peak_kb,
            "p95": statistics.quantiles(periods, n=100)[94],
            "p99": statistics.quantiles(periods, n=100)[98],
            "iqm": statistics.mean(sorted(periods)[quarter:len(periods) - quarter]),
            "cpu": (cpu[1] - cpu[0]) / 1000 / len(periods), "first": (times[0] - started) / 1e6}


def table(rounds):
    """Both programs' figures and the game's ratio: for the frame period and the CPU, the middle
    of the rounds' ratios, each comparing neighbours in time; else the ratio of the figures."""
    lines = ["| measure | bare | game | game / bare |", "|---|---:|---:|---:|"]
    for label, key, pick, by_round in (
            ("frame period, median (ms)", "median", statistics.median, True),
            ("CPU per frame (ms)", "cpu", statistics.median, True),
            ("time to first frame (ms)", "first", statistics.median, False),
            ("peak resident memory (kB)", "peak", max, False)):
        bare, game = (pick([runs[name][key] for runs in rounds]) for name in ("bare", "game"))
        ratio = (statistics.median(runs["game"][key] / runs["bare"][key] for runs in rounds)
                 if by_round else game / bare)
        lines.append(f"| {label} | {bare:,.3f} | {game:,.3f} | {ratio:.3f} |".replace(".000 ", " "))
    return "\n".join(lines)


def problems(rounds):
    for runs in rounds:
        for name, figures in runs.items():
            if len(figures["periods"]) < 100 or min(figures["periods"]) < 15.0:
                yield f"{name}: {len(figures['periods'])} periods, shortest {min(figures['periods'])}"
            if figures["status"] != 0:
                yield f"{name}: exit status {figures['status']}"
        if runs["game"]["blocks"][0] != 35 or min(runs["game"]["blocks"]) >= 35:
            yield f"the game's wall went from {runs['game']['blocks'][0]} blocks to no fewer"


def plot(rounds, path):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    fig, (series, spread) = plt.subplots(2, 1, figsize=(10, 7))
    for name, colour in (("bare", "tab:blue"), ("game", "tab:red")):
        series.plot(rounds[0][name]["periods"], linewidth=0.6, color=colour, label=name)
        pooled = [p for runs in rounds for p in runs[name]["periods"]]
        spread.hist(pooled, bins=120, color=colour, alpha=0.55, label=f"{name}, all rounds")
    series.set(xlabel="frame", ylabel="frame period (ms)", title="Round 1 under Xvfb")
    spread.set(xlabel="frame period (ms)", ylabel="frames", yscale="log")
    for axis in (series, spread):
        axis.legend(loc="upper right")
    fig.tight_layout()
    fig.savefig(path, dpi=80)


def main():
    parser = argparse.ArgumentParser()
    for option in ("--game", "--driver"):
        parser.add_argument(option, required=True, type=os.path.realpath)
    parser.add_argument("--bare", type=os.path.realpath)
    parser.add_argument("--seconds", type=float, default=30)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--plot")
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args()
    if not args.bare:
        game = run(args.game, args.driver, args.seconds)
        print(json.dumps({key: game[key] for key in ("median", "p95", "p99", "iqm", "cpu", "first",
                                                     "status")}
                         | {"frames": len(game["periods"]) + 1}))
        return 0 if game["status"] == 0 and len(game["periods"]) >= 100 else 1
    programs = [("bare", args.bare), ("game", args.game)]
    rounds = []
    for number in range(args.rounds):
        rounds.append({})
        for name, program in programs[::-1] if number % 2 else programs:
            print(f"round {number + 1}: {name} for {args.seconds:g} s", file=sys.stderr)
            rounds[-1][name] = run(program, args.driver, args.seconds)
    print(f"{args.rounds} rounds of {args.seconds:g} s on {os.cpu_count()} cores, load "
          f"{os.getloadavg()[0]:.2f}:\n\n{table(rounds)}")
    if args.plot:
        plot(rounds, args.plot)
    found = list(problems(rounds)) if args.check else []
    for problem in found:
        print("FAIL:", problem)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
