#!/usr/bin/env python3
"""Checks the game's seven music tracks: complete Ogg Vorbis files with one stereo 48000 Hz
stream and no loop-point comments, 60 to 180 seconds each and at most 7 MB together, clean
(peak at or below -1 dBFS, nothing clipped, |DC| under 0.001), even (loudness within 2 dB of
each other), never silent for more than a second, and seamless when the end runs back into the
start. Then, from the scores (tools/music/scores) and the synthesizer that rendered them:

- alias: one held D7 on a 12.5 % pulse from the synth's own tone(), against an additive
  reference summed up to 24 kHz. Inharmonic energy (everything further than 8 Hz from a
  harmonic of the reference) must stay 60 dB under the fundamental; so must that of the same
  note sweeping its width from 50 to 12.5 % over the note, as the leads do.
- hats: each score's hats rendered alone through the same chain as the mix, scaled as the mix
  was, against the decoded track over the first 30 ms of every hat hit. The hats' level is the
  median over the hits of hats energy / track energy; it must be above -20 dB.
- unique bars: the bars of the loop from its start until the first one that sounds exactly
  like an earlier one (chords, every note, every drum hit); at least 48, and all of the loop's
  bars, so that the loop point is its only repeat. New s: the same bars in seconds; at least 90.
- B over A: the track's loudness over its B sections minus that over its A sections; above 0.
- loud-quiet 8 s: K-weighted loudness (ITU-R BS.1770) of 8 s windows every 0.5 s around the
  loop, loudest minus quietest; at least 4 dB. LRA: EBU R128 loudness range of 3 s windows every
  0.1 s around the loop (gated at -70 LUFS, then 20 LU under their power mean; 95th minus 10th
  percentile); at least 5 LU.
- centroid: the mix's frequency weighted by its power, over the whole loop; at least 900 Hz.
- side-mid: the energy of (L-R)/2 against that of (L+R)/2; at least -14 dB.
- lead steps: the share of the lead's intervals (note to next note, from the score) of one or
  two semitones; at least 35 %. Passing/neighbour: the share of its notes outside the chord
  sounding under them (the triad, with the seventh where the chord names one) and reached or
  left by such a step; at least 15 %.
- hook back: the best share of the lead's opening two bars, as (onset, interval to the next
  note) pairs, that a later two-bar window holds: at least 50 %, and under 100 %, since the hook
  comes back varied.
- nothing shared: no two tracks share a 4-bar chord progression (roots up to transposition,
  chords as major, minor, diminished or suspended), an 8-note run of any written voice up to
  transposition, or a bass or arpeggio pattern. The loop wraps for all of these.

Usage: check_music.py ASSET_DIR
       check_music.py --pcm FILE   (what SDL's disk audio driver wrote while the game played:
                                    at least a second of 16-bit stereo at 44100 Hz, not silent)
Needs vorbis-tools (ogginfo, oggdec) and python3-numpy.
"""
import itertools
import os
import re
import subprocess
import sys
import tempfile
import wave

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, os.pardir, "tools", "music"))
import synth  # noqa: E402

SCORES = os.path.join(HERE, os.pardir, "tools", "music", "scores")
LOOP_TAGS = re.compile(r"^\s*LOOP\w*=", re.I | re.M)


def decode(path, work):
    wav = os.path.join(work, os.path.basename(path) + ".wav")
    subprocess.run(["oggdec", "--quiet", "--output", wav, path], check=True)
    with wave.open(wav) as source:
        channels, rate = source.getnchannels(), source.getframerate()
        pcm = np.frombuffer(source.readframes(source.getnframes()), "<i2")
    return channels, rate, pcm.reshape(-1, channels).astype(np.float64) / 32768.0


