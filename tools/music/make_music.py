#!/usr/bin/env python3
"""Regenerates the game's seven music tracks from their scores: synthesizes each score, encodes
it to Ogg Vorbis as ass/N.ogg, and draws its spectrogram and waveform into docs/music/N.png.
The same scores give the same files.

Usage: python3 tools/music/make_music.py [LEVEL ...]   (default: all seven)
Needs Debian's python3-numpy, vorbis-tools (oggenc) and sox.
"""
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
import synth  # noqa: E402


# Vorbis quality 1.5 (about 79 kb/s here) keeps the seven longer loops under 7 MB together;
# tools/music/README.md says what it costs against quality 2.
QUALITY = "1.5"


def make(level, work):
    score_path = os.path.join(HERE, "scores", f"{level}.score")
    wav = os.path.join(work, f"{level}.wav")
    ogg = os.path.join(ROOT, "ass", f"{level}.ogg")
    with open(score_path, encoding="utf-8") as source:
        seconds = synth.write_wav(wav, synth.render(synth.Score(source.read())))
    # A fixed stream serial number: oggenc would otherwise pick a random one.
    subprocess.run(["oggenc", "--quiet", "--quality", QUALITY, "--serial", str(level),
                    "--title", f"ノルバティカ level {level}", "--output", ogg, wav], check=True)
    picture = os.path.join(ROOT, "docs", "music", f"{level}.png")
    os.makedirs(os.path.dirname(picture), exist_ok=True)
    spectrogram = os.path.join(work, f"{level}-spectrogram.png")
    waveform = os.path.join(work, f"{level}-waveform.png")
    subprocess.run(["sox", wav, "-n", "remix", "-", "rate", "24k", "spectrogram", "-x", "900",
                    "-y", "240", "-z", "90", "-t", f"Level {level}: {seconds:.1f} s",
                    "-o", spectrogram], check=True)
    width = int(subprocess.run(["identify", "-format", "%w", spectrogram], check=True,
                               capture_output=True, text=True).stdout)
    draw_waveform(wav, waveform, width)
    # Without ImageMagick's date chunks, the same score gives the same picture bytes.
    subprocess.run(["convert", spectrogram, waveform, "-append", "-define",
                    "png:exclude-chunks=date,time", picture], check=True)
    print(f"{ogg}: {seconds:.2f} s, {os.path.getsize(ogg)} bytes")


def draw_waveform(wav, png, width, height=160):
    """The loop's envelope, left channel up and right channel down, as a plain PNG."""
    import wave
    import numpy as np
    with wave.open(wav) as source:
        pcm = np.frombuffer(source.readframes(source.getnframes()), "<i2").reshape(-1, 2)
    columns = np.array_split(np.abs(pcm.astype(float)) / 32768.0, width)
    peaks = np.array([c.max(axis=0) for c in columns])
    image = np.zeros((height, width, 3), np.uint8)
    middle = height // 2
    for x, (left, right) in enumerate(peaks):
        image[middle - int(left * (middle - 1)):middle, x] = (110, 200, 255)
        image[middle:middle + int(right * (middle - 1)), x] = (255, 170, 90)
    ppm = png + ".ppm"
    with open(ppm, "wb") as out:
        out.write(b"P6 %d %d 255\n" % (width, height) + image.tobytes())
    subprocess.run(["convert", ppm, png], check=True)


def main():
    levels = [int(a) for a in sys.argv[1:]] or list(range(1, 8))
    with tempfile.TemporaryDirectory() as work:
        for level in levels:
            make(level, work)


if __name__ == "__main__":
    main()
