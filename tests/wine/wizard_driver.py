"""Veltrane.exe driven as an operator drives it, on a prefix with a virtual display: started,
the access password typed, Accept ticked, Next pressed, the run followed through trace.txt,
screenshots taken and read. Shared by the wizard tests and `make demo`."""
import os
import subprocess
import time

from virtual_display import DESKTOP_SIZE

PASSWORD = "3Kp5RM2V6Q"
# F1..F9, F11, F12 and F1 again: the service-mode unlock.
UNLOCK_KEYS = ["F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F11", "F12", "F1"]
# Window pixels: the driver finds where the window stands on the virtual desktop.
ACCEPT = (258, 396)
NEXT = (555, 448)
WIZARD_TITLE = "Veltrane"
WIZARD_SIZE = (640, 480)


class WizardDriver:
    def __init__(self, prefix, display, folder, shots):
        self.prefix = prefix
        self.display = display
        self.folder = folder    # holds Veltrane.exe; the run's trace.txt is written here
        self.shots = shots      # where screenshots go
        self.program = None
        self.origin = (0, 0)    # the wizard's top-left corner on the screen

    def _env(self):
        return dict(os.environ, DISPLAY=self.display.name)

    def xdotool(self, *arguments):
        subprocess.run(["xdotool", *arguments], env=self._env(), check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=30)

    def start(self, output):
        self.program = self.prefix.start([os.path.join(self.folder, "Veltrane.exe")], cwd=self.folder, output=output)
        self.wait_for_window("Password")

    def stop(self):
        if self.program and self.program.poll() is None:
            self.program.kill()
            self.program.wait()

    def wait_for_window(self, title, timeout=60):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            found = subprocess.run(["xdotool", "search", "--name", title], env=self._env(), capture_output=True,
                                   text=True)
            if found.stdout.strip():
                time.sleep(0.5)  # mapped; let it paint
                return
            time.sleep(0.25)
        raise TimeoutError(f"no window named {title!r} within {timeout} s")

    def wait_for_wizard(self, timeout=60):
        """Waits for the wizard's window and finds where it stands: clicks and pixels after that
        are in window pixels."""
        self.wait_for_window(WIZARD_TITLE, timeout)
        for _ in range(40):  # named before it is drawn
            path = self.screenshot(".where")
            origin = self.window_origin(path)
            os.unlink(path)
            if origin:
                self.origin = origin
                return
            time.sleep(0.25)
        raise TimeoutError(f"the window {WIZARD_TITLE!r} was never drawn")

    def unlock(self, password=PASSWORD, keys=None):
        if password:
            self.xdotool("type", "--delay", "40", password)
        if keys:
            self.xdotool("key", "--delay", "40", *keys)
        self.xdotool("key", "Return")

    def click(self, point, settle=0.5):
        x, y = point[0] + self.origin[0], point[1] + self.origin[1]
        self.xdotool("mousemove", str(x), str(y), "click", "1")
        time.sleep(settle)

    def screenshot(self, name):
        path = os.path.join(self.shots, name + ".png")
        subprocess.run(["import", "-window", "root", path], env=self._env(), check=True, timeout=30)
        return path

    def trace(self):
        path = os.path.join(self.folder, "trace.txt")
        if not os.path.exists(path):
            return ""
        with open(path, encoding="latin-1") as file:
            return file.read()

    def accept_and_start(self):
        """From the notice page: Accept, Next; the checking page's screenshot."""
        self.wait_for_wizard()
        self.tick_accept()
        self.click(NEXT, settle=1.5)
        return self.screenshot("checking")

    def tick_accept(self, attempts=3):
        """Clicks Accept until its box shows the tick: on a loaded machine a click can be lost."""
        left, top = ACCEPT[0] - 10 + self.origin[0], ACCEPT[1] - 10 + self.origin[1]
        plain = self.rgb(self.screenshot("accept"), left, top, 20, 20)
        for _ in range(attempts):
            self.click(ACCEPT)
            if self.rgb(self.screenshot("accept"), left, top, 20, 20) != plain:
                return
        raise AssertionError("the Accept box never showed its tick")

    def follow_run(self, timeout, suffix="", download_when=lambda trace: "FLASH.bin" in trace):
        """Waits until the trace says "Finish" (True) or the program ends or time runs out
        (False); a screenshot of the download page once `download_when(trace)` holds (by
        default once FLASH.bin is under way), and of the finish page (named download<suffix>
        and finish<suffix>)."""
        deadline = time.monotonic() + timeout
        downloading = False
        while time.monotonic() < deadline:
            time.sleep(0.5)
            trace = self.trace()
            if not downloading and download_when(trace):
                self.screenshot("download" + suffix)
                downloading = True
            if trace.endswith("Finish"):
                time.sleep(2)  # the finish page is drawn after the last trace line
                self.screenshot("finish" + suffix)
                return True
            if self.program.poll() is not None:
                return False
        return False

    def finish(self, timeout=60):
        """Presses Finish; the program's exit status."""
        self.click(NEXT)
        return self.program.wait(timeout=timeout)

    def pixel(self, path, x, y):
        """The colour of window pixel (x, y) in a screenshot."""
        x, y = x + self.origin[0], y + self.origin[1]
        return subprocess.run(["convert", path, "-format", f"%[pixel:p{{{x},{y}}}]", "info:"], capture_output=True,
                              text=True, check=True).stdout.strip()

    @staticmethod
    def rgb(path, left, top, width, height):
        """The screen rectangle's pixels, 3 bytes each, row after row."""
        return subprocess.run(["convert", path, "-crop", f"{width}x{height}+{left}+{top}", "+repage", "-depth", "8",
                               "rgb:-"], capture_output=True, check=True).stdout

    @classmethod
    def window_origin(cls, path):
        """The top-left corner of what differs from the desktop's colour (its bottom-right pixel,
        which the window never covers); None for a bare desktop."""
        width, height = (int(n) for n in DESKTOP_SIZE.split("x"))
        data = cls.rgb(path, 0, 0, width, height)
        rows = [data[y * width * 3:(y + 1) * width * 3] for y in range(height)]
        covered = [row for row in rows if row != data[-3:] * width]
        if not covered:
            return None
        left = min(next(x for x in range(width) if row[x * 3:x * 3 + 3] != data[-3:]) for row in covered)
        return left, rows.index(covered[0])

    def text_lines(self, path, region, threshold=160):
        """The white text inside a window region (left, top, width, height), as one box
        (left, top, right, bottom; window pixels) per line: rows of text between rows without."""
        left, top, width, height = region
        data = self.rgb(path, left + self.origin[0], top + self.origin[1], width, height)
        lines, above = [], []
        for y in range(height):
            row = [min(data[i:i + 3]) >= threshold for i in range(y * width * 3, (y + 1) * width * 3, 3)]
            cols = [x for x, white in enumerate(row) if white]
            if cols and above:
                first, line_top, last, _ = lines[-1]
                lines[-1] = (min(first, left + cols[0]), line_top, max(last, left + cols[-1] + 1), top + y + 1)
            elif cols:
                lines.append((left + cols[0], top + y, left + cols[-1] + 1, top + y + 1))
            above = cols
        return lines
