"""The serial road (Windows XP) of veltrane-flash.exe under Wine: the Win32 serial table on a
dosdevices name linked to the simulated handset, through the programmer, GO, the port found
again and a streaming run of every image."""
import os

from flash_case import FlashRunCase


def open_lines(trace):
    return [line for line in trace if line.startswith("Open port ")]


class SerialRoad(FlashRunCase):
    def setUp(self):
        super().setUp()
        self.prefix.set_windows_version("winxp")

    def test_named_port_carries_a_whole_run(self):
        handset = self.start_handset()
        self.prefix.link_device("wceusbsh001", handset.link)
        status, out, err, trace = self.flash("--port", "\\\\.\\wceusbsh001")
        self.assertEqual(status, 0, out + err)
        self.assert_images_received(handset)
        # Before the programmer and again after GO.
        self.assertEqual(open_lines(trace), ["Open port \\\\.\\wceusbsh001 status 0"] * 2)

    def test_two_handsets_at_once_each_in_a_run_folder_of_its_own(self):
        # The second handset is gone after its first write: the first is flashed all the same.
        handsets = [self.start_handset(*options, name=f"handset{number}")
                    for number, options in ((1, ()), (2, ("--vanish-after", "1")))]
        for number, handset in enumerate(handsets, 1):
            self.prefix.link_device(f"wceusbsh00{number}", handset.link)
        status, out, err, _ = self.flash("--port", "\\\\.\\wceusbsh001", "--port", "\\\\.\\wceusbsh002")
        self.assertEqual(status, 1, out + err)
        self.assert_images_received(handsets[0])
        runs = os.path.join(self.work, "run", "runs")
        traces = [open(os.path.join(runs, f"wceusbsh00{number}", "trace.txt"), encoding="latin-1").read().splitlines()
                  for number in (1, 2)]
        self.assertEqual(open_lines(traces[0]), ["Open port \\\\.\\wceusbsh001 status 0"] * 2)
        self.assertIn("Summary:\r\n  wceusbsh001    OK\r\n  wceusbsh002    failed: %s\r\n" % traces[1][-1], out)
        # The same port in other letter case is refused before anything starts.
        status, out, err = self.prefix.run([os.path.join(self.work, "run", "veltrane-flash.exe"), "--port",
                                            "\\\\.\\wceusbsh001", "--port", "\\\\.\\WCEUSBSH001"],
                                           cwd=os.path.join(self.work, "run"), timeout=60)
        self.assertEqual(status, 2, out + err)
        self.assertIn("the port \\\\.\\WCEUSBSH001 is named twice", err)

    def test_search_tries_the_names_in_turn_until_the_twelfth_opens(self):
        handset = self.start_handset()
        self.prefix.link_device("wceusbsh012", handset.link)
        status, out, err, trace = self.flash()
        self.assertEqual(status, 0, out + err)
        self.assert_images_received(handset)
        search = [f"Open port \\\\.\\wceusbsh{number:03d} status 2" for number in range(1, 12)]
        search.append("Open port \\\\.\\wceusbsh012 status 0")
        self.assertEqual(open_lines(trace), search * 2)  # the search starts again from 001 after GO
