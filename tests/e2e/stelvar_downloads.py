"""Whole serial downloads through Stelvar.exe: the program under Wine on COM1, the box
simulator on the Linux end of COM2, and stelvar_driver.exe clicking and reading the window
from outside. Each test starts stbsim, runs the driver's steps, and checks what both saw.

Environment (set by ctest): STELVAR_WINE_RUN, STELVAR_HARNESS, STELVAR_BIN, STELVAR_NATIVE_BIN.
"""
import os
import re
import subprocess
import time
import unittest

import images
from harness_env import BIN, BOX_TTY, STBSIM, WINE_RUN, BoxTestCase, windows_path

DRIVER = os.path.join(BIN, "stelvar_driver.exe")

LOG_LINE = re.compile(r"^(?:([NEU]): )?(.*) \[(\d\d):(\d\d)\.(\d\d)\]$")
IDLE_FACES = {"1026": 221, "1020": 220, "1033": 229}
BUSY_FACES = {"1026": 235, "1020": 233, "1035": 210}



def two_sections(seed=1):
    """Two data sections: 2 x (64 + 14336) + 44 = 28844 bytes, about 2.6 s at 115200 baud."""
    return (images.section(images.record(), images.payload(0x3800, seed)) +
            images.section(images.record(), images.payload(0x3800, seed + 1)) + images.end_record())


class Run:
    """What the driver printed and what the box reported."""

    def __init__(self, out, rc, report, box_rc, box_err):
        self.lines = out.splitlines()
        self.rc = rc
        self.report = report
        self.box_rc = box_rc
        self.box_err = box_err

    def values(self, key):
        """The rest of each line that starts with key."""
        return [l[len(key) + 1:] for l in self.lines if l.split(" ", 1)[0] == key]

    def value(self, key):
        found = self.values(key)
        return found[-1] if found else None

    def logs(self):
        """The log listings, each up to its log-end line."""
        listings, current = [], None
        for line in self.lines:
            if line.startswith("log "):
                current = (current or []) + [line[4:]]
            elif line == "log-end":
                listings.append(current or [])
                current = None
        return listings

    def states(self):
        """(state line, faces line) pairs as dictionaries."""
        out = []
        for i, line in enumerate(self.lines):
            if line.startswith("state "):
                words = line.split()
                state = {"state": words[1]}
                state.update(w.split("=", 1) for w in words[2:])
                faces = {}
                if i + 1 < len(self.lines) and self.lines[i + 1].startswith("faces "):
                    for w in self.lines[i + 1].split()[1:]:
                        key, face = w.split("=")
                        faces[key] = (int(face.split("(")[0]), float(face.split("(")[1].rstrip(")")))
                state["faces"] = faces
                out.append(state)
        return out

    def completed(self):
        return re.findall(r"download \d+ completed", self.report)

    def __str__(self):
        return "driver rc %s\n%s\nbox rc %s: %s\n%s" % (self.rc, "\n".join(self.lines[-80:]), self.box_rc,
                                                        self.box_err, self.report[-2500:])


