"""Whole runs of the packed Veltrane.exe under Wine, driven through its wizard: one small
package per module (reused by every case), a run folder per case, the roads set up as
`make demo` sets them up (Windows XP serial-style port, Windows 7 WinUSB stand-in, a handset
still in Windows Mobile behind the stand-in rapi.dll), the host programs replaced by
recording stand-ins. What a case asserts: the handset's manifest, the exit status, the boxes,
the commands the stand-ins saw, and trace.txt against a golden file with rates and times
masked (GOLDEN_UPDATE=1 rewrites the golden files: review the diff)."""
import collections
import json
import os
import random
import re
import shutil
import subprocess
import sys
import time

import registry_devices as devices
from flash_case import EVERY_IMAGE, FLASH_EXE, SOURCE, PackedProgramCase, recorded_commands
from wine_prefix import SYSTEM_FOLDER, windows_path
from wizard_driver import WizardDriver

VELTRANE_EXE = os.environ.get("VELTRANE_EXE", "")
# The handset's names of the images and the files they come from, in the order a run writes them.
RUN_ORDER = [("qcsbl_header", "qcsblhd_cfgdata.mbn"), ("qcsbl", "qcsbl.mbn"), ("oemsbl_header", "oemsblhd.mbn"),
             ("oemsbl", "oemsbl.mbn"), ("amss_header", "amsshd.mbn"), ("amss", "amss.mbn"),
             ("appsboot_header", "appsboothd.mbn"), ("appsboot", "appsboot.mbn"), ("flash_bin", "FLASH.bin"),
             ("cefs", "cefs_modem.mbn")]
RAPI_STANDIN = os.environ.get("RAPI_STANDIN", "")
WINUSB_STANDIN = os.environ.get("WINUSB_STANDIN", "")
RECORDING_COMMAND = os.environ.get("RECORDING_COMMAND", "")
STUB_SERVICE = os.environ.get("STUB_SERVICE", "")
AGENT_EXE = os.environ.get("AGENT_EXE", "")
GOLDEN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "golden")

SYNC_DEVICE = "USB\\VID_0BB4&PID_00CE\\0001"
MOBILE_DEVICE = "USB\\VID_0BB4&PID_00CE\\WM0001"   # where the stand-in Remote API looks
WINUSB_DEVICE = "USB\\VID_05C6&PID_3197\\5&ABC&0&2"
SERIAL_PORT = "wceusbsh001"

ACTIVESYNC = "c:\\program files\\microsoft activesync"
SYSTEM = "c:\\" + SYSTEM_FOLDER.replace("/", "\\")
# The 32-bit program in a win64 prefix: 64-bit Windows 7, where it runs under WoW64.
WOW64 = os.environ.get("VELTRANE_WINE_WOW64") == "1"
# What the recording stand-ins stand for: (folder under drive_c, file name).
HOST_PROGRAMS = [(SYSTEM_FOLDER, "taskkill.exe"), (SYSTEM_FOLDER, "tskill.exe"),
                 ("windows/WindowsMobile", "wmdc.exe"), ("Program Files/Microsoft ActiveSync", "wcescomm.exe"),
                 ("Program Files/Microsoft ActiveSync", "WCESMgr.exe")]
RESTARTS = {"winxp": collections.Counter({("wcescomm.exe", "", ACTIVESYNC): 1, ("WCESMgr.exe", "", ACTIVESYNC): 1}),
            "win7": collections.Counter({("wmdc.exe", "", "c:\\windows\\windowsmobile"): 1})}


def masked(trace):
    trace = re.sub(r"rate \d+", "rate N", trace)
    return re.sub(r"total time: \d+ sec", "total time: N sec", trace)


