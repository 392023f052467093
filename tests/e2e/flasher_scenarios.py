"""What both builds of velflash must do alike, as one table: the boxes stbsim plays, the flasher's
options, the status, the lines and what the boxes received. A runner of each build (velflash.exe
under Wine on its COM ports, the native velflash on pty pairs) mixes ScenarioCases into its test
case and gives what differs: the serial lines (the flasher's name of each port, the tty of the box
on its far end, the port's name in velflash's lines), how the flasher starts and how an image path
is written. The runner's own tests cover what only its build has (port names and their failures).

Lines are compared without their time stamps (a port's name before one stays); a progress line is
what follows its last \\r. In expected texts {port1}, {port2} stand for the ports' names.
"""
import os
import re
import signal
import subprocess
import threading
import time

import images

# A line's time stamp, after the port's name when several ports are served.
STAMP = re.compile(r"^(?:(\S+) +)?\d\d:\d\d:\d\d\.\d\d\d (.*)$")


class Scenario:
    """One run: stbsim with `box` on the far end of one port (None: no box; `boxes`: one per port,
    several ports at once), velflash with `args` and the image; then the flasher's status, lines it
    printed (`lines`, each somewhere; `absent`, none of them), its last line (a pattern), words on
    its standard error (`errors`; none at all when the status is 0), stbsim's status and words of
    its report (the first box's). `interrupt_at`: Ctrl-C this long after the line appeared;
    `ends_within`: seconds from the Ctrl-C (or the start) to the end. Every run writes to pipes,
    as a script's does: whole lines only, never a line that rewrites itself."""

    def __init__(self, name, image, args, box, status, lines=(), absent=(), last=None, box_status=None,
                 report=(), interrupt_at=None, ends_within=None, box_timeout=60, timeout=90, count=None,
                 errors=(), boxes=None):
        self.name = name
        self.image = image
        self.args = args
        self.boxes = boxes if boxes is not None else [box]
        self.status = status
        self.lines = lines
        self.absent = absent
        self.last = last
        self.box_status = box_status
        self.report = report
        self.interrupt_at = interrupt_at
        self.ends_within = ends_within
        self.box_timeout = box_timeout
        self.timeout = timeout
        self.count = count or {}
        self.errors = errors


