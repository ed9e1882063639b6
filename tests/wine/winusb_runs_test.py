"""The WinUSB road (Vista and 7) under Wine: the WinUSB table through the stand-in winusb.dll
in the system folder, on the interface path that FindInterfacePath finds for the download
device declared in the registry, whose dosdevices link joins it to the simulated handset."""
import os
import re
import shutil

import registry_devices as devices
from flash_case import FlashRunCase

WINUSB_STANDIN = os.environ.get("WINUSB_STANDIN", "")
PROBE = os.environ.get("TRANSPORT_PROBE", "")
INSTANCE = "USB\\VID_05C6&PID_3197\\5&ABC&0&2"
NOT_CONNECTED = 1167  # ERROR_DEVICE_NOT_CONNECTED, as the unplugged stand-in fails a read
# Every step's box shows the code the failed read left, which no step clears, and its result.
RECOVERY_BOXES = [("flush 2", "2 cancel io:1167 1")] + [
    ("flush 1", f"{step}:1167 1") for step in ("1R Abort", "2W Abort", "3R Flush", "4W Flush", "5R Reset", "6W Reset")]


class WinUsbRoad(FlashRunCase):
    def setUp(self):
        super().setUp()
        self.prefix.set_windows_version("win7")
        self.prefix.install_file(WINUSB_STANDIN)
        self.prefix.dll_overrides.append("winusb=n")
        path = devices.declare_device(self.prefix, INSTANCE, devices.DOWNLOAD_DESCRIPTION, devices.WINUSB_CLASS,
                                      interface=True)
        self.handset = self.start_handset()
        self.prefix.link_device(devices.dosdevice_name(path), self.handset.link)

    def probe_read(self, env=None):
        """One read through the WinUSB table: (open, status, length, milliseconds)."""
        folder = os.path.join(self.work, "probe")
        os.makedirs(folder)
        shutil.copy2(PROBE, folder)
        status, out, err = self.prefix.run([os.path.join(folder, os.path.basename(PROBE)), "read"], cwd=folder, env=env)
        self.assertEqual(status, 0, err)
        match = re.fullmatch(r"read open (-?\d+) status (-?\d+) length (\d+) ms (\d+)", out.strip())
        self.assertIsNotNone(match, out)
        return tuple(int(value) for value in match.groups())

    def test_interface_path_carries_a_whole_run(self):
        # No port named: the Windows version picks the road and the path is found, before
        # the programmer and again after GO. DLLs planted in the program's and the current
        # folder are never loaded.
        status, out, err, trace = self.flash(planted=True)
        self.assertEqual(status, 0, out + err)
        self.assert_no_planted_dll_loaded(self.dll_marks)
        self.assert_images_received(self.handset)
        self.assertIn("[PACKETSIZE798720 FLASH_PACKETSIZE798720 Environment1]", trace)
        self.assertEqual([line for line in trace if line.startswith("Open port")], [])

    def test_unanswered_read_ends_by_the_pipe_timeout_without_recovery(self):
        watcher = self.watch_boxes()
        opened, status, length, milliseconds = self.probe_read()
        self.assertEqual((opened, status, length), (0, 0, 0))
        self.assertGreaterEqual(milliseconds, 1500)  # the pipe's 1,600 ms, not the port's 3,000 ms wait
        self.assertLess(milliseconds, 3000)
        self.assertEqual(watcher.boxes(), [])

    def test_read_that_cannot_start_shows_the_seven_recovery_boxes_in_order(self):
        watcher = self.watch_boxes()
        opened, status, length, _ = self.probe_read(env={"VELTRANE_WINUSB_UNPLUGGED": "1"})
        self.assertEqual((opened, status, length), (0, NOT_CONNECTED, 0))
        self.assertEqual(watcher.boxes(), RECOVERY_BOXES)
