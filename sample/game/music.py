"""The sample game's two music tracks, synthesised: a lead over a bass line
and, in the second, a hi-hat. Integer-only arithmetic keeps the WAV files
byte-for-byte the same on every host, so the sample disc is too.

    write_tracks(FOLDER)   writes TRACK01.WAV and TRACK02.WAV into FOLDER
"""

import os
import struct
import wave


class MusicError(Exception):
    pass



RATE = 22050
NOTE_NAMES = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


def note_number(name):
    """"A4" -> 69, "G#5" -> 80."""
    semitone = NOTE_NAMES[name[0]]
    rest = name[1:]
    if rest.startswith("#"):
        semitone += 1
        rest = rest[1:]
    return 12 * (int(rest) + 1) + semitone


def phase_step(note):
    """32-bit phase increment per sample for a note, from a table of one
    octave in fixed point so no host's floating point gets a say."""
    # 2**32 * freq / RATE for C4 .. B4, rounded.
    octave4 = [50960238, 53990491, 57200933, 60602278, 64205876, 68023757,
               72068660, 76354085, 80894335, 85704563, 90800821, 96200119]
    shift = note // 12 - 5
    step = octave4[note % 12]
    return step << shift if shift >= 0 else step >> -shift


def to_events(words):
    """Steps: a note (name or number) starts, "-" holds, "." rests.
    Returns [(note or None, length in steps)]."""
    events = []
    for word in words:
        if word == "-":
            if not events:
                raise MusicError("a line cannot start with a hold")
            note, length = events[-1]
            events[-1] = (note, length + 1)
        elif word == ".":
            events.append((None, 1))
        else:
            events.append((word if isinstance(word, int) else note_number(word), 1))
    return events


def triangle(phase):
    p = phase >> 16
    return (p * 2 - 32768) if p < 32768 else ((65535 - p) * 2 - 32768)


def square(phase):
    return 32767 if phase & 0x80000000 else -32768


def render_voice(out, events, step_samples, wave_fn, volume):
    """Adds one voice into out (a list of ints). volume is out of 256."""
    position = 0
    for note, steps in events:
        length = steps * step_samples
        if note is not None:
            step = phase_step(note)
            phase = 0
            attack = 160
            release = min(1200, length // 3)
            for i in range(length):
                # Linear attack, gentle decay to 3/4, linear release.
                level = 256 - (64 * i) // length
                if i < attack:
                    level = level * i // attack
                if i >= length - release:
                    level = level * (length - i) // release
                out[position + i] += wave_fn(phase) * level * volume >> 16
                phase = (phase + step) & 0xFFFFFFFF
        position += length


def render_hats(out, pattern, step_samples, steps, volume):
    """A short burst of noise on every "x" of pattern, repeated for steps."""
    lfsr = 0xACE1
    for s in range(steps):
        if pattern[s % len(pattern)] != "x":
            continue
        start = s * step_samples
        length = step_samples // 3
        for i in range(length):
            bit = (lfsr ^ (lfsr >> 2) ^ (lfsr >> 3) ^ (lfsr >> 5)) & 1
            lfsr = (lfsr >> 1) | (bit << 15)
            noise = 16000 if lfsr & 1 else -16000
            out[start + i] += noise * (length - i) // length * volume >> 8


def bass_line(chords, pattern):
    """One bar of pattern per chord: "R" root, "F" fifth, "O" octave up."""
    offsets = {"R": 0, "F": 7, "O": 12}
    words = []
    for root in chords:
        for word in pattern.split():
            words.append(note_number(root) + offsets[word] if word in offsets else word)
    return to_events(words)


TRACKS = {
    # Title theme: C - Am - F - G, eighth notes at 120 per minute.
    "TRACK01.WAV": {
        "step": RATE // 4,
        "lead": """E5 - - G5 C6 - B5 -   A5 - - E5 C5 - E5 -   F5 - A5 - C6 - A5 F5   G5 - - - D5 - - -
                   E5 - - G5 C6 - D6 -   E6 - D6 C6 A5 - - -   F5 - A5 C6 B5 - A5 -   G5 - B5 - D6 - - -
                   C6 - - - G5 - E5 -   C5 - - - - - - .""",
        "chords": ["C3", "A2", "F2", "G2", "C3", "A2", "F2", "G2", "C3", "C3"],
        "bass": "R - R - F - R -",
        "hats": None,
    },
    # Field theme: Am - G - F - E, a little quicker, with a hi-hat.
    "TRACK02.WAV": {
        "step": RATE * 60 // 140 // 2,
        "lead": """A4 C5 E5 A5 G5 E5 C5 E5   D5 - B4 D5 G5 - D5 B4   C5 F5 A5 - G5 F5 E5 F5   E5 - G#5 - B5 - - -
                   A5 - E5 - A5 B5 C6 -   B5 - G5 - D5 - G5 -   A5 - F5 C5 F5 A5 C6 A5   G#5 - E5 - B4 - E5 -
                   A5 - C6 - E6 - - -   A5 - - - - - . .""",
        "chords": ["A2", "G2", "F2", "E2", "A2", "G2", "F2", "E2", "A2", "A2"],
        "bass": "R O R O R O F O",
        "hats": ".x.x.x.x",
    },
}


def track_samples(track):
    lead = to_events(track["lead"].split())
    bass = bass_line(track["chords"], track["bass"])
    step = track["step"]
    total = sum(n for _, n in lead) * step
    if sum(n for _, n in bass) * step != total:
        raise MusicError("lead and bass lines differ in length")
    # Half a second of silence before a player that loops starts over.
    out = [0] * (total + RATE // 2)
    render_voice(out, lead, step, triangle, 150)
    render_voice(out, bass, step, square, 36)
    if track["hats"]:
        render_hats(out, track["hats"], step, total // step, 20)
    return [max(-32768, min(32767, s)) for s in out]


def write_wav(path, samples):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(struct.pack(f"<{len(samples)}h", *samples))


def write_tracks(folder):
    for name, track in TRACKS.items():
        write_wav(os.path.join(folder, name), track_samples(track))
