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
import shutil
import struct
import subprocess
import sys
import tempfile

# Never copied when the sources are not a git checkout: what builds and runs leave behind.
LEFT_BEHIND = {".git", "build", "dist", "demo-out", "__pycache__"}


def source_files(source):
    """The tree's files as git sees them (tracked, and new ones that are not ignored)."""
    try:
        listing = subprocess.run(["git", "-C", source, "ls-files", "-z", "--cached", "--others",
                                  "--exclude-standard"], check=True, capture_output=True).stdout
        return [name for name in listing.decode().split("\0")
                if name and os.path.isfile(os.path.join(source, name))]
    except (OSError, subprocess.CalledProcessError):
        names = []
        for folder, subfolders, files in os.walk(source):
            subfolders[:] = [name for name in subfolders if name not in LEFT_BEHIND]
            names += [os.path.relpath(os.path.join(folder, name), source) for name in files]
        return names


def copy_sources(source, copy):
    for name in source_files(source):
        os.makedirs(os.path.join(copy, os.path.dirname(name)), exist_ok=True)
        shutil.copy2(os.path.join(source, name), os.path.join(copy, name))


def sha256(path):
    with open(path, "rb") as handle:
        return hashlib.sha256(handle.read()).hexdigest()


def pe_stamp_and_checksum(data):
    header = struct.unpack_from("<I", data, 0x3C)[0]
    return struct.unpack_from("<I", data, header + 8)[0], struct.unpack_from("<I", data, header + 24 + 64)[0]


def describe_difference(first, second):
    with open(first, "rb") as handle:
        a = handle.read()
    with open(second, "rb") as handle:
        b = handle.read()
    offsets = [offset for offset in range(min(len(a), len(b))) if a[offset] != b[offset]]
    lines = [f"sizes {len(a)} and {len(b)}; {len(offsets)} bytes differ, the first at "
             + ", ".join(hex(offset) for offset in offsets[:8])]
    for name, data in ((first, a), (second, b)):
        stamp, checksum = pe_stamp_and_checksum(data)
        lines.append(f"{name}: time stamp {stamp}, checksum 0x{checksum:08x}")
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
        copy_sources(args.source, copy)
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
