#!/usr/bin/env python3
"""Writes the stand-in flash programmer that the repository ships as NPRG7200A.hex.

It has the record structure of the handset's real programmer: an extended linear address
record 0x00A0, 16-byte data records from 0x00A00000, a second extended linear address
record 0x00A1 past 0x00A10000, a final 8-byte data record, a start linear address record
0x00A00000 and the end-of-file record: 110,648 data bytes in all. The bytes are a banner
followed by a fixed pseudo-random sequence, so the file is the same on every run. It is
not a programmer a handset can run; it is what the program and its tests carry until a
real one is given to the build (VELTRANE_PROGRAMMER).

Usage: make_standin_programmer.py OUTPUT
"""

import sys

LOAD_ADDRESS = 0x00A00000
DATA_BYTES = 110648
RECORD_BYTES = 16
BANNER = b"Veltrane stand-in flash programmer - not for handsets. "


def _xorshift32(seed):
    state = seed
    while True:
        state ^= (state << 13) & 0xFFFFFFFF
        state ^= state >> 17
        state ^= (state << 5) & 0xFFFFFFFF
        yield state


def image_bytes():
    data = bytearray(BANNER)
    numbers = _xorshift32(0x7200A000)
    while len(data) < DATA_BYTES:
        data += next(numbers).to_bytes(4, "little")
    return bytes(data[:DATA_BYTES])


def record(address, record_type, payload):
    body = bytes([len(payload), (address >> 8) & 0xFF, address & 0xFF, record_type]) + payload
    checksum = (-sum(body)) & 0xFF
    return ":" + (body + bytes([checksum])).hex().upper() + "\r\n"


def hex_text(data):
    lines = []
    upper = None
    for offset in range(0, len(data), RECORD_BYTES):
        address = LOAD_ADDRESS + offset
        if address >> 16 != upper:
            upper = address >> 16
            lines.append(record(0, 0x04, upper.to_bytes(2, "big")))
        lines.append(record(address & 0xFFFF, 0x00, data[offset:offset + RECORD_BYTES]))
    lines.append(record(0, 0x05, LOAD_ADDRESS.to_bytes(4, "big")))
    lines.append(record(0, 0x01, b""))
    return "".join(lines).encode("ascii")


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    with open(argv[1], "wb") as output:
        output.write(hex_text(image_bytes()))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
