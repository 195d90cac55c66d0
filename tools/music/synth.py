#!/usr/bin/env python3
"""A small chiptune synthesizer for the game's music: reads a score (tools/music/scores/N.score)
and writes a seamless stereo loop at 48000 Hz as 16-bit WAV.

Score format (one directive per line; a line starting with "#" is a comment):
  tempo 116                         beats per minute; a bar is 4 beats = 16 steps
  swing 0.6                         the share of each pair of sixteenths the first one takes
  voice NAME WAVE key=value ...     WAVE: pulse, triangle or bell; keys: duty (pulse width, or a
                                    list per bar like 0.25/0.125, or a sweep over each note
                                    like 0.5~0.125), pan (-1..1), gain, vibrato (depth in
                                    semitones), octave (shift), decay (seconds), cutoff (Hz at
                                    C5 of a low-pass that closes as notes rise), glide (seconds
                                    of a slide from the voice's last note), echo (steps/gain:
                                    three repeats thrown from side to side)
  drums key=value ...               gain, pan spread, hats (their gain against the rest)
  section NAME [gain=1.2] [from=B] [transpose=2]
                                    starts a section, its lines follow; gain scales its sound,
                                    0.5>1.2 ramps it across the section; from= starts from a
                                    copy of another section's chords and lines, which the lines
                                    given here replace voice by voice; transpose= moves it all
    chords C Am F G7 ...            one chord per bar ("C/G" splits a bar in halves)
    NAME: E5:4 G5:2 -:2 | ...       notes of a voice: pitch:steps, "-" a rest, "|" a bar line
    NAME: off                       silences a copied voice; NAME: follow lead plays a chord
                                    tone at least a minor third under each note of the lead
    NAME: bass "R . 5 . R . 8 5"    or a pattern over the chords, one token per step group:
                                    R root, 3 third, 5 fifth, 7 seventh, 8 octave, . hold, - rest;
                                    the bass takes the octave of each root nearest the last one
    drums: K..hS..h K.h.S.hh | ...  16 steps a bar: K kick, S snare, r snare roll, h hat, o open
                                    hat, C crash on a kick, . rest;
                                    the line repeats to fill the section
  play A A B A                      the order of the sections; the piece loops to its start

Tones are additive, so nothing aliases: only harmonics below TOP are summed. Drum hits are
accented by where they fall in the bar and vary a little in strength, seeded by their place.
"""
import re
import sys
import wave

import numpy as np

RATE = 48000
NOTE = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}
CHORD = {"": (0, 4, 7, 11), "m": (0, 3, 7, 10), "7": (0, 4, 7, 10), "m7": (0, 3, 7, 10),
         "maj7": (0, 4, 7, 11), "sus4": (0, 5, 7, 10), "dim": (0, 3, 6, 9), "5": (0, 7, 7, 12)}
DEGREE = {"R": 0, "3": 1, "5": 2, "7": 3}


def midi(name):
    m = re.fullmatch(r"([A-G])([#b]?)(-?\d)", name)
    if not m:
        raise ValueError(f"bad pitch {name!r}")
    shift = {"#": 1, "b": -1, "": 0}[m.group(2)]
    return 12 * (int(m.group(3)) + 1) + NOTE[m.group(1)] + shift


def chord_tones(name):
    m = re.fullmatch(r"([A-G][#b]?)(maj7|m7|sus4|dim|m|7|5)?", name)
    if not m:
        raise ValueError(f"bad chord {name!r}")
    root = midi(m.group(1) + "2")
    return [root + i for i in CHORD[m.group(2) or ""]]


