"""Whole serial downloads: VelManager.dll under Wine on COM1, the box simulator on the Linux
end of COM2. Each test starts stbsim, runs the serial client, and checks what both saw.

Environment (set by ctest): STELVAR_WINE_RUN, STELVAR_HARNESS, STELVAR_BIN, STELVAR_NATIVE_BIN.
"""
import os
import re
import subprocess
import sys
import tempfile
import threading
import time
import unittest

import images
from harness_env import BIN, BOX_TTY, HARNESS, STBSIM, WINE_RUN, BoxTestCase, replug, unplug, windows_path

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
        # The client's own observations ("note seconds text") and the Unix time of its second 0.
        self.notes = [l.split(" ", 2)[2] for l in self.lines if l.startswith("note ")]
        self.clock = next((float(l.split()[1]) for l in self.lines if l.startswith("clock ")), None)

    def unix_time(self, message):
        """Unix time at which the first message equal to `message` arrived."""
        return self.clock + self.times[self.messages.index(message)]

    def events(self, kind):
        prefix = "%d:" % kind
        return [m[len(prefix):] for m in self.messages if m.startswith(prefix)]

    def without_progress(self):
        return [m for m in self.messages if not m.startswith("3:")]

    def __str__(self):
        lines = [l for l in self.lines if " 3:" not in l]  # without the progress events
        return "client rc %s result %s\n%s\nbox rc %s: %s\n%s" % (
            self.client_rc, self.result, "\n".join(lines[-80:]), self.box_rc, self.box_err,
            self.box_report[-3000:])


LOST_WORDS = re.compile(r"^1:Lost COM(\d+) \(error (\d+)\): check the cable or the USB-serial adapter\.$")


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

    def assertNoLostPort(self, run):
        """A healthy port, however quiet, slow or reopened, is never reported lost."""
        self.assertFalse([m for m in run.messages if "Lost COM" in m or "Failed" in m], run)

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
        self.assertNoLostPort(run)
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
        self.assertNoLostPort(run)
        # The client stopped the transfer and closed the library at the end: it printed its log.
        self.assertTrue(run.lines and run.lines[-1] == "RESULT timeout", run)

    def test_a_client_that_arms_again_inside_its_completion_handler_takes_the_next_box(self):
        data = images.one_anal_section(seed=6)
        run = self.download(self.image(data), ["--downloads", "2"], ["--downloads", "2", "--rearm-in-handler"],
                            box_timeout=40, client_timeout=40)
        self.assertEqual(0, run.box_rc, run)
        self.assertEqual("complete", run.result, run)
        self.assertEqual(2, run.messages.count("5"), run)
        self.assertEqual(["rearmed in handler: 1"] * 2, [n for n in run.notes if n.startswith("rearmed")], run)
        self.assertNotIn("Please, select a file to download", run.events(1), run)
        self.assertEqual(data[:14400], self.received[:14400])

    def test_two_programs_on_two_ports_cancel_independently(self):
        """A cancel honoured on COM1 leaves the event of the program on COM11 clear and its download running."""
        data = images.one_anal_section(seed=8)
        path = self.image(data)
        tty12 = os.path.join(HARNESS, "pty", "com12")
        report = os.path.join(self.dir, "box-b.txt")
        # B's box repeats SYNC only every 3 s: on a loaded machine the PC's echo may take over a
        # second to reach it, and a repeat crossing the echo makes the PC wait for a new SYNC.
        boxes = [
            subprocess.Popen([STBSIM, "--tty", tty12, "--image", path, "--report", report, "--timeout", "60",
                              "--sync-interval", "3000"],
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True),
            subprocess.Popen([STBSIM, "--tty", BOX_TTY, "--timeout", "20"], stdout=subprocess.DEVNULL,
                             stderr=subprocess.PIPE, text=True)]
        clients = []
        try:
            time.sleep(0.2)
            common = [CLIENT, "--image", windows_path(path), "--timeout", "50", "--watch-cancel-event"]
            # B: COM11 at 19200, about eight seconds on the line; A: COM1, cancelled after its 12th progress event.
            clients.append(subprocess.Popen(WINE_RUN + common + ["--port", "11", "--baud", "19200"],
                                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True))
            # A starts once B's box has its first data header: B's download is under way.
            end = time.time() + 30
            while time.time() < end and not (os.path.exists(report) and " data header 1:" in open(report).read()):
                time.sleep(0.05)
            clients.append(subprocess.Popen(WINE_RUN + common + ["--port", "1", "--cancel-after-progress", "12"],
                                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True))
            outs = [c.communicate(timeout=120)[0] for c in clients]
        finally:
            for p in clients + boxes:
                if p.poll() is None:
                    p.terminate()  # a box still running writes its report on the way out
                try:
                    p.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
        box_b = open(report).read() if os.path.exists(report) else ""
        runs = [Run(out, c.returncode, text, box.returncode, "") for out, c, text, box in
                zip(outs, clients, [box_b, ""], boxes)]
        b, a = runs
        self.assertEqual("cancelled", a.result, a)
        self.assertEqual("complete", b.result, b)
        self.assertEqual(0, boxes[0].returncode, b)
        # The cancel happened while B was downloading, and B's event never turned signalled.
        cancelled = a.unix_time("0*:Canceled...")
        self.assertLess(b.unix_time("4:14444l"), cancelled, "the cancel came before B's download began:\n%s\n%s" % (a, b))
        self.assertLess(cancelled, b.unix_time("5"), "the cancel came after B's download ended:\n%s\n%s" % (a, b))
        self.assertNotIn("cancel event signalled", b.notes, b)

    @unittest.skipUnless(os.environ.get("STELVAR_SLOW_TESTS", "1") == "1", "slow tests disabled")
    def test_a_box_that_falls_silent_brings_timer_10_after_two_minutes(self):
        data = images.one_anal_section()
        run = self.download(self.image(data), ["--stop-after", "3"], ["--wait-silence"], box_timeout=150,
                            client_timeout=150, compare=False)
        self.assertEqual("silence", run.result, run)
        self.assertNoLostPort(run)  # two minutes of a quiet line
        last_byte = max(t for t, m in zip(run.times, run.messages) if m.startswith("3:"))
        timer = next(t for t, m in zip(run.times, run.messages) if m == "timer 10")
        self.assertGreaterEqual(timer - last_byte, 119.5, run)
        self.assertLess(timer - last_byte, 125, run)



