#!/usr/bin/env python3
"""A section 1 man page made from a program's own --help and --version output.

The usage lines become SYNOPSIS, the rest of the help text DESCRIPTION (prose as paragraphs,
"  --option ARG   text" lines as tagged paragraphs), --version the page's footer ("NAME
VERSION", checked), and the
other programs named with --see-also SEE ALSO. The page is written gzipped as Debian wants
it (level 9, no name and no time stamp: gzip -9n), or plain with --plain.

    make_man_page.py --program build/veltrane-pack --summary "..." --see-also a,b OUT.1.gz
"""
import argparse
import gzip
import os
import re
import subprocess
import sys

USAGE = re.compile(r"^usage:\s*", re.IGNORECASE)
# An option line: two spaces, the option (and its arguments), two spaces or more, its text.
OPTION = re.compile(r"^  (-\S.*?)(?:\s{2,}(\S.*))?$")
# A command of a program with commands (`  create   append ...`).
COMMAND = re.compile(r"^  ([a-z][a-z-]*)\s{2,}(\S.*)$")
# Marks a line of its own within an option's text: the next one starts a line too.
BREAK_AFTER = object()


def run(program, option):
    result = subprocess.run([program, option], capture_output=True, text=True, timeout=30)
    if result.returncode != 0:
        sys.exit(f"make_man_page: {program} {option} ended with status {result.returncode}: {result.stderr}")
    return result.stdout


def escape(text):
    """Roff text: backslashes and minus signs escaped, no line taken for a request."""
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return "\\&" + text if text.startswith((".", "'")) else text


def split_help(help_text, name):
    """(synopsis lines, description lines) of the help text."""
    lines = help_text.rstrip("\n").split("\n")
    if not lines or not USAGE.match(lines[0]):
        sys.exit(f"make_man_page: the help text of {name} does not start with a usage line")
    synopsis = []
    for index, line in enumerate(lines):
        if index == 0:
            synopsis.append(USAGE.sub("", line))
        elif line.strip().startswith(name):
            synopsis.append(line.strip())  # another form of the command line
        elif line.startswith(" ") and line.strip().startswith("["):
            synopsis[-1] += " " + line.strip()  # the usage line continued
        else:
            return synopsis, lines[index:]
    return synopsis, []


def description(lines):
    """Roff of the description: paragraphs of prose, tagged paragraphs of options."""
    out = []
    prose = []
    column = None  # where the current option's text starts

    def flush_prose():
        if prose:
            out.extend([".PP", escape(" ".join(prose))])
            prose.clear()

    for line in lines:
        if not line.strip():
            flush_prose()
            column = None
            continue
        item = OPTION.match(line) or COMMAND.match(line)
        indent = len(line) - len(line.lstrip())
        if item:
            flush_prose()
            tag, text = item.group(1), item.group(2)
            out.extend([".TP", f"\\fB{escape(tag.strip())}\\fR"])
            column = item.start(2) if text else None
            if text:
                out.append(escape(text))
        elif column is not None and indent >= 2:
            # The option's text continued; lines set deeper than it keep a line of their own.
            deep = indent > column
            if deep or out[-1] is BREAK_AFTER:
                out.append(".br")
            out.append(escape(line.strip()))
            if deep:
                out.append(BREAK_AFTER)
        else:
            column = None
            prose.append(line.strip())
    flush_prose()
    return [line for line in out if line is not BREAK_AFTER]


def man_page(name, summary, help_text, version_text, see_also):
    version_line = version_text.strip()
    if not version_line.startswith(name + " ") or len(version_line.split()) != 2:
        sys.exit(f"make_man_page: {name} --version printed {version_line!r}, not '{name} VERSION'")
    version = version_line.split()[1]
    synopsis, rest = split_help(help_text, name)
    page = [
        f'.TH {name.upper()} 1 "" "Veltrane {version}" "User Commands"',
        ".nh",  # no hyphenation: option names and file names stay whole
        ".SH NAME",
        f"{escape(name)} \\- {escape(summary)}",
        ".SH SYNOPSIS",
        ".nf",
    ]
    for form in synopsis:
        program, _, arguments = form.partition(" ")
        page.append(f"\\fB{escape(program)}\\fR {escape(arguments)}".rstrip())
    page.extend([".fi", ".SH DESCRIPTION"])
    page.extend(description(rest))
    if see_also:
        page.extend([".SH SEE ALSO", ", ".join(f"\\fB{escape(other)}\\fR(1)" for other in see_also)])
    return "\n".join(page) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--program", required=True, help="the program to run")
    parser.add_argument("--name", help="its name on the page (default: the file's name)")
    parser.add_argument("--summary", required=True, help="the NAME line's text after the dash")
    parser.add_argument("--see-also", default="", help="comma-separated names of other pages")
    parser.add_argument("--plain", action="store_true", help="write roff text, not gzipped")
    parser.add_argument("output")
    options = parser.parse_args()
    name = options.name or os.path.basename(options.program)
    page = man_page(name, options.summary, run(options.program, "--help"), run(options.program, "--version"),
                    [other for other in options.see_also.split(",") if other])
    data = page.encode("utf-8")
    if not options.plain:
        # gzip -9n: level 9, and neither the file's name nor a time in the header.
        data = gzip.compress(data, compresslevel=9, mtime=0)
    with open(options.output, "wb") as file:
        file.write(data)


if __name__ == "__main__":
    main()
