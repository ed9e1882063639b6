#!/usr/bin/env python3
"""Writes a release folder from built trees: the Windows programs (32-bit for XP, Vista and 7,
32- and 64-bit alike; 64-bit for 64-bit Vista and 7), the Windows and Linux console flashers and the Linux package builder, each
named with the project's version, and SHA256SUMS (checkable with `sha256sum -c SHA256SUMS`).

usage: release.py --source DIR --builds DIR --out DIR

--builds holds one tree per preset (linux, windows-x64, windows-x86). A release carries no
firmware package: the folder is written only when `veltrane-pack list` finds none in any of
the programs, and only when every program is there; otherwise nothing is written.
"""
import argparse
import hashlib
import os
import platform
import re
import shutil
import subprocess
import sys

# (preset, file in its tree, name in the release; {v} is the version)
PROGRAMS = (
    ("windows-x86", "ui/Veltrane.exe", "Veltrane-{v}-x86.exe"),
    ("windows-x64", "ui/Veltrane.exe", "Veltrane-{v}-x64.exe"),
    ("windows-x86", "tools/flash/veltrane-flash.exe", "veltrane-flash-{v}-x86.exe"),
    ("windows-x64", "tools/flash/veltrane-flash.exe", "veltrane-flash-{v}-x64.exe"),
    ("linux", "tools/flash/veltrane-flash", "veltrane-flash-{v}-linux-{arch}"),
    ("linux", "tools/pack/veltrane-pack", "veltrane-pack-{v}-linux-{arch}"),
)
PACKER = os.path.join("linux", "tools", "pack", "veltrane-pack")


def project_version(source):
    with open(os.path.join(source, "CMakeLists.txt"), encoding="utf-8") as handle:
        found = re.search(r"project\(\s*Veltrane\s+VERSION\s+([0-9][0-9.]*)", handle.read())
    if not found:
        sys.exit("release: no project(Veltrane VERSION ...) in CMakeLists.txt")
    return found.group(1)


def carries_no_package(packer, program):
    listed = subprocess.run([packer, "list", program], capture_output=True, text=True)
    return listed.returncode != 0 and "carries no package" in listed.stderr


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as handle:
        for block in iter(lambda: handle.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--source", required=True)
    parser.add_argument("--builds", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    version = project_version(args.source)
    arch = platform.machine()
    packer = os.path.join(args.builds, PACKER)

    release = []
    problems = []
    for preset, built, name in PROGRAMS:
        path = os.path.join(args.builds, preset, built)
        if not os.path.isfile(path):
            problems.append(f"{path} is not built")
        elif os.path.isfile(packer) and not carries_no_package(packer, path):
            problems.append(f"{path} carries a firmware package (or veltrane-pack cannot read it)")
        release.append((path, name.format(v=version, arch=arch)))
    if not os.path.isfile(packer):
        problems.append(f"{packer} is not built: the programs cannot be checked for a package")
    if problems:
        sys.exit("release: nothing written to {}:\n  {}".format(args.out, "\n  ".join(problems)))

    # Written beside the release folder first, so that it is whole or not there at all.
    out = os.path.normpath(args.out)
    partial = out + ".partial"
    shutil.rmtree(partial, ignore_errors=True)
    os.makedirs(partial)
    sums = []
    for path, name in release:
        shutil.copyfile(path, os.path.join(partial, name))
        os.chmod(os.path.join(partial, name), 0o755)
        sums.append(f"{sha256(os.path.join(partial, name))}  {name}\n")
    sums.sort(key=lambda line: line.split("  ", 1)[1])
    with open(os.path.join(partial, "SHA256SUMS"), "w", encoding="ascii", newline="\n") as handle:
        handle.writelines(sums)
    shutil.rmtree(out, ignore_errors=True)
    os.rename(partial, out)
    print(f"Veltrane {version}, in {out}/:")
    sys.stdout.writelines(sums)
    return 0


if __name__ == "__main__":
    sys.exit(main())
