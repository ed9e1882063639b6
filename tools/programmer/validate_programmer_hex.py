#!/usr/bin/env python3
"""Checks a flash programmer (Intel HEX) before the build carries it, then copies it.

The program sends the data records' bytes, concatenated, to RAM from 0x00A00000 and jumps
there, so the file must be well-formed Intel HEX whose data is one contiguous block
starting at 0x00A00000, closed by an end-of-file record. Checked: every record's syntax,
byte count and checksum; record types (data, end of file, extended linear address, start
linear address); data contiguous from 0x00A00000; a start address, if given, of
0x00A00000; at least one data byte; exactly one end-of-file record, and nothing after it.

Usage: validate_programmer_hex.py INPUT OUTPUT
Exit status 0 and OUTPUT written (a byte-identical copy) when INPUT is sound; otherwise
the reasons go to standard error, OUTPUT is not written, and the status is 1.
"""

import os
import sys

LOAD_ADDRESS = 0x00A00000
DATA, END_OF_FILE, EXTENDED_SEGMENT, START_SEGMENT, EXTENDED_LINEAR, START_LINEAR = range(6)
HEX_DIGITS = set("0123456789abcdefABCDEF")


class ProgrammerError(Exception):
    pass


def parse_record(line, number):
    if not line.startswith(":"):
        raise ProgrammerError(f"line {number}: a record starts with ':'")
    digits = line[1:]
    if not digits or len(digits) % 2 or not set(digits) <= HEX_DIGITS:
        raise ProgrammerError(f"line {number}: a record is an even number of hexadecimal digits")
    raw = bytes.fromhex(digits)
    if len(raw) < 5:
        raise ProgrammerError(f"line {number}: record too short")
    count, address, record_type = raw[0], (raw[1] << 8) | raw[2], raw[3]
    if len(raw) != count + 5:
        raise ProgrammerError(f"line {number}: byte count {count} does not match the record's {len(raw) - 5} data bytes")
    if sum(raw) & 0xFF:
        expected = (-sum(raw[:-1])) & 0xFF
        raise ProgrammerError(f"line {number}: checksum {raw[-1]:02X}, expected {expected:02X}")
    return address, record_type, raw[4:-1]


def check(text):
    """Returns the number of data bytes; raises ProgrammerError for the first fault."""
    try:
        lines = text.decode("ascii").splitlines()
    except UnicodeDecodeError:
        raise ProgrammerError("the file is not ASCII text")
    upper = 0
    next_address = LOAD_ADDRESS
    data_bytes = 0
    ended = False
    for number, line in enumerate(lines, start=1):
        line = line.strip()
        if not line:
            continue
        if ended:
            raise ProgrammerError(f"line {number}: records after the end-of-file record")
        address, record_type, payload = parse_record(line, number)
        if record_type == DATA:
            absolute = (upper << 16) + address
            if absolute != next_address:
                raise ProgrammerError(
                    f"line {number}: data at 0x{absolute:08X}, expected 0x{next_address:08X} (data must be"
                    f" contiguous from 0x{LOAD_ADDRESS:08X})")
            next_address += len(payload)
            data_bytes += len(payload)
        elif record_type == END_OF_FILE:
            if payload:
                raise ProgrammerError(f"line {number}: the end-of-file record carries no data")
            ended = True
        elif record_type == EXTENDED_LINEAR:
            if len(payload) != 2:
                raise ProgrammerError(f"line {number}: an extended linear address record carries 2 bytes")
            upper = int.from_bytes(payload, "big")
        elif record_type == START_LINEAR:
            if len(payload) != 4:
                raise ProgrammerError(f"line {number}: a start linear address record carries 4 bytes")
            start = int.from_bytes(payload, "big")
            if start != LOAD_ADDRESS:
                raise ProgrammerError(f"line {number}: start address 0x{start:08X}, the handset jumps to 0x{LOAD_ADDRESS:08X}")
        elif record_type in (EXTENDED_SEGMENT, START_SEGMENT):
            raise ProgrammerError(f"line {number}: segment address records (type {record_type:02X}) are not used")
        else:
            raise ProgrammerError(f"line {number}: unknown record type {record_type:02X}")
    if not ended:
        raise ProgrammerError("no end-of-file record")
    if data_bytes == 0:
        raise ProgrammerError("no data records")
    return data_bytes


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    source, destination = argv[1], argv[2]
    try:
        with open(source, "rb") as handle:
            text = handle.read()
        check(text)
    except (OSError, ProgrammerError) as error:
        sys.stderr.write(f"{source}: not a usable flash programmer: {error}\n")
        return 1
    temporary = destination + ".part"
    with open(temporary, "wb") as handle:
        handle.write(text)
    os.replace(temporary, destination)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
