"""Veltrane.exe's wizard under Wine, driven as an operator drives it (xdotool on a virtual
desktop): the access password and its refusals, service mode, the notice page's messages,
and whole runs against the simulated handset on the Windows XP road at 96, 120 and 144 DPI,
which must look alike. Screenshots of each page stay in the test's work folder
(wine-work/wizard/...) for a person to look at."""
import os
import shutil
import subprocess
import sys

from flash_case import EVERY_IMAGE, SOURCE, PackedProgramCase
from registry_devices import PORTS_CLASS, declare_device
from virtual_display import DESKTOP_SIZE
from wizard_driver import NEXT, ACCEPT, PASSWORD, UNLOCK_KEYS, WIZARD_SIZE, WizardDriver

VELTRANE_EXE = os.environ.get("VELTRANE_EXE", "")
SYNC_DEVICE = "USB\\VID_0BB4&PID_00CE\\0001"

# 120 DPI: Windows XP's "Large fonts", Windows 7 at 125 %; 144 DPI: 150 %.
DPI_SETTINGS = (96, 120, 144)
# Window regions whose white text must stand where it stands at 96 DPI, per page.
TEXT_REGIONS = {
    "notice": {"caption": (44, 8, 200, 28), "notice": (244, 44, 392, 336), "accept": (270, 384, 100, 26)},
    "download": {"steps": (244, 44, 392, 316)},
}
PANEL_BORDER = 630  # the notice panel's right border, its first column (window x)


def flash_bin_held(trace):
    """FLASH.bin's heading traced, and after it the time-out of a withheld reply."""
    return "Error code: Send" in trace.partition("============== FLASH.bin")[2]


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
        self.wizard.wait_for_wizard()
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

    def check_glyph(self, shot, x):
        """The inside of an option box's check glyph (the boxes stand at y = 430)."""
        left, top = self.wizard.origin
        return self.wizard.rgb(shot, left + x + 3, top + 435, 9, 9)

    def test_notice_page_asks_for_accept_then_for_a_handset(self):
        self.start()
        self.wizard.unlock()
        self.wizard.wait_for_wizard()
        self.wizard.screenshot("notice")
        self.wizard.click(NEXT)
        self.wizard.click(ACCEPT)
        self.wizard.click(NEXT)
        self.assertEqual(self.boxes.wait_for(2, 20), [
            ("Notice.", "You have to read fellowing notice items and choice accept."),
            ("Notice.", "No Connected")])
        self.wizard.click((610, 20))  # closed before any run began: no failure
        self.assertEqual(self.wizard.program.wait(timeout=60), 0)

    def test_whole_runs_at_96_120_and_144_dpi_look_alike(self):
        """From the password to the finish page at each DPI: every image arrives, and the
        window stands centred with its texts in their 96-DPI places, none cut at the notice
        panel's border. (Point-sized text grew with the DPI while every place stayed in pixels.)"""
        declare_device(self.prefix, SYNC_DEVICE, "Microsoft USB Sync", PORTS_CLASS)
        desktop = [int(n) for n in DESKTOP_SIZE.split("x")]
        centred = tuple((whole - part) // 2 for whole, part in zip(desktop, WIZARD_SIZE))
        texts = {}
        for dpi in DPI_SETTINGS:
            with self.subTest(dpi=dpi):
                texts[dpi] = self.whole_run(dpi)
                self.assertLess(max(line[2] for line in texts[dpi]["notice", "notice"]), PANEL_BORDER)
                self.assertEqual(self.wizard.origin, centred)
        for dpi in DPI_SETTINGS[1:]:
            for key, lines in texts.get(dpi, {}).items() if 96 in texts else ():
                with self.subTest(dpi=dpi, texts=key):
                    self.assert_lines_match(lines, texts[96][key], f"{key} at {dpi} DPI")

    def whole_run(self, dpi):
        """One run at `dpi` to its finish page; the text lines of TEXT_REGIONS in its
        notice-<dpi>dpi and download-<dpi>dpi screenshots, by (page, region)."""
        self.prefix.set_dpi(dpi)
        # The download page is compared across runs at one defined moment: FLASH.bin under way,
        # its first chunk's reply withheld three times (requests 49 to 51 with this package and
        # a.ini), and the first of them given up on (its "Error code" line in the trace), so the
        # page has shown FLASH.bin's step for a while and goes on showing it for seconds more.
        handset = self.start_handset("--drop-reply", "49,50,51", name=f"handset-{dpi}")
        self.prefix.link_device("wceusbsh001", handset.link)
        trace = os.path.join(self.wizard.folder, "trace.txt")
        if os.path.exists(trace):
            os.unlink(trace)
        self.start()
        self.wizard.unlock()
        self.wizard.wait_for_wizard()
        shots = {"notice": self.wizard.screenshot(f"notice-{dpi}dpi")}
        self.wizard.accept_and_start()
        self.assertTrue(self.wizard.follow_run(timeout=180, suffix=f"-{dpi}dpi", download_when=flash_bin_held),
                        "the run did not finish")
        shots["download"] = os.path.join(self.wizard.shots, f"download-{dpi}dpi.png")
        self.assertEqual(self.boxes.boxes(), [])
        handset.stop()
        comparison = subprocess.run([sys.executable, os.path.join(SOURCE, "tools", "demo", "compare_manifest.py"),
                                     handset.manifest_path, self.images, os.path.join(self.wizard.folder, "a.ini")],
                                    capture_output=True, text=True)
        self.assertEqual(comparison.returncode, 0, comparison.stdout)
        self.assertEqual(self.wizard.finish(), 0)  # Finish closes the window and the program ends
        texts = {(page, name): self.wizard.text_lines(shots[page], region)
                 for page, regions in TEXT_REGIONS.items() for name, region in regions.items()}
        return texts

    def assert_lines_match(self, lines, reference, what, tolerance=2):
        message = f"{what}: {lines}, at 96 DPI {reference}"
        self.assertEqual(len(lines), len(reference), message)
        for line, expected in zip(lines, reference):
            self.assertLessEqual(max(abs(a - b) for a, b in zip(line, expected)), tolerance, message)

    def test_a_failed_check_shows_its_line_and_text_and_leaves_only_closing(self):
        # The program file vanishes after start-up: the Next check cannot find it.
        declare_device(self.prefix, SYNC_DEVICE, "Microsoft USB Sync", PORTS_CLASS)
        self.start()
        self.wizard.unlock()
        self.wizard.wait_for_wizard()
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
