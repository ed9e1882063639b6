#!/usr/bin/env python3
"""Writes the reply fuzz target's seed corpus (fuzz/reply_corpus/): replies the handset
sends, whole, escaped, doubled, cut and bent, in the target's input layout (selector,
first reply's length, expected prefix, first reply, second reply)."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
FIRST_READ_FAILS = 8


def crc16(data):
    crc = 0xFFFF
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0x8408 if crc & 1 else crc >> 1
    return crc ^ 0xFFFF


def frame(content, crc_delta=0):
    crc = crc16(content) ^ crc_delta
    body = bytes(content) + bytes([crc & 0xFF, crc >> 8])
    escaped = body.replace(b"\x7d", b"\x7d\x5d").replace(b"\x7e", b"\x7d\x5e")
    return b"\x7e" + escaped + b"\x7e"


def seed(expected, first, second=b"", flags=0):
    assert len(expected) < 8 and len(first) < 256
    return bytes([len(expected) | flags, len(first)]) + bytes(expected) + first + second


def main():
    address = bytes([0x00, 0x30, 0x0C, 0x00])
    flagged = bytes([0x7E, 0x7D, 0x5E, 0x00])
    seeds = {
        "hello": seed(b"\x02", frame(b"\x02QCOM fast download protocol targ\x03\x02\x01"), frame(b"\x02")),
        "stream_write": seed(b"\x08" + address, frame(b"\x08" + address), frame(b"\x08" + address)),
        "escaped_address": seed(b"\x08" + flagged, frame(b"\x08" + flagged), frame(b"\x08" + address)),
        "partition_override": seed(b"\x1a\x00", frame(b"\x1a\x01"), frame(b"\x1a\x00")),
        "wrong_crc": seed(b"\x18", frame(b"\x18", 0x5A5A), frame(b"\x18")),
        "two_flags_first": seed(b"\x02", b"\x7e" + frame(b"\x02"), frame(b"\x02")),
        "back_to_back": seed(b"\x1c\x00", frame(b"\x1c\x00") + frame(b"\x1c\x00"), frame(b"\x16")),
        "failed_read": seed(b"\x0c", bytes(range(0x70, 0x90)), frame(b"\x0c"), FIRST_READ_FAILS),
        "dangling_escape": seed(b"\x08", b"\x7e\x08\x7d", b"\x7e\x08\x7d\x7e"),
        "lone_flag": seed(b"", b"\x7e", b""),
    }
    os.makedirs(os.path.join(HERE, "reply_corpus"), exist_ok=True)
    for name, content in seeds.items():
        with open(os.path.join(HERE, "reply_corpus", name), "wb") as stream:
            stream.write(content)


if __name__ == "__main__":
    main()
