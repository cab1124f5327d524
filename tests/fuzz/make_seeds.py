#!/usr/bin/env python3
"""Writes the seed inputs of the entry point fuzz target into corpus/.

Each seed is a script of entry point calls in the target's input format (see
entry_point_fuzzer.cpp). Run again after changing the format; inputs found by
fuzzing are added to corpus/ by hand, named after what they reproduce.
"""
import os
import struct

IDS = [0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 99, 255, 256,
       0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF]
SHAPES = ["0x0", "1x1", "2x3", "301x199", "64x48", "4096x1", "1x1024", "160x120",
          "short-stride", "null-pixels", "negative-width", "negative-height",
          "odd-stride", "16384x2", "negative-stride", "5x0"]
CUSTOM, NO_WINDOW = len(SHAPES), len(SHAPES) + 1


def u32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def id_(v):
    return bytes([IDS.index(v)]) if v in IDS else b"\xe0" + u32(v)


def value(v):
    return b"\xc0" + u32(v)


def init(null=False, fill=0xAA):
    return bytes([0, 1 if null else 0, fill])


START, END, BITMAP = b"\x01", b"\x02", b"\x03"


def get(i, null=False, fill=0x55):
    return b"\x04" + id_(i) + bytes([1 if null else 0, fill])


def set_(i, v, null=False, fill=0x33):
    return b"\x05" + id_(i) + bytes([1 if null else 0, fill]) + value(v)


def window(shape):
    if isinstance(shape, tuple):
        return bytes([CUSTOM, shape[0], shape[1], shape[2]])
    return bytes([SHAPES.index(shape) if shape != "none" else NO_WINDOW])


def frame(shape="160x120", block=b"\x10\x20\x00"):
    return b"\x06" + window(shape) + b"\x01" + struct.pack("<H", len(block)) + block


def fill(shape, count, times, byte):
    assert times in (1, 8)
    encoded = count if times == 8 else count << 4
    return b"\x06" + window(shape) + (b"\x82" if times == 8 else b"\x02") + struct.pack("<H", encoded) + bytes([byte])


def null_data(shape, length):
    return b"\x06" + window(shape) + (b"\x04" + u32(length) if length else b"\x00")


def tiny(shape, block):
    return b"\x06" + window(shape) + bytes([3 | (len(block) << 2)]) + block


def settings(width=10, length=5, speed=6, fade=1, zoom=90, colour=0x00FFFFFF):
    return (set_(11, width) + set_(12, length) + set_(13, speed) + set_(14, fade) +
            set_(15, zoom) + set_(10, colour))


SEEDS = {
    "host-session": init() + b"".join(get(i) for i in range(10, 16)) + START +
        b"".join(frame(block=bytes([i * 7 % 256, i * 13 % 256, 5])) for i in range(12)) + END + BITMAP,
    "frames-before-init": frame() + set_(15, 99) + frame() + set_(12, 3) + frame() + frame() + init() + frame(),
    "end-without-start": END + init() + END + frame() + START + frame() + END + END,
    "repeated-init-mid-run": init() + set_(12, 30) + START +
        b"".join(frame(block=bytes([i, 255 - i, i])) for i in range(31)) + init() +
        b"".join(frame(block=bytes([i, i, i])) for i in range(8)) + START + frame(),
    "null-pointers": init(null=True) + get(10, null=True) + set_(11, 3, null=True) + init() + START +
        null_data("160x120", 0) + null_data("160x120", 4096) + null_data("none", 0xFFFFFFFF) +
        frame("none") + frame(),
    "unknown-ids": init() + b"".join(get(i) + set_(i, 7) for i in [0, 4, 5, 9, 16, 17, 255, 0xFFFFFFFF, 0x80000000]) +
        get(2) + set_(1, -1) + set_(2, 0x7FFFFFFF) + set_(3, -0x80000000),
    "clamping": init() + b"".join(set_(i, v) for i in [11, 12, 13, 15]
                                  for v in [-0x80000000, -5, 0, 1, 2, 30, 31, 50, 51, 99, 100, 0x7FFFFFFF]) +
        set_(10, 0xFF123456) + set_(14, 7) + b"".join(get(i) for i in range(10, 16)),
    "extreme-settings": init() + settings(width=50, length=30, speed=1, zoom=99, colour=0xFFFFFFFF) + START +
        b"".join(fill(s, 0xFFFF, 8, b) for s in ["1x1", "160x120", "4096x1", "1x1024"] for b in [0x7F, 0x80]) +
        b"".join(fill("1x1", 300, 1, 0x7F) for _ in range(32)),
    "every-canvas": init() + START + b"".join(frame(s) for s in SHAPES) + frame((255, 1, 4)) + frame((1, 255, 0)) +
        frame((0, 7, 2)) + frame("none"),
    "tiny-blocks": init() + settings(zoom=99, speed=0) + START +
        b"".join(tiny("64x48", bytes(range(0xFD, 0xFD + n)) if n else b"") for n in [0, 1, 2, 3] * 3),
    "no-fade-no-rotation": init() + settings(length=2, speed=0, fade=0) + START +
        b"".join(frame("301x199", bytes([i, 200 - i, 3])) for i in range(10)),
    "thin-lines": init() + settings(width=1, length=4, speed=5, zoom=99) + START +
        b"".join(frame(s, bytes([i * 11 % 256, (i * 29 + 7) % 256, i % 256, 3])) for i in range(24)
                 for s in ["64x48", "301x199", "2x3", (17, 9, 1)]) + set_(14, 0) +
        b"".join(frame("160x120", bytes([200 - i, i, 9, 9])) for i in range(12)),
    "far-points": init() + settings(width=1, length=6, speed=4, zoom=99) + START +
        b"".join(fill(s, 0xFFFF, 8, b) for b in [0x7F, 0x80, 0x7F] for s in ["64x48", "1x1024", "4096x1"]) +
        set_(11, 50) + b"".join(fill(s, 0xFFFF, 8, b) for b in [0x80, 0x7F] for s in ["301x199", "16384x2"]),
    "rotation-changes-mid-turn": init() + set_(13, 99) + START + b"".join(frame() for _ in range(150)) +
        set_(13, 1) + frame() + frame() + set_(13, 0) + frame() + set_(13, 7) + frame(),
}

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
os.makedirs(here, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(here, "seed-" + name), "wb") as f:
        f.write(data)
