#!/usr/bin/env python3
"""Writes a MinGW delay-import library of a system DLL, made from the function list of the
toolchain's own import library of that DLL, so that a program linked with it keeps calling
the DLL's functions as declared while the DLL is loaded on first use, by the delay-load
helper (see platform/system_library_win32.h for where it is loaded from).

usage: delay_import_library.py NM DLLTOOL OBJCOPY IMPORT_LIBRARY DLL OUTPUT [--stdcall]

--stdcall (i686): the functions keep their @N decoration in the library's symbols and lose
it in the names imported from the DLL, as in the toolchain's import library.

Each function's member holds its slot (__imp_NAME, which the headers' dllimport makes every
call go through), and in one code section a jump stub (NAME) and the thunk that loads the
DLL, whose address the slot holds until the first call. GNU ld's i386 linker drops that code
section when nothing refers to the stub's symbol, and the slot is then left holding 0: the
program jumps to address 0 at its first call. The stubs' symbols are therefore made local
(in both builds, alike): the section stays with its slot, and a call that does not go
through __imp_ fails to link instead of failing at run time.
"""
import os
import subprocess
import sys


def imported_symbols(nm, import_library):
    """The symbols of the import library's __imp_ slots, __imp_ taken off."""
    listing = subprocess.run([nm, import_library], check=True, capture_output=True, text=True).stdout
    symbols = set()
    for line in listing.splitlines():
        fields = line.split()
        if len(fields) == 3 and fields[1] == "I" and fields[2].startswith("__imp_"):
            symbols.add(fields[2][len("__imp_"):])
    return sorted(symbols)


def main(argv):
    arguments = [argument for argument in argv[1:] if argument != "--stdcall"]
    if len(arguments) != 6:
        sys.exit(__doc__)
    nm, dlltool, objcopy, import_library, dll, output = arguments
    stdcall = "--stdcall" in argv
    stubs = imported_symbols(nm, import_library)
    if not stubs:
        sys.exit(f"delay_import_library.py: no functions in {import_library}")
    # The .def file lists names as the compiler spells them, without the i686 leading underscore.
    names = [stub[1:] for stub in stubs] if stdcall else stubs
    # dlltool names the library's members and its descriptor symbols after the output path as
    # given, and the symbols reach the program's symbol table: it runs in the output's folder
    # and is given bare file names, so that no build folder ends up in the program.
    folder, library = os.path.split(os.path.abspath(output))
    stem = os.path.splitext(library)[0]
    with open(os.path.join(folder, stem + ".def"), "w", encoding="ascii") as listing:
        listing.write(f"LIBRARY {dll}\nEXPORTS\n" + "".join(f"  {name}\n" for name in names))
    command = [dlltool, "--def", stem + ".def", "--dllname", dll, "--output-delaylib", library]
    if stdcall:
        command.append("--kill-at")
    subprocess.run(command, check=True, cwd=folder)
    with open(os.path.join(folder, stem + ".stubs"), "w", encoding="ascii") as listing:
        listing.write("".join(f"{stub}\n" for stub in stubs))
    subprocess.run([objcopy, f"--localize-symbols={stem}.stubs", library], check=True, cwd=folder)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
