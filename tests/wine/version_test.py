"""--version of the Windows programs under Wine: the project's version, status 0, and from
Veltrane.exe (a window program) no wizard, with the line going to its standard output, else to
the console of the program that started it, else into a box."""
import os
import subprocess

from wine_case import WineTestCase
from wine_prefix import windows_path

VELTRANE_EXE = os.environ.get("VELTRANE_EXE", "")
FLASH_EXE = os.environ.get("VELTRANE_FLASH_EXE", "")
VERSION = os.environ.get("VELTRANE_VERSION", "")


class VersionRequests(WineTestCase):
    def run_unix(self, args):
        """A Unix command in the prefix's environment; its status and what reached stdout.
        Output goes through a file: a pipe would also be held by the wineserver."""
        output = os.path.join(self.work, ".unix-output")
        with open(output, "wb") as out:
            status = subprocess.run(args, cwd=self.work, env=self.prefix.env(), stdin=subprocess.DEVNULL, stdout=out,
                                    stderr=subprocess.STDOUT, timeout=60).returncode
        with open(output, "rb") as out:
            return status, out.read().decode(errors="replace")

    def test_each_program_writes_its_version_to_its_output(self):
        watcher = self.watch_boxes()
        for program, line in [(VELTRANE_EXE, f"Veltrane {VERSION}\r\n"), (FLASH_EXE, f"veltrane-flash {VERSION}\r\n")]:
            # The wizard would wait for its password: a run that ends at once never started it.
            status, out, err = self.prefix.run([program, "--version"], cwd=self.work, timeout=60)
            self.assertEqual((status, out), (0, line), err)
        self.assertEqual(watcher.wait_for(1, timeout=1), [])

    def test_veltrane_writes_into_the_console_of_the_prompt_that_started_it(self):
        # cmd on a terminal has a console; `start` gives the window program no output of its own.
        watcher = self.watch_boxes()
        command = f"wine cmd /c start \"\" /wait '{windows_path(VELTRANE_EXE)}' --version"
        status, out = self.run_unix(["script", "-qec", command, "/dev/null"])  # on a terminal of its own
        self.assertEqual(status, 0, out)
        self.assertIn(f"Veltrane {VERSION}\r", out)
        self.assertEqual(watcher.wait_for(1, timeout=1), [])

    def test_veltrane_without_output_or_console_shows_the_version_in_a_box(self):
        watcher = self.watch_boxes()
        status, _ = self.run_unix(["sh", "-c", 'exec wine "$0" --version >&-', VELTRANE_EXE])
        self.assertEqual(status, 0)
        self.assertEqual(watcher.wait_for(1, timeout=10), [("Veltrane", f"Veltrane {VERSION}")])
