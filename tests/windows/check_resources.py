#!/usr/bin/env python3
"""Checks that a Windows program carries a file byte for byte as a resource of a given
type and numeric name.

usage: check_resources.py PROGRAM TYPE ID FILE [TYPE ID FILE ...]
"""
import sys

import pefile


def resource_bytes(image, type_name, number):
    for kind in image.DIRECTORY_ENTRY_RESOURCE.entries:
        kind_name = str(kind.name) if kind.name is not None else None
        if kind_name != type_name:
            continue
        for entry in kind.directory.entries:
            if entry.id == number:
                for language in entry.directory.entries:
                    data = language.data.struct
                    return image.get_data(data.OffsetToData, data.Size)
    return None


def main(argv):
    program, checks = argv[1], argv[2:]
    if not checks or len(checks) % 3:
        sys.exit(__doc__)
    image = pefile.PE(program)
    failed = False
    for index in range(0, len(checks), 3):
        type_name, number, path = checks[index], int(checks[index + 1]), checks[index + 2]
        expected = open(path, "rb").read()
        found = resource_bytes(image, type_name, number)
        if found is None:
            print(f"{program}: no resource {type_name} {number}")
            failed = True
        elif found != expected:
            print(f"{program}: resource {type_name} {number} differs from {path} ({len(found)} vs {len(expected)} bytes)")
            failed = True
        else:
            print(f"{program}: resource {type_name} {number} is {path} ({len(found)} bytes)")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
