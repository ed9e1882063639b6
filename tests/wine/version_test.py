"""--version of the Windows programs under Wine: the project's version and status 0; from
Veltrane.exe (a window program, whose wizard would wait for its password) at once, to its
output, else to the console of the prompt that started it, else in a box."""
import os
import shlex
import subprocess

from wine_case import WineTestCase
from wine_prefix import windows_path

VELTRANE_EXE = os.environ.get("VELTRANE_EXE", "")
VERSION = os.environ.get("VELTRANE_VERSION", "")


class VersionRequests(WineTestCase):
    def test_to_the_output_to_the_prompts_console_else_in_a_box(self):
        watcher = self.watch_boxes()
        for program, name in [(VELTRANE_EXE, "Veltrane"), (os.environ["VELTRANE_FLASH_EXE"], "veltrane-flash")]:
            self.assertEqual(self.prefix.run([program, "--version"], cwd=self.work, timeout=60)[:2],
                             (0, f"{name} {VERSION}\r\n"))
        # `start` hands the window program no output; cmd has a console on a terminal only.
        started = ["cmd", "/c", "start", "/wait", windows_path(VELTRANE_EXE), "--version"]
        with open(os.path.join(self.work, "terminal.out"), "w+b") as out:  # a pipe would stay held by the wineserver
            subprocess.run(["script", "-qec", shlex.join(["wine", *started]), "/dev/null"], env=self.prefix.env(),
                           stdin=subprocess.DEVNULL, stdout=out, timeout=60, check=True)
            out.seek(0)
            self.assertIn(f"Veltrane {VERSION}\r", out.read().decode(errors="replace"))
        self.assertEqual(watcher.boxes(), [])
        self.assertEqual(self.prefix.run(started, cwd=self.work, timeout=60)[0], 0)
        self.assertEqual(watcher.wait_for(1, timeout=10), [("Veltrane", f"Veltrane {VERSION}")])
