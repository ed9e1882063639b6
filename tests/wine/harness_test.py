"""The Wine harness itself: what later tests take on trust from it."""
import os
import subprocess

import registry_devices
from wine_case import TEMPLATE, WineTestCase
from wine_prefix import WinePrefix

SHOW_BOXES = os.environ.get("SHOW_BOXES", "")


class Harness(WineTestCase):
    def test_box_watcher_records_each_box_in_order_and_presses_ok(self):
        watcher = self.watch_boxes()
        boxes = [("flush 2", "2 cancel io:1167 1"), ("Error", "two\nlines\twith a tab \\ and a backslash"),
                 ("Error", "2 cancel io:1167 1")]  # the same box again is recorded again
        status, out, err = self.prefix.run([SHOW_BOXES, *(part for box in boxes for part in box)], cwd=self.work)
        self.assertEqual((status, out.split()), (0, ["1", "1", "1"]), err)  # 1: IDOK
        self.assertEqual(watcher.wait_for(len(boxes), timeout=10), boxes)

    def test_boxes_on_a_virtual_desktop(self):
        display = self.use_display()
        watcher = self.watch_boxes()
        status, out, err = self.prefix.run([SHOW_BOXES, "Veltrane", "drawn on X"], cwd=self.work)
        self.assertEqual((status, out.split()), (0, ["1"]), err)
        self.assertEqual(watcher.wait_for(1, timeout=10), [("Veltrane", "drawn on X")])
        windows = subprocess.run(["xdotool", "search", "--name", "Wine desktop"], capture_output=True, text=True,
                                 env=dict(os.environ, DISPLAY=display.name))
        self.assertEqual(windows.returncode, 0, "no virtual desktop window on " + display.name)

    def test_each_prefix_keeps_its_own_windows_version(self):
        def reported(prefix):
            status, out, _ = prefix.run(["cmd", "/c", "ver"], cwd=self.work)
            self.assertEqual(status, 0)
            return out.strip()

        self.prefix.set_windows_version("winxp")
        other = WinePrefix.clone(TEMPLATE, os.path.join(self.work, "other"))
        self.addCleanup(other.remove)
        self.assertIn("6.1", reported(other))  # the template's own (win7), not the copy's change
        other.set_windows_version("vista")
        self.assertIn("6.0", reported(other))
        self.assertIn("5.1", reported(self.prefix))

    def test_device_declared_and_removed_again(self):
        instance = "USB\\VID_05C6&PID_3197\\5&ABC&0&2"
        path = registry_devices.declare_device(self.prefix, instance, registry_devices.DOWNLOAD_DESCRIPTION,
                                               registry_devices.WINUSB_CLASS, interface=True)
        self.assertEqual(path, "\\\\?\\usb#vid_05c6&pid_3197#5&abc&0&2#{25dbce51-6c8f-4a72-8a6d-b54c2b4fc835}")
        keys = [registry_devices.ENUM + "\\" + instance,
                registry_devices._interface_key(instance, registry_devices.WINUSB_CLASS) + "\\#"]

        def present():
            return [self.prefix.run(["reg", "query", key], cwd=self.work)[0] == 0 for key in keys]

        self.assertEqual(present(), [True, True])
        registry_devices.remove_device(self.prefix, instance, registry_devices.WINUSB_CLASS)
        self.assertEqual(present(), [False, False])

    def test_program_installed_in_a_copy_stays_out_of_the_template(self):
        stand_in = os.path.join(self.work, "taskkill.exe")
        with open(stand_in, "wb") as program:
            program.write(b"MZ stand-in")
        installed = self.prefix.install_file(stand_in)
        with open(installed, "rb") as program:
            self.assertEqual(program.read(), b"MZ stand-in")
        with open(os.path.join(TEMPLATE, "drive_c", "windows", "system32", "taskkill.exe"), "rb") as program:
            self.assertNotEqual(program.read(11), b"MZ stand-in")
