"""An X display for window tests: Xvfb on a free display number, and a prefix set to draw
through it into a Wine virtual desktop (one root window that screenshots can take)."""
import os
import subprocess

DESKTOP_SIZE = "800x600"


class VirtualDisplay:
    def __init__(self, depth=24):
        read_end, write_end = os.pipe()
        # -displayfd: Xvfb picks a free display number and writes it when it accepts clients.
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"1024x768x{depth}", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as announced:
            number = announced.readline().strip()
        if not number:
            self.process.kill()
            raise RuntimeError("Xvfb did not start")
        self.name = ":" + number

    def close(self):
        self.process.terminate()
        self.process.wait(timeout=10)


def use_virtual_desktop(prefix, display):
    """Switches the prefix from the null graphics driver to X11 on `display`, every window
    inside one virtual desktop; Arial, which Wine lacks, drawn as Liberation Sans."""
    prefix.display = display.name
    prefix.import_registry(
        "[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]\n\"Graphics\"=\"x11\"\n\n"
        "[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\n\"Desktop\"=\"Default\"\n\n"
        f"[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\n\"Default\"=\"{DESKTOP_SIZE}\"\n\n"
        "[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\n\"Arial\"=\"Liberation Sans\"\n\n")
    prefix.restart()
