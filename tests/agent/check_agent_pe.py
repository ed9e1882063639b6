#!/usr/bin/env python3
"""Checks download.exe as the Windows CE loader will see it, read by a PE reader we did
not write: llvm-readobj (--reader readobj) or python3-pefile (--reader pefile)."""

import argparse
import os
import re
import subprocess
import sys

EXPECTED_IMPORTS = {"KernelIoControl", "RegOpenKeyExW", "RegSetValueExW", "RegCloseKey",
                    "MessageBoxW"}
RELOCS_STRIPPED = 0x0001
EXECUTABLE_IMAGE = 0x0002
FILE_CHARACTERISTICS = 0x010F  # relocs, line numbers, local symbols stripped; exe; 32-bit
SCN_CODE, SCN_EXECUTE, SCN_WRITE = 0x20, 0x20000000, 0x80000000
DYNAMIC_BASE = 0x0040


def read_with_pefile(path):
    import pefile
    pe = pefile.PE(path)
    opt = pe.OPTIONAL_HEADER
    dirs = opt.DATA_DIRECTORY
    imports = []
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        for imp in entry.imports:
            imports.append((entry.dll.decode(), imp.name.decode() if imp.name else None))
    return {
        "machine": pe.FILE_HEADER.Machine,
        "characteristics": pe.FILE_HEADER.Characteristics,
        "magic": opt.Magic,
        "entry": opt.AddressOfEntryPoint,
        "image_base": opt.ImageBase,
        "section_alignment": opt.SectionAlignment,
        "file_alignment": opt.FileAlignment,
        "subsystem": opt.Subsystem,
        "subsystem_version": (opt.MajorSubsystemVersion, opt.MinorSubsystemVersion),
        "size_of_image": opt.SizeOfImage,
        "size_of_headers": opt.SizeOfHeaders,
        "dll_characteristics": opt.DllCharacteristics,
        "reloc_dir": (dirs[5].VirtualAddress, dirs[5].Size),
        "iat_dir": (dirs[12].VirtualAddress, dirs[12].Size),
        "sections": [{
            "name": s.Name.rstrip(b"\0").decode(),
            "rva": s.VirtualAddress, "vsize": s.Misc_VirtualSize,
            "raw_ptr": s.PointerToRawData, "raw_size": s.SizeOfRawData,
            "flags": s.Characteristics} for s in pe.sections],
        "imports": imports,
        "checksum": (opt.CheckSum, pe.generate_checksum()),
        "warnings": pe.get_warnings(),
    }


def _field(text, name):
    match = re.search(rf"^\s*{name}: (\S+)", text, re.MULTILINE)
    if not match:
        raise AssertionError(f"llvm-readobj printed no {name}")
    return int(match.group(1), 0)


def _blocks(text, opener):
    """Bodies of the top-level `opener {` ... `}` blocks of llvm-readobj's output."""
    return re.findall(rf"^  {opener} \{{\n(.*?)^  \}}", text, re.MULTILINE | re.DOTALL)


def read_with_readobj(readobj, path):
    text = subprocess.run([readobj, "--file-headers", "--sections", "--coff-imports", path],
                          check=True, capture_output=True, text=True).stdout
    machine = re.search(r"Machine: \S+ \((0x[0-9A-Fa-f]+)\)", text)
    characteristics = re.search(r"ImageFileHeader \{.*?Characteristics \[ \((0x[0-9A-Fa-f]+)\)",
                                text, re.DOTALL)
    dll_characteristics = re.search(r"ImageOptionalHeader \{.*?Characteristics \[ \((0x[0-9A-Fa-f]+)\)",
                                    text, re.DOTALL)
    sections = []
    for body in _blocks(text, "Section"):
        sections.append({
            "name": re.search(r"Name: (\S+)", body).group(1),
            "rva": _field(body, "VirtualAddress"), "vsize": _field(body, "VirtualSize"),
            "raw_ptr": _field(body, "PointerToRawData"), "raw_size": _field(body, "RawDataSize"),
            "flags": int(re.search(r"Characteristics \[ \((0x[0-9A-Fa-f]+)\)", body).group(1), 16),
        })
    imports = []
    for body in re.findall(r"^Import \{\n(.*?)^\}", text, re.MULTILINE | re.DOTALL):
        dll = re.search(r"Name: (\S+)", body).group(1)
        for symbol in re.findall(r"Symbol: (.*)", body):
            # A by-name import prints "Name (hint)"; an ordinal one prints no name.
            named = re.match(r"([A-Za-z_]\w*) \(\d+\)$", symbol.strip())
            imports.append((dll, named.group(1) if named else None))
    return {
        "machine": int(machine.group(1), 16),
        "characteristics": int(characteristics.group(1), 16),
        "magic": _field(text, "Magic"),
        "entry": _field(text, "AddressOfEntryPoint"),
        "image_base": _field(text, "ImageBase"),
        "section_alignment": _field(text, "SectionAlignment"),
        "file_alignment": _field(text, "FileAlignment"),
        "subsystem": int(re.search(r"Subsystem: \S+ \((0x[0-9A-Fa-f]+)\)", text).group(1), 16),
        "subsystem_version": (_field(text, "MajorSubsystemVersion"),
                              _field(text, "MinorSubsystemVersion")),
        "size_of_image": _field(text, "SizeOfImage"),
        "size_of_headers": _field(text, "SizeOfHeaders"),
        "dll_characteristics": int(dll_characteristics.group(1), 16),
        "reloc_dir": (_field(text, "BaseRelocationTableRVA"), _field(text, "BaseRelocationTableSize")),
        "iat_dir": (_field(text, "IATRVA"), _field(text, "IATSize")),
        "sections": sections,
        "imports": imports,
    }


