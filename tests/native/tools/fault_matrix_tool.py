"""tools/fault-matrix: rows of both halves in, the document's tables out, and its exit status."""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

TOOL = os.path.join(os.path.dirname(__file__), "..", "..", "..", "tools", "fault-matrix")


def row(path, cell, bound, measured, ok, expected="\"E: Checksum check\"; idle, Close enabled"):
    return {"path": path, "cell": cell, "fault": "a fault | with a bar", "phase": "mid-data", "expected": expected,
            "bound_s": bound, "measured_s": measured, "ok": ok}


class FaultMatrixTool(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="fault-matrix-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        os.makedirs(os.path.join(self.dir, "fault-matrix"))
        self.doc = os.path.join(self.dir, "fault-matrix.md")
        with open(self.doc, "w") as f:
            f.write("# Fault matrix\n\nKept current by the tool.\n")

    def write(self, name, rows, extra=""):
        with open(os.path.join(self.dir, "fault-matrix", name + ".jsonl"), "w") as f:
            for r in rows:
                f.write(json.dumps(r) + "\n")
            f.write(extra)

    def run_tool(self, *args):
        p = subprocess.run([sys.executable, TOOL, "--build", self.dir, "--doc", self.doc] + list(args),
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        with open(self.doc) as f:
            return p.returncode, f.read(), p.stderr

    def test_tables_per_path_and_the_status_of_each_kind_of_cell(self):
        # (rows, exit status): every cell within its bound passes; a failed, late or unmeasured one fails.
        cases = [
            ([row("serial", "a", 2, 1.234, True)], 0),
            ([row("serial", "a", 2, 2.5, True)], 1),
            ([row("serial", "a", 2, 1.0, False)], 1),
            ([row("serial", "a", 2, None, True)], 1),
        ]
        for rows, status in cases:
            with self.subTest(rows=rows):
                self.write("serial", rows)
                code, doc, err = self.run_tool()
                self.assertEqual(status, code, err)
        self.write("usb", [row("USB", "u1", 10, 3, True, "a line in words")])
        self.write("serial", [row("serial", "b", 12, 4.756, True), row("serial", "c", 5, None, False)])
        code, doc, err = self.run_tool()
        self.assertEqual(1, code)
        self.assertIn("serial c: failed (bound 5 s, measured none)", err)
        self.assertTrue(doc.startswith("# Fault matrix\n\nKept current by the tool.\n"))
        serial, usb = doc.index("### serial"), doc.index("### USB")
        self.assertLess(serial, usb)
        self.assertIn("| b | a fault \\| with a bar | mid-data | \"E: Checksum check\" | idle, Close enabled | 12 s | "
                      "4.76 s |", doc)
        self.assertIn("| c | a fault \\| with a bar | mid-data | \"E: Checksum check\" | idle, Close enabled | 5 s | "
                      "**failed** (—) |", doc)
        self.assertIn("| u1 | a fault \\| with a bar | mid-data | a line in words |  | 10 s | 3 s |", doc)
        self.assertIn("2 cells: 1 within their bound, 1 not.", doc)

        # Run again on the same rows: the tables are replaced, not added; --check finds the document current.
        again = self.run_tool()[1]
        self.assertEqual(doc, again)
        self.assertEqual(1, self.run_tool("--check")[0])  # current, but a cell failed
        self.write("serial", [row("serial", "b", 12, 4.756, True)])
        self.assertEqual(1, self.run_tool("--check")[0])  # the document still shows cell c
        self.assertEqual(0, self.run_tool()[0])
        self.assertEqual(0, self.run_tool("--check")[0])

    def test_bad_rows_are_named_and_nothing_is_written(self):
        cases = [
            ("{not json\n", "serial.jsonl:2: not JSON"),
            (json.dumps({"path": "serial", "cell": "x"}) + "\n", "serial.jsonl:2: no fault, phase, expected"),
            (json.dumps(dict(row("serial", "x", 1, 1, True), bound_s="1")) + "\n", "bound_s is not a number"),
            (json.dumps(dict(row("serial", "x", 1, 1, True), ok="yes")) + "\n", "ok is not true or false"),
        ]
        for extra, message in cases:
            with self.subTest(message=message):
                self.write("serial", [row("serial", "a", 2, 1, True)], extra)
                code, doc, err = self.run_tool()
                self.assertEqual(2, code)
                self.assertIn(message, err)
                self.assertNotIn("###", doc)
        os.remove(os.path.join(self.dir, "fault-matrix", "serial.jsonl"))
        code, _, err = self.run_tool()
        self.assertEqual(2, code)
        self.assertIn("no rows", err)


if __name__ == "__main__":
    unittest.main(verbosity=2)
