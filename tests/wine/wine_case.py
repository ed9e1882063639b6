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

    def use_display(self):
        display = VirtualDisplay()
        self.addCleanup(display.close)
        self.addCleanup(self.prefix.stop)
        use_virtual_desktop(self.prefix, display)
        return display
