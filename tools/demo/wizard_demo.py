#!/usr/bin/env python3
"""The flashing demo through the real program: Veltrane.exe under Wine, on a virtual display,
driven as an operator drives it (the access password, Accept, Next), flashing the simulated
handset; then every image checked byte for byte against what the handset recorded.

usage: wizard_demo.py --build BUILD --out OUT [--scale N] [--windows xp|7] [--handset download|winmobile]
                      [--flash-bin BYTES]

  --windows xp   Windows XP: the handset is a serial-style port (\\\\.\\wceusbsh001)
  --windows 7    Windows 7: the handset is a WinUSB device (the stand-in winusb.dll)
  --handset download   the handset is in download mode when the run starts
  --handset winmobile  it still runs Windows Mobile: the stand-in Remote API and the agent
                       switch it into download mode first
"""
import argparse
import os
import shutil
import subprocess
import sys
import time

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(SOURCE, "tests", "wine"))

SYNC_DEVICE = "USB\\VID_0BB4&PID_00CE\\0001"
MOBILE_DEVICE = "USB\\VID_0BB4&PID_00CE\\WM0001"  # where the stand-in Remote API looks for it
WINUSB_DEVICE = "USB\\VID_05C6&PID_3197\\5&ABC&0&2"
EVERY_IMAGE = "1011111"


def parse():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", required=True, help="the windows-x64 or windows-x86 build tree")
    parser.add_argument("--out", required=True)
    parser.add_argument("--scale", type=int, default=1)
    parser.add_argument("--windows", choices=["xp", "7"], default="xp")
    parser.add_argument("--handset", choices=["download", "winmobile"], default="download")
    parser.add_argument("--flash-bin", type=int, help="FLASH.bin of this size instead of the shipped one")
    return parser.parse_args()


def step(text):
    print("== " + text, flush=True)


