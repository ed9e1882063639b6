"""A Wine prefix of one test: a copy of the build tree's template prefix, so that what a test
changes (Windows version, registry devices, dosdevices links, stand-in DLLs) never reaches
another test, and tests can run side by side. Each copy has its own wineserver.

Prefixes are win64 (the x86_64 programs; the i686 ones under WoW64, as on 64-bit Windows 7)
or win32 (the i686 programs on XP and 32-bit 7). A 32-bit program needs Debian's wine32:
without it Wine starts the program in an experimental mode that fails and exits 0 with
nothing printed, so a 32-bit prefix is never made without it (see `setup`)."""
import os
import shutil
import subprocess
import sys

# Files that Wine only reads are shared with the template (hard links: a copy takes no
# time and no space); everything else, the registry above all, is copied.
SHARED_SUFFIXES = (".dll", ".exe", ".sys", ".drv", ".nls", ".tlb", ".ocx", ".cpl", ".acm", ".ax", ".ttf", ".fon")
BASE_OVERRIDES = "mscoree,mshtml="  # no .NET or Gecko installers in a test prefix
# Where the programs under test find their system folder, under drive_c: the 32-bit programs in
# a win64 prefix get syswow64 (VELTRANE_WINE_SYSTEM, set by the harness for those tests).
SYSTEM_FOLDER = os.environ.get("VELTRANE_WINE_SYSTEM", "windows/system32")


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

    def install_file(self, source, folder=SYSTEM_FOLDER):
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


def wine32_installed():
    status = subprocess.run(["dpkg-query", "-W", "-f=${Status}", "wine32:i386"], capture_output=True, text=True)
    return status.returncode == 0 and status.stdout.endswith("install ok installed")


def build_arch(build):
    """The kind of prefix a Windows build tree's programs run in: win32 for the i686 build."""
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as cache:
        return "win32" if "toolchain-mingw-i686" in cache.read() else "win64"


def make_prefix(arch, path):
    """Makes (or brings up to date) the prefix at `path` of kind `arch`, win32 or win64: the null
    graphics driver, no crash dialog (a crashed program ends at once, its page-fault line on
    stderr), and proof that a program of the prefix's kind runs and prints. Exits, saying why,
    when it cannot."""
    if arch == "win32" and not wine32_installed():
        sys.exit("32-bit Wine is missing (Debian's wine32:i386; `make deps` installs it): without it every "
                 "32-bit program exits 0 having done nothing, so no 32-bit test or demo runs")
    env = dict(os.environ, WINEPREFIX=path, WINEARCH=arch, WINEDEBUG="-all", WINEDLLOVERRIDES=BASE_OVERRIDES)
    env.pop("DISPLAY", None)

    def wine(*args):
        return subprocess.run(["wine", *args], env=env, stdin=subprocess.DEVNULL, capture_output=True, text=True,
                              timeout=300)

    if os.path.exists(os.path.join(path, "system.reg")) and not _prefix_has_arch(path, arch):
        shutil.rmtree(path)  # made for another kind of Windows
    subprocess.run(["wineboot", "-i"], env=env, stdin=subprocess.DEVNULL, capture_output=True, timeout=300)
    for key, value, kind, data in (("HKCU\\Software\\Wine\\Drivers", "Graphics", "REG_SZ", "null"),
                                   ("HKCU\\Software\\Wine\\WineDbg", "ShowCrashDialog", "REG_DWORD", "0")):
        wine("reg", "add", key, "/v", value, "/t", kind, "/d", data, "/f")
    marker = "wine prefix ready"
    answer = wine("cmd", "/c", "echo", marker)
    subprocess.run(["wineserver", "-w"], env=env, timeout=300)
    if marker not in answer.stdout or not _prefix_has_arch(path, arch):
        sys.exit(f"the {arch} prefix {path} does not run programs: {answer.stdout!r} {answer.stderr[-500:]!r}")


def setup(arch, path, template):
    """The build tree's prefix and `template`, its copy that no test runs in."""
    make_prefix(arch, path)
    copy_prefix(path, template)


def _prefix_has_arch(path, arch):
    with open(os.path.join(path, "system.reg"), encoding="utf-8", errors="replace") as registry:
        return f"#arch={arch}" in registry.read(4096)


if __name__ == "__main__":
    # wine_prefix.py copy SOURCE TARGET, or setup ARCH PREFIX TEMPLATE: how the build tree's
    # prefix and its template are made.
    if len(sys.argv) == 4 and sys.argv[1] == "copy":
        copy_prefix(sys.argv[2], sys.argv[3])
    elif len(sys.argv) == 5 and sys.argv[1] == "setup":
        setup(*sys.argv[2:])
    else:
        sys.exit("usage: wine_prefix.py copy SOURCE TARGET | setup win32|win64 PREFIX TEMPLATE")
