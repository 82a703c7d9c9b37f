#!/usr/bin/env python3
"""Writes the two result sounds a unit plays, Valid.wav and Invalid.wav, into the given folder.

Short synthetic tones (16-bit mono PCM, 22050 Hz): a rising two-note chime for a valid ticket, a
low double buzz for an invalid one. Generated at build time so that the package carries sounds
without any recorded asset; a fleet may replace the files on the unit."""
import math
import struct
import sys
import wave
from pathlib import Path

RATE = 22050


def tone(freq, ms, volume=0.5, harmonics=(1.0,)):
    count = int(RATE * ms / 1000)
    fade = min(count // 4, int(RATE * 0.01))
    samples = []
    for i in range(count):
        value = sum(weight * math.sin(2 * math.pi * freq * (n + 1) * i / RATE)
                    for n, weight in enumerate(harmonics)) / sum(harmonics)
        # Short fades: no click at either end.
        envelope = min(1.0, i / fade, (count - 1 - i) / fade) if fade else 1.0
        samples.append(int(32767 * volume * value * envelope))
    return samples


def silence(ms):
    return [0] * int(RATE * ms / 1000)


def write(path, samples):
    with wave.open(str(path), "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(struct.pack("<%dh" % len(samples), *samples))


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make-sounds.py <folder>")
    folder = Path(sys.argv[1])
    folder.mkdir(parents=True, exist_ok=True)
    write(folder / "Valid.wav", tone(880, 110) + silence(30) + tone(1320, 170))
    buzz = (1.0, 0.5, 0.33, 0.25)
    write(folder / "Invalid.wav", tone(220, 180, 0.6, buzz) + silence(70) + tone(220, 260, 0.6, buzz))


if __name__ == "__main__":
    main()
