#!/usr/bin/env python3
"""Whole runs of veltrane-flash against handset-sim over a pty: the images the simulated
handset recorded must match the package image by image, and the trace must match its golden
file byte for byte once the rate and time figures are masked.

Run by CTest with VELTRANE_FLASH, VELTRANE_PACK, HANDSET_SIM and PROGRAMMER_HEX set.
Set GOLDEN_UPDATE=1 to rewrite the golden traces (then review the diff).
"""
import hashlib
import json
import os
import random
import re
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
FLASH = os.environ.get("VELTRANE_FLASH", "")
PACK = os.environ.get("VELTRANE_PACK", "")
SIM = os.environ.get("HANDSET_SIM", "")
PROGRAMMER = os.environ.get("PROGRAMMER_HEX", "")

CHUNK = 798720
# Small images, except FLASH.bin: two chunks and a byte, so chunk addressing is exercised.
SIZES = {
    "partition.mbn": 464, "qcsblhd_cfgdata.mbn": 2708, "qcsbl.mbn": 5834, "oemsblhd.mbn": 40,
    "oemsbl.mbn": 19860, "appsboothd.mbn": 40, "appsboot.mbn": 54067, "amsshd.mbn": 40,
    "amss.mbn": CHUNK, "FLASH.bin": 2 * CHUNK + 1, "cefs_modem.mbn": CHUNK + 100,
}
# Manifest name, file, a.ini position that selects it.
IMAGES = [
    ("qcsbl_header", "qcsblhd_cfgdata.mbn", 2), ("qcsbl", "qcsbl.mbn", 2),
    ("oemsbl_header", "oemsblhd.mbn", 3), ("oemsbl", "oemsbl.mbn", 3),
    ("amss_header", "amsshd.mbn", 4), ("amss", "amss.mbn", 4),
    ("appsboot_header", "appsboothd.mbn", 5), ("appsboot", "appsboot.mbn", 5),
    ("flash_bin", "FLASH.bin", 6), ("cefs", "cefs_modem.mbn", 0),
]


def sha256(data):
    return hashlib.sha256(data).hexdigest()


def masked(trace):
    trace = re.sub(rb"rate \d+", b"rate N", trace)
    trace = re.sub(rb"Open port \S+ status", b"Open port PORT status", trace)
    return re.sub(rb"total time: \d+ sec", b"total time: N sec", trace)


