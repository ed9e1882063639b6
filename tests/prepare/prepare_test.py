"""Host and handset preparation under Wine: the kill lists and restarts as the recording
stand-ins saw them, the service rounds against Wine's Service Control Manager, and the handset
switch against the stand-in rapi.dll (sim/rapi_standin/README.md)."""
import collections
import os
import shutil
import time

import registry_devices as devices
from flash_case import recorded_commands
from wine_case import WineTestCase
from wine_prefix import windows_path

PROBE = os.environ.get("PREPARE_PROBE", "")
RAPI_STANDIN = os.environ.get("RAPI_STANDIN", "")
STUB_SERVICE = os.environ.get("STUB_SERVICE", "")
RECORDING_COMMAND = os.environ.get("RECORDING_COMMAND", "")
AGENT_EXE = os.environ.get("AGENT_EXE", "")

SYSTEM = "C:\\WINDOWS\\system32"
ACTIVESYNC = "C:\\Program Files\\Microsoft ActiveSync"
WINDOW_ACTIVESYNC = [("taskkill.exe", "/IM wcescomm.exe"), ("taskkill.exe", "/IM WCESMgr.exe"),
                     ("tskill.exe", "wcescomm"), ("tskill.exe", "WCESMgr"), ("tskill.exe", "wces*")]
DEVICE_CENTER = [("taskkill.exe", "/IM wmplayer.exe"), ("tskill.exe", "wmplayer"), ("taskkill.exe", "/IM wmdc.exe"),
                 ("taskkill.exe", "/IM WmdHost.exe"), ("tskill.exe", "wmdc"), ("tskill.exe", "WmdHost"),
                 ("taskkill.exe", "/IM mobsync.exe"), ("tskill.exe", "mobsync")]


class HostPrograms(WineTestCase):
    """Launch order is not observable under Wine: the commands are compared as a multiset."""

    def setUp(self):
        super().setUp()
        self.records = os.path.join(self.work, "commands")
        os.makedirs(self.records)
        for folder, name in [("windows/system32", "taskkill.exe"), ("windows/system32", "tskill.exe"),
                             ("windows/WindowsMobile", "wmdc.exe"), ("Program Files/Microsoft ActiveSync", "wcescomm.exe"),
                             ("Program Files/Microsoft ActiveSync", "WCESMgr.exe")]:
            os.makedirs(os.path.join(self.prefix.path, "drive_c", folder), exist_ok=True)
            named = os.path.join(self.work, name)
            shutil.copy(RECORDING_COMMAND, named)
            self.prefix.install_file(named, folder)
        self.prefix.dll_overrides = ["taskkill.exe=n"]  # else Wine's builtin taskkill runs

    def launched(self, *steps, expected):
        status, _, err = self.prefix.run([PROBE, *steps], cwd=self.work,
                                         env={"VELTRANE_COMMAND_LOG": windows_path(self.records)})
        self.assertEqual(status, 0, err)
        deadline = time.monotonic() + 30
        while len(os.listdir(self.records)) < expected and time.monotonic() < deadline:
            time.sleep(0.2)
        time.sleep(0.5)  # anything beyond the expected count shows up too
        return recorded_commands(self.records)

    @staticmethod
    def commands(kills, restarts=()):
        expected = collections.Counter((program, parameters, SYSTEM.lower()) for program, parameters in kills)
        expected.update((program, "", folder.lower()) for program, folder in restarts)
        return expected

    def test_windows_xp_kills_and_restarts(self):
        self.prefix.set_windows_version("winxp")
        seen = self.launched("env:0", "kill", "kill", "kill", "close", "restart", expected=22)
        # The worker's list holds the window's five commands (in another order).
        self.assertEqual(seen, self.commands(WINDOW_ACTIVESYNC * 4,
                                             [("wcescomm.exe", ACTIVESYNC), ("WCESMgr.exe", ACTIVESYNC)]))

    def test_windows_7_kills_and_restarts(self):
        seen = self.launched("env:1", "kill", "kill", "kill", "close", "restart", expected=48)
        self.assertEqual(seen, self.commands((DEVICE_CENTER + WINDOW_ACTIVESYNC) * 3 + DEVICE_CENTER,
                                             [("wmdc.exe", "C:\\Windows\\WindowsMobile")]))


