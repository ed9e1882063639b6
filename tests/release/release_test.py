#!/usr/bin/env python3
"""tools/release.py against trees laid out as the presets build them: the Linux programs are
this build's own, the Windows programs stand-ins of distinct content. The release folder
holds each program under its versioned name with SHA256SUMS that `sha256sum -c` accepts, and
is never written, nor an older one touched, when a program carries a package or is missing.

usage: release_test.py SOURCE VERSION VELTRANE_FLASH VELTRANE_PACK PROGRAMMER_HEX
"""
import os
import platform
import shutil
import subprocess
import sys
import tempfile

SOURCE, VERSION, FLASH, PACK, PROGRAMMER = sys.argv[1:6]
RELEASE = os.path.join(SOURCE, "tools", "release.py")
ARCH = platform.machine()
# tree file -> expected release name
EXPECTED = {
    "windows-x86/ui/Veltrane.exe": f"Veltrane-{VERSION}-xp-x86.exe",
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
    return subprocess.run([sys.executable, RELEASE, "--source", SOURCE, "--builds", builds, "--out", out],
                          capture_output=True, text=True)


def read(path):
    with open(path, "rb") as handle:
        return handle.read()


def main():
    work = tempfile.mkdtemp(prefix="veltrane-release-test-")
    try:
        builds, dist = os.path.join(work, "builds"), os.path.join(work, "dist")
        for index, built in enumerate(EXPECTED):
            path = os.path.join(builds, built)
            os.makedirs(os.path.dirname(path))
            if built.startswith("linux/"):
                shutil.copy2(FLASH if "flash" in built else PACK, path)
            else:
                with open(path, "wb") as handle:
                    handle.write(b"MZ stand-in %d" % index * 1000)

        done = release(builds, dist)
        check(done.returncode == 0, f"release refused good trees: {done.stderr}")
        names = sorted(os.listdir(dist)) if os.path.isdir(dist) else []
        check(names == sorted(list(EXPECTED.values()) + ["SHA256SUMS"]), f"release holds {names}")
        for built, name in EXPECTED.items():
            if name in names:
                check(read(os.path.join(dist, name)) == read(os.path.join(builds, built)),
                      f"{name} is not {built}")
        verified = subprocess.run(["sha256sum", "--strict", "-c", "SHA256SUMS"], cwd=dist,
                                  capture_output=True, text=True)
        check(verified.returncode == 0 and verified.stdout.count(": OK") == len(EXPECTED),
              f"sha256sum -c: {verified.stdout}{verified.stderr}")
        sums_before = read(os.path.join(dist, "SHA256SUMS"))

        # A program with a package appended, then a program missing: refused, dist untouched.
        images = os.path.join(work, "images")
        os.makedirs(images)
        shutil.copy2(PROGRAMMER, os.path.join(images, "NPRG7200A.hex"))
        with open(os.path.join(images, "amss.mbn"), "wb") as handle:
            handle.write(bytes(range(256)) * 16)
        target = os.path.join(builds, "windows-x64/ui/Veltrane.exe")
        packed = target + ".packed"
        subprocess.run([PACK, "create", "--images", images, "--family", "C", "--id", "47", "--exe", target,
                        "--out", packed], check=True, capture_output=True)
        os.replace(packed, target)
        refused = release(builds, dist)
        check(refused.returncode != 0 and target in refused.stderr and "carries a firmware package" in refused.stderr,
              f"a packed program was not refused: {refused.returncode} {refused.stderr}")
        os.remove(target)
        refused = release(builds, dist)
        check(refused.returncode != 0 and f"{target} is not built" in refused.stderr,
              f"a missing program was not refused: {refused.returncode} {refused.stderr}")
        check(read(os.path.join(dist, "SHA256SUMS")) == sums_before and len(os.listdir(dist)) == len(names),
              "a refused release changed the release folder")
        check(not os.path.exists(dist + ".partial"), "a refused release left a partial folder")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    if failures:
        sys.exit("\n".join(failures))
    print(f"release {VERSION}: {len(EXPECTED)} programs with SHA256SUMS; packed and missing programs refused")
    return 0


if __name__ == "__main__":
    sys.exit(main())
