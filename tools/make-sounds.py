#!/usr/bin/env python3
"""Synthesises the four built-in sounds as WAV files in res/sounds/.

8-bit unsigned mono PCM at 22,050 samples per second, the format the player's wait bound is
read from. Pure Python; the WAV files are committed and this script only reruns when a sound
changes. Every note fades in over a few milliseconds and the whole sound fades out at its end,
so that playback starts and stops without a click."""
import math
import os
import struct
import sys

RATE = 22050
LEVEL = 0.45  # peak amplitude as a fraction of full scale

C5, E5, G5, C6 = 523.25, 659.26, 783.99, 1046.50


def sample_count(ms):
    # Round half up in integers: every length here falls exactly on half a sample.
    return (ms * RATE + 500) // 1000


def bell(freq, t, decay):
    """A struck bell tone at time t after its start: a few partials dying away."""
    if t < 0:
        return 0.0
    attack = min(1.0, t / 0.006)
    partials = ((1.0, 1.0, 1.0), (2.0, 0.35, 1.8), (3.0, 0.12, 2.6))
    value = 0.0
    for ratio, weight, faster in partials:
        value += weight * math.exp(-t * decay * faster) * math.sin(2 * math.pi * freq * ratio * t)
    return attack * value / 1.47


def buzz(freq, t, length):
    """A soft buzz: odd harmonics only, rounded at both ends with a raised cosine."""
    if t < 0 or t >= length:
        return 0.0
    edge = 0.02
    envelope = 1.0
    if t < edge:
        envelope = 0.5 - 0.5 * math.cos(math.pi * t / edge)
    elif t > length - edge:
        envelope = 0.5 - 0.5 * math.cos(math.pi * (length - t) / edge)
    value = sum(math.sin(2 * math.pi * freq * k * t) / k for k in (1, 3, 5, 7))
    return envelope * value / 1.2


def chime(notes, spacing, decay):
    return lambda t: sum(bell(f, t - i * spacing, decay) for i, f in enumerate(notes)) / 1.6


SOUNDS = (
    ("welcome", 1230, chime((C5, E5, G5), 0.16, 3.2)),
    ("leave", 1250, chime((G5, E5, C5), 0.16, 3.2)),
    ("message", 890, lambda t: bell(E5, t, 4.5) + 0.9 * bell(C5, t - 0.22, 4.5)),
    ("error", 450, lambda t: buzz(150.0, t, 0.17) + buzz(150.0, t - 0.23, 0.17)),
)


def render(ms, shape):
    count = sample_count(ms)
    tail = int(0.04 * RATE)
    data = bytearray(count)
    for n in range(count):
        value = shape(n / RATE)
        left = count - 1 - n
        if left < tail:
            value *= 0.5 - 0.5 * math.cos(math.pi * left / tail)
        value = max(-1.0, min(1.0, value * LEVEL))
        data[n] = max(0, min(255, 128 + round(value * 127)))
    return bytes(data)


def wav(data):
    fmt = struct.pack("<HHIIHH", 1, 1, RATE, RATE, 1, 8)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt
    body += b"data" + struct.pack("<I", len(data)) + data
    if len(data) % 2:
        body += b"\x00"
    return b"RIFF" + struct.pack("<I", len(body)) + body


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "res", "sounds")
    os.makedirs(out, exist_ok=True)
    for name, ms, shape in SOUNDS:
        with open(os.path.join(out, name + ".wav"), "wb") as f:
            f.write(wav(render(ms, shape)))


if __name__ == "__main__":
    main()
