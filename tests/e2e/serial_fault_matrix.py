"""The serial half of the fault matrix, through Stelvar.exe: the program under Wine on COM1,
started as a person starts it; the box simulator (stbsim) on the Linux end of the line; and
stelvar_driver.exe pressing the view's buttons, filling the real Open dialog, clicking the
banner's hot spots and closing the window from outside.

Each cell is one fault of the box, the line or the person at one phase of a download. It names
what the person must read and the end state (idle, Close enabled, the next download succeeds),
measures the time the program took to reach it and compares it with a bound. A cell fails when a
line is missing, the end state does not come, or it comes late.

Cells run one after another in one program run: every cell ends by checking that the program is
usable and takes the next download, which is exactly what the next cell starts from. A cell that
leaves the program in another state fails, and the program is ended and started again before the
next cell, so one fault does not spoil the rest of the table.

Silence: the library restarts its 120 s timer on the view after each byte of the box. The slow
cell (test SlowSerialMatrix, label slow) waits the real 120 s once, in the middle of the data.
The other silence cells check the state the silence leaves and then deliver the timer's tick to
the view themselves (WM_TIMER 10, the message the window system sends when the 120 s are up),
measuring from it: what the view does with the tick does not depend on how long it waited.

Rows go to <build tree>/fault-matrix/serial.jsonl; tools/fault-matrix turns them into
docs/fault-matrix.md. Environment (set by ctest): STELVAR_WINE_RUN, STELVAR_HARNESS, STELVAR_BIN,
STELVAR_NATIVE_BIN. STELVAR_MATRIX_CELLS (ids separated by commas) runs only those cells;
STELVAR_MATRIX_SNAPS (a folder) keeps a screenshot of each cell's end state.
"""
import os
import re
import time
import unittest

import images
from harness_env import HARNESS, BoxTestCase, windows_path
from matrix_results import MatrixResults
from serial_matrix_parts import DRIVER, Box, Cable, Window

BUILD_TREE = os.path.dirname(os.path.abspath(HARNESS))

# What the view shows when the box has been silent for 120 s during a download.
SILENCE_WORDS = "No data from STB for 120 s: download stopped. Check the cable and the STB's power, then restart the STB."
SILENCE_LINE = re.compile(r"^(?:[NEU]: )?" + re.escape(SILENCE_WORDS) + r" \[")
LOST_LINE = "E: Lost COM1 (error "
LOST_WORDS = re.compile(r"^E: Lost COM1 \(error \d+\): check the cable or the USB-serial adapter\. \[")
READY_LINE = "N: Ready (box.img)"
ERRORS = {0x51: "Function Communication", 0x52: "Unknown", 0x53: "Download End", 0x54: "Header is wrong",
          0x57: "Checksum check", 0x58: "Frash erase failure", 0x59: "Header communication",
          0x5A: "Data communication"}

# The box's waits, shortened where a cell waits for them (its reply time and the pause a slow box takes).
REPLY = ["--reply-timeout", "1000"]
PAUSE_MS = 4000

# One ANAL section, 14 blocks: about 1.5 s of data at 115200 baud.
IMAGE = images.one_anal_section(seed=11)


class Cell:
    """One row: `reads` is what the person must read, `end` the end state and what it is timed from."""

    def __init__(self, cell, fault, phase, reads, end, bound, run, **params):
        self.cell, self.fault, self.phase, self.bound = cell, fault, phase, bound
        self.expected = reads + "; " + end
        self.run, self.params = run, params


def error_cell(cell, code, point, phase, where):
    text = ERRORS[code]
    return Cell(cell, "error report 0x%02X %s" % (code, where), phase,
                "\"E: %s\" within 1 s of the report" % text,
                "the box starts over and that download completes; idle, Close enabled (timed from the report)",
                12, "box_retries", box=["--error", "%02x@%s" % (code, point)] + REPLY, line="E: " + text)