class Score:
    def __init__(self, text):
        self.tempo = 120
        self.swing = 0.5
        self.cache = {}
        self.voices = {}
        self.drums = {"gain": 0.3}
        self.sections = {}
        self.order = []
        current = None
        for number, raw in enumerate(text.splitlines(), 1):
            line = raw.strip()
            if not line or line.startswith("#"):  # sharps are notes, so only whole lines
                continue
            try:
                word, _, rest = line.partition(" ")
                if word == "tempo":
                    self.tempo = float(rest)
                elif word == "swing":
                    self.swing = float(rest)
                elif word == "voice":
                    name, wave_kind, *options = rest.split()
                    self.voices[name] = dict(wave=wave_kind, **options_of(options))
                elif word == "drums" and current is None:
                    self.drums.update(options_of(rest.split()))
                elif word == "section":
                    name, *options = rest.split()
                    current = self.new_section(options_of(options))
                    self.sections[name] = current
                elif word == "chords":
                    if "chords" in current["given"]:
                        current["chords"] += rest.split()
                    else:  # the first chords line of a copied section replaces the copy's
                        current["chords"] = rest.split()
                        current["given"].add("chords")
                elif word == "play":
                    self.order = rest.split()
                elif word.endswith(":"):
                    voice = word[:-1]
                    if voice not in current["given"]:
                        current["lines"][voice] = []
                        current["given"].add(voice)
                    current["lines"][voice].append(rest.strip())
                else:
                    raise ValueError(f"unknown directive {word!r}")
            except (ValueError, KeyError, TypeError) as error:
                sys.exit(f"line {number}: {error}")

    def new_section(self, options):
        """A section of its own, or a copy of an earlier one to vary (given: what it replaced)."""
        section = {"chords": [], "lines": {}, "given": set(), **options}
        if "from" in options:
            base = self.sections[options["from"]]
            section["chords"] = list(base["chords"])
            section["lines"] = {voice: list(lines) for voice, lines in base["lines"].items()}
        return section


def options_of(words):
    options = {}
    for word in words:
        key, _, value = word.partition("=")
        options[key] = value
    return options


BASS_LOW, BASS_HIGH = 33, 50  # the roots a bass pattern may take, A1 to D3, before its octave


def section_chords(section):
    """Each bar's chord tones, one list per half bar it names, moved by the section's key."""
    shift = int(section.get("transpose", 0))
    return [[[t + shift for t in chord_tones(half)] for half in name.split("/")]
            for name in section["chords"]]


