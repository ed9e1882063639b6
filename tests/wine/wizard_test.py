"""Veltrane.exe's wizard under Wine, driven as an operator drives it (xdotool on a virtual
desktop): the access password and its refusals, service mode, the notice page's messages,
and a whole run against the simulated handset on the Windows XP road. Screenshots of each
page stay in the test's work folder (wine-work/wizard/...) for a person to look at."""
import os
import shutil
import subprocess
import sys

from flash_case import EVERY_IMAGE, SOURCE, PackedProgramCase
from registry_devices import PORTS_CLASS, declare_device
from wizard_driver import NEXT, ACCEPT, PASSWORD, UNLOCK_KEYS, WizardDriver

VELTRANE_EXE = os.environ.get("VELTRANE_EXE", "")
SYNC_DEVICE = "USB\\VID_0BB4&PID_00CE\\0001"


class Wizard(PackedProgramCase):
    PROGRAM = VELTRANE_EXE
    NAME = "Veltrane.exe"

    def setUp(self):
        super().setUp()
        self.prefix.set_windows_version("winxp")
        display = self.use_display()
        self.boxes = self.watch_boxes()
        folder = os.path.join(self.work, "run")
        os.makedirs(folder)
        shutil.copy2(self.packed, folder)
        with open(os.path.join(folder, "a.ini"), "w") as ini:
            ini.write(EVERY_IMAGE)
        self.wizard = WizardDriver(self.prefix, display, folder, self.work)
        self.addCleanup(self.wizard.stop)

    def start(self):
        self.wizard.start(os.path.join(self.work, "veltrane.out"))

    def test_only_the_exact_password_opens_and_the_version_gate_follows(self):
        for typed in ["3kp5RM2V6Q", PASSWORD + " "]:
            self.start()
            self.wizard.unlock(password=typed)
            self.assertEqual(self.wizard.program.wait(timeout=60), 1)
        self.assertEqual(self.boxes.wait_for(2, 10), [("warning", "not correct password")] * 2)
        self.prefix.set_windows_version("win10")
        self.start()
        self.wizard.unlock()
        self.assertEqual(self.wizard.program.wait(timeout=60), 1)
        self.assertEqual(self.boxes.wait_for(3, 10)[2], ("Warning", "Not VISTA,win 7"))

    def test_service_mode_shows_its_option_boxes_and_their_rule(self):
        self.start()
        self.wizard.screenshot("password")
        self.wizard.unlock(password="", keys=UNLOCK_KEYS)
        self.wizard.wait_for_window("Veltrane")
        shot = self.wizard.screenshot("service-notice")
        # The qcsbl box's own colour at its place in the bottom band; no box outside service mode.
        self.assertEqual(self.wizard.pixel(shot, 180, 440), "srgb(125,150,0)")
        # With "Erased" down, unticking AMSS is undone at once; unticking "Win" stays.
        for x in (105, 286, 426):  # Erased, AMSS, Win
            self.wizard.click((x, 440))
        shot = self.wizard.screenshot("service-erased")
        glyph = {name: self.check_glyph(shot, x) for name, x in
                 (("cefs", 0), ("qcsbl", 140), ("amss", 280), ("win", 420))}
        self.assertNotEqual(glyph["qcsbl"], glyph["cefs"])
        self.assertEqual(glyph["amss"], glyph["qcsbl"])  # ticked again
        self.assertEqual(glyph["win"], glyph["cefs"])    # left unticked

    @staticmethod
    def check_glyph(shot, x):
        """The inside of an option box's check glyph (the boxes stand at y = 430)."""
        return subprocess.run(["convert", shot, "-crop", f"9x9+{x + 3}+435", "+repage", "-depth", "8", "rgb:-"],
                              capture_output=True, check=True).stdout

    def test_notice_page_asks_for_accept_then_for_a_handset(self):
        self.start()
        self.wizard.unlock()
        self.wizard.wait_for_window("Veltrane")
        self.wizard.screenshot("notice")
        self.wizard.click(NEXT)
        self.wizard.click(ACCEPT)
        self.wizard.click(NEXT)
        self.assertEqual(self.boxes.wait_for(2, 20), [
            ("Notice.", "You have to read fellowing notice items and choice accept."),
            ("Notice.", "No Connected")])
        self.wizard.click((610, 20))  # closed before any run began: no failure
        self.assertEqual(self.wizard.program.wait(timeout=60), 0)

    def test_a_whole_run_from_the_password_to_the_finish_page(self):
        handset = self.start_handset()
        self.prefix.link_device("wceusbsh001", handset.link)
        declare_device(self.prefix, SYNC_DEVICE, "Microsoft USB Sync", PORTS_CLASS)
        self.start()
        self.wizard.unlock()
        self.wizard.accept_and_start()
        self.assertTrue(self.wizard.follow_run(timeout=180), "the run did not finish")
        self.assertEqual(self.boxes.boxes(), [])
        handset.stop()
        comparison = subprocess.run([sys.executable, os.path.join(SOURCE, "tools", "demo", "compare_manifest.py"),
                                     handset.manifest_path, self.images, os.path.join(self.wizard.folder, "a.ini")],
                                    capture_output=True, text=True)
        self.assertEqual(comparison.returncode, 0, comparison.stdout)
        self.assertEqual(self.wizard.finish(), 0)  # Finish closes the window and the program ends

    def test_a_failed_check_shows_its_line_and_text_and_leaves_only_closing(self):
        # The program file vanishes after start-up: the Next check cannot find it.
        declare_device(self.prefix, SYNC_DEVICE, "Microsoft USB Sync", PORTS_CLASS)
        self.start()
        self.wizard.unlock()
        self.wizard.wait_for_window("Veltrane")
        os.unlink(os.path.join(self.wizard.folder, "Veltrane.exe"))
        shot = self.wizard.accept_and_start()
        os.replace(shot, os.path.join(self.work, "checking-failed.png"))
        self.assertEqual(self.boxes.boxes(), [])
        self.wizard.click(NEXT)  # the Next image is gone: nothing happens
        self.assertIsNone(self.wizard.program.poll())
        self.wizard.click((610, 20))  # the close area
        self.assertEqual(self.wizard.program.wait(timeout=60), 1)  # the check failed

    def test_a_run_that_could_not_keep_its_trace_never_starts(self):
        declare_device(self.prefix, SYNC_DEVICE, "Microsoft USB Sync", PORTS_CLASS)
        os.makedirs(os.path.join(self.wizard.folder, "trace.txt"))  # a folder where the file must go
        self.start()
        self.wizard.unlock()
        self.wizard.accept_and_start()
        self.assertEqual(self.wizard.program.wait(timeout=60), 1)
        boxes = self.boxes.wait_for(1, 10)
        self.assertEqual(len(boxes), 1)
        self.assertEqual(boxes[0][0], "Error")
        self.assertTrue(boxes[0][1].startswith("Can't create trace.txt in "), boxes[0][1])
