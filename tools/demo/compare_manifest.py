#!/usr/bin/env python3
"""Compares what the simulated handset recorded (its manifest) with the images that were
packed, image by image (SHA-256), and with the run settings that chose them.

usage: compare_manifest.py MANIFEST IMAGES_FOLDER A_INI

Exit status 0 when every selected image arrived exactly and nothing else was written.
"""
import hashlib
import json
import os
import sys

# Manifest names and the files they come from, with the a.ini position that selects them
# (None: every run writes it).
IMAGES = [
    ("qcsbl_header", "qcsblhd_cfgdata.mbn", 2),
    ("qcsbl", "qcsbl.mbn", 2),
    ("oemsbl_header", "oemsblhd.mbn", 3),
    ("oemsbl", "oemsbl.mbn", 3),
    ("amss_header", "amsshd.mbn", 4),
    ("amss", "amss.mbn", 4),
    ("appsboot_header", "appsboothd.mbn", 5),
    ("appsboot", "appsboot.mbn", 5),
    ("flash_bin", "FLASH.bin", 6),
    ("cefs", "cefs_modem.mbn", 0),
]


def digest(path):
    with open(path, "rb") as image:
        return hashlib.sha256(image.read()).hexdigest(), os.path.getsize(path)


def main(argv):
    if len(argv) != 4:
        sys.exit(__doc__)
    manifest = json.load(open(argv[1]))
    folder, settings = argv[2], open(argv[3], "rb").read(7).decode("latin-1")
    failures = []
    total = 0

    def check(name, path, entry):
        nonlocal total
        sha, size = digest(path)
        if entry is None:
            failures.append(f"{name}: not received")
        elif entry.get("sha256") != sha or entry.get("bytes") != size:
            failures.append(f"{name}: received {entry.get('bytes')} bytes that differ from {os.path.basename(path)}")
        else:
            total += size
            print(f"  {name:16} {size:>11} bytes  sha256 {sha[:16]}…  ok")

    check("partition", os.path.join(folder, "partition.mbn"), manifest.get("partition"))
    received = manifest.get("images", {})
    for name, file, switch in IMAGES:
        selected = settings[switch] == "1"
        if selected:
            check(name, os.path.join(folder, file), received.get(name))
        elif name in received:
            failures.append(f"{name}: written although a.ini did not select it")
    if not manifest.get("reset"):
        failures.append("the handset was not reset")
    for failure in failures:
        print("  MISMATCH " + failure)
    print(f"  {total} bytes of images verified")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
