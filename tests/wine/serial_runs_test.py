"""The serial road (Windows XP) of veltrane-flash.exe under Wine: the Win32 serial table on a
dosdevices name linked to the simulated handset, through the programmer, GO, the port found
again and a streaming run of every image."""
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

    def test_search_tries_the_names_in_turn_until_the_twelfth_opens(self):
        handset = self.start_handset()
        self.prefix.link_device("wceusbsh012", handset.link)
        status, out, err, trace = self.flash()
        self.assertEqual(status, 0, out + err)
        self.assert_images_received(handset)
        search = [f"Open port \\\\.\\wceusbsh{number:03d} status 2" for number in range(1, 12)]
        search.append("Open port \\\\.\\wceusbsh012 status 0")
        self.assertEqual(open_lines(trace), search * 2)  # the search starts again from 001 after GO
