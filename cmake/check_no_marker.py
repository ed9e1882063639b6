#!/usr/bin/env python3
"""Fails when a built program holds the firmware package marker as one contiguous byte run.

The program finds its package at the first occurrence of the marker in its own file, so a
copy of the marker inside the program's code or data would be taken for the package.

Usage: check_no_marker.py FILE...     exit 0 when no file holds it, 1 otherwise
       check_no_marker.py --self-test  checks the checker on files it writes
"""
import os
import sys
import tempfile

CHUNK = 1 << 20


def package_marker():
    # Byte pair n (n = 1..8) holds n and n * 16; built here, never written out as a literal.
    return bytes(b for n in range(1, 9) for b in (n, n << 4))


def find_marker(path):
    """Offset of the first marker in the file, or None. Reads in chunks, overlapping by
    the marker's length less one, so a marker across a chunk boundary is found."""
    marker = package_marker()
    keep = len(marker) - 1
    tail = b""
    consumed = 0  # file offset of tail[0]
    with open(path, "rb") as stream:
        while True:
            block = stream.read(CHUNK)
            if not block:
                return None
            window = tail + block
            hit = window.find(marker)
            if hit >= 0:
                return consumed + hit
            tail = window[-keep:] if len(window) > keep else window
            consumed += len(window) - len(tail)


def self_test():
    marker = package_marker()
    cases = {
        "start": (marker + b"x" * 100, 0),
        "across a chunk boundary": (b"\0" * (CHUNK - 7) + marker + b"\0", CHUNK - 7),
        "after a partial match": (b"\0" + marker[:3] + marker + b"\0", 4),
        "only a prefix at the end": (b"\0" * 10 + marker[:15], None),
        "bytes spread apart": (bytes(b for x in marker for b in (x, 0)), None),
    }
    failures = 0
    with tempfile.TemporaryDirectory() as folder:
        for name, (content, expected) in cases.items():
            path = os.path.join(folder, "probe.bin")
            with open(path, "wb") as stream:
                stream.write(content)
            found = find_marker(path)
            if found != expected:
                print(f"self-test '{name}': found {found}, expected {expected}", file=sys.stderr)
                failures += 1
    return 1 if failures else 0


def main(arguments):
    if arguments == ["--self-test"]:
        return self_test()
    if not arguments:
        print(__doc__, file=sys.stderr)
        return 2
    status = 0
    for path in arguments:
        offset = find_marker(path)
        if offset is not None:
            print(f"{path}: holds the package marker at offset {offset}; the program would take "
                  f"it for its package. Build the marker at run time (PackageMarker()).", file=sys.stderr)
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