class HostServices(WineTestCase):
    def install(self, name, running):
        binary = windows_path(os.path.join(self.work, "stub_service.exe"))
        shutil.copy(STUB_SERVICE, self.work)
        for command in [["sc", "create", name, "binPath=", binary]] + ([["sc", "start", name]] if running else []):
            status, out, err = self.prefix.run(command, cwd=self.work)
            self.assertEqual(status, 0, out + err)

    def state(self, name):
        _, out, _ = self.prefix.run(["sc", "query", name], cwd=self.work)
        return "STOPPED" if "STOPPED" in out else "RUNNING" if "RUNNING" in out else out.strip()

    def clear(self, *orders):
        status, _, err = self.prefix.run([PROBE, *("services:" + order for order in orders)], cwd=self.work)
        self.assertEqual(status, 0, err)
        with open(os.path.join(self.work, "trace.txt"), encoding="latin-1") as trace:
            return trace.read()

    def test_services_not_installed(self):
        # The first service is missing (1060), so the second is never asked (0).
        self.assertEqual(self.clear("first"), "==============Close Service ======close:1060---0\n")
        self.assertEqual(self.clear("again"), "==============close Service rv1 1060 rv20=============\n")

    def test_services_stopped_and_running(self):
        self.install("WcesComm", running=False)
        self.install("RapiMgr", running=True)
        self.assertEqual(self.clear("first"), "==============Close Service ======close:1---1\n")
        self.assertEqual([self.state("WcesComm"), self.state("RapiMgr")], ["STOPPED", "STOPPED"])
        for name in ("WcesComm", "RapiMgr"):
            self.assertEqual(self.prefix.run(["sc", "start", name], cwd=self.work)[0], 0)
        self.assertEqual(self.clear("again"), "==============close Service rv1 1 rv21=============\n")
        self.assertEqual([self.state("WcesComm"), self.state("RapiMgr")], ["STOPPED", "STOPPED"])


MOBILE_DEVICE = "USB\\VID_0BB4&PID_00CE\\WM0001"  # the stand-in's default Windows Mobile device
DOWNLOAD_DEVICE = "USB\\VID_05C6&PID_3197\\5&ABC&0&2"
REFUSED = "Not correct version on Mobile Phone.   rev: "