class WholeRun(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="veltrane-run-")
        images = os.path.join(cls.work, "images")
        os.makedirs(images)
        shutil.copyfile(PROGRAMMER, os.path.join(images, "NPRG7200A.hex"))
        cls.images = {}
        for index, (name, size) in enumerate(sorted(SIZES.items())):
            data = random.Random(index).randbytes(size)
            cls.images[name] = data
            with open(os.path.join(images, name), "wb") as image:
                image.write(data)
        cls.flasher = os.path.join(cls.work, "veltrane-flash")
        subprocess.run([PACK, "create", "--images", images, "--family", "C", "--id", "47", "--exe", FLASH,
                        "--out", cls.flasher], check=True, stdout=subprocess.DEVNULL)
        os.chmod(cls.flasher, 0o755)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def start_sim(self, folder, name, *sim_options):
        """A simulated handset on folder/NAME; returns (process, link, manifest path, log path)."""
        link = os.path.join(folder, name)
        manifest = os.path.join(folder, name + ".json")
        log = os.path.join(folder, name + ".log")
        sim = subprocess.Popen([SIM, "--link", link, "--manifest", manifest, "--log", log,
                                "--programmer", PROGRAMMER, *sim_options],
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        self.addCleanup(self.stop_sim, sim)
        ready = sim.stdout.readline().decode()
        self.assertTrue(ready.startswith("READY"), ready)
        return sim, link, manifest, log

    @staticmethod
    def stop_sim(sim):
        if sim.poll() is None:
            try:
                sim.wait(timeout=10)
            except subprocess.TimeoutExpired:
                sim.send_signal(signal.SIGTERM)
                sim.wait(timeout=10)
        sim.stdout.close()

    def new_run(self, settings):
        run = tempfile.mkdtemp(dir=self.work)
        with open(os.path.join(run, "a.ini"), "w") as ini:
            ini.write(settings)
        return run

    def run_flash(self, settings, *sim_options, flash_options=()):
        """Runs one flashing session; returns (exit status, stderr, trace, manifest, request log);
        the flasher's stdout is kept in self.flash_out."""
        run = self.new_run(settings)
        self.last_run = run
        sim, link, manifest, log = self.start_sim(run, "handset", *sim_options)
        flash = subprocess.run([self.flasher, "--port", link, *flash_options], cwd=run, stdin=subprocess.DEVNULL,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=600)
        self.flash_out = flash.stdout.decode()
        self.stop_sim(sim)
        with open(os.path.join(run, "trace.txt"), "rb") as trace:
            trace_bytes = trace.read()
        with open(manifest) as manifest_file:
            recorded = json.load(manifest_file)
        with open(log) as log_file:
            requests = log_file.read()
        return flash.returncode, flash.stderr.decode(), trace_bytes, recorded, requests

    def expect_images(self, recorded, settings):
        self.assertEqual(recorded["partition"]["sha256"], sha256(self.images["partition.mbn"]))
        received = recorded["images"]
        for name, file, switch in IMAGES:
            if settings[switch] == "1":
                self.assertIn(name, received, name)
                self.assertEqual(received[name]["bytes"], len(self.images[file]), name)
                self.assertEqual(received[name]["sha256"], sha256(self.images[file]), name)
            else:
                self.assertNotIn(name, received, name)

    def expect_golden(self, trace, name):
        path = os.path.join(HERE, "golden", name)
        if os.environ.get("GOLDEN_UPDATE") == "1":
            with open(path, "wb") as golden:
                golden.write(masked(trace))
        with open(path, "rb") as golden:
            self.assertEqual(masked(trace).decode("latin-1"), golden.read().decode("latin-1"))

    def test_every_image(self):
        status, err, trace, recorded, _ = self.run_flash("1011111", flash_options=("--progress", "json"))
        self.assertEqual(status, 0, err)
        self.assertTrue(recorded["reset"])
        self.assertEqual(recorded["partition"]["override"], 0)
        self.expect_images(recorded, "1011111")
        self.expect_golden(trace, "every_image.txt")
        # Other programs read the run as JSON lines: every stage in order, figures that add up,
        # and at the end the outcome with the trace's last line.
        events = [json.loads(line) for line in self.flash_out.splitlines()]
        stages = []
        for event in events:
            self.assertLessEqual(event["done"], event["total"], event)
            stage = (event["stage"], event["image"])
            if stage != ("waiting for port", "") and stage not in stages:
                stages.append(stage)
        self.assertEqual(stages, [("programmer", ""), ("partition table", "")] + [
            ("images", image) for image in ("QCSBL", "OEMSBL", "AMSS", "APPSBOOT", "FLASH.bin", "CEFS")])
        # A stage's figures are its own from its start: none left over from the stage before.
        own = {"QCSBL": "qcsbl.mbn", "OEMSBL": "oemsbl.mbn", "AMSS": "amss.mbn", "APPSBOOT": "appsboot.mbn",
               "FLASH.bin": "FLASH.bin", "CEFS": "cefs_modem.mbn"}
        for event in events:
            if event["stage"] == "partition table":
                self.assertEqual((event["done"], event["total"]), (0, 0), event)
            elif event["image"]:
                self.assertIn(event["total"], (0, SIZES[own[event["image"]]]), event)
        flash_bin = [event for event in events if event["image"] == "FLASH.bin"]
        self.assertEqual((flash_bin[-1]["done"], flash_bin[-1]["total"]), (SIZES["FLASH.bin"],) * 2)
        self.assertEqual([event.get("outcome") for event in events].count(None), len(events) - 1)
        self.assertEqual((events[-1]["outcome"], events[-1]["last_line"]), ("ok", "Finish"))

    def test_default_selection_and_lost_replies(self):
        # Replies lost, garbled or acknowledging the wrong chunk are sent again unchanged.
        status, err, trace, recorded, _ = self.run_flash(
            "0000111", "--drop-reply", "3,40", "--corrupt-reply", "5", "--garble-reply", "38",
            "--wrong-address", "41")
        self.assertEqual(status, 0, err)
        self.expect_images(recorded, "0000111")
        self.assertIn(b"Error code: Send 0 ,Rev. -1", trace)
        self.assertIn(b"Error code not match", trace)

    def test_partition_override_writes_every_image(self):
        status, err, trace, recorded, requests = self.run_flash("0000001", "--partition-status1")
        self.assertEqual(status, 0, err)
        self.assertEqual(recorded["partition"]["override"], 1)
        self.expect_images(recorded, "1011111")

    def test_handset_that_vanishes_mid_image(self):
        # CEFS is two chunks: the handset takes the first and is gone.
        status, err, trace, recorded, requests = self.run_flash("1000000", "--vanish-after", "1")
        self.assertEqual(status, 1)
        self.assertFalse(recorded["reset"])
        self.assertTrue(trace.endswith(b"Can't Send or Received\nCan't Send CEFS"), trace[-300:])
        # Where it ended and what to do, before the failure text, which stays the last line.
        self.assertTrue(err.endswith("\nError: Can't Send CEFS\n"), err)
        self.assertIn("The run ended at the writing of CEFS", err)
        self.assertLess(err.index("What to do: The boot loaders are complete"), err.index("Error: Can't Send CEFS"))
        # No reset ever went out.
        self.assertFalse(any(line.split()[3:4] == ["0b"] for line in requests.splitlines()))

    def test_three_handsets_at_once_one_vanishing_in_amss(self):
        run = self.new_run("1011111")
        # The middle handset takes the AMSS header and is gone before the AMSS image.
        sims = [self.start_sim(run, f"handset{n}", *options)
                for n, options in enumerate([(), ("--vanish-after", "4"), ()])]
        flash = subprocess.run([self.flasher, *sum((["--port", link] for _, link, _, _ in sims), [])], cwd=run,
                               stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=600)
        out = flash.stdout.decode()
        self.assertEqual(flash.returncode, 1, out + flash.stderr.decode())
        for n in (0, 2):
            self.stop_sim(sims[n][0])
            with open(sims[n][2]) as manifest:
                self.expect_images(json.load(manifest), "1011111")
            with open(os.path.join(run, "runs", f"handset{n}", "trace.txt"), "rb") as trace:
                self.expect_golden(trace.read(), "every_image.txt")
        with open(os.path.join(run, "runs", "handset1", "trace.txt"), "rb") as trace:
            last_line = trace.read().decode("latin-1").splitlines()[-1]
        self.assertIn("AMSS", last_line)
        # Not a terminal: one line per stage change and per outcome, then the summary.
        lines = out.splitlines()
        self.assertLess(lines.index("handset1: images AMSS"), lines.index("handset1: failed: " + last_line))
        self.assertEqual(out.count("handset0: images FLASH.bin\n"), 1, out)
        self.assertTrue(out.endswith("Summary:\n  handset0       OK\n  handset1       failed: %s\n"
                                     "  handset2       OK\n" % last_line), out)
        self.assertRegex(flash.stderr.decode(), r"(?m)^handset1: what to do: Do not switch the handset off\. .*$")

    def explain(self, *traces):
        """veltrane-flash explain --json over the traces: one reading per trace."""
        explained = subprocess.run([FLASH, "explain", "--json", *traces], capture_output=True, text=True, timeout=60)
        self.assertEqual(explained.returncode, 0, explained.stderr)
        return [json.loads(line) for line in explained.stdout.splitlines()]

    @staticmethod
    def acknowledged_files(recorded):
        """What the handset's reply said was whole, by the files' names, in run order."""
        written = ["partition.mbn"] if recorded["partition"] and recorded["partition"]["accepted"] else []
        return written + [file for name, file, _ in IMAGES if recorded["images"].get(name, {}).get("closed")]

    def test_every_fault_of_the_handset_read_back_from_its_trace(self):
        # One handset per fault, all flashed at once: each run's own end, explain's reading of
        # its trace, and what the handset's manifest says its replies acknowledged.
        every = [file for _, file, _ in IMAGES]
        until_amss = ["partition.mbn"] + every[:5]
        # Requests of a clean run: 29 programmer packets and GO, then hello 30 ... the reset 57.
        faults = {
            "clean": ((), "ok", None, "finished", "everything-written", ["partition.mbn"] + every),
            "lost": (("--drop-reply", "3,40", "--corrupt-reply", "5", "--garble-reply", "38", "--wrong-address", "41"),
                     "ok", None, "finished", "everything-written", ["partition.mbn"] + every),
            "status1": (("--partition-status1",), "ok", None, "finished", "everything-written",
                        ["partition.mbn"] + every),
            "silent": (("--silent-hello",), "failed", "Can't Initial HELLO Tag", "hello", "nothing-written", []),
            "gone1": (("--vanish-after", "1"), "failed", "Can't Close QCSBL header", "qcsbl-header-close",
                      "partly-written", ["partition.mbn"]),
            "gone4": (("--vanish-after", "4"), "failed", "Can't Close AMSS", "amss-close", "partly-written",
                      until_amss),
            "gone6": (("--vanish-after", "6"), "failed", "Can't Send Flash.bin", "flash-bin-write", "partly-written",
                      ["partition.mbn"] + every[:8]),
            "gone8": (("--vanish-after", "8"), "failed", "Can't Open Flash.bin", "flash-bin-close", "partly-written",
                      ["partition.mbn"] + every[:8]),
            "gone10": (("--vanish-after", "10"), "failed", "Can't Open CEFS", "cefs-close", "partly-written",
                       ["partition.mbn"] + every[:9]),
            "noreset": (("--drop-reply", "57"), "failed", "Reset Fail", "reset", "everything-written",
                        ["partition.mbn"] + every),
        }
        run = self.new_run("1011111")
        sims = {name: self.start_sim(run, name, *options) for name, (options, *_) in faults.items()}
        flash = subprocess.run([self.flasher, *sum((["--port", sims[name][1]] for name in faults), []), "--progress",
                                "json"], cwd=run, stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=600)
        self.assertEqual(flash.returncode, 1, flash.stderr)
        ends = {event["handset"]: event for event in map(json.loads, flash.stdout.splitlines()) if "outcome" in event}
        traces = [os.path.join(run, "runs", name, "trace.txt") for name in faults]
        readings = dict(zip(faults, self.explain(*traces)))
        for name, (_, outcome, failure, step, holds, written) in faults.items():
            with self.subTest(handset=name):
                self.stop_sim(sims[name][0])
                with open(sims[name][2]) as manifest:
                    recorded = json.load(manifest)
                reading = readings[name]
                self.assertEqual((reading["outcome"], reading["failure"], reading["step"], reading["holds"]),
                                 (outcome, failure, step, holds))
                self.assertEqual(reading["written"], written)
                self.assertEqual(self.acknowledged_files(recorded), written)
                end = ends[sims[name][1]]
                self.assertEqual(end["outcome"], outcome)
                if failure:
                    self.assertEqual(end["last_line"], failure)  # the text stays the last line
                    self.assertEqual(end["advice"], reading["advice"])
                    self.assertIn(f"{name}: what to do: {reading['advice']}\n", flash.stderr)
                else:
                    self.assertNotIn("advice", end)
        # A header that travels in its image's open is whole with that open; the image itself
        # only with its close, which a handset gone after the last chunk never acknowledged.
        with open(sims["gone4"][2]) as manifest:
            gone = json.load(manifest)["images"]
        self.assertEqual((gone["amss_header"]["closed"], gone["amss"]["closed"]), (True, False))
        self.assertEqual(gone["amss"]["bytes"], SIZES["amss.mbn"])

        # A bench's day in one view: a row per trace, then how many ended with each text.
        day = subprocess.run([FLASH, "explain", *traces], capture_output=True, text=True, timeout=60).stdout
        self.assertIn("\nEndings:\n     3  Finish\n", day)  # the most frequent first
        self.assertIn("\n     1  \"Can't Open Flash.bin\" (flash-bin-close)\n", day)
        self.assertEqual(len([line for line in day.splitlines() if line.startswith(run)]), len(faults))

        # The handset's table differs and the package cannot follow with every image: it keeps
        # its own and nothing is written, which running again would not change.
        partial = os.path.join(self.work, "partial")
        shutil.copytree(os.path.join(self.work, "images"), partial, dirs_exist_ok=True)
        os.remove(os.path.join(partial, "cefs_modem.mbn"))
        package = os.path.join(self.work, "partial.bin")
        subprocess.run([PACK, "create", "--images", partial, "--family", "C", "--id", "47", "--out", package],
                       check=True, stdout=subprocess.DEVNULL)
        status, err, trace, recorded, _ = self.run_flash("0000000", "--partition-status1",
                                                         flash_options=("--package", package))
        self.assertEqual(status, 1, err)
        self.assertTrue(trace.endswith(b"Can't Load cefs_modem.mbn\nCan't Send Partition"), trace[-200:])
        [reading] = self.explain(os.path.join(self.last_run, "trace.txt"))
        self.assertEqual((reading["step"], reading["holds"], reading["written"]), ("partition-table",
                                                                                   "nothing-written", []))
        self.assertIn("Running again is the wrong advice", reading["advice"])
        self.assertFalse(recorded["partition"]["accepted"])
        self.assertLess(err.index("What to do: Running again"), err.index("Error: Can't Send Partition"))

    def test_two_handsets_in_an_80_column_terminal_keep_one_table(self):
        # Long /dev/serial/by-id style names: rows that wrapped would add a copy of the table
        # at every redraw. tmux gives the flasher a real terminal of 80 columns.
        run = self.new_run("1011111")
        maker = "usb-Qualcomm_Incorporated_Qualcomm_CDMA_Technologies_MSM_"
        sims = [self.start_sim(run, f"{maker}{serial}-if00-port0", "--delay-ms", "2") for serial in ("A100", "B7")]
        done = os.path.join(run, "exit-status")
        command = " ".join([self.flasher, *sum((["--port", link] for _, link, _, _ in sims), []),
                            "; echo $? >", done])
        tmux = ["tmux", "-L", f"veltrane-{os.getpid()}"]
        subprocess.run(tmux + ["new-session", "-d", "-x", "80", "-y", "30", "-c", run, command], check=True)
        self.addCleanup(subprocess.run, tmux + ["kill-server"], stderr=subprocess.DEVNULL)
        subprocess.run(tmux + ["set-option", "-g", "remain-on-exit", "on"], check=True)
        deadline = time.monotonic() + 300
        while not os.path.exists(done) and time.monotonic() < deadline:
            time.sleep(0.2)
        with open(done) as status:
            self.assertEqual(status.read().strip(), "0")
        screen = subprocess.run(tmux + ["capture-pane", "-p", "-S", "-", "-E", "-"], capture_output=True,
                                text=True, check=True).stdout.splitlines()
        self.assertLessEqual(max(len(line) for line in screen), 79, "\n".join(screen))
        for serial in ("A100", "B7"):
            rows = [line for line in screen if line.startswith(f"  {serial} ")]
            self.assertEqual(len(rows), 1, "\n".join(screen))  # redrawn in place, never copied
            self.assertIn(" OK ", rows[0])
        self.assertIn(f"  {maker}A100-if00-port0 OK", screen)  # the summary names the run folder

    def test_interrupted_or_killed_run_of_several_leaves_no_child(self):
        flasher = os.path.realpath(self.flasher)

        def children():
            found = []
            for pid in filter(lambda pid: pid.isdigit() and int(pid) != parent.pid, os.listdir("/proc")):
                try:
                    with open(f"/proc/{pid}/cmdline", "rb") as cmdline:
                        if cmdline.read().split(b"\0")[:2] == [flasher.encode(), b"--port"]:
                            found.append(pid)
                except OSError:
                    pass
            return found

        def as_nohup_starts_it():  # a hangup, and Ctrl-C as for a shell's background job, ignored
            signal.signal(signal.SIGHUP, signal.SIG_IGN)
            signal.signal(signal.SIGINT, signal.SIG_IGN)

        # SIGHUP: started as nohup starts it, the parent is sent a hangup and a Ctrl-C, and both
        # handsets go on to the end.
        for how in (signal.SIGINT, signal.SIGKILL, signal.SIGHUP):
            with self.subTest(signal=how.name):
                ignored = how == signal.SIGHUP
                run = self.new_run("1011111")
                sims = [self.start_sim(run, f"slow{n}", "--delay-ms", "30") for n in range(2)]
                parent = subprocess.Popen([self.flasher, "--port", sims[0][1], "--port", sims[1][1], "--progress",
                                           "json"], cwd=run, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                          preexec_fn=as_nohup_starts_it if ignored else None)
                writing = set()
                while len(writing) < 2:  # both past GO, their traces well begun
                    event = json.loads(parent.stdout.readline())
                    if event["stage"] == "partition table":
                        writing.add(event["handset"])
                self.assertEqual(len(children()), 2)
                parent.send_signal(how)
                if ignored:
                    parent.send_signal(signal.SIGINT)
                rest = [json.loads(line) for line in parent.stdout.read().splitlines()]
                parent.stdout.close()
                status = parent.wait(timeout=30)
                deadline = time.monotonic() + 10
                while children() and time.monotonic() < deadline:
                    time.sleep(0.05)
                self.assertEqual(children(), [])
                if ignored:
                    self.assertEqual(status, 0)
                    self.assertEqual(sorted(event["handset"] for event in rest if event.get("outcome") == "ok"),
                                     sorted(link for _, link, _, _ in sims))
                if how == signal.SIGINT:
                    self.assertEqual(status, 1)
                    ends = {event["handset"]: event for event in rest if "outcome" in event}
                    for n, (_, link, _, _) in enumerate(sims):
                        with open(os.path.join(run, "runs", f"slow{n}", "trace.txt"), "rb") as trace:
                            last_line = trace.read().decode("latin-1").splitlines()[-1]
                        self.assertEqual(ends[link]["outcome"], "interrupted")
                        self.assertEqual(ends[link]["last_line"], last_line)
                for sim, *_ in sims:
                    sim.send_signal(signal.SIGTERM)

    def test_file_without_package_is_named_before_the_missing_images(self):
        run = tempfile.mkdtemp(dir=self.work)
        flash = subprocess.run([FLASH, "--port", os.path.join(run, "none"), "--package", PROGRAMMER], cwd=run,
                               stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
        self.assertEqual(flash.returncode, 1)
        err = flash.stderr.decode()
        self.assertTrue(err.startswith("veltrane-flash: no firmware package in %s\n" % PROGRAMMER), err)
        self.assertIn("NO HEX", err)
        self.assertIn("What to do: Running again is the wrong advice", err)


if __name__ == "__main__":
    unittest.main()
