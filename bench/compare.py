#!/usr/bin/env python3
"""The game against a bare SDL2 program with the same window, paced loop and text lines. Each
runs for a fixed time in the X server of DISPLAY, round after round, taking turns at going first,
with the preloaded driver timing every present and its autopilot playing the game. Prints the
four ratios as a Markdown table; --plot draws the frame periods; --check fails when a run was not
paced, did not end well, or the game's wall did not start to fall.

Usage: compare.py --game BIN --bare BIN --driver LIB [--seconds 30] [--rounds 3] [--plot PNG]
                  [--check]
"""
import argparse
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import time


def run(program, driver, seconds):
    """One run: its frame periods (ms), CPU per frame (ms), first frame (ms), peak memory (kB)."""
    with tempfile.TemporaryDirectory() as work:
        presents = os.path.join(work, "presents")
        env = dict(os.environ, LD_PRELOAD=driver, DRIVER_PLAY="1", DRIVER_PRESENTS=presents,
                   SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE="/dev/null")
        started = time.monotonic_ns()
        child = subprocess.Popen([program], env=env, cwd=work, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
        while child.poll() is None and time.monotonic_ns() - started < seconds * 1e9:
            time.sleep(0.05)
        # SDL turns SIGTERM into a quit event, so the program ends through its own shutdown.
        if child.poll() is None:
            child.send_signal(signal.SIGTERM)
            _, status, usage = os.wait4(child.pid, 0)
            child.returncode = os.waitstatus_to_exitcode(status)
            peak_kb = usage.ru_maxrss
        else:
            peak_kb = 0
        with open(presents) as record:
            cpu_first = int(record.readline().split()[1])
            cpu_last = int(record.readline().split()[1])
            frames = [tuple(map(int, line.split())) for line in record]
    times = [at for at, _ in frames]
    periods = [(b - a) / 1e6 for a, b in zip(times, times[1:])]
    return {"periods": periods, "blocks": [blocks for _, blocks in frames],
            "median": statistics.median(periods),
            "cpu": (cpu_last - cpu_first) / 1000 / max(1, len(periods)),
            "first": (times[0] - started) / 1e6, "peak": peak_kb, "status": child.returncode}


def table(rounds):
    """The four measures of both programs and the game's ratio to the bare program."""
    def of(name, key, pick):
        return pick([runs[name][key] for runs in rounds])

    def ratio(key):  # compares each round's neighbours in time, then takes the middle round
        return statistics.median(runs["game"][key] / runs["bare"][key] for runs in rounds)
    rows = [("frame period, median (ms)", "median", statistics.median, ratio("median")),
            ("CPU per frame (ms)", "cpu", statistics.median, ratio("cpu")),
            ("time to first frame (ms)", "first", statistics.median,
             of("game", "first", statistics.median) / of("bare", "first", statistics.median)),
            ("peak resident memory (kB)", "peak", max,
             of("game", "peak", max) / of("bare", "peak", max))]
    lines = ["| measure | bare | game | game / bare |", "|---|---:|---:|---:|"]
    for label, key, pick, value in rows:
        lines.append(f"| {label} | {of('bare', key, pick):.3f} | {of('game', key, pick):.3f} "
                     f"| {value:.3f} |")
    return "\n".join(lines)


def problems(rounds):
    found = []
    for runs in rounds:
        for name, figures in runs.items():
            if len(figures["periods"]) < 100 or min(figures["periods"]) < 15.0:
                found.append(f"{name}: {len(figures['periods'])} periods, the shortest "
                             f"{min(figures['periods'], default=0):.2f} ms")
            if figures["status"] != 0:
                found.append(f"{name}: exit status {figures['status']}")
        blocks = runs["game"]["blocks"]
        if blocks[0] != 35 or min(blocks) >= 35:
            found.append(f"the game's wall went from {blocks[0]} blocks to {min(blocks)}")
    return found


def plot(rounds, path):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    fig, axes = plt.subplots(2, 1, figsize=(10, 7))
    for name, colour in (("bare", "tab:blue"), ("game", "tab:red")):
        periods = rounds[0][name]["periods"]
        axes[0].plot(periods, linewidth=0.6, color=colour, label=f"{name} (round 1)")
        pooled = [p for runs in rounds for p in runs[name]["periods"]]
        axes[1].hist(pooled, bins=120, color=colour, alpha=0.55,
                     label=f"{name}: median {statistics.median(pooled):.2f} ms")
    axes[0].set(xlabel="frame", ylabel="frame period (ms)", title="Frame periods under Xvfb")
    axes[1].set(xlabel="frame period (ms)", ylabel="frames", yscale="log",
                title=f"All {len(rounds)} rounds")
    for axis in axes:
        axis.legend(loc="upper right")
        axis.grid(alpha=0.3)
    fig.tight_layout()
    fig.savefig(path, dpi=80)


def main():
    parser = argparse.ArgumentParser()
    for option in ("--game", "--bare", "--driver"):
        parser.add_argument(option, required=True)
    parser.add_argument("--seconds", type=float, default=30)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--plot")
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args()
    programs = [("bare", os.path.realpath(args.bare)), ("game", os.path.realpath(args.game))]
    rounds = []
    for number in range(args.rounds):
        runs = {}
        for name, program in programs[::-1] if number % 2 else programs:
            print(f"round {number + 1}: {name} for {args.seconds:g} s", file=sys.stderr)
            runs[name] = run(program, os.path.realpath(args.driver), args.seconds)
        rounds.append(runs)
    print(f"{args.rounds} rounds of {args.seconds:g} s on {os.cpu_count()} cores, load "
          f"{os.getloadavg()[0]:.2f}:\n\n{table(rounds)}")
    if args.plot:
        plot(rounds, args.plot)
    found = problems(rounds) if args.check else []
    for problem in found:
        print("FAIL:", problem)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
