"""velflash under Wine on COM1 against the box simulator on the Linux end of COM2: exit
statuses, the lines it prints, and what the box received; several ports at once on the
harness's other pairs (COM13/14, COM15/16, COM17/18), its log read back, a console run, a
port that vanishes.

Environment (set by ctest): STELVAR_WINE_RUN, STELVAR_HARNESS, STELVAR_BIN, STELVAR_NATIVE_BIN.
The case of a box that falls silent waits for the library's full 120 s timer: it runs only
when STELVAR_SLOW_TESTS is 1, as its own ctest entry (FlasherSilentBox).
"""
import json
import os
import pty
import re
import select
import subprocess
import time
import unittest
import zlib

import flasher_scenarios
import images
from flasher_scenarios import ScenarioCases, add_scenarios
from harness_env import BIN, BOX_TTY, HARNESS, STBSIM, WINE_RUN, BoxTestCase, replug, unplug, windows_path

FLASHER = os.path.join(BIN, "velflash.exe")
STAMP = re.compile(r"^\d\d:\d\d:\d\d\.\d\d\d (.*)$")



def Flasher(args, **kwargs):
    """velflash.exe under Wine, its output collected as it comes."""
    return flasher_scenarios.Flasher(WINE_RUN + [FLASHER] + args, **kwargs)


def Box(folder, args, timeout=60, tty=BOX_TTY, name="box"):
    """stbsim on the far end of a line (COM2 unless told)."""
    return flasher_scenarios.Box(STBSIM, tty, folder, args, timeout, name)


class FlasherTest(BoxTestCase):
    PROGRAM = FLASHER
    SCRATCH_PREFIX = "stelvar-flasher-"

    def run_flasher(self, args, box_args=None, box_timeout=60, timeout=90):
        box = Box(self.dir, box_args, box_timeout) if box_args is not None else None
        flasher = Flasher(args)
        try:
            rc = flasher.finish(timeout)
        finally:
            box_rc = box.finish() if box else None
        return rc, flasher, box, box_rc

    def describe(self, flasher, box=None):
        return "velflash:\n%s\nstderr: %s\nbox: %s\n%s" % (
            "\n".join(flasher.lines()[-40:]), getattr(flasher, "stderr", ""), box and box.err,
            box and box.report[-2000:])


class FlasherDownloads(FlasherTest):
    def test_clean_download(self):
        data = images.one_anal_section()
        path = self.image(data)
        rc, flasher, box, box_rc = self.run_flasher(["--port", "1", "--baud", "115200", windows_path(path)],
                                                    ["--pace", "--image", path])
        lines = flasher.lines()
        self.assertEqual(0, rc, self.describe(flasher, box))
        self.assertEqual(0, box_rc, self.describe(flasher, box))
        self.assertIn("image matches the file (14444 bytes)", box.report)
        # Every library line carries a time stamp and its kind.
        self.assertIn("N: Ready (box.img)", lines)
        self.assertIn("N: Send FUNC_DATA_ANAL to STB", lines)
        self.assertIn("B: Download Completed! [OK]", lines, self.describe(flasher))
        self.assertTrue(all(STAMP.match(l) for l in flasher.text().replace("\r\n", "\n").split("\n")[:-1]
                            if "\r" not in l), flasher.text())
        self.assertRegex(lines[-1], r"^box 1: 14444 bytes, \d+\.\d s, downloaded$")
        # Output to a pipe: whole lines only, no progress line rewriting itself.
        self.assertNotIn("\r", flasher.text().replace("\r\n", "\n"))
        self.assertEqual("", flasher.stderr)

    def test_port_without_a_device(self):
        path = self.image(images.one_anal_section())
        rc, flasher, _, _ = self.run_flasher(["--port", "9", windows_path(path)], timeout=60)
        self.assertEqual(3, rc, self.describe(flasher))
        self.assertTrue(any(l.startswith("B: Failed to open com port : \\\\.\\COM9") for l in flasher.lines()),
                        self.describe(flasher))

    def test_bad_arguments_are_refused_before_anything_opens(self):
        path = self.image(images.one_anal_section())
        for args, message in ((["--baud", "14400", windows_path(path)], "rate 14400 is not one the box knows"),
                              (["--port", "256", windows_path(path)], "port 256 is outside 1-255"),
                              ([windows_path(path + ".missing")], "cannot be opened")):
            rc, flasher, _, _ = self.run_flasher(args, timeout=60)
            self.assertEqual(2, rc, self.describe(flasher))
            self.assertIn(message, flasher.stderr)
            self.assertEqual("", flasher.text())



PORT_LINE = re.compile(r"^(COM\d+) +(?:\d\d:\d\d:\d\d\.\d\d\d )?(.*)$")
ESCAPE = re.compile(r"\x1b\[[0-9;?]*[A-Za-z]")


