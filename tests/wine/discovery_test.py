"""Port discovery through Wine's SetupAPI: ScanDevices and FindInterfacePath against devices
declared in the prefix's registry. One probe process keeps one session across its scans, and
devices come and go between them."""
import os

import registry_devices as devices
from wine_case import WineTestCase
from wine_prefix import windows_path

PROBE = os.environ.get("TRANSPORT_PROBE", "")
EXAMPLE_INSTANCE = "USB\\VID_05C6&PID_3197\\5&ABC&0&2"
EXAMPLE_PATH = "\\\\?\\usb#vid_05c6&pid_3197#5&abc&0&2#{25dbce51-6c8f-4a72-8a6d-b54c2b4fc835}"


class Discovery(WineTestCase):
    def probe(self, *steps):
        """Runs the probe; a step that is not a word is registry text to import there."""
        arguments = []
        for number, step in enumerate(steps):
            if step in ("scan", "path"):
                arguments.append(step)
                continue
            path = os.path.join(self.work, f"step{number}.reg")
            with open(path, "w", encoding="latin-1") as reg:
                reg.write("REGEDIT4\n\n" + step)
            arguments.append("reg:" + windows_path(path))
        status, out, err = self.prefix.run([PROBE, *arguments], cwd=self.work)
        self.assertEqual(status, 0, err)
        return out.splitlines()

    def test_each_description_sets_its_flags_and_they_persist(self):
        # Description of the one device of ours present, and the scan's outcome:
        # "qualcomm sync windows-mobile present|port name|device text|device label".
        rows = [
            (None, "0 0 0 0|||"),
            ("Windows Mobile-based Device", "0 0 1 2||Windows Mobile-based Device|Windows Mobile-based Device"),
            (None, "0 0 1 2||Windows Mobile-based Device|Windows Mobile-based Device"),  # gone: nothing changes
            ("Qualcomm Diagnostics Interface 6000 (COM7)",
             "1 0 1 2|COM7|Qualcomm Diagnostics Interface 6000 (COM7)|Qualcomm Diagnostics Interface 6000 (COM7)"),
            ("Microsoft USB Sync", "1 1 0 2|wceusbsh00|Microsoft USB Sync (wceusbsh00)|Microsoft USB Sync (wceusbsh00)"),
            ("Microsoft Windows Mobile Remote Adapter",
             "1 0 1 2||Microsoft Windows Mobile Remote Adapter|Microsoft Windows Mobile Remote Adapter"),
            ("Qualcomm WinMobile Diagnostics 3200 (COM12",  # no ')': the name runs to the end
             "1 0 1 2|COM12|Qualcomm WinMobile Diagnostics 3200 (COM12)|Qualcomm WinMobile Diagnostics 3200 (COM12)"),
            ("microsoft usb sync", "1 0 1 2|COM12|Qualcomm WinMobile Diagnostics 3200 (COM12)|"
                                   "Qualcomm WinMobile Diagnostics 3200 (COM12)"),  # patterns are case-sensitive
        ]
        steps, previous = [], None
        for number, (description, _) in enumerate(rows):
            text = f"[-{devices.ENUM}\\{previous}]\n\n" if previous else ""
            previous = None
            if description:
                previous = f"USB\\VID_0BB4&PID_0C{number:02X}\\{number}"
                text += devices.device_text(previous, description, devices.PORTS_CLASS)
            steps += [text, "scan"] if text else ["scan"]
        self.assertEqual(self.probe(*steps), [line for _, line in rows])

    def test_interface_path_of_the_download_device(self):
        download = devices.device_text(EXAMPLE_INSTANCE, devices.DOWNLOAD_DESCRIPTION, devices.WINUSB_CLASS)
        interface = devices.interface_text(EXAMPLE_INSTANCE, devices.WINUSB_CLASS)
        # Wine names an interface after its device's instance identifier: a device whose
        # identifier has one part gives a path of two '#' pieces, which belongs to nothing.
        short = (devices.device_text("HANDSET", devices.DOWNLOAD_DESCRIPTION, devices.WINUSB_CLASS)
                 + devices.interface_text("HANDSET", devices.WINUSB_CLASS))
        without_interface = f"[-{devices.DEVICE_CLASSES}\\{devices.WINUSB_CLASS.lower()}]\n\n"
        self.assertEqual(self.probe("path", download, "path", interface, "path", without_interface + short, "path"),
                         ["path ", "path ", "path " + EXAMPLE_PATH, "path "])
