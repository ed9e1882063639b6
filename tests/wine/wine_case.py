"""Base of the Python tests that drive Windows programs under Wine: each test gets a work
folder and its own copy of the template prefix, and what it starts (handset, box watcher,
X display) is ended when it finishes. The prefix copy is removed then; the rest of the work
folder (traces, manifests, box logs) stays for a look after a failure.

CTest sets VELTRANE_WINE_TEMPLATE and VELTRANE_WINE_WORK (see wine_harness.cmake)."""
import os
import shutil
import unittest

from boxes import BoxWatcher
from handset import Handset
from virtual_display import VirtualDisplay, use_virtual_desktop
from wine_prefix import WinePrefix

TEMPLATE = os.environ.get("VELTRANE_WINE_TEMPLATE", "")
WORK = os.environ.get("VELTRANE_WINE_WORK", "")
PLANTED_DLLS = os.environ.get("PLANTED_DLLS", "")
# Wine takes its own DLL of these names wherever a file of the name lies, unless the load
# order prefers files ("n,b"): then it searches the folders as Windows does.
WINE_HAS_BUILTIN = ("gdiplus", "comctl32", "setupapi", "ws2_32", "winusb")


class WineTestCase(unittest.TestCase):
    def setUp(self):
        self.work = os.path.join(WORK, self.id().rsplit(".", 2)[-2] + "." + self._testMethodName)
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        self.prefix = WinePrefix.clone(TEMPLATE, os.path.join(self.work, "prefix"))
        self.addCleanup(self.prefix.remove)

    def start_handset(self, *options, name="handset"):
        handset = Handset(os.path.join(self.work, name), *options)
        self.addCleanup(handset.stop, 0)
        return handset

    def watch_boxes(self):
        watcher = BoxWatcher(self.prefix, self.work)
        self.addCleanup(watcher.close)
        self.addCleanup(self.prefix.stop)  # cleanups run last-in first: the prefix ends first
        return watcher

    def plant_dlls(self, *folders):
        """Puts the DLLs that must never be loaded (tests/wine/planted_dll.c) into each folder
        and makes Wine search for them as Windows does; returns the folder where each one that
        gets loaded leaves a file of its name, which the program's environment must name
        (VELTRANE_DLL_MARKERS). The stand-ins keep their "n" order."""
        for folder in folders:
            for name in os.listdir(PLANTED_DLLS):
                shutil.copy2(os.path.join(PLANTED_DLLS, name), folder)
        ordered = {override.split("=")[0] for override in self.prefix.dll_overrides}
        self.prefix.dll_overrides += [f"{name}=n,b" for name in WINE_HAS_BUILTIN if name not in ordered]
        marks = os.path.join(self.work, "dll-marks")
        os.makedirs(marks)
        return marks

    def assert_no_planted_dll_loaded(self, marks):
        self.assertEqual(sorted(os.listdir(marks)), [], "planted DLLs were loaded")

    def use_display(self):
        display = VirtualDisplay()
        self.addCleanup(display.close)
        self.addCleanup(self.prefix.stop)
        use_virtual_desktop(self.prefix, display)
        return display
