#!/usr/bin/env python3
"""Wraps the linked handset agent (an ARM ELF32 at a fixed address) into a Windows CE
executable: PE32 for machine 0x01C2, GUI subsystem 9, image base 0x00010000.

Each allocated ELF section maps 1:1 to a PE section at RVA = address - image base;
the .idata section holds the import address table (the __imp_ symbols) and gets the
COREDLL import directory appended.

Relocations are stripped on purpose: Windows CE maps every executable at 0x00010000 in
its own process slot, so the image is never rebased and needs no .reloc section.

Standard library only: it runs on the build host of every preset, MinGW ones included."""

import argparse
import os
import struct
import sys

import elf32_reader as elf
import pe_imports

IMAGE_BASE = 0x00010000
SECTION_ALIGNMENT = 0x1000
FILE_ALIGNMENT = 0x200
HEADERS_SIZE = 0x200
PE_OFFSET = 0x40

MACHINE_THUMB = 0x01C2  # ARM with ARM/Thumb interworking, as Windows CE names it
SUBSYSTEM_WINDOWS_CE_GUI = 9
SUBSYSTEM_VERSION = (5, 2)  # Windows Mobile 6 runs CE 5.2
# RELOCS_STRIPPED | EXECUTABLE_IMAGE | LINE_NUMS_STRIPPED | LOCAL_SYMS_STRIPPED | 32BIT_MACHINE
FILE_CHARACTERISTICS = 0x0001 | 0x0002 | 0x0004 | 0x0008 | 0x0100

CODE, INIT_DATA, UNINIT_DATA = 0x20, 0x40, 0x80
EXECUTE, READ, WRITE = 0x20000000, 0x40000000, 0x80000000
SECTION_FLAGS = {
    ".text": CODE | EXECUTE | READ,
    ".rdata": INIT_DATA | READ,
    ".data": INIT_DATA | READ | WRITE,
    ".bss": UNINIT_DATA | READ | WRITE,
    ".idata": INIT_DATA | READ | WRITE,  # the loader writes the resolved addresses
}
IMPORT_PREFIX = "__imp_"
DIR_IMPORT, DIR_IAT = 1, 12


class PeError(Exception):
    pass


def _align(value, alignment):
    return (value + alignment - 1) & ~(alignment - 1)


def _check_elf(image):
    if image.machine != elf.EM_ARM or image.type != elf.ET_EXEC:
        raise PeError("input is not a linked ARM executable")
    if image.entry & 1:
        raise PeError("entry point is Thumb code; the agent's entry must be ARM state")
    sections = sorted(image.alloc_sections(), key=lambda s: s.addr)
    previous_end = IMAGE_BASE + SECTION_ALIGNMENT
    for sec in sections:
        if sec.name not in SECTION_FLAGS:
            raise PeError(f"section {sec.name} has no place in the image; fix the linker script")
        if sec.addr % SECTION_ALIGNMENT or sec.addr < previous_end:
            raise PeError(f"section {sec.name} at {sec.addr:#x} is not on a free page")
        if (sec.type == elf.SHT_NOBITS) != (sec.name == ".bss"):
            raise PeError(f"section {sec.name} has unexpected type {sec.type}")
        previous_end = sec.addr + sec.size
    names = [s.name for s in sections]
    if ".text" not in names or not names or names[-1] != ".idata":
        raise PeError("the image needs .text and must end with .idata")
    text = sections[names.index(".text")]
    if not text.addr <= image.entry < text.addr + text.size:
        raise PeError(f"entry point {image.entry:#x} lies outside .text")
    return sections


def _imports(image, idata):
    slots = sorted((s for s in image.symbols if s.name.startswith(IMPORT_PREFIX)),
                   key=lambda s: s.value)
    if not slots:
        raise PeError("no __imp_ symbols: the agent imports nothing")
    for index, sym in enumerate(slots):
        if sym.value != idata.addr + 4 * index:
            raise PeError(f"{sym.name} breaks the contiguous import address table")
    # The table is the whole ELF .idata: the slots and one zero word ending it.
    if idata.size != 4 * (len(slots) + 1) or any(idata.data):
        raise PeError(".idata must hold only the zeroed slots and the ending zero word")
    return [s.name[len(IMPORT_PREFIX):] for s in slots]


def _checksum(data, checksum_offset):
    total = 0
    padded = data + b"\0" * (len(data) % 2)
    for (word,) in struct.iter_unpack("<H", padded):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    # The checksum field itself counts as zero.
    for (word,) in struct.iter_unpack("<H", data[checksum_offset:checksum_offset + 4]):
        total -= word
        if total < 0:
            total += 0xFFFF
    total = (total & 0xFFFF) + (total >> 16)
    return (total & 0xFFFF) + len(data)


