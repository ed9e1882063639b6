#!/usr/bin/env python3
"""Writes a deterministic sample image set of the shipped sizes into a folder, named as
veltrane-pack expects them. Slot 0 (the programmer) is copied from the given HEX file.

usage: make_sample_images.py FOLDER PROGRAMMER_HEX [--scale N] [--flash-bin BYTES]

--scale N divides every image size by N (at least 1 byte), for quick runs.
--flash-bin BYTES makes FLASH.bin that size instead (how large an image a program takes).
"""
import argparse
import os
import random
import shutil

PIECE = 1 << 27  # bytes: larger than every shipped image

# (file name, size in bytes) by slot; slot 0 is the programmer itself.
SLOTS = [
    ("NPRG7200A.hex", None),
    ("partition.mbn", 464),
    ("qcsblhd_cfgdata.mbn", 2708),
    ("qcsbl.mbn", 58340),
    ("oemsblhd.mbn", 40),
    ("oemsbl.mbn", 198600),
    ("appsboothd.mbn", 40),
    ("appsboot.mbn", 540672),
    ("amsshd.mbn", 40),
    ("amss.mbn", 19689492),
    ("FLASH.bin", 110672263),
    ("cefs_modem.mbn", 655360),
]


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("folder")
    parser.add_argument("programmer")
    parser.add_argument("--scale", type=int, default=1)
    parser.add_argument("--flash-bin", type=int)
    options = parser.parse_args()
    os.makedirs(options.folder, exist_ok=True)
    for slot, (name, size) in enumerate(SLOTS):
        path = os.path.join(options.folder, name)
        if size is None:
            shutil.copyfile(options.programmer, path)
            continue
        size = max(1, size // options.scale) if size > 40 else size
        if name == "FLASH.bin" and options.flash_bin:
            size = options.flash_bin
        # Seeded per slot: the same set on every machine, different bytes in every image.
        # In pieces: randbytes takes at most 2^31 bits at once (the shipped sizes fit one piece).
        generator = random.Random(0x5EED0000 + slot)
        with open(path, "wb") as image:
            for start in range(0, size, PIECE):
                image.write(generator.randbytes(min(PIECE, size - start)))


if __name__ == "__main__":
    main()
