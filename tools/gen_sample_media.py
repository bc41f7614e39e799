#!/usr/bin/env python3
"""Generates the sample game folder's plain pictures and sounds (no external assets).

Usage: tools/gen_sample_media.py [data-dir]   (default: data/ beside this script's parent)
Output is deterministic, so regenerating gives identical files.
"""
import math
import os
import struct
import sys
import wave
import zlib


def write_png(path, width, height, pixel):
    """pixel(x, y) -> (r, g, b, a)."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            rows.extend(pixel(x, y))

    def chunk(kind, data):
        c = struct.pack(">I", len(data)) + kind + data
        return c + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(rows), 9))
    png += chunk(b"IEND", b"")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(png)


def write_wav(path, seconds, sample, rate=22050):
    """sample(t) -> float in -1..1."""
    n = int(seconds * rate)
    frames = bytearray()
    for i in range(n):
        v = max(-1.0, min(1.0, sample(i / rate)))
        frames.extend(struct.pack("<h", int(v * 32000)))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(bytes(frames))


def envelope(t, length):
    attack = min(1.0, t / 0.005)
    return attack * max(0.0, 1.0 - t / length)


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "data")

    # Office floor: warm boards with seams.
    def ground(x, y):
        board = (y // 40) % 2
        seam = y % 40 == 0 or (x + (y // 40) * 97) % 160 == 0
        base = (176, 132, 88) if board else (164, 122, 80)
        if seam:
            return (120, 86, 56, 255)
        grain = int(6 * math.sin(x * 0.07 + y * 0.9))
        return (base[0] + grain, base[1] + grain, base[2] + grain, 255)

    write_png(os.path.join(root, "images", "ground.png"), 800, 600, ground)

    # A soft round sprite for particles and a small button frame.
    def star(x, y):
        d = math.hypot(x - 15.5, y - 15.5) / 16.0
        a = max(0.0, 1.0 - d)
        return (255, 240, 160, int(255 * a * a))

    write_png(os.path.join(root, "images", "particle_star.png"), 32, 32, star)

    def button(x, y):
        edge = x < 2 or y < 2 or x >= 158 or y >= 38
        return (40, 60, 110, 255) if edge else (70, 110, 190, 235)

    write_png(os.path.join(root, "images", "button.png"), 160, 40, button)

    sounds = {
        "click": (0.08, lambda t: envelope(t, 0.08) * math.sin(2 * math.pi * 1200 * t)),
        "coins": (0.35, lambda t: envelope(t, 0.35) * math.sin(2 * math.pi * (1500 + 800 * (t > 0.1)) * t)),
        "phone": (0.6, lambda t: 0.6 * math.sin(2 * math.pi * 440 * t) * (1 if int(t * 20) % 2 else 0)),
        "door": (0.3, lambda t: envelope(t, 0.3) * math.sin(2 * math.pi * 90 * t)),
    }
    for name, (length, fn) in sounds.items():
        write_wav(os.path.join(root, "sounds", name + ".wav"), length, fn)

    # Two short loops for the music manager's cross-fade.
    def tune(notes):
        def f(t):
            n = notes[int(t * 4) % len(notes)]
            return 0.3 * math.sin(2 * math.pi * n * t) * (1 - (t * 4 % 1) * 0.6)
        return f

    write_wav(os.path.join(root, "music", "menu.wav"), 4.0, tune([262, 330, 392, 330]), rate=11025)
    write_wav(os.path.join(root, "music", "office.wav"), 4.0, tune([220, 262, 294, 262]), rate=11025)


if __name__ == "__main__":
    main()
