#!/usr/bin/env python3
"""Writes the program's four default sounds as short 16-bit mono PCM WAV files.

They are generated here, from nothing but sine tones, so the repository owns
every byte of them. Run from anywhere; output goes to resources/sounds/.
"""
import math
import os
import struct
import wave

RATE = 22050
OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "sounds")


def tone(freqs, seconds, volume=0.5, fade=0.01):
    """A chord of sine waves with short fades so the sound starts and stops cleanly."""
    n = int(RATE * seconds)
    fade_n = max(1, int(RATE * fade))
    samples = []
    for i in range(n):
        t = i / RATE
        v = sum(math.sin(2 * math.pi * f * t) for f in freqs) / len(freqs)
        env = min(1.0, i / fade_n, (n - 1 - i) / fade_n)
        samples.append(v * volume * env)
    return samples


def decaying(freq, seconds, volume=0.6):
    """A bell-like note that dies away."""
    n = int(RATE * seconds)
    out = []
    for i in range(n):
        t = i / RATE
        env = math.exp(-5.0 * t / seconds) * min(1.0, i / 60)
        out.append(volume * env * (math.sin(2 * math.pi * freq * t) + 0.3 * math.sin(4 * math.pi * freq * t)) / 1.3)
    return out


def silence(seconds):
    return [0.0] * int(RATE * seconds)


def write(name, samples):
    path = os.path.join(OUT, name)
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(struct.pack("<h", int(max(-1.0, min(1.0, s)) * 32767)) for s in samples))
    print(path)


def main():
    os.makedirs(OUT, exist_ok=True)
    # Severe report: three rising two-tone pulses, hard to miss.
    alert = []
    for _ in range(3):
        alert += tone([880], 0.12) + tone([1175], 0.12) + silence(0.04)
    write("Nimbrel.wav", alert)
    # Routine report: one soft low chime.
    write("Routine.wav", decaying(523.25, 0.35, 0.45))
    # Message: two bell notes, up a fifth.
    write("WXMsg.wav", decaying(659.25, 0.22) + decaying(987.77, 0.3))
    # Quick chat: a short blip.
    write("qc.wav", tone([1318.5], 0.08, 0.4, 0.005))


if __name__ == "__main__":
    main()
