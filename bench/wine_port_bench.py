#!/usr/bin/env python3
"""Flashes one package three ways and prints the FLASH.bin rates side by side: veltrane-flash
over the native pty, veltrane-flash.exe under Wine on the serial road, and on the WinUSB road
(stand-in winusb.dll); next to them, what a bare loop of the same overlapped 256-byte writes
carries under Wine on this machine, the limit the Windows ports are measured against.

usage: bench/wine_port_bench.py [--scale N] [--repeat R] [--build DIR]
  --scale N    the demo's image sizes divided by N (default 10: FLASH.bin 11 MB)
  --repeat R   each figure is the best of R runs (default 3): on a shared machine one run
               can lose half its speed to a neighbour's build
  --build DIR  the Windows build whose programs run (default build/windows-x64; the
               i686 build's run in its 32-bit prefix)

Needs build/linux and the Windows build built. A FLASH.bin rate is timed from the trace's
FLASH.bin line to its last chunk's line, as the lines appear (trace_timer.py); the loop
writes as many bytes as FLASH.bin holds."""
import argparse
import os
import shutil
import subprocess
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
LINUX = os.path.join(ROOT, "build", "linux")
WINDOWS = os.path.join(ROOT, "build", "windows-x64")  # or --build
os.environ.setdefault("HANDSET_SIM", os.path.join(LINUX, "sim", "handset-sim"))
os.environ.setdefault("PROGRAMMER_HEX", os.path.join(LINUX, "programmer", "NPRG7200A.hex"))
sys.path.insert(0, os.path.join(ROOT, "tests", "wine"))

import registry_devices as devices  # noqa: E402  (the Wine harness)
from handset import Handset  # noqa: E402
from trace_timer import image_seconds  # noqa: E402  (beside this script)
from wine_prefix import WinePrefix, build_arch, setup  # noqa: E402

PACK = os.path.join(LINUX, "tools", "pack", "veltrane-pack")
INSTANCE = "USB\\VID_05C6&PID_3197\\5&ABC&0&2"


def template():
    return os.path.join(WINDOWS, "wine-template")


def ensure_template():
    """The template prefix that CTest's wine_prefix_setup leaves, made here when missing."""
    if not os.path.isdir(template()):
        setup(build_arch(WINDOWS), os.path.join(WINDOWS, "wineprefix"), template())


def pack(images, program, out):
    subprocess.run([PACK, "create", "--images", images, "--family", "C", "--id", "47", "--exe", program,
                    "--out", out], check=True, stdout=subprocess.DEVNULL)
    os.chmod(out, 0o755)


def flash_bin_seconds(process, trace_path):
    """Follows the trace while the run goes on: seconds from the FLASH.bin line to its last chunk."""
    seconds = image_seconds(trace_path, "============== FLASH.bin")
    process.wait()
    if process.returncode != 0 or seconds is None:
        raise RuntimeError(f"the run failed (status {process.returncode}); see {trace_path}")
    return seconds


def native_run(work, name, packed):
    folder = os.path.join(work, name)
    os.makedirs(folder)
    handset = Handset(os.path.join(folder, "handset"))
    with open(os.path.join(folder, "out.txt"), "wb") as out:
        process = subprocess.Popen([packed, "--port", handset.link], cwd=folder, stdin=subprocess.DEVNULL,
                                   stdout=out, stderr=subprocess.STDOUT)
    seconds = flash_bin_seconds(process, os.path.join(folder, "trace.txt"))
    handset.stop()
    return seconds


def wine_run(work, name, packed, winusb):
    folder = os.path.join(work, name)
    os.makedirs(folder)
    prefix = WinePrefix.clone(template(), os.path.join(folder, "prefix"))
    handset = Handset(os.path.join(folder, "handset"))
    try:
        arguments = []
        if winusb:
            prefix.set_windows_version("win7")
            prefix.dll_overrides.append("winusb=n")
            path = devices.declare_device(prefix, INSTANCE, devices.DOWNLOAD_DESCRIPTION, devices.WINUSB_CLASS,
                                          interface=True)
            prefix.link_device(devices.dosdevice_name(path), handset.link)
            prefix.install_file(os.path.join(WINDOWS, "sim", "winusb_standin", "winusb.dll"))
        else:
            prefix.set_windows_version("winxp")
            prefix.link_device("wceusbsh001", handset.link)
            arguments = ["--port", "\\\\.\\wceusbsh001"]
        shutil.copy2(packed, folder)
        process = prefix.start([os.path.join(folder, os.path.basename(packed)), *arguments], cwd=folder,
                               output=os.path.join(folder, "out.txt"))
        return flash_bin_seconds(process, os.path.join(folder, "trace.txt"))
    finally:
        handset.stop()
        prefix.remove()


def bare_write_loop(work, name, size):
    folder = os.path.join(work, name)
    os.makedirs(folder)
    prefix = WinePrefix.clone(template(), os.path.join(folder, "prefix"))
    handset = Handset(os.path.join(folder, "handset"))  # drains what arrives: no frame flag, no reply
    try:
        prefix.link_device("wceusbsh001", handset.link)
        write_loop = os.path.join(WINDOWS, "bench", "overlapped_write_loop.exe")
        status, out, err = prefix.run([write_loop, "\\\\.\\wceusbsh001", str(size)], cwd=folder)
        if status != 0:
            raise RuntimeError("the write loop failed: " + err)
        return float(out.strip())
    finally:
        handset.stop(0)
        prefix.remove()


def main():
    global WINDOWS  # pylint: disable=global-statement
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--scale", type=int, default=10)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--build", default=WINDOWS)
    options = parser.parse_args()
    WINDOWS = os.path.abspath(options.build)
    ensure_template()
    work = os.path.join(WINDOWS, "bench-wine")
    shutil.rmtree(work, ignore_errors=True)
    images = os.path.join(work, "images")
    subprocess.run([sys.executable, os.path.join(ROOT, "tools", "demo", "make_sample_images.py"), images,
                    os.environ["PROGRAMMER_HEX"], "--scale", str(options.scale)], check=True)
    native, windows = os.path.join(work, "veltrane-flash"), os.path.join(work, "veltrane-flash.exe")
    pack(images, os.path.join(LINUX, "tools", "flash", "veltrane-flash"), native)
    pack(images, os.path.join(WINDOWS, "tools", "flash", "veltrane-flash.exe"), windows)
    size = os.path.getsize(os.path.join(images, "FLASH.bin"))
    megabytes = size / 1e6
    runs = {
        "native pty run": lambda n: megabytes / native_run(work, f"native{n}", native),
        "Wine serial-mode run": lambda n: megabytes / wine_run(work, f"serial{n}", windows, winusb=False),
        "Wine WinUSB-mode run": lambda n: megabytes / wine_run(work, f"winusb{n}", windows, winusb=True),
        "bare Wine write loop": lambda n: bare_write_loop(work, f"loop{n}", size),
    }
    rates = {name: [] for name in runs}
    for n in range(options.repeat):  # in turn, so that a busy moment does not fall on one road only
        for name, run in runs.items():
            rates[name].append(run(n))
    best = {name: max(values) for name, values in rates.items()}
    loop = best["bare Wine write loop"]
    print(f"FLASH.bin, {megabytes:.1f} MB (scale 1/{options.scale}), MB/s, best of {options.repeat}:")
    for name, rate in best.items():
        note = f"   {rate / loop:.2f} of the bare loop" if name.startswith("Wine") else ""
        if name == "bare Wine write loop":
            note = "   (overlapped 256-byte writes, one after the other, as the serial port makes them)"
        print(f"  {name:24} {rate:7.2f}{note}")
    shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