def by_port(flasher):
    """The lines of a velflash serving several ports, without time stamps, by port."""
    ports = {}
    for line in flasher.lines():
        m = PORT_LINE.match(line)
        if m:
            ports.setdefault(m.group(1), []).append(m.group(2))
    return ports


def read_log(path):
    """Every line of a log as the JSON object it must be."""
    with open(path, encoding="utf-8") as f:
        return [json.loads(line) for line in f]


class FlasherStation(FlasherTest):
    """Conventions of command-line flashers and several boxes at once."""

    def test_versions_and_ports(self):
        rc, flasher, _, _ = self.run_flasher(["--version"])
        self.assertEqual(0, rc)
        self.assertRegex(flasher.text().replace("\r\n", "\n"),
                         r"^velflash \d+\.\d+\.\d+\nVelManager\.dll \d+\.\d+\.\d+\.\d+ .*VelManager\.dll\n$")
        rc, flasher, _, _ = self.run_flasher(["--list-ports"])
        self.assertEqual(0, rc)
        listed = [l.split()[0] for l in flasher.lines()]
        for port in ("COM1", "COM2", "COM11", "COM12", "COM13", "COM14", "COM15", "COM16", "COM17", "COM18"):
            self.assertIn(port, listed)
        self.assertNotIn("COM9", listed)

    def test_a_console_run_rewrites_its_progress_line(self):
        path = self.image(images.one_anal_section())
        box = Box(self.dir, ["--pace", "--image", path], 30)
        controller, terminal = pty.openpty()
        proc = subprocess.Popen(WINE_RUN + [FLASHER, "--baud", "57600", windows_path(path)], stdin=terminal,
                                stdout=terminal, stderr=terminal)
        os.close(terminal)
        out = b""
        end = time.time() + 60
        while time.time() < end:
            ready, _, _ = select.select([controller], [], [], 1)
            try:
                chunk = os.read(controller, 65536) if ready else b""
            except OSError:
                break
            if ready and not chunk:
                break
            out += chunk
        os.close(controller)
        rc = proc.wait(10)
        box.finish()
        text = ESCAPE.sub("", out.decode("latin-1"))
        self.assertEqual(0, rc, text)
        # Wine's console draws spaces as cursor moves: compare without them.
        percents = [int(p) for p in re.findall(r"[\r\n] *(\d+)%", text)]
        self.assertGreater(len(percents), 3, text)
        self.assertEqual(sorted(percents), percents)
        self.assertEqual(100, percents[-1])
        self.assertIn("box1:14444bytes", text.replace(" ", ""))

    def test_the_log_holds_one_record_per_box_and_is_read_back(self):
        good = self.image(images.program(5000), "good.img")
        cut = self.image(images.one_anal_section()[:9000], "cut.img")
        log = os.path.join(self.dir, "station.log")
        box = Box(self.dir, ["--downloads", "3", "--image", good, "--error", "57@block:2"], 60)
        flasher = Flasher(["--each", "--log", windows_path(log), windows_path(good)])
        try:
            served = flasher.wait_for(lambda f: "N: box 3: waiting for the box" in f.lines(), 60)
            flasher.interrupt()
            rc = flasher.finish(30)
        finally:
            box.finish()
        self.assertTrue(served, self.describe(flasher, box))
        self.assertEqual(0, rc, self.describe(flasher, box))
        # A second run appends to the same file.
        rc, flasher2, _, _ = self.run_flasher(["--log", windows_path(log), windows_path(cut)])
        self.assertEqual(4, rc, self.describe(flasher2))

        records = read_log(log)
        self.assertEqual(["run", "box", "box", "run", "box"], [r["record"] for r in records])
        self.assertTrue(all(r["format"] == 1 for r in records))
        run = records[0]
        self.assertRegex(run["velflash"], r"^\d+\.\d+\.\d+$")
        self.assertRegex(run["library"], r"^VelManager\.dll \d")
        self.assertEqual(["COM1"], run["ports"])
        self.assertEqual(True, run["each"])
        with open(good, "rb") as f:
            data = f.read()
        for number, record in enumerate(records[1:3], 1):
            self.assertEqual(number, record["box"])
            self.assertEqual("COM1", record["port"])
            self.assertEqual(115200, record["baud"])
            self.assertEqual(windows_path(good), record["image"])
            self.assertEqual(len(data), record["image_size"])
            self.assertEqual("%08x" % zlib.crc32(data), record["image_crc32"])
            self.assertEqual(len(data), record["payload_bytes"])
            self.assertEqual(("downloaded", 0), (record["result"], record["status"]))
            self.assertRegex(record["start"], r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$")
            self.assertGreater(record["seconds"], 0)
        # The box's error report of the first box, in the library's words.
        self.assertEqual(["Checksum check"], records[1]["box_reports"])
        self.assertEqual([], records[2]["box_reports"])
        refused = records[4]
        self.assertEqual(("image_refused", 4, None, 0), (refused["result"], refused["status"], refused["start"],
                                                        refused["payload_bytes"]))
        self.assertEqual(["Image file is truncated: the section at offset 0 needs 14336 payload bytes, 8936 remain.",
                          "Image file is invalid."], refused["errors"])

    def test_three_ports_at_once_with_one_box_failing(self):
        path = self.image(images.one_anal_section())
        log = os.path.join(self.dir, "station.log")
        tty = lambda n: os.path.join(HARNESS, "pty", "com%d" % n)
        boxes = [Box(self.dir, ["--pace", "--image", path], 60, tty(2), "box1"),
                 Box(self.dir, ["--pace", "--image", path], 60, tty(14), "box13"),
                 Box(self.dir, ["--pace", "--error", "57@block:3"], 30, tty(16), "box15")]
        try:
            start = time.time()
            rc, flasher, _, _ = self.run_flasher(["--port", "1,13", "--port", "COM15", "--max-errors", "0",
                                                  "--log", windows_path(log), windows_path(path)])
            took = time.time() - start
        finally:
            box_rcs = [b.finish() for b in boxes]
        describe = "%s\n%s" % (flasher.text(), flasher.stderr)
        self.assertEqual(6, rc, describe)  # the worst of 0, 0 and 6
        self.assertEqual([0, 0], box_rcs[:2], describe)
        ports = by_port(flasher)
        self.assertEqual({"COM1", "COM13", "COM15"}, set(ports), describe)
        for port in ("COM1", "COM13"):
            summaries = [l for l in ports[port] if l.startswith("box ")]
            self.assertEqual(1, len(summaries), describe)
            self.assertRegex(summaries[0], r"^box 1: 14444 bytes, \d+\.\d s, downloaded$")
            self.assertIn("N: Ready (box.img)", ports[port])
        self.assertRegex([l for l in ports["COM15"] if l.startswith("box ")][0],
                         r"^box 1: 2112 bytes, .* too many error reports \(1 error report\)$")
        self.assertRegex(flasher.lines()[-1], r"ports: COM1 0 \(downloaded\), COM13 0 \(downloaded\), "
                                              r"COM15 6 \(too many error reports\)$")
        self.assertIn("velflash: COM15: the box sent more error reports than --max-errors 0 allows", flasher.stderr)
        # Three downloads in parallel take about as long as one.
        self.assertLess(took, 20, describe)
        records = read_log(log)
        self.assertEqual(["run"] + ["box"] * 3, [r["record"] for r in records])
        self.assertEqual(["COM1", "COM13", "COM15"], records[0]["ports"])
        self.assertEqual({("COM1", "downloaded"), ("COM13", "downloaded"), ("COM15", "too_many_error_reports")},
                         {(r["port"], r["result"]) for r in records[1:]})

    def test_ctrl_c_stops_every_port_and_a_second_ends_at_once(self):
        path = self.image(images.one_anal_section())
        tty = lambda n: os.path.join(HARNESS, "pty", "com%d" % n)
        for presses in (1, 2):
            boxes = [Box(self.dir, ["--pace"], 40, tty(2), "box1"), Box(self.dir, ["--pace"], 40, tty(14), "box13")]
            flasher = Flasher(["--port", "1,13", "--baud", "9600", windows_path(path)])
            try:
                both = flasher.wait_for(lambda f: all("N: Start Downloading..." in l
                                                      for l in by_port(f).values()) and len(by_port(f)) == 2, 40)
                time.sleep(1)
                flasher.interrupt()
                if presses == 2:
                    time.sleep(0.2)
                    flasher.interrupt()
                start = time.time()
                rc = flasher.finish(30)
                took = time.time() - start
            finally:
                for b in boxes:
                    b.finish(2)
            describe = "%s\n%s" % (flasher.text(), flasher.stderr)
            self.assertTrue(both, describe)
            self.assertEqual(130, rc, describe)
            if presses == 1:
                # Each port's library cancels, or, when its box sends nothing within the second
                # (at 9600 a block takes 1.07 s on the line), its transfer is stopped.
                for port, lines in by_port(flasher).items():
                    self.assertTrue("N: the library cancelled the download" in lines or
                                    "N: the box did not answer within a second: transfer stopped" in lines, describe)
                    self.assertRegex([l for l in lines if l.startswith("box ")][0], r"^box 1: \d+ bytes, .* stopped$")
                self.assertLess(took, 10, describe)
            else:
                self.assertIn("ended at once by a second Ctrl-C", flasher.stderr)
                self.assertLess(took, 5, describe)

    def test_a_cancel_in_one_process_leaves_another_transfer_untouched(self):
        path = self.image(images.one_anal_section())
        # At 57600 the box asks for its next block within 0.2 s: the library confirms the cancel.
        long_path = self.image(b"".join(images.section(images.record(), images.payload(0x3800, n)) for n in range(4))
                               + images.end_record(), "long.img")
        other = Box(self.dir, ["--pace", "--image", path], 60, os.path.join(HARNESS, "pty", "com14"), "other")
        cancelled_box = Box(self.dir, ["--pace"], 40)
        untouched = Flasher(["--port", "13", "--baud", "19200", windows_path(path)])
        cancelled = Flasher(["--port", "1", "--baud", "57600", windows_path(long_path)])
        try:
            started = all(f.wait_for(lambda f: "N: Start Downloading..." in f.lines(), 40)
                          for f in (untouched, cancelled))
            cancelled.interrupt()
            rc_cancelled = cancelled.finish(30)
            rc_untouched = untouched.finish(60)
        finally:
            cancelled_box.finish(2)
            other_rc = other.finish()
        self.assertTrue(started, self.describe(cancelled) + self.describe(untouched))
        self.assertEqual(130, rc_cancelled, self.describe(cancelled))
        self.assertIn("N: the library cancelled the download", cancelled.lines(), self.describe(cancelled))
        self.assertEqual(0, rc_untouched, self.describe(untouched, other))
        self.assertNotIn("N: Canceled...", untouched.lines())
        self.assertEqual(0, other_rc, self.describe(untouched, other))
        self.assertIn("image matches the file (14444 bytes)", other.report)

    def test_a_lost_port_sends_the_person_to_the_cable(self):
        self.addCleanup(replug, 17)
        path = self.image(images.one_anal_section())
        box = Box(self.dir, ["--pace"], 30, os.path.join(HARNESS, "pty", "com18"))
        flasher = Flasher(["--port", "17", "--baud", "9600", windows_path(path)])
        try:
            started = flasher.wait_for(lambda f: "N: Start Downloading..." in f.lines(), 30)
            time.sleep(0.5)
            gone = unplug(17)
            rc = flasher.finish(20)
            took = time.time() - gone
        finally:
            box.finish(2)
        self.assertTrue(started, self.describe(flasher, box))
        self.assertEqual(3, rc, self.describe(flasher))
        self.assertTrue(any(l.startswith("E: Lost COM17 (error ") for l in flasher.lines()), self.describe(flasher))
        self.assertRegex(flasher.lines()[-1], r"^box 1: \d+ bytes, .* port lost$")
        self.assertIn("velflash: COM17: the port was lost: check the cable or the USB-serial adapter", flasher.stderr)
        self.assertLess(took, 5, self.describe(flasher))


@add_scenarios
class FlasherScenarios(ScenarioCases, FlasherTest):
    """The scenarios both builds share (flasher_scenarios.py), with velflash.exe on COM1."""

    # COM1, COM13, COM15, COM17 of the harness, with stbsim on COM2, COM14, COM16, COM18.
    LINES = [("1", BOX_TTY, "COM1")] + [(str(n), os.path.join(os.path.dirname(BOX_TTY), "com%d" % (n + 1)), "COM%d" % n)
                                        for n in (13, 15, 17)]

    def setUp(self):
        super().setUp()
        self.stbsim = STBSIM

    def serial_lines(self, n):
        return self.LINES[:n]

    def flasher(self, args, ports):
        return flasher_scenarios.Flasher(WINE_RUN + [FLASHER, "--port", ",".join(ports)] + args)

    def image_arg(self, path):
        return windows_path(path)



@unittest.skipUnless(os.environ.get("STELVAR_SLOW_TESTS", "1") == "1", "slow tests disabled")
class FlasherSilentBox(FlasherTest):
    def test_a_box_that_falls_silent_ends_with_its_status_after_the_librarys_timer(self):
        path = self.image(images.one_anal_section())
        start = time.time()
        rc, flasher, box, _ = self.run_flasher([windows_path(path)], ["--stop-after", "3"], box_timeout=150,
                                               timeout=200)
        took = time.time() - start
        self.assertEqual(5, rc, self.describe(flasher, box))
        self.assertIn("E: no byte from the box for 120 s", flasher.lines(), self.describe(flasher))
        self.assertRegex(flasher.lines()[-1], r"^box 1: 3136 bytes, .* box silent$")
        self.assertGreaterEqual(took, 120)


if __name__ == "__main__":
    unittest.main(verbosity=2)
