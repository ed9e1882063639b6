#!/usr/bin/env python3
"""The Linux tools' Debian package, built from this build tree and unpacked into a throwaway
root: its control fields, exactly the three programs and their man pages, every program's
--help and --version run from the root, every page gzipped as Debian wants and read by man.
The same checks are shown to refuse a root with a program and a page missing and a stray file.

    debian_package_test.py CPACK_CONFIG VERSION WORK_DIR
"""
import gzip
import os
import shutil
import subprocess
import sys

PROGRAMS = ["veltrane-flash", "veltrane-pack", "handset-sim"]
EXPECTED_FILES = {f"usr/bin/{p}" for p in PROGRAMS} | {f"usr/share/man/man1/{p}.1.gz" for p in PROGRAMS}


def run(command, **options):
    return subprocess.run(command, capture_output=True, text=True, timeout=30, **options)


def build_package(config, work):
    folder = os.path.join(work, "deb")
    shutil.rmtree(folder, ignore_errors=True)
    result = run(["cpack", "--config", config, "-B", folder])
    packages = [name for name in os.listdir(folder) if name.endswith(".deb")] if os.path.isdir(folder) else []
    if result.returncode != 0 or len(packages) != 1:
        sys.exit(f"cpack made {packages} (status {result.returncode}):\n{result.stdout}{result.stderr}")
    return os.path.join(folder, packages[0])


def control_problems(package, version):
    architecture = run(["dpkg", "--print-architecture"]).stdout.strip()
    expected = {"Package": "veltrane", "Version": version, "Architecture": architecture}
    problems = []
    for field, value in expected.items():
        found = run(["dpkg-deb", "--field", package, field]).stdout.strip()
        if found != value:
            problems.append(f"control field {field} is {found!r}, not {value!r}")
    if os.path.basename(package) != f"veltrane_{version}_{architecture}.deb":
        problems.append(f"package file named {os.path.basename(package)}")
    if "libc6" not in run(["dpkg-deb", "--field", package, "Depends"]).stdout:
        problems.append("Depends does not name libc6: the dependencies were not computed")
    if "@" not in run(["dpkg-deb", "--field", package, "Maintainer"]).stdout:
        problems.append("no maintainer address")
    return problems


def page_problems(path, program):
    with open(path, "rb") as file:
        header = file.read(10)
    problems = []
    # gzip -9n: no file name (flag 0x08), no time, the best compression (extra flags 2).
    if header[3] & 0x08 or header[4:8] != b"\0\0\0\0" or header[8] != 2:
        problems.append(f"{program}.1.gz is not gzipped -9n (header {header.hex()})")
    environment = dict(os.environ, MANWIDTH="80", MANPAGER="cat", PAGER="cat", LC_ALL="C.UTF-8")
    shown = run(["man", "--warnings", "-l", path], env=environment)
    if shown.returncode != 0 or shown.stderr.strip():
        problems.append(f"man cannot read {program}.1.gz: {shown.stderr.strip()}")
    text = " ".join(shown.stdout.split())  # justified lines: spaces run together
    others = [other for other in PROGRAMS if other != program]
    wanted = ["NAME", "SYNOPSIS", "DESCRIPTION", "SEE ALSO", f"{program} - ", "--version"] + others
    missing = [piece for piece in wanted if piece not in text]
    if missing:
        problems.append(f"{program}.1.gz lacks {missing}")
    if gzip.decompress(open(path, "rb").read()).count(b"\n.SH ") != 4:
        problems.append(f"{program}.1.gz has other sections than NAME, SYNOPSIS, DESCRIPTION and SEE ALSO")
    return problems


def root_problems(root, version):
    files = {os.path.relpath(os.path.join(folder, name), root)
             for folder, _, names in os.walk(root) for name in names}
    problems = [f"missing {name}" for name in sorted(EXPECTED_FILES - files)]
    problems += [f"installed beyond the tools: {name}" for name in sorted(files - EXPECTED_FILES)]
    for program in PROGRAMS:
        path = os.path.join(root, "usr/bin", program)
        if os.path.exists(path):
            shown = run([path, "--help"])
            if shown.returncode != 0 or not shown.stdout.lower().startswith("usage:") or "--version" not in shown.stdout:
                problems.append(f"{program} --help: status {shown.returncode}, {shown.stdout[:60]!r}")
            shown = run([path, "--version"])
            if shown.returncode != 0 or shown.stdout != f"{program} {version}\n" or shown.stderr:
                problems.append(f"{program} --version: status {shown.returncode}, {shown.stdout!r} {shown.stderr!r}")
        page = os.path.join(root, "usr/share/man/man1", program + ".1.gz")
        if os.path.exists(page):
            problems += page_problems(page, program)
    return problems


def main():
    config, version, work = sys.argv[1:4]
    os.makedirs(work, exist_ok=True)
    package = build_package(config, work)
    root = os.path.join(work, "root")
    shutil.rmtree(root, ignore_errors=True)
    subprocess.run(["dpkg", "-x", package, root], check=True)
    problems = control_problems(package, version) + root_problems(root, version)

    # The checks refuse a root that lacks a program and a page or carries a stray file.
    broken = os.path.join(work, "broken")
    shutil.rmtree(broken, ignore_errors=True)
    shutil.copytree(root, broken, symlinks=True)
    os.remove(os.path.join(broken, "usr/bin/veltrane-pack"))
    os.remove(os.path.join(broken, "usr/share/man/man1/handset-sim.1.gz"))
    os.makedirs(os.path.join(broken, "usr/include"))
    open(os.path.join(broken, "usr/include/stray.h"), "w").close()
    refusals = root_problems(broken, version + ".1")
    for expected in ["missing usr/bin/veltrane-pack", "missing usr/share/man/man1/handset-sim.1.gz",
                     "installed beyond the tools: usr/include/stray.h", "veltrane-flash --version"]:
        if not any(refusal.startswith(expected) for refusal in refusals):
            problems.append(f"the check let pass: {expected} (it said {refusals})")

    for problem in problems:
        print(problem)
    print(f"{os.path.basename(package)}: " + ("checked" if not problems else f"{len(problems)} problems"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