SCENARIOS = [
    Scenario("clean_download", images.one_anal_section(), ["--baud", "115200"], ["--pace", "--image", "{image}"], 0,
             lines=["N: Ready (box.img)", "N: Send FUNC_DATA_ANAL to STB", "B: Download Completed! [OK]"],
             last=r"^box 1: 14444 bytes, \d+\.\d s, downloaded$", box_status=0,
             report=["image matches the file (14444 bytes)"]),
    Scenario("error_report_then_the_boxs_restart", images.one_anal_section(seed=3), [],
             ["--error", "57@block:5", "--downloads", "2", "--image", "{image}"], 0,
             count={"E: Checksum check": 1},
             last=r"^box 1: 14444 bytes, .* downloaded \(1 error report\)$", box_status=0),
    # A box switched off and on mid-download asks again at 9600 baud: the download starts over with it.
    Scenario("a_box_that_restarts_mid_download_is_served_again", images.one_anal_section(seed=5), [],
             ["--restart", "after-block:3", "--boot-time", "500", "--downloads", "2", "--image", "{image}"], 0,
             count={"E: STB started again during the download (it sent SYNC): download stopped, a new one starts.": 1},
             last=r"^box 1: 14444 bytes, .* downloaded$", box_status=0,
             report=["image matches the file (14444 bytes)"]),
    Scenario("error_limit_gives_the_box_up", images.one_anal_section(seed=3), ["--max-errors", "0"],
             ["--error", "57@block:5", "--downloads", "1"], 6,
             last=r"^box 1: 4160 bytes, .* too many error reports \(1 error report\)$", box_timeout=20),
    # The image is walked as the library walks it before any port opens.
    Scenario("truncated_image_is_refused_by_the_library", images.one_anal_section()[:9000], [], None, 4,
             lines=["E: Image file is truncated: the section at offset 0 needs 14336 payload bytes, 8936 remain.",
                    "E: Image file is invalid."],
             absent=["N: Ready (box.img)", "N: Send DataHeader"], last=r"^box 1: 0 bytes, .* image refused$",
             errors=["the library refuses", "needs 14336 payload bytes, 8936 remain."], ends_within=10),
    Scenario("no_box_within_the_timeout", images.one_anal_section(), ["--timeout", "3"], None, 7,
             lines=["E: no box started within 3 s"], last=r"^box 1: 0 bytes, 0\.0 s, no box$",
             errors=["no box started within 3 s: check the cable"], ends_within=15),
    Scenario("a_silent_box_meets_the_timeout", images.one_anal_section(), ["--timeout", "3"], ["--silent"], 7,
             last=r"^box 1: 0 bytes, 0\.0 s, no box$", ends_within=15, box_timeout=12),
    Scenario("a_noisy_line_meets_the_deadline", images.one_anal_section(), ["--timeout", "3", "--deadline", "5"],
             ["--babble", "sync"], 8,
             lines=["E: the box did not finish within 5 s"],
             last=r"^box 1: \d+ bytes, .* deadline passed( \(\d+ error reports?\))?$",
             errors=["the box did not finish within 5 s"], ends_within=20, box_timeout=15),
    Scenario("a_box_whose_erase_always_fails_meets_the_deadline", images.one_anal_section(), ["--deadline", "8"],
             ["--error", "58@block:1", "--fault-download", "0", "--downloads", "100"], 8,
             count={"E: Frash erase failure": None}, last=r"^box 1: \d+ bytes, .* deadline passed \(\d+ error reports\)$",
             ends_within=25, box_timeout=20),
    Scenario("quiet_prints_the_summary_alone", images.one_anal_section(), ["--quiet"], ["--pace", "--image", "{image}"],
             0, absent=["N: Ready (box.img)", "B: Download Completed! [OK]"],
             last=r"^box 1: 14444 bytes, \d+\.\d s, downloaded$", count={"": 1}, box_status=0),
    Scenario("line_mode_serves_two_boxes_in_a_row", images.program(5000), ["--each"],
             ["--downloads", "2", "--image", "{image}"], 0,
             lines=["N: box 3: waiting for the box"],
             count={"box 1: 5108 bytes": 1},
             last=r"^2 box\(es\) served$", box_status=0, interrupt_at=("N: box 3: waiting for the box", 0)),
    Scenario("ctrl_c_in_the_middle_is_honoured_by_the_library", images.one_anal_section(), ["--baud", "9600"],
             ["--pace"], 130,
             lines=["N: the library cancelled the download", "N: Canceled..."],
             last=r"^box 1: \d+ bytes, .* stopped$", interrupt_at=("N: Start Downloading...", 1), box_timeout=30),
    Scenario("a_box_that_stalls_ends_with_the_deadline", images.one_anal_section(), ["--deadline", "3"],
             ["--stop-after", "2"], 8,
             lines=["E: the box did not finish within 3 s"], last=r"^box 1: \d+ bytes, .* deadline passed$",
             ends_within=20, box_timeout=20),
    Scenario("two_ports_at_once_one_box_failing", images.one_anal_section(), ["--max-errors", "0"], None, 6,
             boxes=[["--image", "{image}"], ["--error", "57@block:3", "--downloads", "1"]],
             lines=["{port1} box 1: 14444 bytes", "{port2} box 1: 2112 bytes"],
             last=r"^ports: {port1} 0 \(downloaded\), {port2} 6 \(too many error reports\)$", box_status=0,
             report=["image matches the file (14444 bytes)"], box_timeout=30),
    Scenario("ctrl_c_when_the_box_no_longer_answers", images.one_anal_section(), [], ["--stop-after", "2"], 130,
             lines=["N: the box did not answer within a second: transfer stopped"],
             interrupt_at=("N: Start Downloading...", 1), ends_within=10, box_timeout=30),
]


class Flasher:
    """A running velflash whose output is collected as it comes."""

    def __init__(self, command, interrupt=None, env=None):
        self.proc = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                     stdin=subprocess.DEVNULL, env=env)
        self._interrupt = interrupt or (lambda proc: proc.send_signal(signal.SIGINT))
        self.raw = b""
        self.stderr = ""
        self.lock = threading.Lock()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for chunk in iter(lambda: self.proc.stdout.read1(4096), b""):
            with self.lock:
                self.raw += chunk

    def text(self):
        with self.lock:
            return self.raw.decode("latin-1")

    def lines(self):
        out = []
        for line in self.text().split("\n")[:-1]:
            line = line.rstrip("\r").split("\r")[-1].rstrip()
            m = STAMP.match(line)
            out.append(((m.group(1) + " ") if m.group(1) else "") + m.group(2) if m else line)
        return out

    def wait_for(self, predicate, timeout):
        end = time.time() + timeout
        while time.time() < end:
            if predicate(self):
                return True
            if self.proc.poll() is not None:
                break
            time.sleep(0.02)
        return predicate(self)

    def interrupt(self):
        self._interrupt(self.proc)

    def finish(self, timeout):
        try:
            rc = self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            rc = self.proc.wait()
        self.reader.join(5)
        self.stderr = self.proc.stderr.read().decode("latin-1")
        self.proc.stdout.close()
        self.proc.stderr.close()
        return rc


