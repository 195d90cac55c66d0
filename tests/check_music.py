#!/usr/bin/env python3
"""Checks the game's seven music tracks: complete Ogg Vorbis files with one stereo 48000 Hz
stream and no loop-point comments, 60 to 180 seconds each and at most 12 MB together, clean
(peak at or below -1 dBFS, nothing clipped), even (loudness within 2 dB of each other), never
silent for more than a second, and seamless when the end runs back into the start.

Usage: check_music.py ASSET_DIR
       check_music.py --pcm FILE   (what SDL's disk audio driver wrote while the game played:
                                    at least a second of 16-bit stereo at 44100 Hz, not silent)
Needs vorbis-tools (ogginfo, oggdec) and python3-numpy.
"""
import os
import re
import subprocess
import sys
import tempfile
import wave

import numpy as np

LOOP_TAGS = re.compile(r"^\s*LOOP\w*=", re.I | re.M)


def decode(path, work):
    wav = os.path.join(work, os.path.basename(path) + ".wav")
    subprocess.run(["oggdec", "--quiet", "--output", wav, path], check=True)
    with wave.open(wav) as source:
        channels, rate = source.getnchannels(), source.getframerate()
        pcm = np.frombuffer(source.readframes(source.getnframes()), "<i2")
    return channels, rate, pcm.reshape(-1, channels).astype(np.float64) / 32768.0


def seam_problem(audio):
    """The jump in level and in slope from the last sample to the first, against the track's
    own typical (median) sample-to-sample change: a click stands well above it."""
    typical = np.median(np.abs(np.diff(audio, axis=0)), axis=0)
    typical_slope = np.median(np.abs(np.diff(audio, 2, axis=0)), axis=0)
    jump = np.abs(audio[0] - audio[-1])
    slope_change = np.abs((audio[1] - audio[0]) - (audio[-1] - audio[-2]))
    if np.any(jump > 3 * typical) or np.any(slope_change > 3 * typical_slope):
        return (f"seam jumps {jump.max():.4f} (typical {typical.max():.4f}), slope changes "
                f"{slope_change.max():.4f} (typical {typical_slope.max():.4f})")
    return None


def longest_silence(audio, rate, threshold_db=-60.0):
    """The longest run of 10 ms blocks below the threshold, in seconds, around the loop."""
    block = rate // 100
    blocks = audio[: len(audio) // block * block].reshape(-1, block, audio.shape[1])
    quiet = np.sqrt(np.mean(blocks ** 2, axis=(1, 2))) < 10 ** (threshold_db / 20)
    longest = run = 0
    for q in np.concatenate([quiet, quiet]):
        run = run + 1 if q else 0
        longest = max(longest, run)
    return min(longest, len(quiet)) / 100.0


def check_track(path, work, problems):
    name = os.path.basename(path)
    size = os.path.getsize(path)
    info = subprocess.run(["ogginfo", path], capture_output=True, text=True)
    streams = len(re.findall(r"New logical stream", info.stdout))
    if info.returncode != 0 or streams != 1 or "Vorbis" not in info.stdout:
        problems.append(f"{name}: not one complete Vorbis stream ({streams} streams)")
    comments = info.stdout.split("User comments section follows", 1)[-1]
    if LOOP_TAGS.search(comments):
        problems.append(f"{name}: carries loop-point comments")
    channels, rate, audio = decode(path, work)
    seconds = len(audio) / rate
    peak_db = 20 * np.log10(np.abs(audio).max())
    rms_db = 20 * np.log10(np.sqrt(np.mean(audio ** 2)))
    clipped = int(np.sum(np.abs(audio) >= 32767 / 32768.0))
    print(f"{name}: {seconds:.2f} s, {size} bytes, peak {peak_db:.2f} dBFS, RMS {rms_db:.2f} dBFS")
    if (channels, rate) != (2, 48000):
        problems.append(f"{name}: {channels} channels at {rate} Hz")
    if not 60 <= seconds <= 180:
        problems.append(f"{name}: {seconds:.1f} s long")
    if peak_db > -1.0 or clipped:
        problems.append(f"{name}: peak {peak_db:.2f} dBFS, {clipped} clipped samples")
    silence = longest_silence(audio, rate)
    if silence > 1.0:
        problems.append(f"{name}: {silence:.2f} s of silence")
    seam = seam_problem(audio)
    if seam:
        problems.append(f"{name}: {seam}")
    return size, rms_db


def check_pcm(path):
    samples = np.fromfile(path, "<i2").astype(np.float64)
    seconds = len(samples) / (44100 * 2)
    rms = np.sqrt(np.mean(samples ** 2)) if len(samples) else 0.0
    print(f"{seconds:.1f} s, rms {rms:.0f}")
    return 0 if seconds >= 1 and rms > 300 else 1


def main():
    if sys.argv[1] == "--pcm":
        return check_pcm(sys.argv[2])
    asset_dir = sys.argv[1]
    problems = []
    sizes, loudness = [], []
    with tempfile.TemporaryDirectory() as work:
        for level in range(1, 8):
            size, rms_db = check_track(os.path.join(asset_dir, f"{level}.ogg"), work, problems)
            sizes.append(size)
            loudness.append(rms_db)
    if sum(sizes) > 12 * 1024 * 1024:
        problems.append(f"{sum(sizes)} bytes in all, over 12 MB")
    spread = max(loudness) - min(loudness)
    if spread > 4.0:  # every track within 2 dB of the middle
        problems.append(f"loudness spreads over {spread:.2f} dB")
    print(f"all seven: {sum(sizes)} bytes, loudness spread {spread:.2f} dB")
    for problem in problems:
        print("FAIL:", problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
