"""Veltrane.exe end to end under Wine, runs that are refused before the handset is written:
an image missing from the package, one too large for a 32-bit program to hold, a package
whose check byte is wrong, and a handset that never leaves Windows Mobile (the watch thread
gives up after its 61 one-second polls)."""
import os
import time
import unittest

from e2e_case import EndToEndCase, nothing_received, patched_package

CHECK_BYTE = 6
SLOT_FLASH_BIN, SLOT_CEFS = 10, 11


def presence(slot):
    return 16 + 13 * slot


def size_bytes(slot, size):
    return {presence(slot) + 9 + n: (size >> (8 * n)) & 0xFF for n in range(4)}


class Refusals(EndToEndCase):
    def test_images_missing_from_the_package_are_listed_in_two_boxes(self):
        packed = patched_package(self.packed, self.work, {presence(SLOT_FLASH_BIN): 0, presence(SLOT_CEFS): 0})
        self.road("winxp", packed=packed)
        self.assertEqual(self.run_to_exit(), 1)
        missing = "NO FLASH.bin NO cefs "
        self.assertEqual(self.boxes.wait_for(2, 10), [("Warning", missing), ("Error", missing)])
        self.assert_golden("e2e_missing_images.txt")
        reading = self.explain()
        self.assertEqual((reading["outcome"], reading["failure"], reading["step"], reading["holds"], reading["written"]),
                         ("failed", missing, "checks", "nothing-written", []))
        self.assertIn("Running again is the wrong advice", reading["advice"])
        self.handset.stop(wait=0)
        self.assertTrue(nothing_received(self.handset.manifest()))
        self.assertEqual(self.restarts(), {})

    @unittest.skipUnless(os.environ.get("VELTRANE_PROGRAM_BITS") == "32",
                         "a 64-bit program can hold a 3.75 GiB image; a 32-bit one has 2 GiB of address space")
    def test_image_too_large_for_the_32_bit_program_is_refused_before_the_handset_is_touched(self):
        packed = patched_package(self.packed, self.work, size_bytes(SLOT_FLASH_BIN, 0xF0000000))
        self.road("winxp", packed=packed)
        self.assertEqual(self.run_to_exit(), 1)
        refused = "NO memory for FLASH.bin "
        self.assertEqual(self.boxes.wait_for(2, 10), [("Warning", refused), ("Error", refused)])
        self.assertTrue(self.trace().endswith(refused), self.trace()[-200:])
        self.handset.stop(wait=0)
        self.assertTrue(nothing_received(self.handset.manifest()))

    def test_package_with_a_wrong_check_byte_ends_at_next(self):
        packed = patched_package(self.packed, self.work, {CHECK_BYTE: 13})
        self.road("winxp", packed=packed)
        self.assertEqual(self.run_to_exit(), 1)
        # No caption of its own: the application's name stands as the title.
        self.assertEqual(self.boxes.wait_for(1, 10), [("Veltrane", "Wrong Image-w")])
        self.assertEqual(self.trace(), "")  # no run began
        self.handset.stop(wait=0)
        self.assertTrue(nothing_received(self.handset.manifest()))

    def test_handset_that_never_leaves_windows_mobile_is_refused_and_the_window_stays(self):
        self.road("winxp", start="winmobile", rapi={"download": "stay"})
        self.start_wizard()
        self.assertEqual(self.boxes.wait_for(1, 100),
                         [("Warning", "Can't Transfer from WinMobile to Download mode [CustLanguage 2f]")])
        # Checking line 3 ("Check Version & Connect") marked failed: its red cross, drawn once
        # the box is answered.
        for _ in range(10):
            colour = self.wizard.pixel(self.wizard.screenshot("refused"), 252, 147)
            if colour == "srgb(210,69,69)":
                break
            time.sleep(0.5)
        self.assertEqual(colour, "srgb(210,69,69)")
        self.assertIsNone(self.wizard.program.poll(), "the program ended")
        self.wizard.wait_for_window("Veltrane", timeout=5)
        with open(os.path.join(self.rapi_state, "events.txt")) as events:
            self.assertEqual(events.read().splitlines()[-1], "agent: stays in Windows Mobile")
        self.assertEqual(self.trace(), "")  # the worker never started
        self.assertEqual(self.close_window()[0], 1)  # a refused run is no success
        self.handset.stop(wait=0)
        self.assertTrue(nothing_received(self.handset.manifest()))
