#!/usr/bin/env python3
"""Checks that no program names the folders it was built from: each folder is looked for as
written (ASCII and UTF-16), and as tools turn a path into a symbol name (every character
that is neither a letter nor a digit made '_', as dlltool does).

usage: check_no_build_folders.py PROGRAM... --folder DIR [--folder DIR...]
"""
import argparse
import re
import sys


def forms(folder):
    folder = folder.rstrip("/")
    return {
        "as written": folder.encode(),
        "in UTF-16": folder.encode("utf-16-le"),
        "as a symbol name": re.sub(r"[^A-Za-z0-9]", "_", folder).encode(),
    }


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("programs", nargs="+")
    parser.add_argument("--folder", action="append", required=True)
    args = parser.parse_args()
    found = []
    for program in args.programs:
        with open(program, "rb") as handle:
            data = handle.read()
        for folder in args.folder:
            for form, text in forms(folder).items():
                offset = data.find(text)
                if offset >= 0:
                    found.append(f"{program} names {folder} {form} at 0x{offset:x}")
    if found:
        sys.exit("\n".join(found))
    print(f"{len(args.programs)} programs name none of: {', '.join(args.folder)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