def check(pe, file_size):
    failures = []

    def expect(condition, message):
        if not condition:
            failures.append(message)

    expect(pe["machine"] == 0x1C2, f"machine {pe['machine']:#x}, want 0x1C2")
    expect(pe["magic"] == 0x10B, f"optional header magic {pe['magic']:#x}, want PE32 0x10B")
    expect(pe["subsystem"] == 9, f"subsystem {pe['subsystem']}, want 9 (Windows CE GUI)")
    expect(pe["subsystem_version"] == (5, 2),
           f"subsystem version {pe['subsystem_version']}, want 5.02 (Windows Mobile 6)")
    expect(pe["image_base"] == 0x10000, f"image base {pe['image_base']:#x}, want 0x10000")
    expect(pe["section_alignment"] == 0x1000, "section alignment is not 0x1000")
    expect(pe["file_alignment"] == 0x200, "file alignment is not 0x200")
    expect(pe["characteristics"] == FILE_CHARACTERISTICS,
           f"file characteristics {pe['characteristics']:#x}, want {FILE_CHARACTERISTICS:#x}")
    # Stripped relocations are only sound with nothing that asks for rebasing.
    expect(pe["reloc_dir"] == (0, 0), "relocations stripped, yet a relocation directory exists")
    expect(not pe["dll_characteristics"] & DYNAMIC_BASE, "dynamic base set without relocations")

    sections = pe["sections"]
    expect(bool(sections), "no sections")
    previous_end = pe["size_of_headers"]
    for s in sections:
        name = s["name"]
        expect(s["rva"] % 0x1000 == 0, f"{name} RVA {s['rva']:#x} not section-aligned")
        expect(s["rva"] >= previous_end, f"{name} overlaps what precedes it")
        previous_end = s["rva"] + s["vsize"]
        expect(s["raw_ptr"] % 0x200 == 0, f"{name} raw data not file-aligned")
        expect(s["raw_ptr"] + s["raw_size"] <= file_size, f"{name} raw data runs past the file")
        expect(s["raw_size"] == 0 or s["raw_ptr"] >= pe["size_of_headers"],
               f"{name} raw data overlaps the headers")
    if sections:
        end = max(s["rva"] + s["vsize"] for s in sections)
        expect(pe["size_of_image"] >= end and pe["size_of_image"] % 0x1000 == 0,
               f"size of image {pe['size_of_image']:#x} does not cover the sections")

    entry_sections = [s for s in sections if s["rva"] <= pe["entry"] < s["rva"] + s["vsize"]]
    expect(len(entry_sections) == 1 and entry_sections[0]["flags"] & SCN_CODE
           and entry_sections[0]["flags"] & SCN_EXECUTE,
           f"entry point {pe['entry']:#x} is not inside an executable code section")
    expect(pe["entry"] % 4 == 0, "entry point is not a word-aligned ARM address")

    dlls = {dll.upper() for dll, _ in pe["imports"]}
    expect(dlls == {"COREDLL.DLL"}, f"imports come from {sorted(dlls)}, want COREDLL.dll only")
    names = [name for _, name in pe["imports"]]
    expect(None not in names, "an import is by ordinal, want every import by name")
    expect(sorted(n for n in names if n) == sorted(EXPECTED_IMPORTS),
           f"imports {sorted(n for n in names if n)}, want {sorted(EXPECTED_IMPORTS)}")
    iat_rva, iat_size = pe["iat_dir"]
    expect(iat_size == 4 * (len(names) + 1), "IAT size does not match the imports")
    iat_home = [s for s in sections if s["rva"] <= iat_rva < s["rva"] + s["vsize"]]
    expect(len(iat_home) == 1 and iat_home[0]["flags"] & SCN_WRITE,
           "the loader cannot write the import address table")

    if "checksum" in pe:
        stored, computed = pe["checksum"]
        expect(stored == computed, f"checksum {stored:#x}, pefile computes {computed:#x}")
        expect(not [w for w in pe["warnings"] if "truncat" not in w.lower() or "0x00" not in w],
               f"pefile warnings: {pe['warnings']}")
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--reader", choices=["readobj", "pefile"], required=True)
    parser.add_argument("--readobj", default="llvm-readobj")
    parser.add_argument("exe")
    args = parser.parse_args()

    if args.reader == "pefile":
        pe = read_with_pefile(args.exe)
    else:
        pe = read_with_readobj(args.readobj, args.exe)
    failures = check(pe, os.path.getsize(args.exe))
    for failure in failures:
        print(f"FAIL: {failure}")
    if not failures:
        print(f"{args.exe}: PE fields as expected ({args.reader})")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