class EndToEndCase(PackedProgramCase):
    """Veltrane.exe packed once per module; `road` prepares a case."""
    PROGRAM = VELTRANE_EXE
    NAME = "Veltrane.exe"

    def road(self, windows="winxp", start="download", handset_options=(), settings=EVERY_IMAGE, packed=None,
             rapi=None, program_folder=None, planted=False):
        """Prepares the prefix, the run folder and the handset for one road:
        windows winxp|win7; start download|winmobile|none (no handset at all); rapi: the
        stand-in Remote API's settings (VELTRANE_RAPI_<KEY>); program_folder: a folder of its
        own for Veltrane.exe, the run folder (a.ini, trace.txt) staying the working folder;
        planted: DLLs that must never be loaded put into the program's and the working folder,
        their marks in self.dll_marks. The stand-in DLLs go where the real ones are, the system
        folder."""
        if WOW64 and windows == "winxp":
            self.skipTest("64-bit Windows XP is refused at start-up: the XP road runs in the 32-bit prefix")
        self.windows = windows
        self.prefix.set_windows_version(windows)
        self.display = self.use_display()
        self.boxes = self.watch_boxes()
        self.folder = os.path.join(self.work, "run")
        os.makedirs(self.folder)
        self.program = os.path.join(self.work, program_folder or "run", "Veltrane.exe")
        os.makedirs(os.path.dirname(self.program), exist_ok=True)
        shutil.copy2(packed or self.packed, self.program)
        with open(os.path.join(self.folder, "a.ini"), "w") as ini:
            ini.write(settings)
        self.env = {}
        self.install_host_programs()
        self.handset = None
        if start != "none":
            self.handset = self.start_handset(*handset_options)
        winusb = windows != "winxp"
        if winusb:
            self.prefix.install_file(WINUSB_STANDIN)
            self.prefix.dll_overrides.append("winusb=n")
        if start == "winmobile":
            self.prefix.install_file(RAPI_STANDIN)
            self.prefix.dll_overrides.append("rapi=n")
            self.rapi_state = os.path.join(self.work, "rapi-state")
            os.makedirs(self.rapi_state)
            self.env["VELTRANE_RAPI_STATE"] = windows_path(self.rapi_state)
            self.env.update({"VELTRANE_RAPI_" + key.upper(): str(value) for key, value in (rapi or {}).items()})
            devices.declare_device(self.prefix, MOBILE_DEVICE, "Windows Mobile-based Device", devices.PORTS_CLASS)
        elif winusb:
            devices.declare_device(self.prefix, WINUSB_DEVICE, devices.DOWNLOAD_DESCRIPTION, devices.WINUSB_CLASS,
                                   interface=True)
        else:
            devices.declare_device(self.prefix, SYNC_DEVICE, "Microsoft USB Sync", devices.PORTS_CLASS)
        if self.handset:
            self.prefix.link_device(self.port_name(), self.handset.link)
        if planted:
            self.dll_marks = self.plant_dlls(*{self.folder, os.path.dirname(self.program)})
            self.env["VELTRANE_DLL_MARKERS"] = windows_path(self.dll_marks)
        self.wizard = WizardDriver(self.prefix, self.display, self.folder, self.work)
        self.addCleanup(self.wizard.stop)

    def port_name(self):
        if self.windows == "winxp":
            return SERIAL_PORT
        return devices.dosdevice_name(devices.interface_path(WINUSB_DEVICE, devices.WINUSB_CLASS))

    def install_host_programs(self):
        """Recording stand-ins in place of taskkill, tskill and the synchronisation programs."""
        self.records = os.path.join(self.work, "commands")
        os.makedirs(self.records)
        for folder, name in HOST_PROGRAMS:
            os.makedirs(os.path.join(self.prefix.path, "drive_c", folder), exist_ok=True)
            named = os.path.join(self.work, name)
            shutil.copy(RECORDING_COMMAND, named)
            self.prefix.install_file(named, folder)
        self.prefix.dll_overrides.append("taskkill.exe=n")  # else Wine's builtin taskkill runs
        self.env["VELTRANE_COMMAND_LOG"] = windows_path(self.records)

    def install_service(self, name, running):
        """A stub service under `name` in the prefix's Service Control Manager."""
        binary = os.path.join(self.work, "stub_service.exe")
        if not os.path.exists(binary):
            shutil.copy(STUB_SERVICE, binary)
        for command in [["sc", "create", name, "binPath=", windows_path(binary)]] + (
                [["sc", "start", name]] if running else []):
            status, out, err = self.prefix.run(command, cwd=self.work)
            self.assertEqual(status, 0, out + err)

    def service_state(self, name):
        _, out, _ = self.prefix.run(["sc", "query", name], cwd=self.work)
        return "STOPPED" if "STOPPED" in out else "RUNNING" if "RUNNING" in out else out.strip()

    def start_wizard(self):
        """Starts Veltrane.exe, types the password, ticks Accept and presses Next."""
        self.started = time.monotonic()
        self.wizard.program = self.prefix.start([self.program], cwd=self.folder,
                                                output=os.path.join(self.work, "veltrane.out"), env=self.env)
        self.wizard.wait_for_window("Password")
        self.wizard.unlock()
        self.wizard.accept_and_start()

    def run_to_finish(self, timeout=240):
        """A run that must end on the finish page; Finish pressed; returns the exit status."""
        self.start_wizard()
        finished = self.wizard.follow_run(timeout)
        self.assertTrue(finished, "no finish page; trace ends: " + self.wizard.trace()[-300:])
        return self.wizard.finish()

    def run_to_exit(self, timeout=240):
        """A run that must end the process by itself; returns its exit status."""
        self.start_wizard()
        return self.wizard.program.wait(timeout=timeout)

    def close_window(self):
        """Clicks the wizard's close area; the program's exit status and how long it took to end."""
        clicked = time.monotonic()
        self.wizard.click((610, 20), settle=0)
        status = self.wizard.program.wait(timeout=60)
        return status, time.monotonic() - clicked

    def programs_left(self):
        """Processes of this prefix still running Veltrane.exe."""
        left = []
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open(f"/proc/{pid}/environ", "rb") as environ, open(f"/proc/{pid}/cmdline", "rb") as cmdline:
                    ours = b"WINEPREFIX=" + self.prefix.path.encode() + b"\0" in environ.read() + b"\0"
                    if ours and b"veltrane.exe" in cmdline.read().lower():
                        left.append(pid)
            except OSError:
                continue  # gone meanwhile, or not ours to read
        return left

    def commands(self, settle=1.0):
        """What the recording stand-ins saw, as a multiset of (program, parameters, folder)."""
        time.sleep(settle)  # programs started last may still be writing their record
        return recorded_commands(self.records)

    def restarts(self):
        """The synchronisation programs started (everything but the kill commands)."""
        return collections.Counter({command: count for command, count in self.commands().items()
                                    if command[0] not in ("taskkill.exe", "tskill.exe")})

    def trace(self):
        """trace.txt as written (line ends kept), or "" when there is none."""
        path = os.path.join(self.folder, "trace.txt")
        if not os.path.exists(path):
            return ""
        with open(path, encoding="latin-1", newline="") as trace:
            return trace.read()

    def assert_golden(self, name, trace=None):
        trace = masked(self.trace() if trace is None else trace)
        path = os.path.join(GOLDEN, name)
        if os.environ.get("GOLDEN_UPDATE") == "1":
            with open(path, "w", encoding="latin-1", newline="") as golden:
                golden.write(trace)
        with open(path, encoding="latin-1", newline="") as golden:
            self.assertEqual(trace, golden.read(), f"trace.txt differs from golden/{name}")

    def assert_images_received(self, handset=None, settings_path=None):
        handset = handset or self.handset
        handset.stop()
        comparison = subprocess.run([sys.executable, os.path.join(SOURCE, "tools", "demo", "compare_manifest.py"),
                                     handset.manifest_path, self.images,
                                     settings_path or os.path.join(self.folder, "a.ini")],
                                    capture_output=True, text=True)
        self.assertEqual(comparison.returncode, 0, comparison.stdout)
        self.assertTrue(handset.manifest()["reset"])

    def elapsed(self):
        return time.monotonic() - self.started

    def explain(self):
        """veltrane-flash.exe explain --json's reading of this run's trace.txt."""
        status, out, err = self.prefix.run([FLASH_EXE, "explain", "--json", "trace.txt"], cwd=self.folder)
        self.assertEqual(status, 0, err)
        [reading] = [json.loads(line) for line in out.splitlines() if line.startswith("{")]
        return reading


