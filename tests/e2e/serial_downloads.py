"""Whole serial downloads: VelManager.dll under Wine on COM1, the box simulator on the Linux
end of COM2. Each test starts stbsim, runs the serial client, and checks what both saw.

Environment (set by ctest): STELVAR_WINE_RUN, STELVAR_HARNESS, STELVAR_BIN, STELVAR_NATIVE_BIN.
"""
import os
import subprocess
import sys
import time
import unittest

import images
from harness_env import BIN, BOX_TTY, STBSIM, WINE_RUN, BoxTestCase, windows_path

CLIENT = os.path.join(BIN, "serial_client.exe")



class Run:
    """What one download left behind: the client's lines, the box's report and exit status."""

    def __init__(self, client_out, client_rc, box_report, box_rc, box_err):
        self.lines = client_out.splitlines()
        self.client_rc = client_rc
        self.box_report = box_report
        self.box_rc = box_rc
        self.box_err = box_err
        self.messages = [l.split(" ", 1)[1] for l in self.lines if l[:1].isdigit() and " " in l]
        self.times = [float(l.split(" ", 1)[0]) for l in self.lines if l[:1].isdigit() and " " in l]
        self.boxes = [l[4:] for l in self.lines if l.startswith("box ")]
        self.result = next((l.split()[1] for l in self.lines if l.startswith("RESULT ")), None)

    def events(self, kind):
        prefix = "%d:" % kind
        return [m[len(prefix):] for m in self.messages if m.startswith(prefix)]

    def without_progress(self):
        return [m for m in self.messages if not m.startswith("3:")]

    def __str__(self):
        return "client rc %s result %s\n%s\nbox rc %s: %s\n%s" % (
            self.client_rc, self.result, "\n".join(self.lines[-60:]), self.box_rc, self.box_err,
            self.box_report[-3000:])