class Box:
    """stbsim on the far end of the line."""

    def __init__(self, stbsim, tty, folder, args, timeout=60, name="box"):
        self.report_path = os.path.join(folder, name + "-report.txt")
        self.proc = subprocess.Popen([stbsim, "--tty", tty, "--report", self.report_path, "--timeout", str(timeout)]
                                     + args, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        self.err = ""
        self.report = ""
        time.sleep(0.2)

    def finish(self, timeout=10):
        if self.proc.poll() is None:
            try:
                self.proc.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                self.proc.terminate()
        _, self.err = self.proc.communicate(timeout=10)
        if os.path.exists(self.report_path):
            with open(self.report_path) as f:
                self.report = f.read()
        return self.proc.returncode


class ScenarioCases:
    """Mixed into a runner's unittest.TestCase, which gives: self.dir (a scratch folder),
    self.stbsim, serial_lines(n) -> n (port as velflash takes it, tty of the box, port's name in
    velflash's lines), flasher(args, ports) -> Flasher on those ports, and image_arg(path) -> the
    path as the flasher is given it. A test method per scenario is added by add_scenarios."""

    def describe(self, flasher, box=None):
        return "velflash:\n%s\nstderr: %s\nbox: %s\n%s" % (
            "\n".join(flasher.lines()[-40:]), flasher.stderr, box and box.err, box and box.report[-2000:])

    def run_scenario(self, s):
        path = os.path.join(self.dir, "box.img")
        with open(path, "wb") as f:
            f.write(s.image)
        serial = self.serial_lines(len(s.boxes))
        names = {"{port%d}" % (i + 1): label for i, (_, _, label) in enumerate(serial)}

        def fill(text, pattern=False):
            for key, label in names.items():
                text = text.replace(key, re.escape(label) if pattern else label)
            return text

        boxes = []
        for i, args in enumerate(s.boxes):
            if args is not None:
                boxes.append(Box(self.stbsim, serial[i][1], self.dir, [a.replace("{image}", path) for a in args],
                                 s.box_timeout, "box%d" % (i + 1)))
        box = boxes[0] if boxes else None
        flasher = self.flasher(s.args + [self.image_arg(path)], [port for port, _, _ in serial])
        start = time.time()
        try:
            if s.interrupt_at:
                line, delay = s.interrupt_at
                seen = flasher.wait_for(lambda f: line in f.lines(), s.timeout)
                self.assertTrue(seen, "no %r\n%s" % (line, self.describe(flasher, box)))
                time.sleep(delay)
                flasher.interrupt()
                start = time.time()
            rc = flasher.finish(s.timeout)
            took = time.time() - start
        finally:
            box_rcs = [b.finish(2 if s.interrupt_at else 10) for b in boxes]
        lines = flasher.lines()
        self.assertEqual(s.status, rc, self.describe(flasher, box))
        for line in s.lines:
            line = fill(line)
            self.assertTrue(any(l == line or l.startswith(line + ",") for l in lines),
                            "no %r\n%s" % (line, self.describe(flasher, box)))
        for text in s.absent:
            self.assertNotIn(fill(text), lines, self.describe(flasher, box))
        for start_of_line, n in s.count.items():
            seen = sum(1 for l in lines if l.startswith(fill(start_of_line)))
            if n is None:  # at least twice
                self.assertGreater(seen, 1, self.describe(flasher, box))
            else:
                self.assertEqual(n, seen, self.describe(flasher, box))
        self.assertNotIn("\r", flasher.text().replace("\r\n", "\n"), "a line rewrote itself on a pipe")
        for words in s.errors:
            self.assertIn(words, flasher.stderr, self.describe(flasher, box))
        if s.status == 0:
            self.assertEqual("", flasher.stderr, self.describe(flasher, box))
        if s.last:
            self.assertTrue(lines, self.describe(flasher, box))
            self.assertRegex(lines[-1], fill(s.last, True), self.describe(flasher, box))
        if s.box_status is not None:
            self.assertEqual(s.box_status, box_rcs[0], self.describe(flasher, box))
        for words in s.report:
            self.assertIn(words, box.report, self.describe(flasher, box))
        if s.ends_within:
            self.assertLess(took, s.ends_within, self.describe(flasher, box))
        return flasher, box


def add_scenarios(cls):
    """A test_<name> method on cls for every scenario."""
    for s in SCENARIOS:
        setattr(cls, "test_" + s.name, lambda self, s=s: self.run_scenario(s))
    return cls