def main():
    args = parse()
    build, out = os.path.abspath(args.build), os.path.abspath(args.out)
    # What the harness modules find through the environment.
    os.environ.update(HANDSET_SIM=os.path.join(build, "host-tools", "sim", "handset-sim"),
                      PROGRAMMER_HEX=os.path.join(build, "programmer", "NPRG7200A.hex"),
                      BOX_WATCHER=os.path.join(build, "tests", "wine", "box_watcher.exe"))
    import registry_devices as devices
    from boxes import BoxWatcher
    from handset import Handset
    from virtual_display import VirtualDisplay, use_virtual_desktop
    from wine_prefix import WinePrefix, build_arch, make_prefix, windows_path
    from wizard_driver import WizardDriver

    shutil.rmtree(out, ignore_errors=True)
    run = os.path.join(out, "run")
    os.makedirs(run)
    step(f"Generating the sample image set (scale 1/{args.scale})")
    images = os.path.join(out, "images")
    subprocess.run([sys.executable, os.path.join(SOURCE, "tools", "demo", "make_sample_images.py"), images,
                    os.environ["PROGRAMMER_HEX"], "--scale", str(args.scale)]
                   + (["--flash-bin", str(args.flash_bin)] if args.flash_bin else []), check=True, stdout=subprocess.DEVNULL)
    step("Packing it into Veltrane.exe with veltrane-pack")
    subprocess.run([os.path.join(build, "host-tools", "tools", "pack", "veltrane-pack"), "create", "--images", images,
                    "--family", "C", "--id", "47", "--exe", os.path.join(build, "ui", "Veltrane.exe"),
                    "--out", os.path.join(run, "Veltrane.exe")], check=True, stdout=subprocess.DEVNULL)
    with open(os.path.join(run, "a.ini"), "w") as ini:
        ini.write(EVERY_IMAGE)

    step("Preparing a Wine prefix on a virtual display")
    prefix_path = os.path.join(out, "prefix")
    make_prefix(build_arch(build), prefix_path)  # the 32-bit program's in a 32-bit Windows
    prefix = WinePrefix(prefix_path)
    prefix.start_server()
    display = VirtualDisplay()
    handset = None
    wizard = None
    watcher = None
    try:
        use_virtual_desktop(prefix, display)
        prefix.set_windows_version("winxp" if args.windows == "xp" else "win7")

        step("Starting the simulated handset")
        handset = Handset(os.path.join(out, "handset"))
        winmobile = args.handset == "winmobile"
        if winmobile:
            # The handset first runs Windows Mobile: the stand-in Remote API plays it and, when
            # the agent is started with "2", replaces its device with the download device.
            prefix.install_file(os.path.join(build, "sim", "rapi_standin", "rapi.dll"))
            prefix.dll_overrides.append("rapi=n")
            state = os.path.join(out, "handset-rapi")
            os.makedirs(state)
            os.environ["VELTRANE_RAPI_STATE"] = windows_path(state)
            devices.declare_device(prefix, MOBILE_DEVICE, "Windows Mobile-based Device", devices.PORTS_CLASS)
            if args.windows == "xp":
                prefix.link_device("wceusbsh001", handset.link)
            else:
                prefix.install_file(os.path.join(build, "sim", "winusb_standin", "winusb.dll"))
                prefix.dll_overrides.append("winusb=n")
                prefix.link_device(devices.dosdevice_name(devices.interface_path(WINUSB_DEVICE, devices.WINUSB_CLASS)),
                                   handset.link)
        elif args.windows == "xp":
            devices.declare_device(prefix, SYNC_DEVICE, "Microsoft USB Sync", devices.PORTS_CLASS)
            prefix.link_device("wceusbsh001", handset.link)
        else:
            prefix.install_file(os.path.join(build, "sim", "winusb_standin", "winusb.dll"))
            prefix.dll_overrides.append("winusb=n")
            path = devices.declare_device(prefix, WINUSB_DEVICE, devices.DOWNLOAD_DESCRIPTION, devices.WINUSB_CLASS,
                                          interface=True)
            prefix.link_device(devices.dosdevice_name(path), handset.link)
        watcher = BoxWatcher(prefix, out)

        step("Starting Veltrane.exe: the access password, Accept, Next")
        shots = os.path.join(out, "screenshots")
        os.makedirs(shots)
        wizard = WizardDriver(prefix, display, run, shots)
        started = time.monotonic()
        wizard.start(os.path.join(out, "veltrane.out"))
        wizard.screenshot("password")
        wizard.unlock()
        wizard.wait_for_window("Veltrane")
        wizard.screenshot("notice")
        wizard.accept_and_start()
        finished = wizard.follow_run(timeout=1800)
        seconds = time.monotonic() - started
        # Read while the finish page still shows: the peaks of the whole run.
        memory = prefix.run([os.path.join(build, "tools", "demo", "process_memory.exe"), "Veltrane.exe"], cwd=out)
        status = wizard.finish() if finished else None
        handset.stop()
        boxes = watcher.boxes()
    finally:
        if wizard:
            wizard.stop()
        if handset:
            handset.stop(wait=0)
        prefix.stop()
        if watcher:
            watcher.close()
        display.close()

    print()
    step("Checking what the handset received")
    compared = subprocess.run([sys.executable, os.path.join(SOURCE, "tools", "demo", "compare_manifest.py"),
                               handset.manifest_path, images, os.path.join(run, "a.ini")])
    moved = sum(os.path.getsize(os.path.join(images, name)) for name in os.listdir(images) if name != "NPRG7200A.hex")
    print()
    for caption, text in boxes:
        print(f"Message box: [{caption}] {text}")
    ok = finished and status == 0 and compared.returncode == 0
    if ok:
        print("Outcome: SUCCESS - Veltrane.exe wrote every image byte for byte, the handset was reset, "
              "and Finish closed the program.")
    else:
        print(f"Outcome: FAILED (finished {finished}, exit status {status}, comparison {compared.returncode}).")
    print(f"Run time {seconds:.1f} s for {moved} bytes of images ({moved / seconds / 1e6:.2f} MB/s, including the "
          "password, the checks and the 5-second wait after GO).")
    print(f"Veltrane.exe's memory as Windows reports it: {(memory[1] or memory[2]).strip()}")
    print(f"Trace: {os.path.join(run, 'trace.txt')}")
    print(f"Screenshots: {shots} ({', '.join(sorted(os.listdir(shots)))})")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