def chord_at(chords, step):
    """The chord tones sounding at a step of a section (from section_chords)."""
    halves = chords[min(step // 16, len(chords) - 1)]
    return halves[0] if step % 16 < 8 or len(halves) == 1 else halves[1]


def section_events(score, section, bars, state=None):
    """Yields (voice, step, length, midi note) and ('drums', step, kind) within a section. The
    state carries the last bass root over from the section before."""
    state = {} if state is None else state
    chords = section_chords(section)
    shift = int(section.get("transpose", 0))
    written = {}
    for voice, lines in section["lines"].items():
        text = " ".join(lines)
        if voice == "drums":
            yield from drum_events(text, bars)
        elif text == "off":
            continue
        elif text.startswith("follow "):
            continue  # after the voice it follows, below
        elif re.fullmatch(r'(\w+) "([^"]*)"', text):
            yield from pattern_events(voice, text, chords, state)
        else:
            notes = [(voice, step, length, note + shift)
                     for voice, step, length, note in written_events(voice, text, bars)]
            written[voice] = notes
            yield from notes
    for voice, lines in section["lines"].items():
        words = " ".join(lines).split()
        if words[:1] == ["follow"]:
            yield from harmony_events(voice, written.get(words[1], []), chords)


def drum_events(text, bars):
    steps = text.replace("|", "").replace(" ", "")
    if len(steps) % 16:
        raise ValueError(f"drum bars must be 16 steps ({len(steps)})")
    for bar_start in range(0, bars * 16, len(steps)):
        for i, kind in enumerate(steps):
            if kind != "." and bar_start + i < bars * 16:
                yield "drums", bar_start + i, kind


def pattern_events(voice, text, chords, state):
    """A pattern of chord degrees laid over every bar's chord."""
    m = re.fullmatch(r'(\w+) "([^"]*)"', text)
    tokens = m.group(2).split()
    octave = {"bass": 0, "arp": 2, "pad": 1}.get(m.group(1), 1)
    per = 16 // len(tokens) if 16 % len(tokens) == 0 else None
    if per is None:
        raise ValueError("a pattern has 1, 2, 4, 8 or 16 tokens a bar")
    for bar in range(len(chords)):
        for i, token in enumerate(tokens):
            step = bar * 16 + i * per
            tones = chord_at(chords, step)
            if m.group(1) == "bass":
                tones = nearest_octave(tones, state)
            if token in ".-":
                continue
            length = per
            j = i + 1
            while j < len(tokens) and tokens[j] == ".":
                length += per
                j += 1
            note = tones[0] + 12 if token == "8" else tones[DEGREE[token]]
            yield voice, step, length, note + 12 * octave


def written_events(voice, text, bars):
    step = 0
    for bar_text in text.split("|"):
        bar_steps = 0
        for token in bar_text.split():
            pitch, _, length = token.partition(":")
            if not length.isdigit():
                raise ValueError(f"{voice}: a note is pitch:steps, found {token!r}")
            length = int(length)
            if pitch != "-":
                yield voice, step, length, midi(pitch)
            step += length
            bar_steps += length
        if bar_text.strip() and bar_steps != 16:
            raise ValueError(f"{voice}: a bar of {bar_steps} steps: {bar_text.strip()!r}")
    if step != bars * 16:
        raise ValueError(f"{voice}: {step} steps in a section of {bars} bars")


def harmony_events(voice, notes, chords):
    """A second line under another: for each of its notes, the highest tone of the chord (triad)
    at least three semitones below, so the two move together in thirds and sixths."""
    for _, step, length, note in notes:
        triad = chord_at(chords, step)[:3]
        below = [t + 12 * k for t in triad for k in range(-2, 8) if t + 12 * k <= note - 3]
        yield voice, step, length, max(below)


def nearest_octave(tones, state):
    """The chord moved by octaves so its root lies nearest the bass's last root, within range:
    a walking bass rather than one that leaps to a fixed octave."""
    root = tones[0]
    last = state.get("bass", root)
    choices = [root + 12 * k for k in range(-2, 3) if BASS_LOW <= root + 12 * k <= BASS_HIGH]
    best = min(choices, key=lambda r: (abs(r - last), r))
    state["bass"] = best
    return [t + best - root for t in tones]


def bars_of(score, name):
    return max(len(score.sections[name]["chords"]), 1)


def events(score):
    """Every event of one pass through the play order, as (start in steps, section, event)."""
    # The loop's first bass root lies nearest its last, as any other: a pass ahead finds it.
    state = {}
    for name in score.order:
        for _ in section_events(score, score.sections[name], bars_of(score, name), state):
            pass
    offset = 0
    for name in score.order:
        section = score.sections[name]
        for event in section_events(score, section, bars_of(score, name), state):
            yield offset + event[1], section, event
        offset += bars_of(score, name) * 16


TOP = 12000.0  # soften() leaves nothing above this, so harmonics above it are not summed


def harmonics(wave_kind, duty, count):
    """The complex amplitudes c_k (k = 1..count) of a zero-mean wave, which is the sum of
    Re(c_k exp(2 pi i k phase)): a pulse high for `duty` of each cycle, or a triangle."""
    k = np.arange(1, count + 1)
    if wave_kind == "pulse":
        turn = 2 * np.pi * k * duty
        return (2 / (np.pi * k)) * (np.sin(turn) - 1j * (1 - np.cos(turn)))
    if wave_kind == "triangle":
        return np.where(k % 2 == 1, 8 / (np.pi ** 2 * k ** 2), 0.0).astype(complex)
    raise ValueError(f"unknown wave {wave_kind!r}")


BELL = ((1.0, 1.0, 1.0), (2.0, 0.45, 0.7), (2.76, 0.35, 0.45), (5.4, 0.18, 0.3),
        (8.93, 0.08, 0.2))  # (partial, amplitude, decay share): a struck bar, rung additively


def tone(wave_kind, freq, n, duty, vibrato, decay, cutoff=None, top=TOP, duty_end=None,
         from_freq=None, glide=0.0):
    """One note, summed from its harmonics below `top`, so it carries no alias and no DC. A
    cutoff (Hz at C5) rolls the harmonics off, closing by half an octave an octave up, so that
    the top notes are round rather than shrill. duty_end sweeps the pulse's width over the note;
    from_freq slides the pitch in from there over `glide` seconds."""
    t = np.arange(n) / RATE
    depth = vibrato * np.clip((t - 0.12) / 0.15, 0, 1)  # vibrato comes in on held notes
    pitch = np.full(n, freq)
    if from_freq and glide > 0:  # a slide in log-frequency, as a player bends into the note
        pitch = freq * (from_freq / freq) ** np.clip(1 - t / glide, 0, 1)
    phase = np.cumsum(pitch * 2 ** (depth * np.sin(2 * np.pi * 5.5 * t) / 12) / RATE)
    highest = max(freq, from_freq or 0) * 2 ** (vibrato / 12)
    if wave_kind == "bell":
        signal = bell(phase, t, decay, highest, top)
        return signal * np.clip(t / 0.002, 0, 1) * np.clip((n / RATE - t) / 0.02, 0, 1)
    count = max(int(top / highest), 1)
    k = np.arange(1, count + 1)
    filter_gain = np.ones(count)
    if cutoff:
        corner = cutoff * (freq / 523.25) ** -0.5
        filter_gain = 1 / np.sqrt(1 + (k * freq / corner) ** 4)
    turn = np.exp(2j * np.pi * (phase % 1.0))
    widths = None if duty_end is None else np.linspace(duty, duty_end, n)
    amplitudes = harmonics(wave_kind, duty, count) * filter_gain
    signal = np.zeros(n)
    power = np.ones(n, complex)
    for index, c in enumerate(amplitudes):
        power *= turn
        if widths is not None:  # the pulse's harmonics follow its changing width
            c = harmonics_at(index + 1, widths) * filter_gain[index]
            signal += (c * power).real
        elif abs(c) > 1e-4:
            signal += (c * power).real
    attack = np.clip(t / 0.004, 0, 1)
    body = 0.55 + 0.45 * np.exp(-t / decay)
    release = np.clip((n / RATE - t) / 0.02, 0, 1)
    return signal * attack * body * release


def harmonics_at(k, widths):
    """The k-th harmonic of a pulse, sample by sample, as its width moves."""
    turn = 2 * np.pi * k * widths
    return (2 / (np.pi * k)) * (np.sin(turn) - 1j * (1 - np.cos(turn)))


def bell(phase, t, decay, highest, top):
    """Inharmonic partials that die away, the higher the sooner: a struck metal bar. `phase`
    is unwrapped (cycles of the fundamental), since the partials are not its multiples."""
    signal = np.zeros(len(t))
    for ratio, amplitude, share in BELL:
        if ratio * highest < top:
            cycles = (ratio * phase) % 1.0
            signal += amplitude * np.sin(2 * np.pi * cycles) * np.exp(-t / (decay * share))
    return signal


def band_noise(n, low, high, rng):
    """White noise kept between two frequencies: the metal of a hat without the hiss above."""
    spectrum = np.fft.rfft(rng.standard_normal(n))
    freqs = np.fft.rfftfreq(n, 1.0 / RATE)
    spectrum[(freqs < low) | (freqs > high)] = 0
    noise = np.fft.irfft(spectrum, n=n)
    return noise / np.sqrt(np.mean(noise ** 2))


def drum(kind, rng, step_samples):
    if kind == "K":
        n = int(0.18 * RATE)
        t = np.arange(n) / RATE
        freq = 45 + 110 * np.exp(-t / 0.03)
        return np.sin(2 * np.pi * np.cumsum(freq) / RATE) * np.exp(-t / 0.06) * 1.1
    if kind == "S":
        return snare(rng)
    if kind == "r":  # a roll: four soft strokes in the step, each a little louder
        half = step_samples // 4
        hits = np.zeros(3 * half + int(0.16 * RATE))
        for i in range(4):
            stroke = snare(rng) * (0.35 + 0.12 * i)
            hits[i * half:i * half + len(stroke)] += stroke
        return hits
    if kind == "C":  # a crash on the kick: a long wash of high noise marking a section's start
        n = int(1.6 * RATE)
        t = np.arange(n) / RATE
        wash = 0.55 * band_noise(n, 3000, 11000, rng) * np.exp(-t / 0.45) * np.clip(t / 0.001, 0, 1)
        kick = drum("K", rng, step_samples)
        wash[:len(kick)] += kick
        return wash
    if kind in "ho":
        length = 0.22 if kind == "o" else 0.05
        n = int(length * RATE)
        t = np.arange(n) / RATE
        ring = np.exp(-t / (0.06 if kind == "o" else 0.011))
        return 0.8 * band_noise(n, 5000, 10500, rng) * ring * np.clip(t / 0.0008, 0, 1)
    raise ValueError(f"unknown drum {kind!r}")


def snare(rng):
    n = int(0.16 * RATE)
    t = np.arange(n) / RATE
    noise = rng.uniform(-1, 1, n)
    return (0.7 * noise * np.exp(-t / 0.05) +
            0.4 * np.sin(2 * np.pi * 190 * t) * np.exp(-t / 0.03))


def velocity(step, rng):
    """Downbeats strongest, then the off-beats, then the sixteenths, each hit a little uneven."""
    accent = 1.0 if step % 4 == 0 else 0.8 if step % 2 == 0 else 0.66
    return accent * (1 + 0.06 * rng.standard_normal())


def samples(score, steps):
    """The number of samples in a run of sixteenth-note steps at the score's tempo."""
    return int(round(steps * step_samples(score)))


def step_samples(score):
    """A sixteenth in samples: the tempo's, stretched by a fraction of a percent so the loop's
    length has only small prime factors, which keeps its whole-loop FFTs fast."""
    if "step" not in score.cache:
        total = sum(bars_of(score, name) * 16 for name in score.order)
        exact = 60.0 / score.tempo / 4 * RATE
        score.cache["step"] = smooth_above(int(round(total * exact))) / total
    return score.cache["step"]


def smooth_above(n):
    """The least number from n up whose prime factors are 2, 3, 5 and 7 only."""
    while True:
        m = n
        for p in (2, 3, 5, 7):
            while m % p == 0:
                m //= p
        if m == 1:
            return n
        n += 1


def start_of(score, step):
    """Where a step starts: swing holds back every second sixteenth."""
    late = (2 * score.swing - 1) * (step % 2)
    return int(round((step + late) * step_samples(score)))


def section_gain(section, local_step, bars):
    """The section's gain at a step; "0.5>1.2" ramps from one to the other across it."""
    first, _, last = str(section.get("gain", "1.0")).partition(">")
    if not last:
        return float(first)
    share = local_step / max(bars * 16 - 1, 1)
    return float(first) + (float(last) - float(first)) * share


def render(score, only=None):
    """The loop as a stereo array. With only="hats", just the hats, through the same chain."""
    mix, hats = render_parts(score)
    return hats if only == "hats" else mix


def render_parts(score):
    """The loop and its hats alone, both through the same chain, in one pass."""
    total_steps = sum(bars_of(score, name) * 16 for name in score.order)
    length = samples(score, total_steps)
    tail = 3 * RATE  # room for notes, echoes and crashes that ring past the loop's end
    mix = np.zeros((2, length + tail))
    hats = np.zeros((2, length + tail))
    cache = {}
    last_note = {}

    def place(buffer, signal, start, pan):
        end = start + len(signal)
        buffer[0, start:end] += signal * np.cos((pan + 1) * np.pi / 4)
        buffer[1, start:end] += signal * np.sin((pan + 1) * np.pi / 4)

    for step, section, event in events(score):
        start = start_of(score, step)
        gain = section_gain(section, event[1], len(section["chords"]) or 1)
        if event[0] == "drums":
            kind = event[2]
            # Seeded by its place, so the same hit sounds the same in every render.
            rng = np.random.default_rng([7, step, ord(kind)])
            hit = drum(kind, rng, samples(score, 1)) * drum_level(score, kind, step, rng) * gain
            pan = drum_pan(score, kind, step)
            place(mix, hit, start, pan)
            if kind in "ho":
                place(hats, hit, start, pan)
            continue
        voice_name, local, steps, note = event
        voice = score.voices[voice_name]
        note += 12 * int(voice.get("octave", 0))
        glide = float(voice.get("glide", 0))
        previous = last_note.get(voice_name) if glide else None
        last_note[voice_name] = note
        duty, duty_end = duty_of(voice, local)
        n = samples(score, steps)
        key = (voice_name, note, n, duty, previous)
        if key not in cache:  # arpeggios and bass lines repeat the same notes many times
            cache[key] = tone(voice["wave"], hertz(note), n, duty, float(voice.get("vibrato", 0)),
                              float(voice.get("decay", 0.3)), float(voice.get("cutoff", 0)),
                              duty_end=duty_end, glide=glide,
                              from_freq=hertz(previous) if previous is not None else None)
        signal = cache[key] * float(voice.get("gain", 0.3)) * gain
        pan = float(voice.get("pan", 0))
        place(mix, signal, start, pan)
        for delay, echo_gain, echo_pan in echoes(score, voice, pan):
            place(mix, signal * echo_gain, start + delay, echo_pan)
    return soften(wrap(mix, length).T), soften(wrap(hats, length).T)


def wrap(buffer, length):
    """What rings past the end of the loop sounds again at its start, so the seam is seamless."""
    loop = buffer[:, :length].copy()
    tail = buffer[:, length:]
    loop[:, :tail.shape[1]] += tail
    return loop


def hertz(note):
    return 440.0 * 2 ** ((note - 69) / 12)


def duty_of(voice, local_step):
    """The pulse width for a note starting at this step of its section: the bar's entry of the
    duty list, and where it sweeps to if the entry is a sweep (0.5~0.125)."""
    entries = voice.get("duty", "0.5").split("/")
    first, _, last = entries[(local_step // 16) % len(entries)].partition("~")
    return float(first), float(last) if last else None


def echoes(score, voice, pan):
    """(delay in samples, gain, pan) of a voice's echo: three repeats thrown from side to side,
    starting on the side away from the voice, so the echo opens the stereo field."""
    if "echo" not in voice:
        return []
    steps, _, feedback = voice["echo"].partition("/")
    side = -1.0 if pan >= 0 else 1.0
    return [(samples(score, float(steps) * i), float(feedback) ** i, side * 0.8 * (-1) ** (i - 1))
            for i in range(1, 4)]


def drum_level(score, kind, step, rng):
    level = float(score.drums["gain"]) * velocity(step, rng)
    if kind in "ho":
        level *= float(score.drums.get("hats", 1.0))
    return level


def drum_pan(score, kind, step):
    """Kick in the middle, snare a little left, hats swaying across the field every two bars."""
    spread = float(score.drums.get("spread", 0.2))
    if kind in "ho":
        return spread * np.cos(2 * np.pi * step / 32)
    return {"K": 0.0, "S": -spread / 2, "r": -spread / 2, "C": spread / 2}.get(kind, 0.0)


def soften(mix, corner=6000.0, top=TOP, low=25.0):
    """Rolls the square waves' harshest overtones off above the corner frequency, and takes out
    DC and the rumble under `low`. Done on the whole loop at once in the frequency domain, which
    treats the piece as circular, so the filter itself wraps around the seam too."""
    spectrum = np.fft.rfft(mix, axis=0)
    freqs = np.fft.rfftfreq(len(mix), 1.0 / RATE)
    gain = np.clip((top - freqs) / (top - corner), 0.0, 1.0) ** 2
    gain *= (freqs / low) ** 2 / np.sqrt(1 + (freqs / low) ** 4)  # 2-pole high-pass, 0 at DC
    return np.fft.irfft(spectrum * gain[:, None], n=len(mix), axis=0)


def loudness_gain(audio, target_rms_db=-17.0):
    """What write_wav multiplies the mix by, before its knee."""
    return 10 ** (target_rms_db / 20) / np.sqrt(np.mean(audio ** 2))


def write_wav(path, audio, target_rms_db=-17.0, peak_db=-3.0):
    # The loud last choruses stand well above the mean, and Vorbis adds up to 1.5 dB to peaks.
    audio = audio * loudness_gain(audio, target_rms_db)
    limit = 10 ** (peak_db / 20)
    # A soft knee above 80 % of the limit keeps the rare drum peaks under it.
    knee = 0.8 * limit
    over = np.abs(audio) > knee
    audio[over] = np.sign(audio[over]) * (
        knee + (limit - knee) * np.tanh((np.abs(audio[over]) - knee) / (limit - knee)))
    pcm = np.round(audio * 32767).astype("<i2")
    with wave.open(path, "wb") as out:
        out.setnchannels(2)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(pcm.tobytes())
    return len(pcm) / RATE


if __name__ == "__main__":
    score = Score(open(sys.argv[1], encoding="utf-8").read())
    seconds = write_wav(sys.argv[2], render(score))
    print(f"{sys.argv[2]}: {seconds:.2f} s")