def seam_problem(audio):
    """The step and the bend from the last sample into the first, ranked among the track's own
    steps and bends: a click stands above 99 % of them, a seamless loop sits among them. (One
    sample against the median alone would fail a seamless loop by chance.)"""
    steps = np.abs(np.diff(audio, axis=0))
    bends = np.abs(np.diff(audio, 2, axis=0))
    step = np.abs(audio[0] - audio[-1])
    bend = np.maximum(np.abs(audio[0] - 2 * audio[-1] + audio[-2]),
                      np.abs(audio[1] - 2 * audio[0] + audio[-1]))
    step_rank = np.mean(steps < step, axis=0)
    bend_rank = np.mean(bends < bend, axis=0)
    if np.any(step_rank > 0.99) or np.any(bend_rank > 0.99):
        return (f"the seam's step outranks {100 * step_rank.max():.2f} % of the track's, its "
                f"bend {100 * bend_rank.max():.2f} %")
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
    dc = np.abs(audio.mean(axis=0)).max()
    clipped = int(np.sum(np.abs(audio) >= 32767 / 32768.0))
    if (channels, rate) != (2, 48000):
        problems.append(f"{name}: {channels} channels at {rate} Hz")
    if not 60 <= seconds <= 180:
        problems.append(f"{name}: {seconds:.1f} s long")
    if peak_db > -1.0 or clipped:
        problems.append(f"{name}: peak {peak_db:.2f} dBFS, {clipped} clipped samples")
    if dc >= 0.001:
        problems.append(f"{name}: DC offset {dc:.4f}")
    silence = longest_silence(audio, rate)
    if silence > 1.0:
        problems.append(f"{name}: {silence:.2f} s of silence")
    seam = seam_problem(audio)
    if seam:
        problems.append(f"{name}: {seam}")
    return dict(seconds=seconds, size=size, peak=peak_db, rms=rms_db, dc=dc), audio


