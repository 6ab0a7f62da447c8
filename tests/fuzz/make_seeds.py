#!/usr/bin/env python3
"""Writes a seed corpus of small valid Tabrix files of every layout into the given folder."""
import os
import struct
import sys


def pstring(text):
    return bytes([len(text)]) + text


def strings(items):
    return struct.pack("<i", len(items)) + b"".join(pstring(s) for s in items)


def body(w4, lead, list_a, list_b):
    words = struct.pack("<9I", 1, 2, 3, w4, 5, 6, 7, 8, 9)
    blocks = bytes(range(240))
    return words, blocks, pstring(lead) + strings(list_a) + strings(list_b)


def old_layout(head, w4, lead, list_a, list_b):
    words, blocks, rest = body(w4, lead, list_a, list_b)
    return struct.pack("<I", head) + words + blocks + rest


def new_layout(head, version, w4, lead, list_a, list_b):
    words, blocks, rest = body(w4, lead, list_a, list_b)
    return (struct.pack("<IH", 0xFFFF0000 | head, version) + words + blocks
            + struct.pack("<4I", 10, 11, 12, 13) + rest + struct.pack("<3I", 2, 1, 2))


def main(folder):
    os.makedirs(folder, exist_ok=True)
    seeds = {
        "v10-empty": old_layout(3, 0, b"", [], []),
        "v10-lists": old_layout(0xFFFEFFFF, 5, b"lead", [b"a", b"b\x00c"], [b"\x83\x74"]),
        "v11-w4-6": new_layout(1, 0x0101, 6, b"x", [b"one"], []),
        "v12-full": new_layout(0xFFFF, 0x0102, 7, b"\x90\xac\x8c\xf7", [b"p", b"q"], [b"r" * 255]),
        "v205-odd": new_layout(0, 0x0205, 5, b"", [], [b""]) + b"trailing",
        "v12-negative": new_layout(2, 0x0102, 0, b"", [], [])[:-20] + struct.pack("<ii", -1, -5) + struct.pack("<3I", 2, 1, 2),
    }
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)


if __name__ == "__main__":
    main(sys.argv[1])
