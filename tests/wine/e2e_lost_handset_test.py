"""Veltrane.exe end to end under Wine when the handset goes away: a port that never opens
(the 301-attempt search), a handset that vanishes in the middle of AMSS (31 write attempts a
second apart), a run whose window is closed in the middle of FLASH.bin followed by a second
run on the restarted handset, which nothing of the first may stand in the way of, and a
window closed while the watch thread still waits for the download port."""
import os
import time

from e2e_case import GOLDEN, EndToEndCase, acknowledged_files, masked, repacked

CHUNK = 798720
# Stream writes before AMSS at this image scale: QCSBL header, QCSBL and OEMSBL, one each;
# AMSS of two chunks and a bit, so the handset can vanish after its first.
WRITES_BEFORE_AMSS = 3
AMSS_SIZE = 2 * CHUNK + 17


class LostHandset(EndToEndCase):
    def test_port_that_never_opens_ends_the_run_without_a_box(self):
        self.road("winxp", start="none")
        self.assertEqual(self.run_to_exit(timeout=120), 1)
        self.assertEqual(self.boxes.boxes(), [])
        trace = self.trace()
        self.assertTrue(trace.endswith("Can't Connected Port.\n"), trace[-200:])
        self.assertEqual(trace.count("Open port "), 301)
        self.assert_golden("e2e_port_never_opens.txt")
        reading = self.explain()
        self.assertEqual((reading["failure"], reading["step"], reading["holds"]),
                         ("Can't Connected Port.", "port", "nothing-written"))
        self.assertEqual(self.restarts(), {})

    def test_handset_vanishing_in_the_middle_of_amss_ends_with_send_amss(self):
        self.images, packed = repacked(self.packed, self.images, os.path.join(self.work, "package"),
                                       {"amss.mbn": AMSS_SIZE})
        self.road("winxp", packed=packed, handset_options=["--vanish-after", str(WRITES_BEFORE_AMSS + 1)])
        self.assertEqual(self.run_to_exit(timeout=150), 1)
        self.assertEqual(self.boxes.wait_for(1, 10), [("Error", "Can't Send AMSS")])
        self.assert_golden("e2e_vanish_in_amss.txt")
        self.handset.stop(wait=0)
        manifest = self.handset.manifest()
        self.assertFalse(manifest["reset"])
        self.assertEqual(sorted(manifest["images"]), ["amss", "amss_header", "oemsbl", "oemsbl_header", "qcsbl",
                                                      "qcsbl_header"])
        self.assertEqual(manifest["images"]["amss"]["bytes"], CHUNK)  # the first chunk only
        reading = self.explain()
        self.assertEqual((reading["failure"], reading["step"], reading["holds"], reading["unplug"]),
                         ("Can't Send AMSS", "amss-write", "partly-written", "keep-powered"))
        self.assertEqual(reading["written"], acknowledged_files(manifest))
        self.assertEqual(reading["written"][-1], "amsshd.mbn")  # sent with the AMSS open
        self.assertEqual(self.restarts(), {})

    def test_run_interrupted_in_flash_bin_then_a_second_run_completes(self):
        self.road("winxp")
        self.start_wizard()
        deadline = time.monotonic() + 180
        while "============== FLASH.bin" not in self.trace():
            self.assertLess(time.monotonic(), deadline, "FLASH.bin never began")
            self.assertIsNone(self.wizard.program.poll(), "the program ended before FLASH.bin")
            time.sleep(0.1)
        # The operator closes the window mid-image: the process ends within a few seconds,
        # without a crash, with status 1, nothing of it left running, the trace whole up to
        # its last line.
        status, took = self.close_window()
        self.assertEqual(status, 1)
        self.assertLess(took, 10)
        self.assertEqual(self.programs_left(), [])
        interrupted = self.trace()
        reading = self.explain()
        self.assertEqual((reading["outcome"], reading["failure"]), ("incomplete", None))
        self.assertIn(reading["step"], ("flash-bin-write", "flash-bin-close"))
        with open(os.path.join(GOLDEN, "e2e_xp_every_image.txt"), encoding="latin-1", newline="") as golden:
            self.assertTrue(golden.read().startswith(masked(interrupted)), interrupted[-300:])
        self.assertTrue(interrupted.endswith(("\n", "\r")), interrupted[-100:])
        self.handset.stop(wait=0)
        first = self.handset.manifest()
        self.assertFalse(first["reset"])
        self.assertNotIn("cefs", first["images"])
        os.rename(self.handset.manifest_path, os.path.join(self.work, "manifest-interrupted.json"))
        self.boxes.wait_for(1, 2)
        self.assertEqual(self.boxes.boxes(), [])

        # The handset starts again behind the same port; the same folder, trace and a.ini.
        self.handset = self.start_handset()
        self.assertEqual(self.run_to_finish(), 0)
        self.assertEqual(self.boxes.boxes(), [])
        self.assert_images_received()
        self.assert_golden("e2e_xp_every_image.txt")  # written afresh: nothing of the first run

    def test_window_closed_while_waiting_for_the_download_port_ends_at_once(self):
        # The handset never leaves Windows Mobile: the watch thread polls for a port that never comes.
        self.road("winxp", start="winmobile", rapi={"download": "stay"})
        self.start_wizard()
        time.sleep(3)
        self.assertIsNone(self.wizard.program.poll(), "the program ended by itself")
        status, took = self.close_window()
        self.assertEqual(status, 1)
        self.assertLess(took, 10)
        self.assertEqual(self.programs_left(), [])
        self.assertEqual(self.boxes.boxes(), [])
        self.assertEqual(self.trace(), "")  # the worker never started