def acknowledged_files(manifest):
    """What the handset's replies said was whole, by the files' names, in run order."""
    written = ["partition.mbn"] if manifest["partition"] and manifest["partition"]["accepted"] else []
    return written + [file for name, file in RUN_ORDER if manifest["images"].get(name, {}).get("closed")]


def patched_package(packed, folder, changes):
    """A copy of the packed program with bytes of its package header block changed:
    `changes` maps an offset counted from the byte after the package marker to a new value.
    (Check byte: 6; presence byte of slot k: 16 + 13k.)"""
    with open(packed, "rb") as file:
        data = bytearray(file.read())
    marker = bytes(value for n in range(1, 9) for value in (n, n * 16))
    base = data.index(marker) + len(marker)
    for offset, value in changes.items():
        data[base + offset] = value
    path = os.path.join(folder, "patched", "Veltrane.exe")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as file:
        file.write(data)
    return path


def repacked(packed, images, folder, sizes):
    """The package of `packed` again with some images replaced by seeded random ones of the
    given sizes ({file name: bytes}); returns (images folder, program)."""
    changed = os.path.join(folder, "images")
    shutil.copytree(images, changed)
    for index, (name, size) in enumerate(sorted(sizes.items())):
        with open(os.path.join(changed, name), "wb") as image:
            image.write(random.Random(0xE2E0 + index).randbytes(size))
    program = os.path.join(folder, "Veltrane.exe")
    subprocess.run([os.environ.get("VELTRANE_PACK", ""), "create", "--images", changed, "--family", "C",
                    "--id", "47", "--exe", VELTRANE_EXE, "--out", program], check=True, stdout=subprocess.DEVNULL)
    return changed, program


def nothing_received(manifest):
    return manifest["images"] == {} and manifest["partition"] is None and not manifest["reset"]
