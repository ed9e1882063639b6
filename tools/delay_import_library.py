#!/usr/bin/env python3
"""Writes a MinGW delay-import library of a system DLL, made from the function list of the
toolchain's own import library of that DLL, so that a program linked with it keeps calling
the DLL's functions as declared while the DLL is loaded on first use, by the delay-load
helper (see platform/system_library_win32.h for where it is loaded from).

usage: delay_import_library.py NM DLLTOOL IMPORT_LIBRARY DLL OUTPUT [--stdcall]

--stdcall (i686): the functions keep their @N decoration in the library's symbols and lose
it in the names imported from the DLL, as in the toolchain's import library.
"""
import os
import subprocess
import sys


def functions(nm, import_library, stdcall):
    """The names of the import library's __imp_ slots, as a .def file lists them."""
    listing = subprocess.run([nm, import_library], check=True, capture_output=True, text=True).stdout
    names = set()
    for line in listing.splitlines():
        fields = line.split()
        if len(fields) != 3 or fields[1] != "I" or not fields[2].startswith("__imp_"):
            continue
        name = fields[2][len("__imp_"):]
        if stdcall:
            name = name[1:]  # i686 symbols carry a leading underscore
        names.add(name)
    return sorted(names)


def main(argv):
    arguments = [argument for argument in argv[1:] if argument != "--stdcall"]
    if len(arguments) != 5:
        sys.exit(__doc__)
    nm, dlltool, import_library, dll, output = arguments
    stdcall = "--stdcall" in argv
    names = functions(nm, import_library, stdcall)
    if not names:
        sys.exit(f"delay_import_library.py: no functions in {import_library}")
    # dlltool names the library's members and its descriptor symbols after the output path as
    # given, and the symbols reach the program's symbol table: it runs in the output's folder
    # and is given bare file names, so that no build folder ends up in the program.
    folder, library = os.path.split(os.path.abspath(output))
    definition = os.path.splitext(library)[0] + ".def"
    with open(os.path.join(folder, definition), "w", encoding="ascii") as listing:
        listing.write(f"LIBRARY {dll}\nEXPORTS\n" + "".join(f"  {name}\n" for name in names))
    command = [dlltool, "--def", definition, "--dllname", dll, "--output-delaylib", library]
    if stdcall:
        command.append("--kill-at")
    subprocess.run(command, check=True, cwd=folder)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
