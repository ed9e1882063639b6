"""Veltrane.exe end to end under Wine on the roads a successful run takes: Windows XP with the
handset in download mode, a handset that still runs Windows Mobile, Windows 7 with the
services and the WinUSB port, and the partition table that switches every image on."""
import collections
import os

from e2e_case import ACTIVESYNC, RESTARTS, SYSTEM, EndToEndCase

WINDOW_ACTIVESYNC = [("taskkill.exe", "/IM wcescomm.exe"), ("taskkill.exe", "/IM WCESMgr.exe"),
                     ("tskill.exe", "wcescomm"), ("tskill.exe", "WCESMgr"), ("tskill.exe", "wces*")]


class Roads(EndToEndCase):
    def test_windows_xp_download_mode_writes_every_image_and_restarts_activesync(self):
        self.road("winxp")
        self.assertEqual(self.run_to_finish(), 0)
        self.assertEqual(self.boxes.boxes(), [])
        self.assert_images_received()
        self.assert_golden("e2e_xp_every_image.txt")
        expected = collections.Counter({(program, parameters, SYSTEM): 4 for program, parameters in WINDOW_ACTIVESYNC})
        expected.update(RESTARTS["winxp"])
        self.assertEqual(self.commands(), expected)
