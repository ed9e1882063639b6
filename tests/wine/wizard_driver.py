"""Veltrane.exe driven as an operator drives it, on a prefix with a virtual display: started,
the access password typed, Accept ticked, Next pressed, the run followed through trace.txt,
screenshots taken. Shared by the wizard tests and `make demo`."""
import os
import subprocess
import time

PASSWORD = "3Kp5RM2V6Q"
# F1..F9, F11, F12 and F1 again: the service-mode unlock.
UNLOCK_KEYS = ["F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F11", "F12", "F1"]
# Window pixels (the window stands at the virtual desktop's top-left corner).
ACCEPT = (258, 396)
NEXT = (555, 448)


class WizardDriver:
    def __init__(self, prefix, display, folder, shots):
        self.prefix = prefix
        self.display = display
        self.folder = folder    # holds Veltrane.exe; the run's trace.txt is written here
        self.shots = shots      # where screenshots go
        self.program = None

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

    def unlock(self, password=PASSWORD, keys=None):
        if password:
            self.xdotool("type", "--delay", "40", password)
        if keys:
            self.xdotool("key", "--delay", "40", *keys)
        self.xdotool("key", "Return")

    def click(self, point, settle=0.5):
        self.xdotool("mousemove", str(point[0]), str(point[1]), "click", "1")
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
        self.wait_for_window("Veltrane")
        self.click(ACCEPT)
        self.click(NEXT, settle=1.5)
        return self.screenshot("checking")

    def follow_run(self, timeout):
        """Waits until the trace says "Finish" (True) or the program ends or time runs out
        (False); a screenshot of the download page once FLASH.bin is under way, and of the
        finish page."""
        deadline = time.monotonic() + timeout
        downloading = False
        while time.monotonic() < deadline:
            time.sleep(0.5)
            trace = self.trace()
            if not downloading and "FLASH.bin" in trace:
                self.screenshot("download")
                downloading = True
            if trace.endswith("Finish"):
                time.sleep(2)  # the finish page is drawn after the last trace line
                self.screenshot("finish")
                return True
            if self.program.poll() is not None:
                return False
        return False

    def finish(self, timeout=60):
        """Presses Finish; the program's exit status."""
        self.click(NEXT)
        return self.program.wait(timeout=timeout)

    @staticmethod
    def pixel(path, x, y):
        return subprocess.run(["convert", path, "-format", f"%[pixel:p{{{x},{y}}}]", "info:"], capture_output=True,
                              text=True, check=True).stdout.strip()
