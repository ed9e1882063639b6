"""The programmer tools: the shipped stand-in is what the generator makes, and the build's
check accepts sound programmers and refuses the faults it is there to catch."""

import os
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
TOOLS = os.path.join(ROOT, "tools", "programmer")
SHIPPED = os.path.join(ROOT, "resources", "programmer", "NPRG7200A.hex")
sys.path.insert(0, TOOLS)

import embed_bytes  # noqa: E402
import make_standin_programmer  # noqa: E402
import validate_programmer_hex  # noqa: E402


def lines_of_shipped():
    with open(SHIPPED, "rb") as handle:
        return handle.read().decode("ascii").splitlines(keepends=True)


def check(lines):
    return validate_programmer_hex.check("".join(lines).encode("ascii"))


class StandIn(unittest.TestCase):
    def test_regenerating_gives_the_shipped_file(self):
        with tempfile.TemporaryDirectory() as directory:
            output = os.path.join(directory, "NPRG7200A.hex")
            subprocess.run([sys.executable, os.path.join(TOOLS, "make_standin_programmer.py"), output], check=True)
            with open(output, "rb") as fresh, open(SHIPPED, "rb") as shipped:
                self.assertEqual(fresh.read(), shipped.read())

    def test_record_structure_of_the_real_programmer(self):
        lines = [line.strip() for line in lines_of_shipped()]
        self.assertEqual(lines[0], ":0200000400A05A")
        self.assertIn(":0200000400A159", lines)
        self.assertEqual(lines.index(":0200000400A159"), 1 + 4096)  # 64 KiB of 16-byte records first
        self.assertTrue(lines[-3].startswith(":08B030"))  # the final 8-byte record at 0x00A1B030
        self.assertEqual(lines[-2], ":0400000500A0000057")
        self.assertEqual(lines[-1], ":00000001FF")
        self.assertEqual(check(lines_of_shipped()), 110648)


class Check(unittest.TestCase):
    def assertRefused(self, lines, reason):
        with self.assertRaises(validate_programmer_hex.ProgrammerError) as raised:
            check(lines)
        self.assertIn(reason, str(raised.exception))

    def test_bad_checksum(self):
        lines = lines_of_shipped()
        lines[5] = lines[5][:-4] + ("00" if lines[5][-4:-2] != "00" else "01") + "\r\n"
        self.assertRefused(lines, "checksum")

    def test_gap_in_the_data(self):
        lines = lines_of_shipped()
        del lines[10]
        self.assertRefused(lines, "contiguous")

    def test_data_not_at_the_load_address(self):
        lines = lines_of_shipped()
        lines[0] = ":0200000400A159\r\n"
        self.assertRefused(lines, "expected 0x00A00000")

    def test_missing_end_of_file_record(self):
        self.assertRefused(lines_of_shipped()[:-1], "end-of-file")

    def test_records_after_the_end(self):
        lines = lines_of_shipped()
        self.assertRefused(lines + [lines[1]], "after the end-of-file")

    def test_byte_count_that_does_not_match(self):
        lines = lines_of_shipped()
        lines[1] = ":11" + lines[1][3:]
        self.assertRefused(lines, "byte count")

    def test_not_a_hex_file(self):
        self.assertRefused(["MZ\x00\x01 garbage\r\n"], "starts with ':'")

    def test_failing_file_is_not_copied(self):
        with tempfile.TemporaryDirectory() as directory:
            source = os.path.join(directory, "bad.hex")
            destination = os.path.join(directory, "out.hex")
            with open(source, "w") as handle:
                handle.write("".join(lines_of_shipped()[:-1]))
            result = subprocess.run([sys.executable, os.path.join(TOOLS, "validate_programmer_hex.py"), source,
                                     destination], capture_output=True, text=True)
            self.assertEqual(result.returncode, 1)
            self.assertIn("end-of-file", result.stderr)
            self.assertFalse(os.path.exists(destination))


class Embed(unittest.TestCase):
    def test_every_byte_value_survives_as_a_string_literal(self):
        data = bytes(range(256)) + b"??=\"\\\n0\x007"
        text = embed_bytes.source_text(data, "kData")
        # Decode the literals the way a C++ compiler reads them.
        body = "".join(line.strip()[1:-1] if not line.rstrip().endswith(";") else line.strip()[1:-2]
                       for line in text.splitlines() if line.strip().startswith('"'))
        decoded = bytearray()
        i = 0
        while i < len(body):
            if body[i] == "\\":
                if body[i + 1] in "01234567":
                    decoded.append(int(body[i + 1:i + 4], 8))
                    i += 4
                else:
                    decoded.append(ord(body[i + 1]))
                    i += 2
            else:
                decoded.append(ord(body[i]))
                i += 1
        self.assertEqual(bytes(decoded), data)
        self.assertIn(f"kDataSize = {len(data)};", text)


if __name__ == "__main__":
    unittest.main()
