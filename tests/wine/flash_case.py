"""Whole runs of veltrane-flash.exe under Wine: a small deterministic image set (the demo's,
a hundredth of the shipped sizes: FLASH.bin still spans two chunks) packed once per module,
a copy of the packed program per run, and the handset's record compared with the images."""
import collections
import os
import shutil
import subprocess
import sys
import tempfile

from wine_case import WORK, WineTestCase
from wine_prefix import windows_path

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
FLASH_EXE = os.environ.get("VELTRANE_FLASH_EXE", "")
PACK = os.environ.get("VELTRANE_PACK", "")
PROGRAMMER_HEX = os.environ.get("PROGRAMMER_HEX", "")
EVERY_IMAGE = "1011111"
IMAGE_SCALE = 100


def make_package(folder, scale=IMAGE_SCALE, exe=None, name="veltrane-flash.exe"):
    """Writes the image set to folder/images and packs it into folder/NAME (a copy of the
    console flasher unless `exe` names another program)."""
    images = os.path.join(folder, "images")
    subprocess.run([sys.executable, os.path.join(SOURCE, "tools", "demo", "make_sample_images.py"), images,
                    PROGRAMMER_HEX, "--scale", str(scale)], check=True)
    packed = os.path.join(folder, name)
    subprocess.run([PACK, "create", "--images", images, "--family", "C", "--id", "47", "--exe", exe or FLASH_EXE,
                    "--out", packed], check=True, stdout=subprocess.DEVNULL)
    return images, packed


class PackedProgramCase(WineTestCase):
    """setUpClass packs the image set once per module into a copy of PROGRAM (None: the
    console flasher) named NAME."""
    PROGRAM = None
    NAME = "veltrane-flash.exe"

    @classmethod
    def setUpClass(cls):
        os.makedirs(WORK, exist_ok=True)
        cls.package = tempfile.mkdtemp(prefix="package-", dir=WORK)
        cls.images, cls.packed = make_package(cls.package, exe=cls.PROGRAM, name=cls.NAME)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.package, ignore_errors=True)


class FlashRunCase(PackedProgramCase):
    def flash(self, *arguments, settings=EVERY_IMAGE, env=None, planted=False, folder="run", program_folder=None):
        """Runs the packed program from a folder of its own (`folder`, the current one, where
        a.ini and trace.txt lie); returns (status, stdout, stderr, trace lines). planted: the
        program in another folder than the current one, and DLLs that must never be loaded put
        into both (their marks in self.dll_marks); program_folder: the program's own folder."""
        folder = self.run_folder = os.path.join(self.work, folder)
        program = os.path.join(self.work, program_folder or ("bin" if planted else folder))
        os.makedirs(folder)
        os.makedirs(program, exist_ok=True)
        shutil.copy2(self.packed, program)
        with open(os.path.join(folder, "a.ini"), "w") as ini:
            ini.write(settings)
        if planted:
            self.dll_marks = self.plant_dlls(program, folder)
            env = dict(env or {}, VELTRANE_DLL_MARKERS=windows_path(self.dll_marks))
        status, out, err = self.prefix.run([os.path.join(program, "veltrane-flash.exe"), *arguments], cwd=folder,
                                           timeout=240, env=env)
        trace_path = os.path.join(folder, "trace.txt")
        trace = open(trace_path, encoding="latin-1").read().splitlines() if os.path.exists(trace_path) else []
        return status, out, err, trace

    def assert_images_received(self, handset):
        handset.stop()
        settings_path = os.path.join(self.run_folder, "a.ini")
        comparison = subprocess.run([sys.executable, os.path.join(SOURCE, "tools", "demo", "compare_manifest.py"),
                                     handset.manifest_path, self.images, settings_path],
                                    capture_output=True, text=True)
        self.assertEqual(comparison.returncode, 0, comparison.stdout)


def recorded_commands(folder):
    """What the recording stand-ins saw, one record file per start, as a multiset of
    (program, parameters, folder) (launch order is not observable under Wine)."""
    seen = collections.Counter()
    for name in os.listdir(folder):
        with open(os.path.join(folder, name), encoding="latin-1") as record:
            program, parameters, working = record.read().rstrip("\n").split("|")
            seen[(program, parameters, working.rstrip("\\").lower())] += 1
    return seen
