#!/usr/bin/env python3
"""Checks what Windows programs import.

usage: check_pe_imports.py [--xp-missing LIST] [--known-dlls LIST] [--require DLL!FUNCTION]...
                           PROGRAM...

--xp-missing LIST   no import (static or delayed) of a function named in LIST (functions that
                    Windows XP lacks)
--known-dlls LIST   static imports only from the DLLs named in LIST (one a line: the known DLLs
                    of Windows XP, which the loader takes from the system folder whatever lies
                    beside the program); a line "DLL ASSEMBLY" allows DLL only to a program
                    whose manifest depends on that side-by-side assembly. Delay imports are
                    not limited: the programs' hook loads them from the system folder.
--require DLL!FUNCTION  the program must import FUNCTION from DLL, statically or delayed

Every delay-import slot must hold, in the file, an address inside the program's code (the
thunk that loads the DLL on the first call): a slot that holds anything else, 0 above all,
sends the program's first call of that function there.

Exit status 0 when every program passes, 1 otherwise (each finding printed). A program
without an import table is an error too: the check must never pass by reading nothing.
"""
import argparse
import re
import struct
import sys
import xml.etree.ElementTree as ElementTree

try:
    import pefile
except ImportError:
    sys.exit("check_pe_imports.py: python3-pefile is missing (make deps installs it)")

DLL_NAME = re.compile(rb"[A-Za-z0-9_.\-]+\.dll\Z", re.IGNORECASE)
FUNCTION_NAME = re.compile(rb"[A-Za-z_?@$][A-Za-z0-9_?@$]*\Z")
MANIFEST_TYPE = 24
ASSEMBLY = "{urn:schemas-microsoft-com:asm.v1}"


def listed(path):
    """The list file's lines, comments and blanks dropped, each split into words."""
    with open(path, encoding="utf-8") as listing:
        return [line.split("#", 1)[0].split() for line in listing if line.split("#", 1)[0].strip()]


def static_imports(image):
    for entry in getattr(image, "DIRECTORY_ENTRY_IMPORT", []):
        yield entry.dll.decode("ascii", "replace"), [symbol.name.decode("ascii", "replace")
                                                     for symbol in entry.imports if symbol.name]


def _string(image, rva):
    try:
        return image.get_string_at_rva(rva, max_length=256)
    except pefile.PEFormatError:
        return b""


def _delay_descriptor(image, data, offset, thunk_size):
    """(dll, functions, slots) of the delay-import descriptor at `offset` of `data`, or None when
    those bytes are not one: RVA-based attributes, every table inside the image, a DLL's name,
    and a name table of one or more named functions. `slots` gives for each function its name
    (or ordinal), its address-table slot's RVA and the value the slot holds in the file."""
    attributes, name, module, address_table, name_table = struct.unpack_from("<5I", data, offset)
    size = image.OPTIONAL_HEADER.SizeOfImage
    if attributes != 1 or not all(0 < rva < size for rva in (name, module, address_table, name_table)):
        return None
    dll = _string(image, name)
    if not DLL_NAME.match(dll):
        return None
    functions = []
    slots = []
    ordinal_flag = 1 << (8 * thunk_size - 1)
    for index in range(4096):
        try:
            thunk = int.from_bytes(image.get_data(name_table + index * thunk_size, thunk_size), "little")
            slot = address_table + index * thunk_size
            value = int.from_bytes(image.get_data(slot, thunk_size), "little")
        except pefile.PEFormatError:
            return None
        if thunk == 0:
            break
        if thunk & ordinal_flag:
            slots.append((f"#{thunk & 0xFFFF}", slot, value))
            continue
        function = _string(image, thunk + 2) if thunk < size else b""
        if not FUNCTION_NAME.match(function):
            return None
        functions.append(function.decode("ascii"))
        slots.append((functions[-1], slot, value))
    return (dll.decode("ascii"), functions, slots) if functions else None


