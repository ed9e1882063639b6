#!/usr/bin/env python3
"""Writes a release folder from built trees: the Windows programs (32-bit for XP, Vista and 7,
32- and 64-bit alike; 64-bit for 64-bit Vista and 7), the Windows and Linux console flashers and the Linux package builder, each
named with the project's version, and SHA256SUMS (checkable with `sha256sum -c SHA256SUMS`).

usage: release.py --source DIR --builds DIR --out DIR
       release.py --source DIR --check-source

--check-source (make release runs it before building): refuses a git checkout with changes
not committed, naming the files, since a release built from it could not be rebuilt from
the commit its programs name (their time stamp is the commit's date).

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


def changed_files(source):
    """Files of the checkout at `source` that differ from its commit, untracked ones included
    (ignored ones not); [] outside git."""
    listed = subprocess.run(["git", "-C", source, "status", "--porcelain", "--untracked-files=all"],
                            capture_output=True, text=True)
    if listed.returncode != 0:
        return []
    return [line[3:] for line in listed.stdout.splitlines() if line.strip()]


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--source", required=True)
    parser.add_argument("--builds")
    parser.add_argument("--out")
    parser.add_argument("--check-source", action="store_true")
    args = parser.parse_args()
    if args.check_source:
        changed = changed_files(args.source)
        if changed:
            sys.exit("release: the tree has changes that are not committed; commit or stash them first, so that "
                     "the release can be rebuilt from its commit:\n  " + "\n  ".join(changed))
        return 0
    if not args.builds or not args.out:
        parser.error("--builds and --out are needed")
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
