#!/usr/bin/env python3
"""Builds one program of the tree a second time, from a copy of the sources in another folder,
into another build folder and later than the tree's own build, with the same SOURCE_DATE_EPOCH,
and checks that it comes out byte for byte the same as the tree's own.

usage: check_reproducible_build.py --source DIR --build DIR --preset NAME --target NAME
                                   --program FILE --epoch SECONDS [--jobs N]
"""
import argparse
import hashlib
import os
import pathlib
import shutil
import struct
import subprocess
import sys
import tempfile

# What builds and runs leave in the sources, never copied.
LEFT_BEHIND = shutil.ignore_patterns(".git", "build", "dist", "demo-out", "__pycache__")


def sha256(path):
    return hashlib.sha256(pathlib.Path(path).read_bytes()).hexdigest()


def describe_difference(first, second):
    """Each file's size, PE time stamp and checksum, and how many bytes differ."""
    files = [pathlib.Path(name).read_bytes() for name in (first, second)]
    lines = []
    for name, data in zip((first, second), files):
        header = struct.unpack_from("<I", data, 0x3C)[0]
        stamp, checksum = struct.unpack_from("<I", data, header + 8)[0], struct.unpack_from("<I", data, header + 88)[0]
        lines.append(f"{name}: {len(data)} bytes, time stamp {stamp}, checksum 0x{checksum:08x}")
    lines.append(f"{sum(a != b for a, b in zip(*files))} bytes differ")
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser()
    for option in ("--source", "--build", "--preset", "--target", "--program", "--epoch"):
        parser.add_argument(option, required=True)
    parser.add_argument("--jobs", default="2")
    args = parser.parse_args()
    program = os.path.relpath(args.program, args.build)

    work = tempfile.mkdtemp(prefix="veltrane-rebuild-")
    try:
        copy = os.path.join(work, "sources-elsewhere")
        build = os.path.join(work, "another-build")
        shutil.copytree(args.source, copy, ignore=LEFT_BEHIND)
        environment = dict(os.environ, SOURCE_DATE_EPOCH=args.epoch)
        for command in (["cmake", "-S", copy, "--preset", args.preset, "-B", build],
                        ["cmake", "--build", build, "-j", args.jobs, "--target", args.target]):
            step = subprocess.run(command, env=environment, stdout=subprocess.PIPE,
                                  stderr=subprocess.STDOUT, text=True)
            if step.returncode:
                sys.exit(f"{' '.join(command)} failed:\n{step.stdout[-4000:]}")
        rebuilt = os.path.join(build, program)
        if sha256(rebuilt) != sha256(args.program):
            sys.exit(f"{program} differs when built in {build} from {copy}:\n"
                     + describe_difference(args.program, rebuilt))
        print(f"{program}: the same SHA-256 ({sha256(rebuilt)}) from {copy}")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