def delay_imports(image):
    """Delay imports (dll, functions, slots), from the data directory where the linker filled it
    in, else from the descriptors themselves: GNU ld links dlltool's delay-import libraries
    without it. Slots are read from the descriptors only."""
    for entry in getattr(image, "DIRECTORY_ENTRY_DELAY_IMPORT", []):
        yield entry.dll.decode("ascii", "replace"), [symbol.name.decode("ascii", "replace")
                                                     for symbol in entry.imports if symbol.name], []
    thunk_size = 8 if image.OPTIONAL_HEADER.Magic == pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS else 4
    for section in image.sections:
        if section.Name.rstrip(b"\0") == b".rsrc":
            continue
        data = section.get_data()
        offset = data.find(b"\x01\0\0\0")
        while 0 <= offset <= len(data) - 32:
            if offset % 4 == 0:
                found = _delay_descriptor(image, data, offset, thunk_size)
                if found:
                    yield found
            offset = data.find(b"\x01\0\0\0", offset + 1)


def _in_code(image, address):
    """True when `address` (a virtual address at the preferred base) lies in an executable section."""
    rva = address - image.OPTIONAL_HEADER.ImageBase
    section = image.get_section_by_rva(rva) if 0 <= rva < image.OPTIONAL_HEADER.SizeOfImage else None
    return bool(section and section.Characteristics & pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_MEM_EXECUTE"])


def unfilled_delay_slots(program, image, delayed):
    return [f"{program}: delay-import slot of {dll}!{name} holds {address:#x}, not an address in the program's code"
            for dll, _, slots in delayed for name, _, address in slots if not _in_code(image, address)]


def manifest_assemblies(image):
    """Names of the side-by-side assemblies that the program's manifest depends on."""
    names = set()
    for kind in getattr(getattr(image, "DIRECTORY_ENTRY_RESOURCE", None), "entries", []):
        if kind.id != MANIFEST_TYPE:
            continue
        for entry in kind.directory.entries:
            for language in entry.directory.entries:
                data = language.data.struct
                root = ElementTree.fromstring(image.get_data(data.OffsetToData, data.Size))
                for identity in root.iter(ASSEMBLY + "dependentAssembly"):
                    for assembly in identity.iter(ASSEMBLY + "assemblyIdentity"):
                        names.add(assembly.get("name"))
    return names


def imported_names(delayed):
    return [(dll, names) for dll, names, _ in delayed]


def check(program, missing_on_xp, known_dlls, required):
    """The findings on one program, each a line."""
    image = pefile.PE(program, fast_load=True)
    image.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY[name] for name in (
        "IMAGE_DIRECTORY_ENTRY_IMPORT", "IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT", "IMAGE_DIRECTORY_ENTRY_RESOURCE")])
    static = list(static_imports(image))
    if not static:
        return [f"{program}: no imports found"]
    delayed = list(delay_imports(image))
    findings = unfilled_delay_slots(program, image, delayed)
    if missing_on_xp is not None:
        findings += sorted(f"{program}: imports {dll}!{name}" for dll, names in static + imported_names(delayed)
                           for name in names if name in missing_on_xp)
    if known_dlls is not None:
        assemblies = manifest_assemblies(image)
        for dll, _ in static:
            allowed = known_dlls.get(dll.lower(), False)
            if allowed is False:
                findings.append(f"{program}: statically imports {dll}, which is not a known DLL")
            elif allowed and allowed not in assemblies:
                findings.append(f"{program}: statically imports {dll} without the manifest's dependency on {allowed}")
    imported = {(dll.lower(), name) for dll, names in static + imported_names(delayed) for name in names}
    for dll, name in required:
        if (dll.lower(), name) not in imported:
            findings.append(f"{program}: does not import {dll}!{name}")
    findings.sort()
    if not findings:
        print(f"{program}: {sum(len(names) for _, names in static)} static imports from "
              f"{', '.join(dll for dll, _ in static)}; delayed from {', '.join(dll for dll, _, _ in delayed) or 'none'}"
              f" ({sum(len(slots) for _, _, slots in delayed)} slots, each holding its thunk's address)")
    return findings


def main(argv):
    parser = argparse.ArgumentParser(usage=__doc__)
    parser.add_argument("--xp-missing")
    parser.add_argument("--known-dlls")
    parser.add_argument("--require", action="append", default=[])
    parser.add_argument("programs", nargs="+")
    options = parser.parse_args(argv[1:])
    missing_on_xp = {words[0] for words in listed(options.xp_missing)} if options.xp_missing else None
    known_dlls = ({words[0].lower(): words[1] if len(words) > 1 else None for words in listed(options.known_dlls)}
                  if options.known_dlls else None)
    required = [tuple(entry.split("!", 1)) for entry in options.require]
    failed = False
    for program in options.programs:
        for finding in check(program, missing_on_xp, known_dlls, required):
            print(finding)
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
