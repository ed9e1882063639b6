"""Veltrane.exe end to end under Wine on the roads a successful run takes: Windows XP with the
handset in download mode, a handset that still runs Windows Mobile, Windows 7 with the
services and the WinUSB port, and the partition table that switches every image on. DLLs
planted under the names the program binds beyond the known DLLs, in its folder and in the
working folder, are never loaded."""
import collections
import os

from e2e_case import AGENT_EXE, RESTARTS, SYSTEM, EndToEndCase
from flash_case import EVERY_IMAGE

WINDOW_ACTIVESYNC = [("taskkill.exe", "/IM wcescomm.exe"), ("taskkill.exe", "/IM WCESMgr.exe"),
                     ("tskill.exe", "wcescomm"), ("tskill.exe", "WCESMgr"), ("tskill.exe", "wces*")]


class Roads(EndToEndCase):
    def test_windows_xp_download_mode_writes_every_image_and_restarts_activesync(self):
        self.road("winxp", planted=True)
        self.assertEqual(self.run_to_finish(), 0)
        self.assertEqual(self.boxes.boxes(), [])
        self.assert_no_planted_dll_loaded(self.dll_marks)
        self.assert_images_received()
        self.assert_golden("e2e_xp_every_image.txt")
        expected = collections.Counter({(program, parameters, SYSTEM): 4 for program, parameters in WINDOW_ACTIVESYNC})
        expected.update(RESTARTS["winxp"])
        self.assertEqual(self.commands(), expected)

    def test_windows_7_stops_the_services_and_flashes_through_winusb(self):
        self.road("win7", planted=True)
        self.install_service("WcesComm", running=True)
        self.install_service("RapiMgr", running=True)
        self.assertEqual(self.run_to_finish(), 0)
        self.assertEqual(self.boxes.boxes(), [])
        self.assert_no_planted_dll_loaded(self.dll_marks)
        self.assert_images_received()
        self.assert_golden("e2e_win7_services.txt")
        self.assertEqual([self.service_state("WcesComm"), self.service_state("RapiMgr")], ["STOPPED", "STOPPED"])
        self.assertEqual(self.restarts(), RESTARTS["win7"])

    def test_handset_in_windows_mobile_is_switched_by_the_agent_then_flashed(self):
        # Windows 7 without the synchronisation services (both orders answer 1060); the
        # handset's identification word 47 reaches the agent as the raw nibbles 2 and 15.
        self.road("win7", start="winmobile", rapi={"battery": 60, "version": 0x43}, planted=True)
        self.assertEqual(self.run_to_finish(), 0)
        self.assertEqual(self.boxes.boxes(), [])
        self.assert_no_planted_dll_loaded(self.dll_marks)
        self.assert_images_received()
        self.assert_golden("e2e_winmobile.txt")
        with open(AGENT_EXE, "rb") as agent, open(os.path.join(self.rapi_state, "handset", "download.exe"),
                                                   "rb") as written:
            self.assertEqual(written.read(), agent.read())
        with open(os.path.join(self.rapi_state, "events.txt")) as events:
            self.assertEqual(events.read().splitlines()[:7], [
                "create download.exe", f"write {os.path.getsize(AGENT_EXE)} bytes",
                "start \\download flags 10 info: 0033 0000", "agent: version stored",
                "start \\download.exe flags 10: 0032 0020 0002 0020 000f 0000", "agent: download mode 2 15",
                "devices: Windows Mobile device removed, download device added with its interface"])
        self.assertEqual(self.restarts(), RESTARTS["win7"])

    def test_partition_table_answered_with_status_1_writes_all_six_stages(self):
        # Started from another working folder, out of a folder the ANSI code page cannot name:
        # the program still finds its own file, and keeps trace.txt and a.ini in the working folder.
        self.road("winxp", handset_options=["--partition-status1"], settings="0000001",
                  program_folder="Прошивка 固件", planted=True)
        self.assertEqual(self.run_to_finish(), 0)
        self.assertEqual(self.boxes.boxes(), [])
        self.assert_no_planted_dll_loaded(self.dll_marks)
        every = os.path.join(self.work, "every-image.ini")
        with open(every, "w") as ini:
            ini.write(EVERY_IMAGE)  # what the handset must hold whatever a.ini said
        self.assert_images_received(settings_path=every)
        self.assertEqual(self.handset.manifest()["partition"]["override"], 1)
        self.assert_golden("e2e_partition_status1.txt")
