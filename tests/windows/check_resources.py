#!/usr/bin/env python3
"""Checks what a Windows program carries: its version resource, and files byte for byte as
resources of a given type and numeric name.

usage: check_resources.py PROGRAM [--version VERSION DESCRIPTION] [TYPE ID FILE ...]

--version: the fixed file and product versions are VERSION (x.y.z, missing parts 0), and so
are the strings FileVersion and ProductVersion; ProductName is "Veltrane", FileDescription
is DESCRIPTION and OriginalFilename the program's own file name.
"""
import os
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


def version_findings(image, program, version, description):
    """What differs from the expected version resource, each a line."""
    if not getattr(image, "VS_FIXEDFILEINFO", None):
        return [f"{program}: no version resource"]
    parts = [int(part) for part in version.split(".")] + [0, 0, 0]
    expected = ((parts[0] << 16) | parts[1], (parts[2] << 16) | parts[3])
    fixed = image.VS_FIXEDFILEINFO[0]
    findings = [f"{program}: fixed {name} version {ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}, not {version}"
                for name, ms, ls in (("file", fixed.FileVersionMS, fixed.FileVersionLS),
                                     ("product", fixed.ProductVersionMS, fixed.ProductVersionLS))
                if (ms, ls) != expected]
    strings = {}
    for info in image.FileInfo[0]:
        for table in getattr(info, "StringTable", []):
            strings.update({key.decode(): value.decode() for key, value in table.entries.items()})
    wanted = {"ProductName": "Veltrane", "FileDescription": description, "FileVersion": version,
              "ProductVersion": version, "OriginalFilename": os.path.basename(program)}
    findings += [f"{program}: {key} is {strings.get(key)!r}, not {value!r}"
                 for key, value in wanted.items() if strings.get(key) != value]
    if not findings:
        print(f"{program}: version {version}, {description!r}")
    return findings


def main(argv):
    program, checks = argv[1], argv[2:]
    image = pefile.PE(program)
    findings = []
    if checks[:1] == ["--version"]:
        findings += version_findings(image, program, checks[1], checks[2])
        checks = checks[3:]
    if len(checks) % 3:
        sys.exit(__doc__)
    for index in range(0, len(checks), 3):
        type_name, number, path = checks[index], int(checks[index + 1]), checks[index + 2]
        expected = open(path, "rb").read()
        found = resource_bytes(image, type_name, number)
        if found is None:
            findings.append(f"{program}: no resource {type_name} {number}")
        elif found != expected:
            findings.append(f"{program}: resource {type_name} {number} differs from {path} "
                            f"({len(found)} vs {len(expected)} bytes)")
        else:
            print(f"{program}: resource {type_name} {number} is {path} ({len(found)} bytes)")
    for finding in findings:
        print(finding)
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