class HandsetSwitch(WineTestCase):
    def setUp(self):
        super().setUp()
        self.boxes = self.watch_boxes()
        self.bin = os.path.join(self.work, "bin")
        os.makedirs(self.bin)
        shutil.copy(PROBE, self.bin)
        self.rapi = self.prefix.install_file(RAPI_STANDIN)  # where ActiveSync puts rapi.dll
        self.state = os.path.join(self.work, "state")
        self.prefix.dll_overrides = ["rapi=n"]

    def switch(self, family, word, **config):
        """Runs the probe's scan, switch and scan against a fresh handset; returns (exit status,
        probe output lines, the stand-in's events, boxes shown by this run)."""
        shutil.rmtree(self.state, ignore_errors=True)
        os.makedirs(self.state)
        devices.remove_device(self.prefix, DOWNLOAD_DEVICE, devices.WINUSB_CLASS)
        self.prefix.import_registry(devices.device_text(MOBILE_DEVICE, "Windows Mobile-based Device", devices.PORTS_CLASS))
        env = {"VELTRANE_RAPI_STATE": windows_path(self.state)}
        env.update({"VELTRANE_RAPI_" + key.upper(): str(value) for key, value in config.items()})
        shown = len(self.boxes.boxes())
        status, out, _ = self.prefix.run([os.path.join(self.bin, "prepare_probe.exe"), "scan",
                                          f"switch:{family}:{word:#x}", "scan"], cwd=self.work, env=env)
        boxes = self.boxes.wait_for(shown + 1, timeout=5 if status else 0)[shown:]
        events = []
        if os.path.exists(os.path.join(self.state, "events.txt")):
            with open(os.path.join(self.state, "events.txt")) as log:
                events = log.read().splitlines()
        return status, out.splitlines(), events, boxes

    def handset_file(self, name):
        with open(os.path.join(self.state, "handset", name), "rb") as written:
            return written.read()

    def registry_has(self, key):
        return self.prefix.run(["reg", "query", key], cwd=self.work)[0] == 0

    def test_accepted_handset_is_handed_over_to_download_mode_on_windows_7(self):
        status, out, events, boxes = self.switch("A", 0x13, battery=55, version=0x42)
        self.assertEqual((status, boxes), (0, []))
        with open(AGENT_EXE, "rb") as agent:
            self.assertEqual(self.handset_file("download.exe"), agent.read())
        self.assertEqual(events[:6], [
            "create download.exe", f"write {os.path.getsize(AGENT_EXE)} bytes",
            "start \\download flags 10 info: 0033 0000", "agent: version stored",
            "start \\download.exe flags 10: 0032 0020 0001 0020 0003 0000", "agent: download mode 1 3"])
        self.assertEqual(out, ["scan sync 0 mobile 1", "switched 0", "scan sync 1 mobile 0"])
        reference = "##?#" + DOWNLOAD_DEVICE.replace("\\", "#") + "#" + devices.WINUSB_CLASS.lower()
        self.assertTrue(self.registry_has(f"{devices.DEVICE_CLASSES}\\{devices.WINUSB_CLASS.lower()}\\{reference}\\#"))
        self.assertFalse(self.registry_has(f"{devices.ENUM}\\{MOBILE_DEVICE}"))

    def test_handover_on_windows_xp_and_handsets_that_stay(self):
        self.prefix.set_windows_version("winxp")
        # Family '4' accepts version '6'; battery 255 is "unknown" and passes.
        status, out, events, _ = self.switch("4", 0x2A, battery=255, version=0x36)
        self.assertEqual((status, events[5], out[-1]), (0, "agent: download mode 2 10", "scan sync 1 mobile 0"))
        # A zero high nibble ends the command line at its third character: nothing is handed over.
        status, out, events, _ = self.switch("C", 0x05, version=0x43)
        self.assertEqual((status, events[4:]), (0, ["start \\download.exe flags 10: 0032 0020 0000",
                                                     "agent: command line ends at character 3, nothing handed over"]))
        self.assertEqual(out[-1], "scan sync 0 mobile 1")
        status, out, events, _ = self.switch("C", 0x13, version=0x43, download="stay")
        self.assertEqual((status, events[-1], out[-1]), (0, "agent: stays in Windows Mobile", "scan sync 0 mobile 1"))

    def test_refusals_end_with_their_box_and_status_1(self):
        cases = [
            ("battery 54", "A", dict(battery=54, version=0x41), "Not enough battery volume."),
            ("family A, version C", "A", dict(version=0x43), REFUSED + "43 41 42 "),
            ("family 4, version 4", "4", dict(version=0x34), REFUSED + "34 36 "),
            ("service mode", "-", dict(version=0x42), REFUSED + "42 "),
            ("link refused", "A", dict(link="refused"), "Can't init link"),
            ("link never up", "A", dict(link="never"), "Can't make a link"),
        ]
        for what, family, config, message in cases:
            with self.subTest(what):
                status, out, events, boxes = self.switch(family, 0x13, **config)
                self.assertEqual((status, boxes), (1, [("Notice.", message)]))
                self.assertNotIn("switched 0", out)
                self.assertFalse([event for event in events if event.startswith("start \\download.exe")])
        # None in the system folder: a copy beside the program is never taken.
        os.rename(self.rapi, os.path.join(self.bin, "rapi.dll"))
        with self.subTest("no rapi.dll"):
            status, _, _, boxes = self.switch("A", 0x13)
            self.assertEqual((status, boxes), (1, [("Notice.", "Can't init link")]))
