#!/usr/bin/env python3
"""Synthesizes Lodestow's optional sound cues into a program folder (the folder of the executable).

    python3 scripts/make-cues.py PROGRAM_FOLDER [--force]

Each cue is a short tone of our own (16-bit mono PCM, made with the standard library). A cue file that
is already there is left alone unless --force is given, so cues the user put there are kept.
"""

import argparse
import math
import os
import random
import struct
import wave

RATE = 22050


def tone(parts, volume=0.35, noise=0.0, seed=0):
    """parts: (start Hz, end Hz, seconds) glides played one after the other."""
    rng = random.Random(seed)
    samples = []
    phase = 0.0
    for f0, f1, seconds in parts:
        n = int(RATE * seconds)
        for i in range(n):
            t = i / max(1, n - 1)
            phase += 2 * math.pi * (f0 + (f1 - f0) * t) / RATE
            # Short attack and release on every note, so nothing clicks.
            env = min(1.0, i / (0.01 * RATE), (n - i) / (0.03 * RATE))
            v = math.sin(phase) + 0.3 * math.sin(2 * phase)
            if noise:
                v = (1 - noise) * v + noise * (rng.random() * 2 - 1) * (1 - t)
            samples.append(int(32767 * volume * env * v / 1.3))
    return samples


CUES = {
    "ldoorsopen1b.wav": tone([(330, 330, 0.12), (495, 495, 0.12), (660, 660, 0.2)]),
    "winstart.wav": tone([(523, 523, 0.09), (659, 659, 0.09), (784, 784, 0.09), (1047, 1047, 0.18)]),
    "TazerFire.wav": tone([(1400, 300, 0.25)], noise=0.25, seed=1),
    "unstoppable.wav": tone([(784, 784, 0.1), (659, 659, 0.1), (523, 523, 0.22)]),
    "VoiceSnd.wav": tone([(880, 1100, 0.15)]),
    "ImpactFire.wav": tone([(180, 60, 0.3)], noise=0.6, seed=2),
    "hgasp1.wav": tone([(600, 420, 0.3)], volume=0.25),
}


def main():
    parser = argparse.ArgumentParser(description="Write Lodestow's sound cues.")
    parser.add_argument("folder")
    parser.add_argument("--force", action="store_true", help="replace cue files that already exist")
    args = parser.parse_args()
    os.makedirs(args.folder, exist_ok=True)
    written = 0
    for name, samples in CUES.items():
        path = os.path.join(args.folder, name)
        if os.path.exists(path) and not args.force:
            continue
        with wave.open(path, "wb") as w:
            w.setnchannels(1)
            w.setsampwidth(2)
            w.setframerate(RATE)
            w.writeframes(struct.pack("<%dh" % len(samples), *samples))
        written += 1
    print("make-cues: %d cue(s) written to %s" % (written, args.folder))


if __name__ == "__main__":
    main()
