#!/usr/bin/python3
"""Runs the bare program and then the game, each for a fixed time in the same Xvfb X server,
with the present probe preloaded, and writes what was measured as JSON.

For each run: every presented frame's time on the monotonic clock (from the probe), the exec time
(taken here just before the program is started), CPU time and peak resident memory (from wait4
and from the probe), and how busy the machine was meanwhile. The game is played by a scripted
driver that holds Left or Right through xdotool, steering the paddle under the ball it sees
through the probe; the bare program gets the same driver, which, seeing no ball, swaps the held
key every half second, so both see the same kind of key traffic.

The pair is measured in several rounds (--rounds), taking turns at going first. Then each
program is started a few more times (--starts) for its time to the first frame alone.

Usage: measure.py --game BIN --bare BIN --probe LIB [--seconds S] [--rounds R] [--starts N]
                  [--shots DIR] --out FILE.json
"""
import argparse
import json
import math
import mmap
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time

EYE_FORMAT = "<6i"  # frames, ball x, ball y, paddle x, paddle width, blocks drawn
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def machine_jiffies():
    """(busy, stolen by the host, total) jiffies over all cores since boot."""
    with open("/proc/stat") as stat:
        fields = [int(v) for v in stat.readline().split()[1:9]]
    idle = fields[3] + fields[4]
    steal = fields[7]
    return sum(fields) - idle - steal, steal, sum(fields)


def process_cpu_seconds(pid):
    try:
        with open(f"/proc/{pid}/stat") as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
    except OSError:
        return 0.0
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS


def thread_cpu_seconds(pid):
    """CPU seconds so far by kind of thread: the main one, Mesa's llvmpipe, SDL's audio, other."""
    kinds = {"main": 0.0, "llvmpipe": 0.0, "audio": 0.0, "other": 0.0}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/comm") as comm:
                name = comm.read().strip()
        except OSError:
            continue
        if int(tid) == pid:
            kind = "main"
        elif name.startswith("llvmpipe"):
            kind = "llvmpipe"
        elif name.startswith("SDLAudio"):
            kind = "audio"
        else:
            kind = "other"
        kinds[kind] += process_cpu_seconds(f"{pid}/task/{tid}")
    return kinds


def load_average():
    with open("/proc/loadavg") as loadavg:
        return [float(v) for v in loadavg.read().split()[:3]]


class Driver(threading.Thread):
    """Holds one arrow key at a time, the one that brings the paddle under the ball."""

    def __init__(self, eye_path, env):
        super().__init__(daemon=True)
        self.eye_path = eye_path
        self.env = env
        self.stop = threading.Event()
        self.held = None
        self.switches = 0

    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], env=self.env, check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def hold(self, key):
        if key == self.held:
            return
        if self.held is not None:
            self.xdotool("keyup", self.held)
        if key is not None:
            self.xdotool("keydown", key)
        self.held = key
        self.switches += 1

    def choose(self, eye, now):
        _, ball_x, ball_y, paddle_x, paddle_w, _ = eye
        if paddle_w <= 0 or ball_y <= 0:
            return "Left" if int(now * 2) % 2 == 0 else "Right"
        # Meet the ball off the paddle's centre, by an amount that sweeps slowly from one side to
        # the other, so the bounces fan out over the wall instead of going straight up.
        aim = paddle_x + paddle_w / 2 + 0.3 * paddle_w * math.sin(now * 0.7)
        ball = ball_x + 8
        if ball < aim - 5:
            return "Left"
        if ball > aim + 5:
            return "Right"
        return None

    def run(self):
        with open(self.eye_path, "r+b") as eye_file:
            eye_map = mmap.mmap(eye_file.fileno(), struct.calcsize(EYE_FORMAT))
            start = time.monotonic()
            while not self.stop.wait(0.01):
                eye = struct.unpack(EYE_FORMAT, eye_map[:struct.calcsize(EYE_FORMAT)])
                if eye[0] == 0:
                    continue  # nothing on screen yet
                self.hold(self.choose(eye, time.monotonic() - start))
            self.hold(None)
            eye_map.close()


def wait_for_first_frame(eye_path, child, deadline):
    with open(eye_path, "rb") as eye_file:
        while time.monotonic() < deadline and child.poll() is None:
            eye_file.seek(0)
            if struct.unpack(EYE_FORMAT, eye_file.read(struct.calcsize(EYE_FORMAT)))[0] > 0:
                return
            time.sleep(0.005)


def wait_for_window(pid, env, deadline):
    while time.monotonic() < deadline:
        found = subprocess.run(["xdotool", "search", "--pid", str(pid)], env=env,
                               capture_output=True, text=True, check=False)
        windows = found.stdout.split()
        if windows:
            return windows[-1]
        time.sleep(0.05)
    return None


def read_probe(path):
    record = {"presents_ns": [], "blocks": []}
    with open(path) as probe:
        for line in probe:
            key, value = line.rstrip("\n").split(" ", 1)
            if key == "present":
                at, blocks = value.split()
                record["presents_ns"].append(int(at))
                record["blocks"].append(int(blocks))
            elif key == "renderer":
                record[key] = value
            else:
                record[key] = int(value)
    return record


