"""--version of the Windows programs under Wine: the project's version and status 0; from
Veltrane.exe (a window program, whose wizard would wait for its password) at once, to its
output, else to the console of the prompt that started it, else in a box."""
import os
import subprocess

from wine_case import WineTestCase
from wine_prefix import windows_path

VELTRANE_EXE = os.environ.get("VELTRANE_EXE", "")
VERSION = os.environ.get("VELTRANE_VERSION", "")


class VersionRequests(WineTestCase):
    def run_unix(self, *args):
        """Status and output of a Unix command, through a file (the wineserver would hold a pipe)."""
        with open(os.path.join(self.work, "unix.out"), "w+b") as out:
            status = subprocess.run(args, cwd=self.work, env=self.prefix.env(), stdin=subprocess.DEVNULL, stdout=out,
                                    stderr=subprocess.STDOUT, timeout=60).returncode
            out.seek(0)
            return status, out.read().decode(errors="replace")

    def test_to_the_output_to_the_prompts_console_else_in_a_box(self):
        watcher = self.watch_boxes()
        for program, line in [(VELTRANE_EXE, "Veltrane"), (os.environ["VELTRANE_FLASH_EXE"], "veltrane-flash")]:
            self.assertEqual(self.prefix.run([program, "--version"], cwd=self.work, timeout=60)[:2],
                             (0, f"{line} {VERSION}\r\n"))
        # cmd on a terminal of its own has a console; `start` hands the window program no output.
        status, out = self.run_unix("script", "-qec", f"wine cmd /c start \"\" /wait '{windows_path(VELTRANE_EXE)}' "
                                    "--version", "/dev/null")
        self.assertEqual((status, f"Veltrane {VERSION}\r" in out), (0, True), out)
        self.assertEqual(watcher.boxes(), [])
        self.assertEqual(self.run_unix("sh", "-c", 'exec wine "$0" --version >&-', VELTRANE_EXE)[0], 0)
        self.assertEqual(watcher.wait_for(1, timeout=10), [("Veltrane", f"Veltrane {VERSION}")])