def inharmonic_db(signal, freq):
    """Energy further than 8 Hz from every harmonic of freq, against the fundamental's, in dB.
    The signal's steady middle is windowed (Blackman-Harris, sidelobes under -92 dB)."""
    middle = signal[len(signal) // 4: len(signal) // 4 + synth.RATE // 2]
    x = np.arange(len(middle)) / len(middle)
    window = (0.35875 - 0.48829 * np.cos(2 * np.pi * x) + 0.14128 * np.cos(4 * np.pi * x)
              - 0.01168 * np.cos(6 * np.pi * x))
    power = np.abs(np.fft.rfft(middle * window)) ** 2
    freqs = np.fft.rfftfreq(len(middle), 1.0 / synth.RATE)
    nearest = np.round(freqs / freq)
    near_harmonic = (nearest >= 1) & (np.abs(freqs - nearest * freq) <= 8.0)
    fundamental = power[np.abs(freqs - freq) <= 8.0].sum()
    return 10 * np.log10(power[~near_harmonic].sum() / fundamental)


def alias_figures(note=98, duty=0.125):
    """The inharmonic level of a held note from the synth, of the additive reference (the
    measurement's floor), and of a naive pulse (what aliasing looks like to it)."""
    freq = 440.0 * 2 ** ((note - 69) / 12)
    n = int(1.2 * synth.RATE)
    made = synth.tone("pulse", freq, n, duty, 0.0, 0.3)
    t = np.arange(n) / synth.RATE
    reference = sum(np.sin(2 * np.pi * k * duty) / k * np.cos(2 * np.pi * k * freq * t) +
                    (1 - np.cos(2 * np.pi * k * duty)) / k * np.sin(2 * np.pi * k * freq * t)
                    for k in range(1, int(synth.RATE / 2 / freq) + 1))
    naive = np.where((freq * t) % 1.0 < duty, 1.0, -1.0)
    swept = synth.tone("pulse", freq, n, 0.5, 0.0, 0.3, duty_end=duty)
    return (inharmonic_db(made, freq), inharmonic_db(reference, freq), inharmonic_db(naive, freq),
            inharmonic_db(swept, freq))


def load_score(level):
    with open(os.path.join(SCORES, f"{level}.score"), encoding="utf-8") as source:
        return synth.Score(source.read())


def hats_db(score, audio):
    """The median over hat hits of the hats' energy against the track's, in dB (see above)."""
    mix, hats = synth.render_parts(score)
    hats = hats * synth.loudness_gain(mix)
    width = int(0.03 * synth.RATE)
    levels = []
    for step, _, event in synth.events(score):
        if event[0] == "drums" and event[2] in "ho":
            start = synth.start_of(score, step)
            stem = hats[start:start + width]
            track = audio[start:start + width]
            levels.append(10 * np.log10(np.sum(stem ** 2) / max(np.sum(track ** 2), 1e-12)))
    return float(np.median(levels)) if levels else float("-inf")


def bar_contents(score):
    """What each bar of the loop sounds like: its chords and its events, in bar time."""
    bars = []
    for name in score.order:
        section = score.sections[name]
        chords = section["chords"] or ["-"]
        bars += [{"chord": chord, "events": []} for chord in chords]
    for step, section, event in synth.events(score):
        bar = bars[step // 16]
        bar["events"].append((event[0], step % 16) + tuple(event[2:]))
    return [(bar["chord"], tuple(sorted(bar["events"], key=repr))) for bar in bars]


def unique_bars(score):
    seen = set()
    for index, bar in enumerate(bar_contents(score)):
        if bar in seen:
            return index
        seen.add(bar)
    return len(seen)


def loop_bars(score):
    return sum(synth.bars_of(score, name) for name in score.order)


# ITU-R BS.1770's K-weighting at 48 kHz: a high shelf for the head, then a high-pass.
K_WEIGHTING = (([1.53512485958697, -2.69169618940638, 1.19839281085285],
                [1.0, -1.69065929318241, 0.73248077421585]),
               ([1.0, -2.0, 1.0], [1.0, -1.99004745483398, 0.99007225036621]))


def k_weighted_power(audio):
    """The K-weighted power of every sample, summed over both channels. Filtered in the frequency
    domain over the whole loop, which is circular, as the track plays."""
    spectrum = np.fft.rfft(audio, axis=0)
    z = np.exp(-1j * np.pi * np.fft.rfftfreq(len(audio), 0.5))  # z^-1 along the unit circle
    for b, a in K_WEIGHTING:
        spectrum *= ((b[0] + b[1] * z + b[2] * z ** 2) / (a[0] + a[1] * z + a[2] * z ** 2))[:, None]
    return np.sum(np.fft.irfft(spectrum, n=len(audio), axis=0) ** 2, axis=1)


def window_loudness(power, rate, seconds, hop_seconds):
    """Loudness (LUFS) of windows of the given length every hop, around the loop."""
    width, hop = int(seconds * rate), int(hop_seconds * rate)
    running = np.concatenate([[0.0], np.cumsum(np.concatenate([power, power[:width]]))])
    starts = np.arange(0, len(power), hop)
    mean = (running[starts + width] - running[starts]) / width
    return -0.691 + 10 * np.log10(np.maximum(mean, 1e-20))


def loudness_range(short_term):
    """EBU R128 loudness range: short-term (3 s) loudness gated at -70 LUFS, then at 20 LU under
    the power mean of what passed, spread from its 10th to its 95th percentile."""
    kept = short_term[short_term > -70.0]
    mean = 10 * np.log10(np.mean(10 ** (kept / 10)))
    kept = kept[kept > mean - 20.0]
    return float(np.percentile(kept, 95) - np.percentile(kept, 10))


def dynamics(audio, rate):
    """(loudest minus quietest 8 s in dB, loudness range in LU)."""
    power = k_weighted_power(audio)
    eights = window_loudness(power, rate, 8.0, 0.5)
    return float(eights.max() - eights.min()), loudness_range(window_loudness(power, rate, 3.0, 0.1))


def spectral_centroid(audio, rate):
    """The mix's mean frequency, each weighted by its power."""
    power = np.sum(np.abs(np.fft.rfft(audio, axis=0)) ** 2, axis=1)
    return float(np.sum(np.fft.rfftfreq(len(audio), 1.0 / rate) * power) / np.sum(power))


def side_minus_mid_db(audio):
    mid, side = (audio[:, 0] + audio[:, 1]) / 2, (audio[:, 0] - audio[:, 1]) / 2
    return float(10 * np.log10(np.sum(side ** 2) / np.sum(mid ** 2)))


def lead_figures(score, voice="lead"):
    """(% of the lead's intervals that are steps of one or two semitones, % of its notes that
    are passing or neighbour tones: outside the chord and reached or left by such a step)."""
    notes = []
    for _, section, event in synth.events(score):
        if event[0] == voice:
            chords = synth.section_chords(section)
            names = [name.split("/") for name in section["chords"]]
            bar = names[min(event[1] // 16, len(names) - 1)]
            name = bar[0] if event[1] % 16 < 8 or len(bar) == 1 else bar[1]
            tones = synth.chord_at(chords, event[1])[:4 if "7" in name else 3]
            notes.append((event[3], event[3] % 12 in {t % 12 for t in tones}))
    pitches = [note for note, _ in notes]
    steps = [1 <= abs(b - a) <= 2 for a, b in zip(pitches, pitches[1:])]
    foreign = [not in_chord and ((i > 0 and steps[i - 1]) or (i < len(steps) and steps[i]))
               for i, (_, in_chord) in enumerate(notes)]
    return 100.0 * np.mean(steps), 100.0 * np.mean(foreign)


def hook_return(score, bars=2):
    """How much of the lead's opening two bars comes back later, varied: the best share of its
    (onset in the window, interval to the next note) pairs that a later two-bar window holds."""
    notes = [(step, event[3]) for step, _, event in synth.events(score) if event[0] == "lead"]

    def shape(start):
        run = [(step - start, note) for step, note in notes if start <= step < start + 16 * bars]
        return {(a[0], b[1] - a[1]) for a, b in zip(run, run[1:])}

    hook = shape(0)
    later = range(bars, loop_bars(score) - bars + 1)
    return 100.0 * max(len(hook & shape(16 * bar)) / len(hook) for bar in later)


def section_spans(score, audio, name):
    """The track's samples over every playing of one section."""
    spans, step = [], 0
    for section in score.order:
        steps = synth.bars_of(score, section) * 16
        if section == name:
            spans.append(audio[synth.samples(score, step):synth.samples(score, step + steps)])
        step += steps
    return np.concatenate(spans) if spans else None


def b_over_a_db(score, audio):
    a, b = section_spans(score, audio, "A"), section_spans(score, audio, "B")
    if a is None or b is None:
        return float("nan")
    return 10 * np.log10(np.mean(b ** 2) / np.mean(a ** 2))


QUALITY = {"m": "m", "m7": "m", "dim": "dim", "sus4": "sus"}


def progression_windows(score, length=4):
    """Every run of `length` bars of chords around the loop, moved to start on C."""
    bars = []
    for name in score.order:
        for chord in score.sections[name]["chords"]:
            halves = []
            for half in chord.split("/"):
                m = re.fullmatch(r"([A-G][#b]?)(\w*)", half)
                halves.append((synth.midi(m.group(1) + "2") % 12, QUALITY.get(m.group(2), "")))
            bars.append(tuple(halves))
    return {tuple(tuple(((root - run[0][0][0]) % 12, kind) for root, kind in bar) for bar in run)
            for run in around(bars, length)}


def around(items, length):
    """Every run of `length` items, wrapping from the end back to the start as the loop does."""
    return [[items[(i + j) % len(items)] for j in range(length)] for i in range(len(items))]


def phrase_windows(score, length=8):
    """Every run of `length` notes of each written voice around the loop, as its intervals."""
    notes = {}
    for _, section, event in synth.events(score):
        voice = event[0]
        if voice != "drums" and not re.fullmatch(r'\w+ "[^"]*"', " ".join(section["lines"][voice])):
            notes.setdefault(voice, []).append(event[3])
    return {tuple(b - a for a, b in zip(run, run[1:]))
            for line in notes.values() for run in around(line, length)}


def patterns(score):
    found = set()
    for section in score.sections.values():
        for voice, lines in section["lines"].items():
            m = re.fullmatch(r'(\w+) "([^"]*)"', " ".join(lines))
            if m:
                found.add((m.group(1), " ".join(m.group(2).split())))
    return found


def check_sharing(scores, problems):
    for i, j in itertools.combinations(sorted(scores), 2):
        for what, windows in (("a 4-bar progression", progression_windows),
                              ("an 8-note phrase", phrase_windows), ("a pattern", patterns)):
            shared = windows(scores[i]) & windows(scores[j])
            if shared:
                problems.append(f"{i}.score and {j}.score share {what}: {sorted(shared)[0]}")


def check_pcm(path):
    samples = np.fromfile(path, "<i2").astype(np.float64)
    seconds = len(samples) / (44100 * 2)
    rms = np.sqrt(np.mean(samples ** 2)) if len(samples) else 0.0
    print(f"{seconds:.1f} s, rms {rms:.0f}")
    return 0 if seconds >= 1 and rms > 300 else 1


TARGETS = dict(unique=48, new_seconds=90.0, swing_db=4.0, lra=5.0, centroid=900.0,
               side=-14.0, steps=35.0, passing=15.0, hook=50.0)
MAX_BYTES = 7_000_000


def measure(level, asset_dir, work, problems):
    """One track's row: the file's own figures, then the music's."""
    row, audio = check_track(os.path.join(asset_dir, f"{level}.ogg"), work, problems)
    score = load_score(level)
    row["hats"] = hats_db(score, audio)
    row["unique"] = unique_bars(score)
    row["bars"] = loop_bars(score)
    row["new_seconds"] = synth.samples(score, 16 * row["unique"]) / synth.RATE
    row["b_over_a"] = b_over_a_db(score, audio)
    row["swing_db"], row["lra"] = dynamics(audio, synth.RATE)
    row["centroid"] = spectral_centroid(audio, synth.RATE)
    row["side"] = side_minus_mid_db(audio)
    row["steps"], row["passing"] = lead_figures(score)
    row["hook"] = hook_return(score)
    return row, score


def judge(name, row, score, problems):
    """Every per-track target, each failing on its own."""
    if not row["hats"] > -20.0:
        problems.append(f"{name}: hats at {row['hats']:.1f} dB under the track")
    if row["unique"] < row["bars"]:
        problems.append(f"{name}: the loop repeats a bar after {row['unique']} of its "
                        f"{row['bars']} bars, before its loop point")
    if not row["b_over_a"] > 0:
        problems.append(f"{name}: B is no louder than A ({row['b_over_a']:.2f} dB)")
    if score.order and score.order[0] == score.order[-1]:
        problems.append(f"{name}: section {score.order[0]} plays twice at the loop point")
    for key, what in (("unique", "bars before a repeat"), ("new_seconds", "seconds before a repeat"),
                      ("swing_db", "dB from the quietest 8 s to the loudest"),
                      ("lra", "LU of loudness range"), ("centroid", "Hz of spectral centroid"),
                      ("side", "dB of side against mid"), ("steps", "% of lead steps"),
                      ("passing", "% of passing or neighbour tones in the lead"),
                      ("hook", "% of the hook coming back")):
        if not row[key] >= TARGETS[key]:
            problems.append(f"{name}: {row[key]:.1f} {what}, under {TARGETS[key]}")
    if row["hook"] >= 100.0:
        problems.append(f"{name}: the hook comes back unchanged")


def print_table(rows):
    t = TARGETS
    print("| track | length | bytes | peak dBFS | RMS dBFS | DC | hats dB | unique bars "
          f"≥{t['unique']} | new s ≥{t['new_seconds']:.0f} | B-A dB | loud-quiet 8 s dB "
          f"≥{t['swing_db']:.0f} | LRA LU ≥{t['lra']:.0f} | centroid Hz ≥{t['centroid']:.0f} | "
          f"side-mid dB ≥{t['side']:.0f} | lead steps % ≥{t['steps']:.0f} | "
          f"passing/neighbour % ≥{t['passing']:.0f} | hook back % {t['hook']:.0f}-99 |")
    print("|---" * 17 + "|")
    for level, row in enumerate(rows, 1):
        print(f"| {level}.ogg | {row['seconds']:.2f} s | {row['size']} | {row['peak']:.2f} | "
              f"{row['rms']:.2f} | {row['dc']:.5f} | {row['hats']:.1f} | {row['unique']} | "
              f"{row['new_seconds']:.1f} | {row['b_over_a']:+.2f} | {row['swing_db']:.1f} | "
              f"{row['lra']:.1f} | {row['centroid']:.0f} | {row['side']:.1f} | "
              f"{row['steps']:.0f} | {row['passing']:.0f} | {row['hook']:.0f} |")


def main():
    if sys.argv[1] == "--pcm":
        return check_pcm(sys.argv[2])
    asset_dir = sys.argv[1]
    problems = []
    rows, scores = [], {}
    with tempfile.TemporaryDirectory() as work:
        for level in range(1, 8):
            row, scores[level] = measure(level, asset_dir, work, problems)
            judge(f"{level}.ogg", row, scores[level], problems)
            rows.append(row)
    check_sharing(scores, problems)
    made, floor, naive, swept = alias_figures()
    if made > -60.0:
        problems.append(f"a held D7 carries inharmonic energy at {made:.1f} dB")
    if swept > -60.0:
        problems.append(f"a D7 sweeping its width carries inharmonic energy at {swept:.1f} dB")
    print_table(rows)
    total = sum(row["size"] for row in rows)
    if total > MAX_BYTES:
        problems.append(f"{total} bytes in all, over {MAX_BYTES}")
    loudness = [row["rms"] for row in rows]
    spread = max(loudness) - min(loudness)
    if spread > 4.0:  # every track within 2 dB of the middle
        problems.append(f"loudness spreads over {spread:.2f} dB")
    print(f"all seven: {total} bytes (at most {MAX_BYTES}), loudness spread {spread:.2f} dB")
    print(f"held D7, 12.5 % pulse, inharmonic energy: synth {made:.1f} dB, additive reference "
          f"{floor:.1f} dB, naive pulse {naive:.1f} dB; sweeping from 50 to 12.5 % {swept:.1f} dB")
    for problem in problems:
        print("FAIL:", problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