def build(image, dll_name="COREDLL.dll", timestamp=0):
    sections = _check_elf(image)
    idata = sections[-1]
    names = _imports(image, idata)
    iat_rva = idata.addr - IMAGE_BASE
    iat, tail, import_rva, import_size = pe_imports.build(iat_rva, names, dll_name)

    layout = []  # (name, rva, virtual size, raw bytes, characteristics)
    for sec in sections:
        data = iat + tail if sec is idata else sec.data
        size = len(data) if sec is idata else sec.size
        layout.append((sec.name, sec.addr - IMAGE_BASE, size, data, SECTION_FLAGS[sec.name]))
    if PE_OFFSET + 4 + 20 + 224 + 40 * len(layout) > HEADERS_SIZE:
        raise PeError("too many sections for the header page")

    table = b""
    body = b""
    file_offset = HEADERS_SIZE
    size_of = {CODE: 0, INIT_DATA: 0, UNINIT_DATA: 0}
    for name, rva, vsize, data, flags in layout:
        raw_size = _align(len(data), FILE_ALIGNMENT)
        pointer = file_offset if raw_size else 0
        table += struct.pack("<8sIIIIIIHHI", name.encode("ascii"), vsize, rva, raw_size,
                             pointer, 0, 0, 0, 0, flags)
        body += data + b"\0" * (raw_size - len(data))
        file_offset += raw_size
        kind = flags & (CODE | INIT_DATA | UNINIT_DATA)
        size_of[kind] += raw_size if kind != UNINIT_DATA else _align(vsize, FILE_ALIGNMENT)

    entry_rva = image.entry - IMAGE_BASE
    base_of_code = next(rva for name, rva, *_ in layout if name == ".text")
    base_of_data = next((rva for _, rva, _, _, flags in layout if not flags & CODE), 0)
    last = layout[-1]
    size_of_image = _align(last[1] + last[2], SECTION_ALIGNMENT)

    directories = [(0, 0)] * 16
    directories[DIR_IMPORT] = (import_rva, import_size)
    directories[DIR_IAT] = (iat_rva, len(iat))

    optional = struct.pack(
        "<HBBIIIIIII" "IIHHHHHHIIII" "HHIIIIII",
        0x10B, 0, 0, size_of[CODE], size_of[INIT_DATA], size_of[UNINIT_DATA],
        entry_rva, base_of_code, base_of_data, IMAGE_BASE,
        SECTION_ALIGNMENT, FILE_ALIGNMENT, *SUBSYSTEM_VERSION, 0, 0, *SUBSYSTEM_VERSION,
        0, size_of_image, HEADERS_SIZE, 0,
        SUBSYSTEM_WINDOWS_CE_GUI, 0, 0x10000, 0x1000, 0x100000, 0x1000, 0, 16)
    optional += b"".join(struct.pack("<II", *d) for d in directories)
    coff = struct.pack("<HHIIIHH", MACHINE_THUMB, len(layout), timestamp, 0, 0,
                       len(optional), FILE_CHARACTERISTICS)

    dos = bytearray(PE_OFFSET)
    dos[0:2] = b"MZ"
    struct.pack_into("<I", dos, 0x3C, PE_OFFSET)
    headers = bytes(dos) + b"PE\0\0" + coff + optional + table
    headers += b"\0" * (HEADERS_SIZE - len(headers))

    out = bytearray(headers + body)
    checksum_offset = PE_OFFSET + 4 + 20 + 64
    struct.pack_into("<I", out, checksum_offset, _checksum(bytes(out), checksum_offset))
    return bytes(out)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("elf", help="linked ARM ELF32 agent")
    parser.add_argument("output", help="Windows CE executable to write")
    parser.add_argument("--dll", default="COREDLL.dll", help="DLL that serves every import")
    args = parser.parse_args(argv)

    # Reproducible output unless the build asks for a date.
    timestamp = int(os.environ.get("SOURCE_DATE_EPOCH", "0")) & 0xFFFFFFFF
    try:
        with open(args.elf, "rb") as handle:
            pe = build(elf.parse(handle.read()), args.dll, timestamp)
    except (OSError, elf.ElfError, PeError) as error:
        print(f"wince_pe_writer: {error}", file=sys.stderr)
        return 1
    # Write beside the target and rename, so a failed run never leaves a partial image.
    temporary = args.output + ".tmp"
    with open(temporary, "wb") as handle:
        handle.write(pe)
    os.replace(temporary, args.output)
    return 0


if __name__ == "__main__":
    sys.exit(main())
