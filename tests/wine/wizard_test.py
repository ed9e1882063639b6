"""Veltrane.exe's wizard under Wine, driven as an operator drives it (xdotool on a virtual
desktop): the access password and its refusals, service mode, the notice page's messages,
and a whole run against the simulated handset on the Windows XP road. Screenshots of each
page stay in the test's work folder (wine-work/wizard/...) for a person to look at."""
import os
import shutil
import subprocess
import sys
import tempfile
import time

from flash_case import EVERY_IMAGE, SOURCE, make_package
from registry_devices import declare_device, PORTS_CLASS
from wine_case import WORK, WineTestCase

VELTRANE_EXE = os.environ.get("VELTRANE_EXE", "")
PASSWORD = "3Kp5RM2V6Q"
# F1..F9, F11, F12 and F1 again: the service-mode unlock.
UNLOCK_KEYS = ["F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F11", "F12", "F1"]
ACCEPT = (258, 396)
NEXT = (555, 448)
SYNC_DEVICE = "USB\\VID_0BB4&PID_00CE\\0001"


class Wizard(WineTestCase):
    @classmethod
    def setUpClass(cls):
        os.makedirs(WORK, exist_ok=True)
        cls.package = tempfile.mkdtemp(prefix="package-", dir=WORK)
        cls.images, cls.packed = make_package(cls.package, exe=VELTRANE_EXE, name="Veltrane.exe")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.package, ignore_errors=True)

    def setUp(self):
        super().setUp()
        self.prefix.set_windows_version("winxp")
        self.display = self.use_display()
        self.boxes = self.watch_boxes()
        self.folder = os.path.join(self.work, "run")
        os.makedirs(self.folder)
        shutil.copy2(self.packed, self.folder)
        with open(os.path.join(self.folder, "a.ini"), "w") as ini:
            ini.write(EVERY_IMAGE)
        self.program = None

    def tearDown(self):
        if self.program and self.program.poll() is None:
            self.program.kill()
        super().tearDown()

    def start(self):
        self.program = self.prefix.start([os.path.join(self.folder, "Veltrane.exe")], cwd=self.folder,
                                         output=os.path.join(self.work, "veltrane.out"))
        self.wait_for_window("Password")

    def xdotool(self, *arguments):
        subprocess.run(["xdotool", *arguments], env=dict(os.environ, DISPLAY=self.display.name), check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)

    def wait_for_window(self, title, timeout=60):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            found = subprocess.run(["xdotool", "search", "--name", title], env=dict(os.environ, DISPLAY=self.display.name),
                                   capture_output=True, text=True)
            if found.stdout.strip():
                time.sleep(0.5)
                return
            time.sleep(0.25)
        self.fail(f"no window named {title!r} within {timeout} s")

    def click(self, point, settle=0.5):
        self.xdotool("mousemove", str(point[0]), str(point[1]), "click", "1")
        time.sleep(settle)

    def screenshot(self, name):
        path = os.path.join(self.work, name + ".png")
        subprocess.run(["import", "-window", "root", path], env=dict(os.environ, DISPLAY=self.display.name),
                       check=True, timeout=30)
        return path

    def pixel(self, path, x, y):
        out = subprocess.run(["convert", path, "-format", f"%[pixel:p{{{x},{y}}}]", "info:"], capture_output=True,
                             text=True, check=True).stdout
        return out.strip()

    def unlock(self, keys=None, password=PASSWORD):
        if password:
            self.xdotool("type", "--delay", "40", password)
        if keys:
            self.xdotool("key", "--delay", "40", *keys)
        self.xdotool("key", "Return")

    def wait_for_exit(self, timeout=60):
        return self.program.wait(timeout=timeout)

    def test_only_the_exact_password_opens_and_the_version_gate_follows(self):
        for typed in ["3kp5RM2V6Q", PASSWORD + " "]:
            self.start()
            self.unlock(password=typed)
            self.assertEqual(self.wait_for_exit(), 0)
        self.assertEqual(self.boxes.wait_for(2, 10), [("warning", "not correct password")] * 2)
        self.prefix.set_windows_version("win10")
        self.start()
        self.unlock()
        self.assertEqual(self.wait_for_exit(), 0)
        self.assertEqual(self.boxes.wait_for(3, 10)[2], ("Warning", "Not VISTA,win 7"))

    def test_service_mode_shows_its_seven_option_boxes(self):
        self.start()
        self.screenshot("password")
        self.unlock(keys=UNLOCK_KEYS, password="")
        self.wait_for_window("Veltrane")
        shot = self.screenshot("service-notice")
        # The qcsbl box's own colour at its place in the bottom band; no box outside service mode.
        self.assertEqual(self.pixel(shot, 180, 440), "srgb(125,150,0)")

    def test_notice_page_asks_for_accept_then_for_a_handset(self):
        self.start()
        self.unlock()
        self.wait_for_window("Veltrane")
        self.screenshot("notice")
        self.click(NEXT)
        self.click(ACCEPT)
        self.click(NEXT)
        self.assertEqual(self.boxes.wait_for(2, 20), [
            ("Notice.", "You have to read fellowing notice items and choice accept."),
            ("Notice.", "No Connected")])

    def test_a_whole_run_from_the_password_to_the_finish_page(self):
        handset = self.start_handset()
        self.prefix.link_device("wceusbsh001", handset.link)
        declare_device(self.prefix, SYNC_DEVICE, "Microsoft USB Sync", PORTS_CLASS)
        self.start()
        self.unlock()
        self.wait_for_window("Veltrane")
        self.click(ACCEPT)
        self.click(NEXT, settle=1.5)
        self.screenshot("checking")
        trace_path = os.path.join(self.folder, "trace.txt")
        finished = False
        deadline = time.monotonic() + 180
        while time.monotonic() < deadline and not finished:
            time.sleep(1)
            trace = ""
            if os.path.exists(trace_path):
                with open(trace_path, encoding="latin-1") as file:
                    trace = file.read()
            if "FLASH.bin" in trace and not os.path.exists(os.path.join(self.work, "download.png")):
                self.screenshot("download")
            finished = trace.endswith("Finish")
        self.assertTrue(finished, "the run did not finish")
        time.sleep(2)
        self.screenshot("finish")
        self.assertEqual(self.boxes.boxes(), [])
        handset.stop()
        comparison = subprocess.run([sys.executable, os.path.join(SOURCE, "tools", "demo", "compare_manifest.py"),
                                     handset.manifest_path, self.images, os.path.join(self.folder, "a.ini")],
                                    capture_output=True, text=True)
        self.assertEqual(comparison.returncode, 0, comparison.stdout)
        self.click(NEXT)  # Finish closes the window and the program ends
        self.assertEqual(self.wait_for_exit(), 0)