def silence_cell(cell, point, phase, where):
    return Cell(cell, "the box falls silent %s" % where, phase,
                "\"%s\" at the 120 s tick (busy, Cancel offered, until then)" % SILENCE_WORDS,
                "idle, Close enabled, the same file armed again (timed from the tick); the next download completes",
                2, "silence_tick", box=["--silent-at", point])


CANCELED = "idle, Close enabled (timed from the click); the box's next download completes"
PICK_AGAIN = "idle, Close enabled (timed from the click); the file picked again, the download completes"
GOES_ON = "the download goes on and completes; idle, Close enabled (timed from the click)"
LOST = "\"E: Lost COM1 (error N): check the cable or the USB-serial adapter.\""
LOST_END = ("idle, Close enabled, the port closed (timed from the pull); the cable back and the file picked again, "
            "the download completes")
RESTART_WORDS = "STB started again during the download (it sent SYNC): download stopped, a new one starts."
NOBODY = "idle, Close enabled, the box's next download completes, nobody acting (timed from %s)"

CELLS = [
    error_cell("err-sync", 0x52, "sync", "SYNC", "instead of SYNC"),
    error_cell("err-ready", 0x51, "ready", "READY", "instead of READY"),
    error_cell("err-func", 0x58, "func", "FUNC", "instead of FUNC"),
    error_cell("err-header", 0x54, "header:1", "header", "instead of the first header request"),
    error_cell("err-data", 0x57, "block:4", "mid-data", "instead of the request for block 4 of 14"),
    error_cell("err-end", 0x53, "header:2", "end record", "instead of the request for the end record"),
    Cell("sil-sync", "the box stays silent (not switched on)", "SYNC", "\"N: Ready (box.img)\"",
         "idle, Close enabled, waiting for the box (timed from the file's choice); the box switched on later, its "
         "download completes", 3, "silence_before_sync"),
    Cell("sil-ready", "the box falls silent after the baud code (no READY)", "READY",
         "nothing new: the download has not begun (idle, the file armed), also at the 120 s tick",
         "idle, Close enabled; the box back (SYNC again), its download completes (timed from its return)", 10,
         "silence_idle", box=["--silent-at", "ready"]),
    silence_cell("sil-func", "func", "FUNC", "after READY_ACK (no FUNC)"),
    silence_cell("sil-header", "header:1", "header", "instead of the first header request"),
    silence_cell("sil-data", "after-block:3", "mid-data", "after block 3 of 14"),
    silence_cell("sil-end", "header:2", "end record", "instead of the request for the end record"),
    Cell("babble", "the box babbles random bytes for 2 s after block 3, then starts over", "mid-data",
         "\"E:\" lines while it babbles", NOBODY % "the first random byte", 15, "box_recovers",
         box=["--babble", "after-block:3", "--fault-time", "2000"], start="babble at"),
    Cell("restart", "the box restarts after block 3 (up again at 9600 baud with SYNC 1 s later)", "mid-data",
         "\"%s\" at the box's first SYNC" % RESTART_WORDS, NOBODY % "the restart", 15, "box_recovers",
         box=["--restart", "after-block:3", "--boot-time", "1000"], start="restart at", line="E: " + RESTART_WORDS),
    Cell("babble-cancel", "the box babbles for 2 s after block 3, then starts over; Cancel 1 s later", "mid-data",
         "\"E:\" lines, then \"N: Canceled...\" or \"Canceled!!!\"", CANCELED, 2, "box_then_cancel",
         box=["--babble", "after-block:3", "--fault-time", "2000"], start="babble at", cancel_after=3.0),
    # The restart's words come with the box's first SYNC, 1 s after it went: Cancel at once, in
    # the new download's handshake.
    Cell("restart-cancel", "the box restarts after block 3; Cancel as its words show", "mid-data",
         "the restart's words, then \"N: Canceled...\" or \"Canceled!!!\"", CANCELED, 2, "box_then_cancel",
         box=["--restart", "after-block:3", "--boot-time", "1000"], start="restart at", cancel_after=1.0),
    Cell("lost-data", "the cable is pulled after block 3 (COM1 vanishes)", "mid-data", LOST, LOST_END, 5,
         "cable_pulled", box=["--stop-after", "3"], at=r"silence at after-block:3"),
    Cell("lost-armed", "the cable is pulled while a file is armed (COM1 vanishes)", "SYNC", LOST, LOST_END, 5,
         "cable_pulled", box=["--silent"], at=r"silence at sync"),
    Cell("cancel-header", "Cancel while the box takes 4 s to ask for the first header", "header",
         "\"Canceled!!!\" after the 1 s wait, \"N: Ready (box.img)\" again", CANCELED, 2, "person",
         pause="header:1"),
    Cell("cancel-data", "Cancel while the box takes 4 s to ask for block 4", "mid-data",
         "\"Canceled!!!\" after the 1 s wait, \"N: Ready (box.img)\" again", CANCELED, 2, "person",
         pause="after-block:3"),
    Cell("cancel-talking", "Cancel while the data flows (at 30 %)", "mid-data", "\"N: Canceled...\"", CANCELED, 2,
         "person", pause=None),
    Cell("reset-armed", "Reset with a file armed, before the box starts", "SYNC",
         "the list emptied but for the port's closing lines, no file name, the time at zero", PICK_AGAIN, 1,
         "person", pause="sync"),
    Cell("reset-handshake", "Reset after the baud switch, before READY", "READY",
         "the list emptied but for the port's closing lines, no file name, the time at zero", PICK_AGAIN, 1,
         "person", pause="ready"),
    Cell("mode-armed", "USB, then Serial, with a file armed", "SYNC", "a new serial view without a file",
         PICK_AGAIN.replace("the click", "the Serial click"), 3, "person", pause="sync"),
    Cell("mode-handshake", "USB, then Serial, after the baud switch", "READY", "a new serial view without a file",
         PICK_AGAIN.replace("the click", "the Serial click"), 3, "person", pause="ready"),
    Cell("mode-header", "USB while the box takes 4 s to ask for the first header", "header",
         "nothing changes: the hot spots are locked", GOES_ON, 12, "person", pause="header:1"),
    Cell("mode-talking", "USB while the data flows (at 30 %)", "mid-data", "nothing changes: the hot spots are locked",
         GOES_ON, 12, "person", pause=None),
    Cell("close-armed", "Close with a file armed", "SYNC", "the window goes",
         "the program has ended (timed from Close); started again and the file picked, the download completes", 5,
         "person", pause="sync"),
    Cell("close-handshake", "Close after the baud switch, before READY", "READY", "the window goes",
         "the program has ended (timed from Close); started again and the file picked, the download completes", 5,
         "person", pause="ready"),
    Cell("close-header", "Close while the box takes 4 s to ask for the first header", "header",
         "nothing changes: Close is greyed", GOES_ON.replace("the click", "Close"), 12, "person", pause="header:1"),
    Cell("close-talking", "Close while the data flows (at 30 %)", "mid-data", "nothing changes: Close is greyed",
         GOES_ON.replace("the click", "Close"), 12, "person", pause=None),
]

