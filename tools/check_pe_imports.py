#!/usr/bin/env python3
"""Checks a Windows program's import table against a list of functions it must not import.

usage: check_pe_imports.py LIST PROGRAM [PROGRAM...]

Exit status 0 when every program imports none of the listed functions, 1 otherwise (each
offending import is printed as DLL!function). A program without an import table is an error
too: the check must never pass by reading nothing.
"""
import sys

try:
    import pefile
except ImportError:
    sys.exit("check_pe_imports.py: python3-pefile is missing (make deps installs it)")


def forbidden_names(path):
    names = set()
    with open(path, encoding="utf-8") as listing:
        for line in listing:
            line = line.split("#", 1)[0].strip()
            if line:
                names.add(line)
    return names


def imports_of(program):
    image = pefile.PE(program, fast_load=True)
    image.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"]])
    for entry in getattr(image, "DIRECTORY_ENTRY_IMPORT", []):
        dll = entry.dll.decode("ascii", "replace")
        for symbol in entry.imports:
            if symbol.name:
                yield dll, symbol.name.decode("ascii", "replace")


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__)
    forbidden = forbidden_names(argv[1])
    failed = False
    for program in argv[2:]:
        found = list(imports_of(program))
        if not found:
            print(f"{program}: no imports found")
            failed = True
            continue
        bad = sorted(f"{dll}!{name}" for dll, name in found if name in forbidden)
        for entry in bad:
            print(f"{program}: imports {entry}")
        failed |= bool(bad)
        if not bad:
            print(f"{program}: {len(found)} imports, none missing from Windows XP")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