class StelvarDownloads(BoxTestCase):
    PROGRAM = DRIVER
    SCRATCH_PREFIX = "stelvar-window-"

    def drive(self, steps, box_args=(), image=None, box_timeout=60, timeout=120):
        report = os.path.join(self.dir, "box-report.txt")
        box_cmd = [STBSIM, "--tty", BOX_TTY, "--report", report, "--timeout", str(box_timeout)] + list(box_args)
        if image:
            box_cmd += ["--image", image]
        box = subprocess.Popen(box_cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        try:
            time.sleep(0.2)
            driver = subprocess.run(WINE_RUN + [DRIVER] + steps, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                    stdin=subprocess.DEVNULL, text=True, timeout=timeout)
        finally:
            if box.poll() is None:
                try:
                    box.wait(timeout=3)
                except subprocess.TimeoutExpired:
                    box.terminate()
            _, box_err = box.communicate(timeout=10)
        text = ""
        if os.path.exists(report):
            with open(report) as f:
                text = f.read()
        return Run(driver.stdout, driver.returncode, text, box.returncode, box_err.strip())

    def assertLogLines(self, lines, run):
        """Every line carries its prefix (none for the view's own) and a time stamp, in order."""
        stamps = []
        for line in lines:
            m = LOG_LINE.match(line)
            self.assertTrue(m, "%r\n%s" % (line, run))
            stamps.append(int(m.group(3)) * 3600 + int(m.group(4)) * 60 + int(m.group(5)))
        # In order, allowing one wrap at midnight.
        self.assertLessEqual(sum(1 for a, b in zip(stamps, stamps[1:]) if b < a), 1, run)

    def assertIdle(self, state, run):
        self.assertEqual("idle", state["state"], run)
        for key in ("1026", "1020", "1033", "1031"):
            self.assertEqual("visible,enabled", state[key], run)
        self.assertTrue(state["1035"].startswith("hidden"), run)
        for key, face in IDLE_FACES.items():
            self.assertEqual(face, state["faces"][key][0], run)
            self.assertGreater(state["faces"][key][1], 0.9, run)

    def assertBusy(self, state, run):
        self.assertEqual("busy", state["state"], run)
        for key in ("1026", "1020", "1031"):
            self.assertEqual("visible,disabled", state[key], run)
        self.assertTrue(state["1033"].startswith("hidden"), run)
        self.assertEqual("visible,enabled", state["1035"], run)
        for key, face in BUSY_FACES.items():
            self.assertEqual(face, state["faces"][key][0], run)
            self.assertGreater(state["faces"][key][1], 0.9, run)

    def test_two_downloads_of_the_same_file_through_the_window(self):
        data = two_sections()
        path = self.image(data)
        win = windows_path(path)
        run = self.drive(["start", "state", "pick", win, "wait-busy", "path", "state", "try-close", "watch", "60",
                          "log", "path", "lastfile", "time", "progress", "state",
                          "pick", win, "watch", "60", "log", "path", "close"],
                         ["--downloads", "2"], image=path)
        self.assertEqual(0, run.rc, run)
        self.assertEqual(0, run.box_rc, run)
        self.assertEqual(2, len(run.completed()), run)
        self.assertEqual(2, run.report.count("image matches the file"), run)

        states = run.states()
        self.assertIdle(states[0], run)
        self.assertBusy(states[1], run)
        # Close is greyed while busy: the system command is discarded.
        self.assertEqual(["running"], run.values("close-attempt"), run)
        self.assertEqual([win, "", ""], run.values("path"), run)
        self.assertEqual(win, run.value("lastfile"), run)

        # The bar and the time text reach the end of the image before going idle.
        size = len(data)
        last_percent = int((size - 44) * 100 / size)
        self.assertEqual([str(last_percent)] * 2, run.values("progress-last"), run)
        busy, idle = float(run.values("busy")[0]), float(run.values("idle")[0])
        last = re.match(r"^(\d+) min\. +(\d+) sec\. / +(\d+) min\. (\d+) sec\.$", run.values("time-last")[0])
        self.assertTrue(last, run)
        elapsed = int(last.group(1)) * 60 + int(last.group(2))
        estimate = int(last.group(3)) * 60 + int(last.group(4))
        self.assertLessEqual(abs(elapsed - (idle - busy)), 1.5, run)
        self.assertLessEqual(abs(estimate - elapsed), 1, run)
        # Idle again: the bar and the time text are back at zero.
        self.assertIn("time 0 min. 0 sec. / 0 min. 0 sec.", run.lines, run)
        self.assertIn("progress 0", run.lines, run)
        self.assertIdle(states[-1], run)

        # The completion box: the library's text, caption "OK", owned by the view's window.
        boxes = [b.split(" ", 1)[1] for b in run.values("box")]
        self.assertEqual(["Download Completed! | OK | OK | owner frame"] * 2, boxes, run)

        first, second = run.logs()
        for lines in (first, second):
            self.assertLogLines(lines, run)
        texts = [LOG_LINE.match(l).group(1, 2) for l in first]
        self.assertTrue(all(kind == "N" for kind, _ in texts), run)
        messages = [t for _, t in texts]
        self.assertEqual(["Initialize COM Port [1, 9600]", "COM Port Monitoring Started", "Ready (box.img)",
                          "Uninitialize COM Port", "Initialize COM Port [1, 115200]", "Received READY from STB",
                          "Send READY_ACK to STB", "Received FUNC from STB", "Send FUNC_DATA_ANAL to STB",
                          "Received FUNC_PROGRAM from STB"], messages[:10], run)
        self.assertEqual(["Download Completed!", "Uninitialize COM Port", "Initialize COM Port [1, 9600]",
                          "Uninitialize COM Port", "COM port monitoring stopped"], messages[-5:], run)
        # The second download adds its own lines after the first's.
        self.assertEqual(first, second[:len(first)], run)
        self.assertEqual(messages, [LOG_LINE.match(l).group(2) for l in second[len(first):]], run)
        self.assertEqual("0", run.value("exit").split()[0], run)

    def test_reset_in_the_middle_closes_the_port_and_empties_the_view(self):
        path = self.image(two_sections(seed=3))
        run = self.drive(["start", "pick", windows_path(path), "wait-progress", "20", "reset", "log", "path", "time",
                          "progress", "state", "close"],
                         ["--reply-timeout", "500"], image=path, box_timeout=20)
        self.assertEqual(0, run.rc, run)
        self.assertLess(float(run.value("reset-took")), 1.0, run)
        # The box lost the PC in the middle of a block exchange.
        self.assertEqual([], run.completed(), run)
        self.assertRegex(run.report, r"verdict: fail", run)
        log = run.logs()[0]
        self.assertLogLines(log, run)
        # Only what stopping the transfer reports is left.
        self.assertEqual(["N: Uninitialize COM Port", "N: COM port monitoring stopped"],
                         [LOG_LINE.match(l).group(0).rsplit(" [", 1)[0] for l in log], run)
        self.assertEqual("", run.value("path"), run)
        self.assertEqual("0 min. 0 sec. / 0 min. 0 sec.", run.value("time"), run)
        self.assertEqual("0", run.value("progress"), run)
        self.assertIdle(run.states()[-1], run)
        self.assertEqual("0", run.value("exit").split()[0], run)

    def test_cancel_while_the_box_keeps_sending_is_confirmed_and_not_rearmed(self):
        path = self.image(two_sections(seed=5))
        run = self.drive(["start", "pick", windows_path(path), "wait-progress", "20", "cancel", "sleep", "1500",
                          "log", "path", "time", "state", "close"],
                         ["--reply-timeout", "500"], image=path, box_timeout=20)
        self.assertEqual(0, run.rc, run)
        self.assertLess(float(run.value("cancel-took")), 1.0, run)
        log = run.logs()[0]
        self.assertLogLines(log, run)
        self.assertIn("Canceled...", [LOG_LINE.match(l).group(2) for l in log], run)
        self.assertFalse([l for l in log if l.startswith("Canceled!!!")], run)
        self.assertEqual(1, sum(1 for l in log if l.startswith("N: Ready (box.img)")), run)
        self.assertEqual("0 min. 0 sec. / 0 min. 0 sec.", run.value("time"), run)
        self.assertIdle(run.states()[-1], run)
        self.assertEqual([], run.completed(), run)

    def test_cancel_with_a_silent_box_rearms_the_same_file_and_closing_stops_the_port(self):
        path = self.image(two_sections(seed=6))
        win = windows_path(path)
        run = self.drive(["start", "pick", win, "wait-progress", "9", "sleep", "300", "cancel", "sleep", "300",
                          "log", "path", "state", "close", "10"],
                         ["--stop-after", "3"], image=path, box_timeout=20)
        self.assertEqual(0, run.rc, run)
        took = float(run.value("cancel-took"))
        self.assertGreaterEqual(took, 0.95, run)
        self.assertLess(took, 2.0, run)
        log = run.logs()[0]
        self.assertLogLines(log, run)
        self.assertEqual(1, sum(1 for l in log if LOG_LINE.match(l).group(1, 2) == (None, "Canceled!!!")), run)
        # Re-armed: the library is ready for the same file again, which is still shown.
        ready = [i for i, l in enumerate(log) if l.startswith("N: Ready (box.img)")]
        self.assertEqual(2, len(ready), run)
        self.assertGreater(ready[1], [i for i, l in enumerate(log) if l.startswith("Canceled!!!")][0], run)
        self.assertEqual(win, run.value("path"), run)
        self.assertIdle(run.states()[-1], run)
        # Closed while its port was open: the program stops the transfer and ends promptly.
        exit_code, exit_time = run.value("exit").split()
        self.assertEqual("0", exit_code, run)
        self.assertLess(float(exit_time), 5, run)

    def test_a_truncated_image_is_refused_and_the_view_stays_usable(self):
        good = two_sections(seed=7)[:14444 - 44] + images.end_record()
        bad = self.image(good[:9000], "cut.img")
        # The box reports the missing function code after 0.5 s and starts over.
        run = self.drive(["start", "pick", windows_path(bad), "wait-log", "E: Image file is invalid.", "10", "state",
                          "sleep", "1000", "cancel", "log", "state", "close"],
                         ["--reply-timeout", "500", "--sync-interval", "300", "--downloads", "20"], box_timeout=8)
        self.assertEqual(0, run.rc, run)
        log = run.logs()[0]
        self.assertLogLines(log, run)
        lines = [l.rsplit(" [", 1)[0] for l in log]
        self.assertIn("E: Image file is truncated: the section at offset 0 needs 14336 payload bytes, 8936 remain.",
                      lines, run)
        self.assertIn("E: Image file is invalid.", lines, run)
        self.assertIn("E: Function Communication", lines, run)
        self.assertNotIn("N: Send DataHeader", lines, run)
        self.assertNotIn("Received FUNC_PROGRAM", run.report, run)
        # The library stays in its transfer after the refusal: Cancel is what is offered.
        self.assertBusy(run.states()[0], run)
        # Confirmed by the box's next byte, or (when the box's READY came first and cleared the
        # flag) ended by the view after its second.
        self.assertLess(float(run.value("cancel-took")), 2.0, run)
        self.assertTrue("N: Canceled..." in lines or "Canceled!!!" in lines, run)
        self.assertIdle(run.states()[-1], run)
        self.assertEqual("0", run.value("exit").split()[0], run)

if __name__ == "__main__":
    unittest.main(verbosity=2)