def wait_until(predicate, timeout, what):
    end = time.time() + timeout
    while time.time() < end:
        if predicate():
            return
        time.sleep(0.02)
    raise AssertionError("timed out waiting until " + what)


class LostPort(BoxTestCase):
    """COM1's line goes away under the library (its pair is pulled, as a USB-serial adapter is),
    then comes back: the client reads what happened in words within 5 s and is idle at once, and
    once the port is back a new arming takes a whole download."""

    PROGRAM = CLIENT
    SCRATCH_PREFIX = "stelvar-lost-"
    BOUND_S = 5.0
    # What a client receives on a lost port after the library's own diagnostic and the words.
    TEARDOWN = ["0:Uninitialize COM Port", "0:COM port monitoring stopped", "busy 0"]

    def setUp(self):
        super().setUp()
        self.addCleanup(replug, 1)

    def lose_line(self, when, client_args=()):
        data = images.one_anal_section(seed=11)
        path = self.image(data)
        report = tempfile.mktemp(prefix="box-", suffix=".txt", dir=self.dir)  # one per case
        boxes = []
        if when != "idle":
            boxes.append(subprocess.Popen([STBSIM, "--tty", BOX_TTY, "--report", report, "--timeout", "30"],
                                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True))
        client = subprocess.Popen(
            WINE_RUN + [CLIENT, "--image", windows_path(path), "--port", "1", "--timeout", "45",
                        "--rearm-after-lost", "700"] + list(client_args),
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        lines = []
        reader = threading.Thread(target=lambda: lines.extend(client.stdout), daemon=True)
        reader.start()
        try:
            try:
                if when == "idle":
                    wait_until(lambda: any("armed 1 connected 1" in l for l in lines), 30, "the client armed COM1")
                    time.sleep(1.0)  # armed and quiet
                else:
                    # Mid-download: after three blocks; at the handshake: while the PC pauses
                    # before it reopens the port at 115200, so that the reopen finds no device.
                    mark = r"pc>  block 3 " if when == "mid-download" else r"pc>  05 baud code"
                    wait_until(lambda: os.path.exists(report) and re.search(mark, open(report).read()), 30,
                               "the box's report shows " + mark)
                gone = unplug(1)
                # The client arms again while the port is missing, and is refused.
                wait_until(lambda: any("rearm after lost: connected 0" in l for l in lines), 30,
                           "the client was refused a new arming")
            except AssertionError as e:
                client.wait(timeout=90)  # the client ends at its own time-out
                reader.join(timeout=10)
                raise AssertionError("%s\n%s" % (e, "".join(lines)))
            replug(1)
            received = tempfile.mktemp(prefix="received-", suffix=".img", dir=self.dir)
            boxes.append(subprocess.Popen([STBSIM, "--tty", BOX_TTY, "--image", path, "--received", received,
                                           "--timeout", "30"],
                                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True))
            client.wait(timeout=90)
            reader.join(timeout=10)
            out = "".join(lines)
            boxes[-1].wait(timeout=40)
        finally:
            for p in [client] + boxes:
                if p.poll() is None:
                    p.kill()
                p.wait()
        run = Run(out, client.returncode, "", boxes[-1].returncode, boxes[-1].stderr.read().strip())
        return run, gone

    def assertLostThenRecovered(self, run, gone, label):
        words = [m for m in run.messages if LOST_WORDS.match(m)]
        self.assertEqual(1, len(words), run)
        at = run.messages.index(words[0])
        code = LOST_WORDS.match(words[0]).group(2)
        # Just before: the library's diagnostic naming the failed call (with the same code where it has one).
        diagnostic = run.messages[at - 1]
        self.assertRegex(diagnostic, r"^1:(CComPort::\w+\(\) - \w+\(\) Failed|Failed to open com port : )", run)
        if re.search(r": \d+$", diagnostic):
            self.assertTrue(diagnostic.endswith(": " + code), run)
        # Then the port closes (unless the failed reopen left it closed), the monitor stops and the
        # client is idle; nothing else comes between.
        reopen = diagnostic.startswith(("1:CComPort::Initialize() - ", "1:Failed to open com port : "))
        teardown = self.TEARDOWN[1:] if reopen else self.TEARDOWN
        self.assertEqual(teardown, run.messages[at + 1:at + 1 + len(teardown)], run)
        self.assertIn("idle after lost: connected 0", run.notes, run)
        took = run.unix_time(words[0]) - gone
        print("lost port, %s: words %.3f s after the line went, after %s" % (label, took, diagnostic), file=sys.stderr)
        self.assertLess(took, self.BOUND_S, run)
        self.assertGreater(took, 0, run)
        # While the pair was away, arming again was refused with the library's box, as for any missing port.
        refused = [b for b in run.boxes if b.startswith(("CComPort::Initialize() - ", "Failed to open com port : "))]
        self.assertTrue(refused, run)
        self.assertIn("rearm after lost: connected 1", run.notes, run)
        # Once back: a whole download, judged by the box.
        self.assertEqual("complete", run.result, run)
        self.assertEqual(0, run.box_rc, run)
        self.assertEqual(1, run.messages.count("5"), run)

    # (when the line goes, what the client does on the words, whether a download was under way)
    CASES = [
        ("mid-download", [], True),
        ("idle", [], False),
        ("handshake", [], False),
        ("mid-download", ["--stop-on-lost"], True),  # StopTransfer inside its handler of the words
    ]

    def test_line_lost_then_back(self):
        for when, client_args, busy in self.CASES:
            with self.subTest(when=when, client=client_args):
                run, gone = self.lose_line(when, client_args)
                self.assertLostThenRecovered(run, gone, " ".join([when] + client_args))
                first_words = run.messages.index(next(m for m in run.messages if LOST_WORDS.match(m)))
                self.assertEqual(busy, "busy 1" in run.messages[:first_words], run)
                if "--stop-on-lost" in client_args:
                    self.assertIn("stop in handler: 1", run.notes, run)
                replug(1)

if __name__ == "__main__":
    unittest.main(verbosity=2)
