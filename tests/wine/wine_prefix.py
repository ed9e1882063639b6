"""A Wine prefix of one test: a copy of the build tree's template prefix, so that what a test
changes (Windows version, registry devices, dosdevices links, stand-in DLLs) never reaches
another test, and tests can run side by side. Each copy has its own wineserver."""
import os
import shutil
import subprocess
import sys

# Files that Wine only reads are shared with the template (hard links: a copy takes no
# time and no space); everything else, the registry above all, is copied.
SHARED_SUFFIXES = (".dll", ".exe", ".sys", ".drv", ".nls", ".tlb", ".ocx", ".cpl", ".acm", ".ax", ".ttf", ".fon")
BASE_OVERRIDES = "mscoree,mshtml="  # no .NET or Gecko installers in a test prefix


def windows_path(path):
    """The path as a Windows program sees it (drive Z: is the root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def _share_or_copy(source, target):
    if source.lower().endswith(SHARED_SUFFIXES):
        os.link(source, target)
    else:
        shutil.copy2(source, target)


def copy_prefix(source, target):
    """A prefix of its own from `source`, whose wineserver must not be running."""
    if os.path.lexists(target):
        shutil.rmtree(target)
    shutil.copytree(source, target, symlinks=True, copy_function=_share_or_copy)


class WinePrefix:
    def __init__(self, path):
        self.path = path
        self.dll_overrides = []   # e.g. "winusb=n": the stand-in installed into system32 wins
        self.display = None       # an X display name; None keeps the null graphics driver

    @classmethod
    def clone(cls, template, path):
        copy_prefix(template, path)
        prefix = cls(path)
        prefix.start_server()
        return prefix

    def start_server(self):
        """A wineserver of the prefix's own that outlives single programs, started without our
        pipes (a server holding them keeps a reader waiting for their end)."""
        subprocess.run(["wineserver", "-p"], env=self.env(), stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)

    def env(self, extra=None):
        env = dict(os.environ)
        env.update(WINEPREFIX=self.path, WINEDEBUG="-all",
                   WINEDLLOVERRIDES=";".join([BASE_OVERRIDES] + self.dll_overrides))
        env.pop("DISPLAY", None)
        if self.display:
            env["DISPLAY"] = self.display
        env.update(extra or {})
        return env

    def start(self, args, cwd, output, env=None):
        """Starts `wine args...` in the background, its output going to the file `output`."""
        with open(output, "wb") as out:
            return subprocess.Popen(["wine", *args], cwd=cwd, env=self.env(env), stdin=subprocess.DEVNULL,
                                    stdout=out, stderr=subprocess.STDOUT)

    def run(self, args, cwd, timeout=300, env=None):
        """Runs `wine args...` to its end; returns (exit status, stdout, stderr) as text.
        Output goes through files: a pipe would also be held by the wineserver."""
        stdout_path, stderr_path = os.path.join(cwd, ".wine-stdout"), os.path.join(cwd, ".wine-stderr")
        with open(stdout_path, "wb") as out, open(stderr_path, "wb") as err:
            status = subprocess.run(["wine", *args], cwd=cwd, env=self.env(env), stdin=subprocess.DEVNULL,
                                    stdout=out, stderr=err, timeout=timeout).returncode
        with open(stdout_path, "rb") as out, open(stderr_path, "rb") as err:
            return status, out.read().decode(errors="replace"), err.read().decode(errors="replace")

    def import_registry(self, text):
        """Imports .reg text (REGEDIT4) with Wine's regedit."""
        path = os.path.join(self.path, "import.reg")
        with open(path, "w", encoding="latin-1") as reg:
            reg.write("REGEDIT4\n\n" + text)
        status, _, err = self.run(["regedit", "/S", windows_path(path)], cwd=self.path)
        if status != 0:
            raise RuntimeError(f"regedit failed ({status}): {err}")

    def delete_registry_keys(self, keys):
        """Removes keys (and what lies below them) with regedit's "[-KEY]" form."""
        self.import_registry("".join(f"[-{key}]\n\n" for key in keys))

    def set_windows_version(self, version):
        """winxp (5.1), vista (6.0), win7 (6.1), as GetVersionEx reports it."""
        self.import_registry(f'[HKEY_CURRENT_USER\\Software\\Wine]\n"Version"="{version}"\n\n')

    def set_dpi(self, dpi):
        """The DPI the next programs draw at (Control Panel's LogPixels), read as each starts."""
        self.import_registry(f'[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"LogPixels"=dword:{dpi:08x}\n\n')

    def link_device(self, name, target):
        """Makes the device name (\\\\.\\NAME, or \\\\?\\NAME for an interface path) open `target`
        (link to the simulated handset's own link, so that a new pty after GO is followed)."""
        path = os.path.join(self.path, "dosdevices", name.lower())
        if os.path.lexists(path):
            os.unlink(path)
        os.symlink(target, path)

    def unlink_device(self, name):
        path = os.path.join(self.path, "dosdevices", name.lower())
        if os.path.lexists(path):
            os.unlink(path)

    def install_file(self, source, folder="windows/system32"):
        """Puts a stand-in program into the prefix (drive C:), in place of Wine's own file.
        The old file goes first: it may be a hard link to the template's."""
        target = os.path.join(self.path, "drive_c", folder, os.path.basename(source))
        if os.path.lexists(target):
            os.unlink(target)
        shutil.copy2(source, target)
        return target

    def stop(self):
        """Ends every program of the prefix and its wineserver."""
        subprocess.run(["wineserver", "-k"], env=self.env(), stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env(), stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)

    def restart(self):
        """Settings read once per session (the graphics driver, the desktop) take effect."""
        self.stop()
        self.start_server()

    def remove(self):
        self.stop()
        shutil.rmtree(self.path, ignore_errors=True)


if __name__ == "__main__":
    # wine_prefix.py copy SOURCE TARGET: how the build tree's template is made.
    if len(sys.argv) != 4 or sys.argv[1] != "copy":
        sys.exit("usage: wine_prefix.py copy SOURCE TARGET")
    copy_prefix(sys.argv[2], sys.argv[3])
