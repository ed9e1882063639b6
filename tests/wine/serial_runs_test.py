"""The serial road (Windows XP) of veltrane-flash.exe under Wine: the Win32 serial table on a
dosdevices name linked to the simulated handset, through the programmer, GO, the port found
again and a streaming run of every image."""
import os
import shutil
import time

from flash_case import FlashRunCase


def flashers(prefix):
    """The Linux processes of every veltrane-flash.exe running in the Wine prefix."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as cmdline, open(f"/proc/{pid}/environ", "rb") as environ:
                if (b"veltrane-flash.exe" in cmdline.read().split(b"\0")[0]
                        and f"WINEPREFIX={prefix.path}".encode() in environ.read().split(b"\0")):
                    found.append(pid)
        except OSError:
            pass
    return found


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
        # Folders outside ASCII, which code page 1252 names (the program's) or cannot name (the
        # working folder, the run folders): the children start there and find their files.
        handsets = [self.start_handset(*options, name=f"handset{number}")
                    for number, options in ((1, ()), (2, ("--vanish-after", "1")))]
        for number, handset in enumerate(handsets, 1):
            self.prefix.link_device(f"wceusbsh00{number}", handset.link)
        status, out, err, _ = self.flash("--port", "\\\\.\\wceusbsh001", "--port", "\\\\.\\wceusbsh002",
                                         "--runs", "固件", folder="Прошивка", program_folder="Café")
        self.assertEqual(status, 1, out + err)
        self.assert_images_received(handsets[0])
        runs = os.path.join(self.work, "Прошивка", "固件")
        traces = [open(os.path.join(runs, f"wceusbsh00{number}", "trace.txt"), encoding="latin-1").read().splitlines()
                  for number in (1, 2)]
        self.assertEqual(open_lines(traces[0]), ["Open port \\\\.\\wceusbsh001 status 0"] * 2)
        self.assertIn("Summary:\r\n  wceusbsh001    OK\r\n  wceusbsh002    failed: %s\r\n" % traces[1][-1], out)
        # The same port in other letter case is refused before anything starts.
        status, out, err = self.prefix.run([os.path.join(self.work, "Café", "veltrane-flash.exe"), "--port",
                                            "\\\\.\\wceusbsh001", "--port", "\\\\.\\WCEUSBSH001"],
                                           cwd=self.run_folder, timeout=60)
        self.assertEqual(status, 2, out + err)
        self.assertIn("the port \\\\.\\WCEUSBSH001 is named twice", err)

    def test_children_end_with_a_parent_killed_outright(self):
        # The job object closes with the parent's last handle, whatever ends the parent.
        for number in (1, 2):
            handset = self.start_handset("--delay-ms", "50", name=f"slow{number}")
            self.prefix.link_device(f"wceusbsh00{number}", handset.link)
        run = os.path.join(self.work, "run")
        os.makedirs(run)
        shutil.copy2(self.packed, run)
        parent = self.prefix.start([os.path.join(run, "veltrane-flash.exe"), "--port", "\\\\.\\wceusbsh001",
                                    "--port", "\\\\.\\wceusbsh002"], cwd=run, output=os.path.join(self.work, "out"))
        traces = [os.path.join(run, "runs", f"wceusbsh00{number}", "trace.txt") for number in (1, 2)]
        deadline = time.monotonic() + 120
        while not all(os.path.exists(trace) and "Open port" in open(trace, encoding="latin-1").read()
                      for trace in traces):
            self.assertLess(time.monotonic(), deadline, "the children never opened their ports")
            time.sleep(0.2)
        self.assertEqual(len(flashers(self.prefix)), 3)
        parent.kill()
        parent.wait(timeout=30)
        deadline = time.monotonic() + 20
        while flashers(self.prefix) and time.monotonic() < deadline:
            time.sleep(0.2)
        self.assertEqual(flashers(self.prefix), [])

    def test_search_tries_the_names_in_turn_until_the_twelfth_opens(self):
        handset = self.start_handset()
        self.prefix.link_device("wceusbsh012", handset.link)
        status, out, err, trace = self.flash()
        self.assertEqual(status, 0, out + err)
        self.assert_images_received(handset)
        search = [f"Open port \\\\.\\wceusbsh{number:03d} status 2" for number in range(1, 12)]
        search.append("Open port \\\\.\\wceusbsh012 status 0")
        self.assertEqual(open_lines(trace), search * 2)  # the search starts again from 001 after GO