class SerialDownloads(BoxTestCase):
    PROGRAM = CLIENT
    SCRATCH_PREFIX = "stelvar-e2e-"

    def download(self, image_path, box_args=(), client_args=(), baud=115200, box_timeout=120,
                 client_timeout=120, compare=True):
        report = os.path.join(self.dir, "box-report.txt")
        received = os.path.join(self.dir, "received.img")
        box_cmd = [STBSIM, "--tty", BOX_TTY, "--report", report, "--received", received,
                   "--timeout", str(box_timeout)] + list(box_args)
        if compare:
            box_cmd += ["--image", image_path]
        box = subprocess.Popen(box_cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        try:
            time.sleep(0.2)
            client = subprocess.run(
                WINE_RUN + [CLIENT, "--image", windows_path(image_path), "--port", "1", "--baud", str(baud),
                            "--timeout", str(client_timeout)] + list(client_args),
                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=client_timeout + 60)
        finally:
            if box.poll() is None:
                # The PC side has finished: give the box a moment, then stop it.
                try:
                    box.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    box.terminate()
            _, box_err = box.communicate(timeout=10)
        box_report = ""
        if os.path.exists(report):
            with open(report) as f:
                box_report = f.read()
        self.received = None
        if os.path.exists(received):
            with open(received, "rb") as f:
                self.received = f.read()
        return Run(client.stdout, client.returncode, box_report, box.returncode, box_err.strip())

    def assertNormalExchange(self, run, size, blocks, baud):
        """The client saw the download from SYNC to completion in the order the protocol fixes."""
        expected = [
            "0:Initialize COM Port [1, 9600]", "0:COM Port Monitoring Started", "0:Ready (box.img)", "busy 0",
            "4:%dl" % size]
        if baud != 9600:
            expected += ["0:Uninitialize COM Port", "0:Initialize COM Port [1, %d]" % baud]
        expected += [
            "0:Received READY from STB", "0:Send READY_ACK to STB", "busy 1",
            "0:Received FUNC from STB", "0:Send FUNC_DATA_ANAL to STB", "0:Received FUNC_PROGRAM from STB",
            "0:Received HEADER_REP from STB", "0:Send DataHeader", "0:Start Downloading...",
            "0:Received HEADER_REP from STB", "0:Send DataHeader", "0:Download Completed!", "busy 0",
            "0:Uninitialize COM Port", "0:Initialize COM Port [1, 9600]", "5",
            "0:Uninitialize COM Port", "0:COM port monitoring stopped"]
        self.assertEqual(expected, run.without_progress(), run)
        progress = run.events(3)
        # One progress event for SYNC, READY, FUNC, the echo and the header request, two per
        # block request, none for the completion.
        self.assertEqual(5 + 2 * blocks, len(progress), run)
        self.assertEqual("%dl" % (size - 44), progress[-1], run)
        self.assertEqual(["Download Completed! | OK | none | owned"], run.boxes, run)

    def test_download_at_115200(self):
        data = images.one_anal_section()
        run = self.download(self.image(data), ["--pace"], baud=115200)
        self.assertEqual(0, run.box_rc, run)
        self.assertEqual("complete", run.result, run)
        self.assertNormalExchange(run, 14444, 14, 115200)
        self.assertEqual(data[:14400], self.received[:14400])

    def test_download_at_9600(self):
        data = images.one_anal_section(seed=9)
        run = self.download(self.image(data), ["--pace"], baud=9600)
        self.assertEqual(0, run.box_rc, run)
        self.assertNormalExchange(run, 14444, 14, 9600)

    def test_error_report_then_recovery_with_a_new_sync(self):
        data = images.one_anal_section(seed=3)
        run = self.download(self.image(data), ["--error", "57@block:5", "--downloads", "2"])
        self.assertEqual(0, run.box_rc, run)
        self.assertEqual("complete", run.result, run)
        errors = run.events(1)
        self.assertEqual(["Checksum check"], errors, run)
        # The second handshake finds the port already at the configured rate.
        self.assertEqual(2, run.events(4).count("14444l"), run)
        self.assertEqual(1, run.messages.count("0:Initialize COM Port [1, 115200]"), run)
        self.assertEqual(["Download Completed! | OK | none | owned"], run.boxes, run)

    def test_swapped_request_is_reported_and_served(self):
        data = images.one_anal_section(seed=4)
        run = self.download(self.image(data), ["--swap", "3"])
        self.assertEqual(0, run.box_rc, run)
        self.assertEqual(["Invalid Protocol : DATA_HEADER 2 3 69"], run.events(1), run)
        self.assertEqual("complete", run.result, run)

    def test_cancel_is_confirmed_and_the_line_returns_to_9600(self):
        data = images.one_anal_section(seed=5)
        run = self.download(self.image(data), ["--pace"], ["--cancel-after-progress", "12"], box_timeout=20,
                            client_timeout=60)
        self.assertEqual("cancelled", run.result, run)
        self.assertIn("0*:Canceled...", run.messages, run)
        after = run.messages[run.messages.index("0*:Canceled...") if "0*:Canceled..." in run.messages else 0:]
        self.assertIn("0:Initialize COM Port [1, 9600]", run.messages[-6:] + after, run)
        self.assertNotEqual(0, run.box_rc, "the box never saw its download finish")

    def test_two_downloads_in_a_row(self):
        data = images.program(5000)
        run = self.download(self.image(data), ["--downloads", "2"], ["--downloads", "2"])
        self.assertEqual(0, run.box_rc, run)
        self.assertEqual("complete", run.result, run)
        self.assertEqual(2, run.messages.count("5"), run)
        self.assertEqual(2, len(run.boxes), run)

    def test_truncated_image_is_refused_before_data_is_sent(self):
        data = images.one_anal_section()[:9000]
        run = self.download(self.image(data), ["--downloads", "1", "--reply-timeout", "1500"], box_timeout=8,
                            client_timeout=6, compare=False)
        self.assertIn("Image file is invalid.", run.events(1), run)
        self.assertNotIn("0:Send DataHeader", run.messages, run)
        self.assertNotEqual(0, run.box_rc, run)

    def test_babbling_box_neither_crashes_nor_hangs_the_library(self):
        data = images.one_anal_section()
        run = self.download(self.image(data), ["--babble", "sync", "--no-pace"], box_timeout=15,
                            client_timeout=8, compare=False)
        self.assertEqual("timeout", run.result, run)
        self.assertEqual(2, run.client_rc, run)
        # The client stopped the transfer and closed the library at the end: it printed its log.
        self.assertTrue(run.lines and run.lines[-1] == "RESULT timeout", run)

    @unittest.skipUnless(os.environ.get("STELVAR_SLOW_TESTS", "1") == "1", "slow tests disabled")
    def test_a_box_that_falls_silent_brings_timer_10_after_two_minutes(self):
        data = images.one_anal_section()
        run = self.download(self.image(data), ["--stop-after", "3"], ["--wait-silence"], box_timeout=150,
                            client_timeout=150, compare=False)
        self.assertEqual("silence", run.result, run)
        last_byte = max(t for t, m in zip(run.times, run.messages) if m.startswith("3:"))
        timer = next(t for t, m in zip(run.times, run.messages) if m == "timer 10")
        self.assertGreaterEqual(timer - last_byte, 119.5, run)
        self.assertLess(timer - last_byte, 125, run)


if __name__ == "__main__":
    unittest.main(verbosity=2)