def run_one(name, program, probe, seconds, display, xvfb_pid, work, play=True, shot=None):
    probe_out = os.path.join(work, f"{name}.probe")
    eye_path = os.path.join(work, f"{name}.eye")
    with open(eye_path, "wb") as eye_file:
        eye_file.write(bytes(struct.calcsize(EYE_FORMAT)))
    env = dict(os.environ, DISPLAY=display, LD_PRELOAD=probe, PROBE_OUT=probe_out,
               PROBE_EYE=eye_path, SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE="/dev/null")
    driver_env = dict(os.environ, DISPLAY=display)
    empty = tempfile.mkdtemp(dir=work)

    load_before = load_average()
    jiffies_before = machine_jiffies()
    xvfb_before = process_cpu_seconds(xvfb_pid)
    exec_ns = time.monotonic_ns()
    child = subprocess.Popen([program], env=env, cwd=empty, stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE)
    # Nothing else is started until the first frame is out, so start-up runs undisturbed.
    wait_for_first_frame(eye_path, child, time.monotonic() + 20)
    window = None
    if play or shot is not None:
        window = wait_for_window(child.pid, driver_env, time.monotonic() + 10)
    if play and window is not None:
        subprocess.run(["xdotool", "windowfocus", "--sync", window], env=driver_env,
                       check=False, stderr=subprocess.DEVNULL, timeout=5)
    driver = None
    if play:
        driver = Driver(eye_path, driver_env)
        driver.start()
    remaining = seconds - (time.monotonic_ns() - exec_ns) / 1e9
    time.sleep(max(0.0, remaining))
    # Frames after this moment are left out of the figures: the screenshot competes for the CPU.
    cut_ns = time.monotonic_ns()
    threads = thread_cpu_seconds(child.pid)
    if driver is not None:
        driver.stop.set()
        driver.join()
    if shot is not None and window is not None:
        subprocess.run(["import", "-window", window, shot], env=driver_env, check=False,
                       stderr=subprocess.DEVNULL, timeout=20)
    # SDL turns SIGTERM into a quit event, so both programs end through their own shutdown.
    child.send_signal(signal.SIGTERM)
    _, status, usage = os.wait4(child.pid, 0)
    child.returncode = os.waitstatus_to_exitcode(status)
    stdout = child.stdout.read().decode(errors="replace")
    stderr = child.stderr.read().decode(errors="replace")
    wall = (time.monotonic_ns() - exec_ns) / 1e9
    jiffies_after = machine_jiffies()
    load_after = load_average()
    xvfb_cpu = process_cpu_seconds(xvfb_pid) - xvfb_before

    if not os.path.exists(probe_out):
        sys.exit(f"{name}: the probe wrote nothing (exit {child.returncode}): {stdout}{stderr}")
    record = read_probe(probe_out)
    cores = os.cpu_count()
    total = max(1, jiffies_after[2] - jiffies_before[2])
    busy = (jiffies_after[0] - jiffies_before[0]) / total
    steal = (jiffies_after[1] - jiffies_before[1]) / total
    record.update({
        "name": name,
        "program": program,
        "exec_ns": exec_ns,
        "cut_ns": cut_ns,
        "thread_cpu_seconds": threads,
        "wall_seconds": wall,
        "exit_status": child.returncode,
        "stdout": stdout,
        "stderr": stderr[-2000:],
        "cpu_seconds_total": usage.ru_utime + usage.ru_stime,
        "maxrss_kb": usage.ru_maxrss,
        "xvfb_cpu_seconds": xvfb_cpu,
        "machine_busy_fraction": busy,
        "machine_steal_fraction": steal,
        "cores": cores,
        "load_before": load_before,
        "load_after": load_after,
        "driver_key_switches": driver.switches if driver is not None else 0,
        "last_eye": list(struct.unpack(EYE_FORMAT, open(eye_path, "rb").read())),
    })
    return record


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--game", required=True)
    parser.add_argument("--bare", required=True)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--seconds", type=float, default=30)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--starts", type=int, default=5)
    parser.add_argument("--shots", help="folder for a screenshot of each window at the end")
    parser.add_argument("--out", required=True)
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="norbatika-bench-")
    display = f":{100 + os.getpid() % 150}"
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "640x740x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        env = dict(os.environ, DISPLAY=display)
        for _ in range(100):
            if subprocess.run(["xdpyinfo"], env=env, capture_output=True).returncode == 0:
                break
            time.sleep(0.1)
        else:
            sys.exit("Xvfb did not start")
        probe = os.path.realpath(args.probe)
        programs = {"bare": os.path.realpath(args.bare), "game": os.path.realpath(args.game)}
        # Colleagues' work comes and goes, so the pair is measured in several rounds, in turns
        # (bare first, then game first, ...), and each round's ratio compares neighbours in time.
        runs = []
        for round_index in range(args.rounds):
            order = list(programs.items())
            if round_index % 2 == 1:
                order.reverse()
            for name, program in order:
                print(f"round {round_index + 1}: {name} for {args.seconds:g} s", flush=True)
                shot = (os.path.join(args.shots, f"{name}-{round_index + 1}.png")
                        if args.shots else None)
                run = run_one(name, program, probe, args.seconds, display, xvfb.pid, work,
                              shot=shot)
                run["round"] = round_index + 1
                runs.append(run)
        # Start-up alone, a few more times in turn, for a steadier time to the first frame.
        starts = {name: [] for name in programs}
        for _ in range(args.starts):
            for name, program in programs.items():
                start = run_one(name, program, probe, 1.0, display, xvfb.pid, work, play=False)
                starts[name].append((start["presents_ns"][0] - start["exec_ns"]) / 1e6)
        print("start-ups measured", flush=True)
    finally:
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(work, ignore_errors=True)
    with open(args.out, "w") as out:
        json.dump({"seconds": args.seconds, "runs": runs, "first_frame_ms": starts}, out)


if __name__ == "__main__":
    main()
