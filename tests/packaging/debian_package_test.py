#!/usr/bin/env python3
"""debian_package_test.py CPACK_CONFIG VERSION WORK_DIR: the package built by cpack and unpacked
into a throwaway root holds exactly the three programs, whose --help and --version run, and their
man pages (gzip -9n, read by man); the checks are shown to refuse a broken root."""
import os
import shutil
import subprocess
import sys

PROGRAMS = ["veltrane-flash", "veltrane-pack", "handset-sim"]
FILES = {f"usr/bin/{p}" for p in PROGRAMS} | {f"usr/share/man/man1/{p}.1.gz" for p in PROGRAMS}
MAN_ENVIRONMENT = dict(os.environ, MANWIDTH="80", MANPAGER="cat", LC_ALL="C.UTF-8")


def run(*command, env=None):
    return subprocess.run(command, capture_output=True, text=True, timeout=30, env=env)


def problems_of(root, version):
    files = {os.path.relpath(os.path.join(folder, name), root) for folder, _, names in os.walk(root) for name in names}
    problems = [f"missing {name}" for name in sorted(FILES - files)] + [f"stray {name}" for name in sorted(files - FILES)]
    for program in PROGRAMS:
        binary, page = f"{root}/usr/bin/{program}", f"{root}/usr/share/man/man1/{program}.1.gz"
        if os.path.exists(binary):
            helped, told = run(binary, "--help"), run(binary, "--version")
            if helped.returncode or not helped.stdout.lower().startswith("usage:"):
                problems.append(f"{program} --help: status {helped.returncode}, {helped.stdout[:40]!r}")
            if told.returncode or told.stdout != f"{program} {version}\n":
                problems.append(f"{program} --version: status {told.returncode}, {told.stdout!r}")
        if os.path.exists(page):
            with open(page, "rb") as file:  # gzip -9n: no flags (no name), no time, the best compression
                if file.read(9)[3:] != b"\0\0\0\0\0\2":
                    problems.append(f"{program}.1.gz is not gzip -9n")
            shown = run("man", "--warnings", "-l", page, env=MAN_ENVIRONMENT)
            text = " ".join(shown.stdout.split())  # justified lines: spaces run together
            wanted = ["NAME", "SYNOPSIS", "DESCRIPTION", "SEE ALSO", f"{program} - ", "--version"]
            lacking = [piece for piece in wanted + [p for p in PROGRAMS if p != program] if piece not in text]
            if shown.returncode or shown.stderr.strip() or lacking:
                problems.append(f"man {program}.1.gz: {shown.stderr.strip()} lacks {lacking}")
    return problems


def main():
    config, version, work = sys.argv[1:4]
    shutil.rmtree(work, ignore_errors=True)
    made = run("cpack", "--config", config, "-B", f"{work}/deb")
    package = f"{work}/deb/veltrane_{version}_{run('dpkg', '--print-architecture').stdout.strip()}.deb"
    if made.returncode or not os.path.exists(package):
        sys.exit(f"cpack did not make {package}:\n{made.stdout}{made.stderr}")
    fields = run("dpkg-deb", "--field", package, "Version", "Depends", "Maintainer").stdout
    problems = [] if f"Version: {version}\n" in fields and "libc6" in fields and "@" in fields else [fields]
    subprocess.run(["dpkg", "-x", package, f"{work}/root"], check=True)
    problems += problems_of(f"{work}/root", version)

    broken = shutil.copytree(f"{work}/root", f"{work}/broken")  # a program and a page gone, strays
    os.remove(f"{broken}/usr/bin/veltrane-pack")
    os.remove(f"{broken}/usr/share/man/man1/handset-sim.1.gz")
    shutil.copytree(f"{broken}/usr/bin", f"{broken}/usr/include")
    refusals = "\n".join(problems_of(broken, version + ".1"))
    for expected in ["missing usr/bin/veltrane-pack", "missing usr/share/man/man1/handset-sim.1.gz",
                     "stray usr/include/veltrane-flash", "veltrane-flash --version"]:
        if expected not in refusals:
            problems.append(f"the check let pass: {expected}")
    print("\n".join(problems) or f"{os.path.basename(package)}: checked")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
