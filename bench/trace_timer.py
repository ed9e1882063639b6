#!/usr/bin/env python3
"""Follows a trace.txt while a run writes it and times one image's transfer: from the line
that announces the image to the line of its last chunk. The trace's own rates count whole
seconds, too coarse for a transfer of one or two seconds.

usage: trace_timer.py TRACE BANNER

Waits for TRACE to appear, then prints the seconds once the image's last chunk is traced,
or nothing when the file stops growing for 60 s first.
"""
import os
import re
import sys
import time

POLL_S = 0.001
GIVE_UP_S = 60
CHUNK_LINE = re.compile(rb"^total packet(\d+) ,  sended (\d+) th")


def follow(path):
    """Yields (time the line was seen, line) for each whole line, as it is written."""
    while not os.path.exists(path):
        time.sleep(POLL_S)
    with open(path, "rb") as trace:
        pending, quiet_since = b"", time.monotonic()
        while time.monotonic() - quiet_since < GIVE_UP_S:
            data = trace.read()
            if not data:
                time.sleep(POLL_S)
                continue
            now = quiet_since = time.monotonic()
            *lines, pending = (pending + data).split(b"\n")
            for line in lines:
                yield now, line


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    banner = argv[2].encode()
    start = None
    for seen, line in follow(argv[1]):
        if start is None:
            if line.startswith(banner):
                start = seen
            continue
        chunk = CHUNK_LINE.match(line)
        if chunk and int(chunk.group(2)) == int(chunk.group(1)) - 1:
            print(f"{seen - start:.3f}")
            return


if __name__ == "__main__":
    main(sys.argv)
