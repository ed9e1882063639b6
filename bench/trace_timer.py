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


def image_seconds(path, banner):
    """Seconds from the banner line to the image's last chunk line; None when the trace
    stops growing first."""
    start = None
    for seen, line in follow(path):
        if start is None:
            if line.startswith(banner.encode()):
                start = seen
            continue
        chunk = CHUNK_LINE.match(line)
        if chunk and int(chunk.group(2)) == int(chunk.group(1)) - 1:
            return seen - start
    return None


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    seconds = image_seconds(argv[1], argv[2])
    if seconds is not None:
        print(f"{seconds:.3f}")


if __name__ == "__main__":
    main(sys.argv)
