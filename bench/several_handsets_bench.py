#!/usr/bin/env python3
"""Several handsets at once: 1, 2 and 4 simulated handsets that answer at a pace like real
NAND (every reply --delay-ms late), flashed at once by one veltrane-flash, against one alone.
Prints the wall time of each and its ratio to one alone; the aim is 4 at once within 1.15 x
one. Every handset's record is compared with the images, so a fast wrong run is no figure.

usage: several_handsets_bench.py [--scale N] [--delay-ms MS] [--counts 1,2,4] [--build DIR]
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
PROGRAMMER = os.path.join(SOURCE, "resources", "programmer", "NPRG7200A.hex")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--scale", type=int, default=8, help="divides the shipped image sizes (default 8)")
    parser.add_argument("--delay-ms", type=int, default=100, help="each reply this late (default 100)")
    parser.add_argument("--counts", default="1,2,4", help="handsets at once, the first is the yardstick")
    parser.add_argument("--build", default=os.path.join(SOURCE, "build", "linux"))
    options = parser.parse_args()
    counts = [int(count) for count in options.counts.split(",")]
    tool = lambda *path: os.path.join(options.build, *path)

    work = tempfile.mkdtemp(prefix="several-handsets-bench-")
    try:
        images = os.path.join(work, "images")
        subprocess.run([sys.executable, os.path.join(SOURCE, "tools", "demo", "make_sample_images.py"), images,
                        PROGRAMMER, "--scale", str(options.scale)], check=True, stdout=subprocess.DEVNULL)
        flasher = os.path.join(work, "veltrane-flash")
        subprocess.run([tool("tools", "pack", "veltrane-pack"), "create", "--images", images, "--family", "C",
                        "--id", "47", "--exe", tool("tools", "flash", "veltrane-flash"), "--out", flasher],
                       check=True, stdout=subprocess.DEVNULL)
        os.chmod(flasher, 0o755)
        megabytes = sum(os.path.getsize(os.path.join(images, name)) for name in os.listdir(images)
                        if name != "NPRG7200A.hex") / 1e6
        print(f"{megabytes:.1f} MB of images per handset, every reply {options.delay_ms} ms late")
        alone = None
        for count in counts:
            seconds = flash_at_once(work, flasher, images, count, options.delay_ms, tool("sim", "handset-sim"))
            alone = alone or seconds
            print(f"{count} at once: {seconds:.2f} s, {seconds / alone:.3f} x one alone")
            if count == 4:
                print("aim: 4 at once within 1.15 x one:", "met" if seconds <= 1.15 * alone else "NOT met")
    finally:
        shutil.rmtree(work, ignore_errors=True)


def flash_at_once(work, flasher, images, count, delay_ms, simulator):
    run = tempfile.mkdtemp(dir=work)
    settings = os.path.join(run, "a.ini")
    with open(settings, "w") as ini:
        ini.write("1011111")
    sims = []
    for number in range(count):
        link = os.path.join(run, f"handset{number}")
        sim = subprocess.Popen([simulator, "--link", link, "--manifest", link + ".json", "--programmer", PROGRAMMER,
                                "--delay-ms", str(delay_ms)], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                               stdin=subprocess.DEVNULL)
        if not sim.stdout.readline().startswith(b"READY"):
            sys.exit("the simulated handset did not start")
        sims.append((sim, link))
    ports = sum((["--port", link] for _, link in sims), [])
    start = time.monotonic()
    flash = subprocess.run([flasher, *ports], cwd=run, stdin=subprocess.DEVNULL, capture_output=True, text=True)
    seconds = time.monotonic() - start
    for sim, link in sims:
        sim.wait(timeout=30)
        sim.stdout.close()
        compared = subprocess.run([sys.executable, os.path.join(SOURCE, "tools", "demo", "compare_manifest.py"),
                                   link + ".json", images, settings], capture_output=True, text=True)
        if flash.returncode != 0 or compared.returncode != 0:
            sys.exit(f"{count} at once did not flash every handset:\n{flash.stdout}{flash.stderr}{compared.stdout}")
    return seconds


if __name__ == "__main__":
    main()
