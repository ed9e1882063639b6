#!/usr/bin/env python3
"""Runs one Windows test program under Wine in a prefix of its own, set up as asked:

  wine_run.py [--version winxp|vista|win7] [--display] [--boxes]
              [--handset DEVICE [--handset-option OPT]...] [--beside FILE]... [--override DLL=n]...
              -- PROGRAM [ARGS...]

--handset starts handset-sim and links the device name DEVICE to it (the program finds the
name in VELTRANE_HANDSET_DEVICE); --boxes starts the box watcher (its log in VELTRANE_BOX_LOG);
--beside copies the program and the files named (stand-in DLLs) into one folder and runs it
from there. Exits with the program's status. Registered by veltrane_add_wine_test."""
import argparse
import os
import shutil
import sys

from boxes import BoxWatcher
from handset import Handset
from virtual_display import VirtualDisplay, use_virtual_desktop
from wine_prefix import WinePrefix, windows_path


def parse(argv):
    parser = argparse.ArgumentParser()
    parser.add_argument("--version")
    parser.add_argument("--display", action="store_true")
    parser.add_argument("--boxes", action="store_true")
    parser.add_argument("--handset")
    parser.add_argument("--handset-option", action="append", default=[])
    parser.add_argument("--beside", action="append", default=[])
    parser.add_argument("--override", action="append", default=[])
    parser.add_argument("program", nargs=argparse.REMAINDER)
    options = parser.parse_args(argv)
    if options.program[:1] == ["--"]:
        options.program = options.program[1:]
    if not options.program:
        parser.error("no program")
    return options


def main(argv):
    options = parse(argv)
    work = os.environ["VELTRANE_WINE_WORK"]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    prefix = WinePrefix.clone(os.environ["VELTRANE_WINE_TEMPLATE"], os.path.join(work, "prefix"))
    prefix.dll_overrides = options.override
    ends = [prefix.remove]  # run last-in first
    env = {}
    try:
        if options.version:
            prefix.set_windows_version(options.version)
        if options.display:
            display = VirtualDisplay()
            ends.append(display.close)
            use_virtual_desktop(prefix, display)
        if options.handset:
            handset = Handset(os.path.join(work, "handset"), *options.handset_option)
            ends.append(lambda: handset.stop(0))
            prefix.link_device(options.handset, handset.link)
            env["VELTRANE_HANDSET_DEVICE"] = options.handset
        if options.boxes:
            watcher = BoxWatcher(prefix, work)
            ends.append(watcher.close)
            env["VELTRANE_BOX_LOG"] = windows_path(watcher.log)
        program = options.program[0]
        if options.beside:
            folder = os.path.join(work, "bin")
            os.makedirs(folder)
            for file in [program, *options.beside]:
                shutil.copy2(file, folder)
            program = os.path.join(folder, os.path.basename(program))
        status, out, err = prefix.run([program, *options.program[1:]], cwd=work, env=env)
        sys.stdout.write(out)
        sys.stderr.write(err)
        return status
    finally:
        prefix.stop()
        for end in reversed(ends):
            end()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
