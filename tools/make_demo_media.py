#!/usr/bin/env python3
"""Makes the first-run demo tracks (data/demo/) and the player tests' module fixture
(tests/data/player/).

Everything is synthesised here: a little tune as WAV (written directly), the same tune as
MP3 (lame) and Ogg Vorbis (sox), and a small 4-channel tracker module written byte by byte.
Run from the repository root:  python3 tools/make_demo_media.py
"""
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import wave

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEMO = os.path.join(ROOT, "data", "demo")
FIXTURES = os.path.join(ROOT, "tests", "data", "player")
RATE = 22050


def tune_samples(notes, beat=0.25):
    """A plucked tune: each (midi note, beats) decays like a string; returns 16-bit ints."""
    out = []
    for note, beats in notes:
        freq = 440.0 * 2 ** ((note - 69) / 12.0)
        n = int(RATE * beat * beats)
        for i in range(n):
            t = i / RATE
            env = math.exp(-4.0 * t) * min(1.0, i / 60.0)
            v = 0.6 * math.sin(2 * math.pi * freq * t) + 0.2 * math.sin(4 * math.pi * freq * t)
            out.append(int(max(-1.0, min(1.0, v * env)) * 20000))
    return out


def write_wav(path, samples):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(struct.pack("<%dh" % len(samples), *samples))


def run(cmd):
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def mod_file(title, rows, speed, channels_notes):
    """A 4-channel "M.K." module with one square-wave sample, one pattern, one order.

    rows: rows played before the pattern break; speed: ticks per row (125 BPM, 20 ms a tick);
    channels_notes: {channel: {row: amiga period}}.
    """
    data = title.encode("latin-1")[:20].ljust(20, b"\0")
    wave_bytes = bytes([0x40] * 16 + [0xC0] * 16)  # one cycle of a square wave, looped
    # Sample 1: name, length in words, finetune, volume, loop start, loop length (words).
    data += b"Square".ljust(22, b"\0") + struct.pack(">HBBHH", len(wave_bytes) // 2, 0, 48, 0,
                                                      len(wave_bytes) // 2)
    for _ in range(30):  # samples 2..31 unused
        data += b"\0" * 22 + struct.pack(">HBBHH", 0, 0, 0, 0, 1)
    data += bytes([1, 127])            # song length 1 order, restart byte
    data += bytes([0] + [0] * 127)     # order list: pattern 0
    data += b"M.K."
    pattern = b""
    for row in range(64):
        for ch in range(4):
            period = channels_notes.get(ch, {}).get(row, 0)
            sample = 1 if period else 0
            effect, param = 0, 0
            if row == 0 and ch == 3:
                effect, param = 0xF, speed          # set speed
            if row == rows - 1 and ch == 2:
                effect, param = 0xD, 0              # pattern break: the song ends here
            pattern += bytes([(sample & 0xF0) | (period >> 8), period & 0xFF,
                              ((sample & 0x0F) << 4) | effect, param])
    data += pattern + wave_bytes
    return data


# Amiga periods of octave 2 (C-2 .. B-2).
PERIODS = [428, 404, 381, 360, 340, 321, 303, 286, 270, 254, 240, 226]


def main():
    os.makedirs(DEMO, exist_ok=True)
    os.makedirs(FIXTURES, exist_ok=True)
    melody = [(72, 1), (76, 1), (79, 1), (84, 2), (79, 1), (76, 1), (72, 3),
              (74, 1), (77, 1), (81, 1), (86, 2), (81, 1), (77, 1), (74, 3)]
    samples = tune_samples(melody)
    write_wav(os.path.join(DEMO, "mirvane-demo-chime.wav"), samples)

    bass = tune_samples([(48, 4), (43, 4), (45, 4), (41, 4)], beat=0.5)
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "bass.wav")
        write_wav(src, bass)
        run(["lame", "--quiet", "-b", "64", "--tt", "Low Strings", "--ta", "Mirvane Demo",
             "--add-id3v2", src, os.path.join(DEMO, "mirvane-demo-strings.mp3")])
        arp = tune_samples([(60 + (i * 7) % 24, 0.5) for i in range(32)], beat=0.25)
        src2 = os.path.join(tmp, "arp.wav")
        write_wav(src2, arp)
        run(["sox", src2, "-C", "0", os.path.join(DEMO, "mirvane-demo-arpeggio.ogg")])

    # The demo module: 64 rows at speed 6 (about 7.7 s), a bass line and a melody.
    notes = {0: {r: PERIODS[[0, 7, 5, 3][r // 16]] * 2 for r in range(0, 64, 4)},
             1: {r: PERIODS[(r // 2) % 12] for r in range(0, 64, 2) if (r // 2) % 3 != 1}}
    with open(os.path.join(DEMO, "mirvane-demo-tracker.mod"), "wb") as f:
        f.write(mod_file("Mirvane Demo Tune", 64, 6, notes))

    # The tests' module: 16 rows at speed 1 (about 0.32 s), so a test hears it end quickly.
    with open(os.path.join(FIXTURES, "short.mod"), "wb") as f:
        f.write(mod_file("Short Test Tune", 16, 1, {0: {0: 428, 8: 320}}))

    with open(os.path.join(DEMO, "demo.m3u"), "wb") as f:
        f.write(b"#EXTM3U\r\n")
        for title, name in [("1. Mirvane Demo - Chime (WAV)", "mirvane-demo-chime.wav"),
                            ("2. Mirvane Demo - Low Strings (MP3)", "mirvane-demo-strings.mp3"),
                            ("3. Mirvane Demo - Arpeggio (Ogg Vorbis)",
                             "mirvane-demo-arpeggio.ogg"),
                            ("4. Mirvane Demo - Tracker Tune (MOD)",
                             "mirvane-demo-tracker.mod")]:
            f.write(b"#EXTINF:-1," + title.encode() + b"\r\n" + name.encode() + b"\r\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
