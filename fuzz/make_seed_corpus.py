#!/usr/bin/env python3
"""Writes the fuzz target's seed corpus (fuzz/corpus/): small packages, whole, cut and altered."""
import os
import random
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
MARKER = bytes(b for n in range(1, 9) for b in (n, n << 4))  # pair n holds n and n * 16


def header(entries, check=14, family=b"C", ident=47):
    block = bytes([16]) + struct.pack("<I", 172) + b"\0" + bytes([check]) + family + struct.pack("<I", ident) + b"\0" * 4
    for presence, ident_, offset, size in entries:
        block += bytes([presence]) + struct.pack("<III", ident_, offset, size)
    assert len(block) == 172
    return block


def package(sizes, rng):
    entries, data, offset = [], b"", 172
    for slot, size in enumerate(sizes):
        present = 1 if size is not None else 0
        size = size or 0
        entries.append((present, slot + 1, offset, size))
        data += bytes(rng.randrange(256) for _ in range(size))
        offset += size
    return MARKER + header(entries) + data


def main():
    rng = random.Random(7200)
    exe = b"MZ" + bytes(rng.randrange(256) for _ in range(62))
    sizes = [5, 3, 4, 2, 40, 6, 40, 3, 40, 9, 11, 7]
    whole = exe + package(sizes, rng)
    seeds = {
        "whole": whole,
        "after_partial_match": exe + MARKER[:1] + package(sizes, rng),
        "after_longer_partial_match": exe + MARKER[:7] + package(sizes, rng),
        "absent_slots": exe + package([5, None, 4, None, 40, 6, None, 3, 40, None, 11, None], rng),
        "no_marker": exe + MARKER[:15] + bytes(40),
        "cut_header": exe + MARKER + header([(1, 1, 172, 4)] * 12)[:90],
        "cut_image": whole[:-5],
        "entries_outside": exe + MARKER + header([(1, 1, 0xFFFFFFF0, 0x20), (1, 2, 172, 0xFFFFFFF0),
                                                 (1, 3, 0xFFFFFFFF, 0xFFFFFFFF), (1, 4, 0, 172)] +
                                                [(0, k, 0, 0) for k in range(5, 13)]) + b"data",
        "two_markers": exe + MARKER + MARKER + header([(1, 1, 172, 1)] * 12) + b"x",
        "check_byte_13": exe + MARKER + header([(1, k + 1, 172, 0) for k in range(12)], check=13),
    }
    os.makedirs(os.path.join(HERE, "corpus"), exist_ok=True)
    for name, content in seeds.items():
        with open(os.path.join(HERE, "corpus", name), "wb") as stream:
            stream.write(content)


if __name__ == "__main__":
    main()
