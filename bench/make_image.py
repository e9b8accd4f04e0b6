#!/usr/bin/env python3
"""Writes the benchmark image (bench/BenchImage.h) as raw bytes: a 48-byte
header, then 3-byte words, most significant byte first."""
import sys

HEADER = 48
SIZE = 8388608


def image_bytes():
    words = (SIZE - HEADER) // 3
    out = bytearray(HEADER)
    for i in range(words):
        w = (0x100000 + (i * 7919) % 0xE00000) & ~1
        out += bytes(((w >> 16) & 0xFF, (w >> 8) & 0xFF, w & 0xFF))
    return bytes(out)


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as f:
        f.write(image_bytes())
