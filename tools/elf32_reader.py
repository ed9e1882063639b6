"""Minimal reader for little-endian ELF32 executables (the linked handset agent).

Only what the PE writer needs: the header, the sections with their bytes, and the
symbol table. Standard library only, so it runs on every build host."""

import struct
from dataclasses import dataclass

EM_ARM = 40
ET_EXEC = 2
SHT_PROGBITS = 1
SHT_SYMTAB = 2
SHT_NOBITS = 8
SHF_WRITE = 0x1
SHF_ALLOC = 0x2
SHF_EXECINSTR = 0x4


class ElfError(Exception):
    pass


@dataclass
class Section:
    name: str
    type: int
    flags: int
    addr: int
    size: int
    data: bytes  # empty for NOBITS


@dataclass
class Symbol:
    name: str
    value: int
    size: int
    section_index: int


@dataclass
class Elf32:
    machine: int
    type: int
    entry: int
    sections: list
    symbols: list

    def alloc_sections(self):
        return [s for s in self.sections if s.flags & SHF_ALLOC and s.size]


def _cstring(table, offset):
    end = table.find(b"\0", offset)
    if end < 0:
        raise ElfError("unterminated string in string table")
    return table[offset:end].decode("ascii")


def parse(image: bytes) -> Elf32:
    if len(image) < 52 or image[:4] != b"\x7fELF":
        raise ElfError("not an ELF file")
    if image[4] != 1 or image[5] != 1:
        raise ElfError("not a little-endian ELF32 file")
    (e_type, e_machine, _version, e_entry, _phoff, e_shoff, _flags, _ehsize,
     _phentsize, _phnum, e_shentsize, e_shnum, e_shstrndx) = struct.unpack_from(
        "<HHIIIIIHHHHHH", image, 16)
    if e_shentsize != 40 or e_shoff + e_shnum * 40 > len(image):
        raise ElfError("section header table out of range")

    raw = [struct.unpack_from("<IIIIIIIIII", image, e_shoff + i * 40) for i in range(e_shnum)]

    def body(hdr):
        _name, sh_type, _flags, _addr, offset, size = hdr[:6]
        if sh_type == SHT_NOBITS:
            return b""
        if offset + size > len(image):
            raise ElfError("section data out of range")
        return image[offset:offset + size]

    names = body(raw[e_shstrndx])
    sections = [Section(_cstring(names, h[0]), h[1], h[2], h[3], h[5], body(h)) for h in raw]

    symbols = []
    for hdr, sec in zip(raw, sections):
        if sec.type != SHT_SYMTAB:
            continue
        strtab = body(raw[hdr[6]])  # sh_link names the string table
        for off in range(0, len(sec.data) - 15, 16):
            st_name, st_value, st_size, _info, _other, st_shndx = struct.unpack_from(
                "<IIIBBH", sec.data, off)
            symbols.append(Symbol(_cstring(strtab, st_name), st_value, st_size, st_shndx))

    return Elf32(e_machine, e_type, e_entry, sections, symbols)
