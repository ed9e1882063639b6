#!/usr/bin/env python3
"""docs/failures.md is what `veltrane-flash failures` prints from the table of run endings,
and every text with which the code ends a run (or refuses one) has its row there.

Run by CTest with VELTRANE_FLASH set, from the source tree's root.
"""
import os
import re
import subprocess
import unittest

FLASH = os.environ.get("VELTRANE_FLASH", "")
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

# Where the code says how a run ends: (files, a pattern whose groups are C string literals).
LITERAL = r'"((?:[^"\\]|\\.)*)"'
ENDINGS = [
    (["session/session_driver.cpp"], r"FailStep\(" + LITERAL),
    (["session/image_targets.h"], r"\.(?:open|write|close)Failure = " + LITERAL),
    (["session/image_targets.h"], r"\.(?:body|header)MissingWord = " + LITERAL),
    (["package/image_checks.cpp"], r"test\(kSlot\w+, \w+, " + LITERAL),
    (["package/image_checks.cpp", "session/watch_thread.cpp", "session/session_driver.cpp",
      "ui/tarn_pages_win32.cpp", "prepare/handset_switch.cpp"], r"FormatText\(" + LITERAL),
    (["package/image_checks.h", "prepare/handset_switch.cpp", "session/watch_thread.cpp"],
     r"constexpr (?:const )?char\*? ?k\w+(?:\[\])? =\s*((?:\"(?:[^\"\\]|\\.)*\"\s*)+);"),
    (["ui/tarn_app_win32.cpp", "ui/tarn_pages_win32.cpp", "package/image_checks.cpp"], r"ShowMessageBox\(" + LITERAL),
    (["ui/tarn_pages_win32.cpp"], r'IDC_STATUS_TEXT, ' + LITERAL),
    (["transport/port_search.cpp"], r'Trace\(\)\.Append\(' + LITERAL),
    (["tools/flash/flash_main.cpp", "tools/flash/several_handsets.cpp"],
     r'fprintf\((?:stderr|err),\s*"(veltrane-flash: [^"%\\]+)'),
    (["tools/flash/several_handsets.cpp"], r'(?:lastLine = |\? )' + LITERAL),
]
# Said on the way, not an ending: the run goes on to list every image as missing.
NOT_ENDINGS = {"veltrane-flash: no firmware package in ", "ended with status "}


def source_texts():
    for files, pattern in ENDINGS:
        for name in files:
            with open(os.path.join(ROOT, name), encoding="utf-8") as source:
                for match in re.finditer(pattern, source.read()):
                    # Adjacent literals are one text.
                    yield name, "".join(re.findall(LITERAL, match.group(0)[match.start(1) - match.start(0):])
                                        or [match.group(1)])


class FailuresDocument(unittest.TestCase):
    def test_the_document_is_the_table_and_covers_every_ending_in_the_code(self):
        printed = subprocess.run([FLASH, "failures"], capture_output=True, check=True).stdout.decode()
        with open(os.path.join(ROOT, "docs", "failures.md"), encoding="utf-8") as document:
            self.assertEqual(document.read(), printed, "docs/failures.md is stale: run make failures-doc")
        found = list(source_texts())
        self.assertGreater(len(found), 60)  # the patterns still find the code's texts
        for name, text in found:
            # Pieces of texts built in steps ("2 %x %x", "%x ") are no endings of their own.
            if text in NOT_ENDINGS or not re.search(r"[A-Za-z]{3}", re.sub(r"%[dsx]", "", text)):
                continue
            with self.subTest(file=name, text=text):
                self.assertTrue(text in printed, f"{name}: no row for {text!r}")


if __name__ == "__main__":
    unittest.main()
