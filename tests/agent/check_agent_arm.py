#!/usr/bin/env python3
"""Checks that the agent is ARM-state code for ARMv5TE, read with LLVM's tools:
no Thumb mapping symbols or Thumb functions in the linked ELF, an ARMv5TE CPU
attribute, 4-byte instructions only, import calls that interwork (blx through a
register, never blx to an immediate, which would switch to Thumb), and the PE's
code identical to the ELF's, starting at the ARM entry."""

import argparse
import re
import subprocess
import sys

CPU_ARCH_V5TE = 4  # Tag_CPU_arch: 4 = v5TE; later architectures have larger values
# "   11000: 10 40 2d e9  \tpush\t{r4, lr}": address, bytes, a tab, then the text.
INSTRUCTION = re.compile(r"^\s*([0-9a-f]+):\s+((?:[0-9a-f]{2} )*[0-9a-f]{2}) *\t(.*)$")


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def disassembly(objdump, *args):
    """Address -> (byte count, bytes, text) for every decoded line in .text."""
    lines = {}
    for line in run(objdump, "-d", "--section=.text", *args).splitlines():
        match = INSTRUCTION.match(line)
        if match:
            raw = match.group(2).split()
            lines[int(match.group(1), 16)] = (len(raw), "".join(raw), match.group(3) or "")
    return lines


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", default="llvm-objdump")
    parser.add_argument("--readobj", default="llvm-readobj")
    parser.add_argument("elf")
    parser.add_argument("exe")
    args = parser.parse_args()
    failures = []

    def expect(condition, message):
        if not condition:
            failures.append(message)

    # Symbols: mapping symbols $a (ARM) / $d (data) only; functions at even addresses.
    entry = None
    for line in run(args.objdump, "-t", args.elf).splitlines():
        fields = line.split()
        if len(fields) < 3 or not re.fullmatch(r"[0-9a-f]{8}", fields[0]):
            continue
        address, name = int(fields[0], 16), fields[-1]
        expect(not re.fullmatch(r"\$t(\..*)?", name), f"Thumb code mapping symbol at {address:#x}")
        if " F " in line:
            expect(address % 4 == 0, f"function {name} at {address:#x} is not ARM state")
        if name == "agent_entry":
            entry = address
    expect(entry is not None, "no agent_entry symbol in the ELF")
    header = run(args.objdump, "-f", args.elf)
    start = int(re.search(r"start address:? 0x([0-9a-f]+)", header).group(1), 16)
    expect(start == entry, f"ELF entry {start:#x} is not agent_entry")

    attributes = run(args.readobj, "-A", args.elf)  # ARM build attributes
    arch = re.search(r"Value: (\d+)\n\s*TagName: CPU_arch\n", attributes)
    expect(arch is not None and int(arch.group(1)) <= CPU_ARCH_V5TE,
           "CPU_arch attribute missing or newer than ARMv5TE")

    elf_code = disassembly(args.objdump, args.elf)
    expect(bool(elf_code), "nothing disassembled in the ELF's .text")
    register_calls = 0
    for address, (size, _, text) in sorted(elf_code.items()):
        expect(size == 4, f"{size}-byte instruction at {address:#x}: {text}")
        expect("<unknown>" not in text, f"undecodable word at {address:#x}")
        if re.match(r"blx\s+(#|0x)", text):
            failures.append(f"blx to an immediate (a Thumb target) at {address:#x}")
        if re.match(r"blx\s+r\d+|blx\s+(ip|lr)", text):
            register_calls += 1
    expect(register_calls >= 1, "no blx through a register: import calls do not interwork")

    # The PE's .text must be the same bytes, and its entry the same ARM instruction.
    pe_code = disassembly(args.objdump, "--triple=armv5te-none-eabi", args.exe)
    elf_bytes = {a: b for a, (_, b, _) in elf_code.items()}
    pe_bytes = {a: b for a, (_, b, _) in pe_code.items()}
    expect("".join(pe_bytes[a] for a in sorted(pe_bytes) if a in elf_bytes)
           == "".join(elf_bytes[a] for a in sorted(elf_bytes)) and set(elf_bytes) <= set(pe_bytes),
           "download.exe's .text differs from the linked ELF's")
    headers = run(args.readobj, "--file-headers", args.exe)
    image_base = int(re.search(r"ImageBase: (0x[0-9A-Fa-f]+)", headers).group(1), 16)
    entry_rva = int(re.search(r"AddressOfEntryPoint: (0x[0-9A-Fa-f]+)", headers).group(1), 16)
    expect(entry is not None and image_base + entry_rva == entry,
           f"PE entry {image_base + entry_rva:#x} is not agent_entry")

    for failure in failures:
        print(f"FAIL: {failure}")
    if not failures:
        print(f"{args.exe}: ARM-state ARMv5TE code, {register_calls} interworking calls")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