SLOW_CELLS = [
    Cell("sil-data-120s", "the box falls silent after block 3 of 14 (the real 120 s timer)", "mid-data",
         "\"%s\" 120 s after the last byte (busy, Cancel offered, until then)" % SILENCE_WORDS,
         "idle, Close enabled, the same file armed again (timed from the last byte); the next download completes",
         125, "silence_real", box=["--silent-at", "after-block:3"]),
]


class Outcome:
    """What one cell found: the time it measured and what went wrong, if anything."""

    def __init__(self):
        self.measured = None
        self.problems = []

    def need(self, condition, problem):
        if not condition:
            self.problems.append(problem)
        return condition


class SerialMatrix(BoxTestCase):
    PROGRAM = DRIVER
    SCRATCH_PREFIX = "stelvar-matrix-"
    TABLE = CELLS

    def setUp(self):
        super().setUp()
        self.image_path = self.image(IMAGE)
        self.win_path = windows_path(self.image_path)
        self.results = MatrixResults(BUILD_TREE, "serial")
        self.results.keep_only([c.cell for c in CELLS + SLOW_CELLS])
        self.window = None
        self.box = None
        self.reports = 0
        self.snap_due = None

    def tearDown(self):
        if self.box:
            self.box.stop()
        if not Cable.present():
            Cable.plug()
        if self.window:
            self.window.do("close", "10")
            self.window.close()

    # ---- running the table

    def run_table(self):
        chosen = os.environ.get("STELVAR_MATRIX_CELLS")
        cells = [c for c in self.TABLE if not chosen or c.cell in chosen.split(",")]
        self.window = Window()
        failed = []
        snaps = os.environ.get("STELVAR_MATRIX_SNAPS")
        for cell in cells:
            outcome = Outcome()
            started = time.time()
            self.snap_due = os.path.join(snaps, cell.cell + ".bmp") if snaps else None
            try:
                self.prepare(outcome)
                if not outcome.problems:
                    getattr(self, "cell_" + cell.run)(cell, outcome)
            finally:
                box_text = self.box.text() if self.box else ""
                if self.box:
                    self.box.stop()
                    self.box = None
                if not Cable.present():
                    Cable.plug()
            if outcome.measured is not None and outcome.measured > cell.bound:
                outcome.problems.append("took %.2f s, more than the bound of %g s" % (outcome.measured, cell.bound))
            ok = not outcome.problems
            self.results.put({"path": "serial", "cell": cell.cell, "fault": cell.fault, "phase": cell.phase,
                              "expected": cell.expected, "bound_s": cell.bound,
                              "measured_s": None if outcome.measured is None else round(outcome.measured, 2),
                              "ok": ok})
            print("%-16s %s %s  (%.0f s)%s" % (cell.cell, "ok    " if ok else "FAILED",
                                               "-" if outcome.measured is None else "%.2f s" % outcome.measured,
                                               time.time() - started,
                                               "" if ok else ": " + "; ".join(outcome.problems)), flush=True)
            if not ok:
                program_log = self.window.do("log").logs() if self.window.do("alive").value("alive") == "yes" else []
                failed.append("%s: %s\n--- driver, last lines\n%s\n--- program's list\n%s\n--- box\n%s" % (
                    cell.cell, "; ".join(outcome.problems), "\n".join(self.window.transcript[-40:]),
                    "\n".join(program_log[-40:]), box_text[-2000:]))
        self.assertEqual([], failed, "\n\n".join(failed))

    def prepare(self, outcome):
        """A running program, idle and usable, its list emptied and its port closed."""
        w = self.window
        if w.do("alive").value("alive") == "yes" and not w.do("wait-usable", "3").ok:
            w.do("kill")
        if w.do("alive").value("alive") != "yes":
            outcome.need(w.do("start").ok, "the program did not start")
        outcome.need(w.do("reset").ok and w.do("mark").ok, "the program was not usable before the cell")

    def start_box(self, args=(), downloads=1, timeout=120):
        self.reports += 1
        report = os.path.join(self.dir, "box-%d.txt" % self.reports)
        self.box = Box(report, args, self.image_path, downloads, timeout)
        return self.box

    def pick(self, outcome):
        """Arms the file; the box is switched on after it, so that its first SYNC finds the port open."""
        r = self.window.do("pick", self.win_path)
        outcome.need(r.ok, "the Open dialog did not take the file")
        return self.window.wall(r.time("picked"))

    def usable(self, outcome, seconds):
        """Unix time at which the program was idle with Close enabled, or None."""
        r = self.window.do("wait-usable", seconds)
        outcome.need(r.ok, "not idle with Close enabled within %s s" % seconds)
        self.last_usable = r.time("usable")
        if self.snap_due:
            # The cell's end state, as the person sees it.
            self.window.do("snap", windows_path(self.snap_due))
            self.snap_due = None
        return self.window.wall(r.time("usable")) if r.ok else None

    def new_log(self):
        return self.window.do("new-log").logs()

    def next_download(self, outcome, pick_again, seconds=30):
        """The next download through the window: the box (already on the line, or switched on now)
        completes it and received the file as it is."""
        if pick_again:
            self.pick(outcome)
        if self.box is None or not self.box.running():
            if self.box:
                self.box.stop()
            self.start_box()
        before = self.box.count(r"download \d+ completed")
        r = self.window.do("watch", seconds)
        outcome.need(r.ok, "the next download did not complete through the window")
        outcome.need(self.box.wait(r"image matches the file", 5) is not None and
                     self.box.count(r"download \d+ completed") > before, "the box did not receive the file")
        self.usable(outcome, 5)

    def completes(self, outcome, since):
        """The download in hand completes through the window (its message box answered), the box
        received the file as it is, and the program is usable; timed from `since`."""
        r = self.window.do("watch", "20")
        outcome.need(r.ok, "the download did not complete through the window")
        outcome.need(self.box.wait(r"image matches the file", 5), "the box did not receive the file")
        end = self.usable(outcome, 5)
        if end:
            outcome.measured = end - since

    # ---- the kinds of cell

    def cell_box_retries(self, cell, outcome):
        """The box reports an error at a point and starts over: the error shows in words, the next
        download completes without anyone acting."""
        self.pick(outcome)
        self.start_box(cell.params["box"], downloads=2)
        fault = self.box.wait(r"error report .* as asked", 20)
        if not outcome.need(fault, "the box did not report its error"):
            return
        r = self.window.do("wait-new-log", cell.params["line"], "5")
        if outcome.need(r.ok, "no line \"%s\"" % cell.params["line"]):
            outcome.need(self.window.wall(r.time("found")) - fault <= 1.0,
                         "\"%s\" came %.2f s after the error" % (cell.params["line"],
                                                                self.window.wall(r.time("found")) - fault))
        self.completes(outcome, fault)

    def fall_silent(self, cell, outcome, busy):
        """Arms the file, lets the box fall silent as the cell says and checks the view's state a
        second into the silence; returns when the silence began, or None."""
        self.pick(outcome)
        self.start_box(cell.params["box"], timeout=300)
        silent = self.box.wait(r"silence at .* from here", 20)
        if not outcome.need(silent, "the box did not fall silent"):
            return None
        time.sleep(1.0)
        state = self.window.do("state").value("state") or ""
        outcome.need(state.startswith("busy" if busy else "idle"), "%s while the box was silent" % state.split(" ")[0])
        self.window.do("mark")
        return silent

    def cell_silence_tick(self, cell, outcome):
        if self.fall_silent(cell, outcome, True):
            tick = self.window.wall(self.window.do("tick10").time("ticked"))
            self.silence_end(outcome, tick)

    def silence_end(self, outcome, since):
        end = self.usable(outcome, 130 if since is None else 5)
        lines = self.new_log()
        words = [i for i, l in enumerate(lines) if SILENCE_LINE.search(l)]
        outcome.need(words, "no line in words about the silence")
        outcome.need([i for i, l in enumerate(lines) if l.startswith(READY_LINE) and (not words or i > words[0])],
                     "the file was not armed again")
        if end and since:
            outcome.measured = end - since
        self.box.stop()
        self.box = None
        if end:
            self.next_download(outcome, pick_again=False)
        return end

    def cell_silence_idle(self, cell, outcome):
        """Silent before the download began: nothing to end, the file stays armed for the box's return."""
        if not self.fall_silent(cell, outcome, False):
            return
        self.window.do("tick10")
        time.sleep(0.5)
        outcome.need(self.usable(outcome, 5), "not usable after the tick")
        self.box.stop()
        self.box = None
        back = time.time()
        self.next_download(outcome, pick_again=False)
        if not outcome.problems:
            outcome.measured = self.window.wall(self.last_usable) - back

    def cell_silence_real(self, cell, outcome):
        silent = self.fall_silent(cell, outcome, True)
        if silent:
            end = self.silence_end(outcome, None)
            if end:
                outcome.measured = end - silent

    def cell_silence_before_sync(self, cell, outcome):
        picked = self.pick(outcome)
        self.start_box(["--silent"], timeout=300)
        r = self.window.do("wait-new-log", READY_LINE, "5")
        outcome.need(r.ok, "no \"%s\"" % READY_LINE)
        end = self.usable(outcome, 5)
        if end and picked:
            outcome.measured = end - picked
        time.sleep(2)
        outcome.need(self.window.do("state").value("state").startswith("idle"), "not idle while the box is off")
        self.box.stop()
        self.box = None
        self.next_download(outcome, pick_again=False)

    def cell_box_recovers(self, cell, outcome):
        """A fault of the box that it ends itself; nobody acts. The program must say what happened,
        return to idle and take the box's next download."""
        self.pick(outcome)
        self.start_box(cell.params["box"], downloads=3)
        fault = self.box.wait(cell.params["start"], 20)
        if not outcome.need(fault, "the box did not misbehave"):
            return
        line = cell.params.get("line", "E: ")
        r = self.window.do("wait-new-log", line, "5")
        outcome.need(r.ok, "no \"%s\" line" % line)
        done = self.box.wait(r"download \d+ completed", cell.bound + 5, after=fault)
        outcome.need(done, "the box's next download did not complete within %g s" % (cell.bound + 5))
        r = self.window.do("watch", "5") if done else None
        end = self.usable(outcome, 5)
        if end and done:
            outcome.measured = end - fault

    def cell_box_then_cancel(self, cell, outcome):
        w = self.window
        self.pick(outcome)
        self.start_box(cell.params["box"], downloads=3)
        fault = self.box.wait(cell.params["start"], 20)
        if not outcome.need(fault, "the box did not misbehave"):
            return
        outcome.need(w.do("wait-new-log", "E: ", "5").ok, "nothing shown")
        time.sleep(max(0.0, fault + cell.params["cancel_after"] - time.time()))
        w.do("mark")
        asked = time.time()
        w.do("cancel")
        end = self.usable(outcome, 10)
        if end:
            outcome.measured = end - asked
        outcome.need(self.cancel_seen(), "idle without the library's cancel (no \"N: Canceled...\" nor "
                                         "\"Canceled!!!\")")
        if end:
            self.next_download(outcome, pick_again=False)

    def cancel_seen(self):
        """The library confirmed the cancel, or the view ended the transfer itself."""
        time.sleep(0.3)  # "Canceled..." is posted
        return any(l.startswith("N: Canceled...") or l.startswith("Canceled!!!") for l in self.new_log())

    def cell_cable_pulled(self, cell, outcome):
        w = self.window
        self.pick(outcome)
        self.start_box(cell.params["box"], timeout=60)
        if not outcome.need(self.box.wait(cell.params["at"], 20), "the box did not reach the point"):
            return
        time.sleep(0.3)
        pulled = Cable.pull()
        r = w.do("wait-new-log", LOST_LINE, "10")
        if outcome.need(r.ok, "no \"%s...\" line" % LOST_LINE):
            found = [l for l in self.new_log() if l.startswith(LOST_LINE)]
            outcome.need(found and LOST_WORDS.match(found[0]), "the lost-port line reads %r" % found[:1])
        end = self.usable(outcome, 10)
        if end:
            outcome.measured = end - pulled
        self.box.stop()
        self.box = None
        outcome.need(Cable.plug(), "the cable could not be put back")
        if end:
            self.next_download(outcome, pick_again=True)

    def cell_person(self, cell, outcome):
        w = self.window
        pause = cell.params["pause"]
        action = cell.cell.split("-")[0]
        self.pick(outcome)
        self.start_box(["--pause", "%d@%s" % (PAUSE_MS, pause)] + REPLY if pause else REPLY, downloads=3)
        if pause:
            if not outcome.need(self.box.wait("after a pause of", 20), "the box did not reach the phase"):
                return
            time.sleep(0.3)
        else:
            if not outcome.need(w.do("wait-progress", "30", "20").ok, "the data did not flow"):
                return
        busy = (w.do("state").value("state") or "").startswith("busy")
        asked = time.time()
        if action == "cancel":
            w.do("mark")
            w.do("cancel")
            end = self.usable(outcome, 5)
            if end:
                outcome.measured = end - asked
            lines = self.new_log()
            if pause:
                outcome.need([l for l in lines if l.startswith("Canceled!!!")], "no \"Canceled!!!\"")
                outcome.need([l for l in lines if l.startswith(READY_LINE)], "the file was not armed again")
            else:
                outcome.need([l for l in lines if l.startswith("N: Canceled...")], "no \"N: Canceled...\"")
            self.next_download(outcome, pick_again=False)
        elif action == "reset":
            r = w.do("reset")
            outcome.need(r.ok, "Reset did not leave the view idle")
            end = self.usable(outcome, 5)
            if end:
                outcome.measured = end - asked
            # Emptied, then only what stopping the transfer reports.
            left = [l.rsplit(" [", 1)[0] for l in w.do("log").logs()]
            outcome.need(left == ["N: Uninitialize COM Port", "N: COM port monitoring stopped"],
                         "the list holds %r after Reset" % left[:4])
            outcome.need(w.do("path").value("path") == "", "the file name was not emptied")
            outcome.need(w.do("time").value("time") == "0 min. 0 sec. / 0 min. 0 sec.", "the time was not reset")
            self.next_download(outcome, pick_again=True)
        elif action == "mode" and not busy:
            w.do("mode", "usb")
            time.sleep(0.5)
            asked = time.time()
            outcome.need(w.do("mode", "serial").ok and w.do("find-view").ok, "no serial view after the switch back")
            end = self.usable(outcome, 5)
            if end:
                outcome.measured = end - asked
            outcome.need(w.do("path").value("path") == "", "the new view shows a file")
            self.next_download(outcome, pick_again=True)
        elif action == "mode":
            w.do("mode", "usb")
            time.sleep(0.5)
            outcome.need(w.do("alive").value("alive") == "yes", "the program ended")
            outcome.need((w.do("state").value("state") or "").startswith("busy"), "not busy after the click")
            self.completes(outcome, asked)
        elif action == "close" and not busy:
            r = w.do("close", "10")
            if outcome.need(r.ok, "the program did not end"):
                outcome.measured = float(r.value("exit").split()[1])
            outcome.need(w.do("start").ok, "the program did not start again")
            self.box.stop()
            self.box = None
            self.next_download(outcome, pick_again=True)
        elif action == "close":
            r = w.do("try-close")
            outcome.need(r.value("close-attempt") == "running", "the program ended")
            self.completes(outcome, asked)
        outcome.need(busy == (pause not in ("sync", "ready")), "busy/idle was not as the phase has it")

    def test_serial_fault_matrix(self):
        self.run_table()


class SlowSerialMatrix(SerialMatrix):
    """The cell that waits the library's real 120 s silence timer (label slow, once per suite)."""
    TABLE = SLOW_CELLS

    def test_serial_fault_matrix(self):
        self.run_table()


if __name__ == "__main__":
    unittest.main(verbosity=2)
