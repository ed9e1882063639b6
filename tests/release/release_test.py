#!/usr/bin/env python3
"""tools/release.py against trees laid out as the presets build them (the Linux programs this
build's own, the Windows ones stand-ins of distinct content): each program under its
versioned name, SHA256SUMS that `sha256sum -c` accepts; nothing written, and an older
release untouched, when a program carries a package or is missing.

usage: release_test.py SOURCE VERSION VELTRANE_FLASH VELTRANE_PACK PROGRAMMER_HEX
"""
import os
import pathlib
import platform
import shutil
import subprocess
import sys
import tempfile

SOURCE, VERSION, FLASH, PACK, PROGRAMMER = sys.argv[1:6]
ARCH = platform.machine()
EXPECTED = {  # file in the trees -> name in the release
    "windows-x86/ui/Veltrane.exe": f"Veltrane-{VERSION}-x86.exe",
    "windows-x64/ui/Veltrane.exe": f"Veltrane-{VERSION}-x64.exe",
    "windows-x86/tools/flash/veltrane-flash.exe": f"veltrane-flash-{VERSION}-x86.exe",
    "windows-x64/tools/flash/veltrane-flash.exe": f"veltrane-flash-{VERSION}-x64.exe",
    "linux/tools/flash/veltrane-flash": f"veltrane-flash-{VERSION}-linux-{ARCH}",
    "linux/tools/pack/veltrane-pack": f"veltrane-pack-{VERSION}-linux-{ARCH}",
}
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def release(builds, out):
    return subprocess.run([sys.executable, os.path.join(SOURCE, "tools", "release.py"), "--source", SOURCE,
                           "--builds", builds, "--out", out], capture_output=True, text=True)


def main():
    work = pathlib.Path(tempfile.mkdtemp(prefix="veltrane-release-test-"))
    try:
        builds, dist = work / "builds", work / "dist"
        for index, built in enumerate(EXPECTED):
            (builds / built).parent.mkdir(parents=True, exist_ok=True)
            if built.startswith("linux/"):
                shutil.copy2(FLASH if "flash" in built else PACK, builds / built)
            else:
                (builds / built).write_bytes(b"MZ stand-in %d" % index * 1000)

        done = release(builds, dist)
        check(done.returncode == 0, f"release refused good trees: {done.stderr}")
        names = sorted(os.listdir(dist)) if dist.is_dir() else []
        check(names == sorted([*EXPECTED.values(), "SHA256SUMS"]), f"release holds {names}")
        check(all((dist / name).read_bytes() == (builds / built).read_bytes()
                  for built, name in EXPECTED.items() if name in names), "a release file is not its program")
        verified = subprocess.run(["sha256sum", "--strict", "-c", "SHA256SUMS"], cwd=dist, capture_output=True, text=True)
        check(verified.returncode == 0 and verified.stdout.count(": OK") == len(EXPECTED),
              f"sha256sum -c: {verified.stdout}{verified.stderr}")
        sums = (dist / "SHA256SUMS").read_bytes()

        # A program with a package appended, then a program missing: refused, dist untouched.
        images = work / "images"
        images.mkdir()
        shutil.copy2(PROGRAMMER, images / "NPRG7200A.hex")
        (images / "amss.mbn").write_bytes(bytes(range(256)) * 16)
        target = builds / "windows-x64/ui/Veltrane.exe"
        subprocess.run([PACK, "create", "--images", images, "--family", "C", "--id", "47", "--exe", target,
                        "--out", work / "packed.exe"], check=True, capture_output=True)
        os.replace(work / "packed.exe", target)
        for problem in ("carries a firmware package", "is not built"):
            refused = release(builds, dist)
            check(refused.returncode != 0 and f"{target} {problem}" in refused.stderr,
                  f"a program that {problem} was not refused: {refused.returncode} {refused.stderr}")
            target.unlink(missing_ok=True)
        check((dist / "SHA256SUMS").read_bytes() == sums and sorted(os.listdir(dist)) == names,
              "a refused release changed the release folder")
        check(not (work / "dist.partial").exists(), "a refused release left a partial folder")

        # A checkout with a change not committed (a file edited, one added) is refused, naming both.
        tree = work / "tree"
        tree.mkdir()
        git = ["git", "-C", str(tree), "-c", "user.name=t", "-c", "user.email=t@t"]
        (tree / "CMakeLists.txt").write_text("project(Veltrane VERSION 9.9.9)\n")
        for command in (["init", "-q"], ["add", "."], ["commit", "-qm", "tree"]):
            subprocess.run(git + command, check=True)
        check_source = [sys.executable, os.path.join(SOURCE, "tools", "release.py"), "--source", tree, "--check-source"]
        clean = subprocess.run(check_source, capture_output=True, text=True)
        check(clean.returncode == 0, f"a clean checkout was refused: {clean.stderr}")
        (tree / "CMakeLists.txt").write_text("project(Veltrane VERSION 9.9.10)\n")
        (tree / "new.cpp").write_text("\n")
        dirty = subprocess.run(check_source, capture_output=True, text=True)
        check(dirty.returncode != 0 and "CMakeLists.txt" in dirty.stderr and "new.cpp" in dirty.stderr,
              f"a changed checkout was not refused with its files: {dirty.returncode} {dirty.stderr}")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    if failures:
        sys.exit("\n".join(failures))
    print(f"release {VERSION}: {len(EXPECTED)} programs with SHA256SUMS; packed and missing programs and a "
          "changed checkout refused")
    return 0


if __name__ == "__main__":
    sys.exit(main())
