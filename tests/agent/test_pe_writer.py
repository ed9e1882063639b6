#!/usr/bin/env python3
"""The PE writer refuses ELF input it cannot turn into a sound CE image, instead of
writing a broken download.exe; its ELF reader agrees with binutils on the real agent.

usage: test_pe_writer.py TOOLS_DIR AGENT_ELF OBJCOPY [unittest options]"""

import os
import subprocess
import sys
import tempfile
import unittest

TOOLS_DIR, AGENT_ELF, OBJCOPY = sys.argv[1:4]
sys.path.insert(0, TOOLS_DIR)

import elf32_reader as elf  # noqa: E402
import wince_pe_writer as writer  # noqa: E402

TEXT, ALLOC_X = elf.SHT_PROGBITS, elf.SHF_ALLOC | elf.SHF_EXECINSTR
ALLOC_W = elf.SHF_ALLOC | elf.SHF_WRITE


def image(entry=0x11000, sections=None, imports=("KernelIoControl", "RegCloseKey")):
    """A linked agent as the reader returns it: .text at 0x11000, IAT in .idata at 0x12000."""
    if sections is None:
        sections = [
            elf.Section(".text", TEXT, ALLOC_X, 0x11000, 8, b"\x1e\xff\x2f\xe1" * 2),
            elf.Section(".idata", TEXT, ALLOC_W, 0x12000, 4 * (len(imports) + 1),
                        bytes(4 * (len(imports) + 1))),
        ]
    symbols = [elf.Symbol("__imp_" + name, 0x12000 + 4 * i, 4, 2) for i, name in enumerate(imports)]
    return elf.Elf32(elf.EM_ARM, elf.ET_EXEC, entry, sections, symbols)


class RejectsUnsoundInput(unittest.TestCase):
    def assertRejected(self, img, fragment):
        with self.assertRaises(writer.PeError) as raised:
            writer.build(img)
        self.assertIn(fragment, str(raised.exception))

    def test_baseline_is_accepted(self):
        self.assertEqual(writer.build(image())[:2], b"MZ")

    def test_entry_must_be_arm_state_inside_text(self):
        self.assertRejected(image(entry=0x11001), "Thumb")
        self.assertRejected(image(entry=0x11008), "outside .text")

    def test_input_must_be_a_linked_arm_executable(self):
        img = image()
        img.machine = 3  # i386
        self.assertRejected(img, "not a linked ARM executable")
        img = image()
        img.type = 1  # relocatable object
        self.assertRejected(img, "not a linked ARM executable")

    def test_every_allocated_section_needs_its_own_page(self):
        img = image()
        img.sections.insert(1, elf.Section(".got", TEXT, ALLOC_W, 0x13000, 4, bytes(4)))
        self.assertRejected(img, ".got has no place")
        img = image()
        img.sections[1].addr = 0x12004
        self.assertRejected(img, "not on a free page")
        img = image()
        img.sections[0].size = 0x1004  # runs into .idata's page
        self.assertRejected(img, "not on a free page")

    def test_idata_must_come_last_and_hold_only_the_table(self):
        img = image()
        img.sections.append(elf.Section(".data", TEXT, ALLOC_W, 0x13000, 4, bytes(4)))
        self.assertRejected(img, "must end with .idata")
        img = image()
        img.sections[1].size += 4
        img.sections[1].data += bytes(4)
        self.assertRejected(img, "only the zeroed slots")
        img = image()
        img.sections[1].data = b"\1" + img.sections[1].data[1:]
        self.assertRejected(img, "only the zeroed slots")

    def test_import_slots_must_be_contiguous(self):
        img = image()
        img.symbols[1].value += 4
        self.assertRejected(img, "contiguous")
        self.assertRejected(image(imports=()), "imports nothing")

    def test_reader_refuses_what_is_not_little_endian_elf32(self):
        with self.assertRaises(elf.ElfError):
            elf.parse(b"MZ" + bytes(100))
        with open(AGENT_ELF, "rb") as handle:
            real = bytearray(handle.read())
        real[5] = 2  # big-endian
        with self.assertRaises(elf.ElfError):
            elf.parse(bytes(real))
        with self.assertRaises(elf.ElfError):
            elf.parse(bytes(real[:200]))


class ReadsTheRealAgent(unittest.TestCase):
    def test_sections_and_import_symbols_match_binutils(self):
        with open(AGENT_ELF, "rb") as handle:
            parsed = elf.parse(handle.read())
        imports = sorted(s.name for s in parsed.symbols if s.name.startswith("__imp_"))
        self.assertEqual(imports, sorted("__imp_" + n for n in (
            "KernelIoControl", "RegOpenKeyExW", "RegSetValueExW", "RegCloseKey", "MessageBoxW")))
        with tempfile.TemporaryDirectory() as scratch:
            for sec in parsed.alloc_sections():
                dump = os.path.join(scratch, sec.name.lstrip(".") + ".bin")
                subprocess.run([OBJCOPY, "-O", "binary", "-j", sec.name, AGENT_ELF, dump],
                               check=True)
                with open(dump, "rb") as handle:
                    self.assertEqual(sec.data, handle.read(), sec.name)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]] + sys.argv[4:])
