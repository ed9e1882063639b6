#!/usr/bin/env python3
"""The import check refuses a program whose delay-import slot holds 0 (as GNU ld's i386 linker
left every slot of dlltool's delay-import libraries): a copy of PROGRAM with one slot emptied
must be refused, naming that function, and the program itself must pass.

usage: check_refuses_empty_delay_slot.py CHECK_PE_IMPORTS PROGRAM
"""
import importlib.util
import os
import shutil
import sys
import tempfile


def main():
    checker_path, program = sys.argv[1:3]
    spec = importlib.util.spec_from_file_location("check_pe_imports", checker_path)
    checker = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(checker)
    if checker.check(program, None, None, []):
        sys.exit(f"{program} itself is refused")
    image = checker.pefile.PE(program, fast_load=True)
    slots = [(dll, name, rva) for dll, _, found in checker.delay_imports(image) for name, rva, _ in found]
    if not slots:
        sys.exit(f"{program}: no delay-import slots found")
    dll, name, rva = slots[-1]
    offset = image.get_offset_from_rva(rva)
    width = 8 if image.OPTIONAL_HEADER.Magic == checker.pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS else 4
    with tempfile.TemporaryDirectory() as folder:
        emptied = os.path.join(folder, os.path.basename(program))
        shutil.copyfile(program, emptied)
        with open(emptied, "r+b") as copy:
            copy.seek(offset)
            copy.write(bytes(width))
        findings = checker.check(emptied, None, None, [])
    expected = f"delay-import slot of {dll}!{name} holds 0x0"
    if len(findings) != 1 or expected not in findings[0]:
        sys.exit(f"expected one finding with '{expected}', got {findings}")
    print(f"refused: {findings[0]}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
