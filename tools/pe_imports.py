"""Import directory for a single DLL, laid out after an existing import address table.

The IAT itself comes from the linked agent (one word per __imp_ symbol, then a zero
word); this module writes its initial contents and the tables the loader walks to
resolve each slot by name."""

import struct

DESCRIPTOR_SIZE = 20


def _align(value, alignment):
    return (value + alignment - 1) & ~(alignment - 1)


def build(iat_rva, names, dll_name):
    """Returns (iat_bytes, tail_bytes, directory_rva, directory_size).

    tail_bytes is meant to sit at iat_rva + len(iat_bytes); directory_rva and
    directory_size describe the import descriptors inside it."""
    if not names:
        raise ValueError("no imports")
    slots = len(names) + 1
    iat_size = slots * 4
    tail_rva = _align(iat_rva + iat_size, 4)
    pad = tail_rva - (iat_rva + iat_size)

    descriptors_rva = tail_rva
    ilt_rva = descriptors_rva + 2 * DESCRIPTOR_SIZE  # one DLL, then an all-zero end entry
    hint_names_rva = ilt_rva + iat_size

    hint_names = bytearray()
    name_rvas = []
    for name in names:
        name_rvas.append(hint_names_rva + len(hint_names))
        # Hint 0: the loader falls back to a by-name search of COREDLL's exports.
        hint_names += struct.pack("<H", 0) + name.encode("ascii") + b"\0"
        if len(hint_names) % 2:
            hint_names += b"\0"  # each entry starts on an even address
    dll_name_rva = hint_names_rva + len(hint_names)

    thunks = b"".join(struct.pack("<I", rva) for rva in name_rvas) + b"\0" * 4
    descriptor = struct.pack("<IIIII", ilt_rva, 0, 0, dll_name_rva, iat_rva)
    tail = (b"\0" * pad + descriptor + b"\0" * DESCRIPTOR_SIZE + thunks + bytes(hint_names)
            + dll_name.encode("ascii") + b"\0")
    return thunks, tail, descriptors_rva, 2 * DESCRIPTOR_SIZE
