#!/usr/bin/env python3
"""The framing benchmark of both Windows builds under Wine, in one run: the 32-bit program in
its win32 prefix and the 64-bit one in its win64 prefix, in turn, each case's rate the median
of R runs, and the 32-bit rate as a share of the 64-bit one. Wine's serial path hides framing
speed; this does not.

usage: bench/wine_framing_bench.py [--repeat R] [--min-time S]
Needs build/windows-x86 and build/windows-x64 built with their prefixes made (ctest makes them;
so does bench/wine_port_bench.py)."""
import argparse
import os
import re
import statistics
import subprocess

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
BUILDS = {"32-bit": "windows-x86", "64-bit": "windows-x64"}
LINE = re.compile(r"^(BM_\w+)\s+[\d.]+ us\s+\d+\s+([\d.]+) MB/s", re.MULTILINE)


def rates(build, min_time):
    folder = os.path.join(ROOT, "build", build)
    env = dict(os.environ, WINEPREFIX=os.path.join(folder, "wineprefix"), WINEDEBUG="-all")
    out = subprocess.run(["wine", os.path.join(folder, "bench", "windows_framing_bench.exe"),
                          f"--benchmark_min_time={min_time}"], env=env, stdin=subprocess.DEVNULL,
                         capture_output=True, text=True, check=True).stdout
    found = {name: float(rate) for name, rate in LINE.findall(out)}
    if not found:
        raise RuntimeError(f"no rates from {build}: {out!r}")
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--min-time", type=float, default=0.5)
    options = parser.parse_args()
    runs = {label: [] for label in BUILDS}
    for _ in range(options.repeat):  # in turn, so that a busy moment does not fall on one build only
        for label, build in BUILDS.items():
            runs[label].append(rates(build, options.min_time))
    print(f"framing under Wine, MB/s of chunk bytes, median of {options.repeat}:")
    print(f"  {'case':28} {'32-bit':>9} {'64-bit':>9}  32/64")
    for case in runs["64-bit"][0]:
        medians = {label: statistics.median(run[case] for run in runs[label]) for label in BUILDS}
        print(f"  {case:28} {medians['32-bit']:9.1f} {medians['64-bit']:9.1f}  {medians['32-bit'] / medians['64-bit']:.2f}")


if __name__ == "__main__":
    main()
