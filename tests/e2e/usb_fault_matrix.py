"""The USB half of the fault matrix, through the dry-run build StelvarDemo.exe as its own process.

StelvarDemo.exe runs under Wine with its simulated USB box, which takes the fault for each
download from the file that STELVAR_DEMO_FAULTS names; stelvar_driver.exe starts the program,
switches it to USB mode on the banner and presses its buttons as a person's clicks arrive. For
every cell: the fault is written, Download is pressed, and within the cell's bound (from the
press) the message list must have gained the cell's lines in words, in order, and the view must
be idle: Download enabled with its idle face (253), the frame's busy lock off (the left menu's
button enabled: the same step enables Close, whose menu state Wine does not show to another
process). Then a download without fault must complete. One program run per group of cells; a
run ends with the Close command, given while the box holds the status thread's read of PIPE00,
which must end the program within 5 s.

Each cell is written as one JSON object per line to <build tree>/fault-matrix/usb.jsonl (keys
path, cell, fault, phase, expected, bound_s, measured_s, ok). The screenshots after a stall and
after an unplug go beside it (usb-stall.bmp, usb-unplug.bmp).

Environment (set by ctest): STELVAR_WINE_RUN, STELVAR_HARNESS, STELVAR_BIN.
"""
import collections
import json
import os
import shutil
import subprocess
import tempfile
import unittest

from harness_env import BIN, WINE_RUN, windows_path

DRIVER = os.path.join(BIN, "stelvar_driver.exe")
DEMO = os.path.join(BIN, "StelvarDemo.exe")
RESULTS = os.path.join(os.path.dirname(BIN), "fault-matrix")
JSONL = os.path.join(RESULTS, "usb.jsonl")

# 64 KiB: 16 chunks of 4096 bytes, about 0.7 s of data at the simulated box's pace.
IMAGE_SIZE = 65536
# A download without fault: data, erase and write in four steps each, then "Complete".
NEXT_BOUND_S = 10
CLOSE_BOUND_S = 5

Cell = collections.namedtuple("Cell", "group cell box_fault phase fault lines bound_s box snap")

UNANSWERED = "Settop did not answer within 10 s. Try again."
GONE = "Settop is not connected. Check the USB cable."
CELLS = [
    # Stalls: the view's timer aborts the worker's call 10 s after it began (within the next
    # 500 ms tick); request 7 is waited for 10 s once the flash is followed.
    Cell("stalls", "usb-stall-4", "stall-4", "data",
         "the box leaves request 4 (the announcement of the next PIPE03 write) unanswered",
         ["Download Start", "Requesting data transfer on PIPE03 failed!", UNANSWERED],
         13, None, "usb-stall.bmp"),
    Cell("stalls", "usb-stall-write", "stall-write", "data",
         "the box takes nothing of a PIPE03 write and leaves it pending",
         ["Download Start", "Writing PIPE03 failed!", "Settop took no data within 10 s. Try again."],
         13, None, None),
    Cell("stalls", "usb-stall-1139", "stall-1139", "erase",
         "the box leaves the flash status request 1139 unanswered",
         ["Download Start", "Failed communication Settop.", UNANSWERED],
         14, None, None),
    Cell("stalls", "usb-stall-7", "stall-7", "end of data",
         "the box leaves request 7 (end of data) unanswered, but erases and writes its flash",
         ["Download Start", "Erase Flash", "Writing in Flash", "Complete",
          "Settop did not confirm the end of data within 10 s."],
         16, None, None),
    Cell("stalls", "usb-stall-status", "stall-status", "status pipe",
         "the box sends nothing on the status pipe PIPE00 (the status thread's read stays pending)",
         ["Download Start", "Erase Flash", "Writing in Flash", "Complete"],
         8, None, None),
    # Unplugs: the box is away for 3 s, then back; the driver waits for "USB is connected"
    # before the next download.
    Cell("unplugs", "usb-unplug-header", "unplug-header", "header",
         "the box is unplugged as the download header (request 3) arrives",
         ["USB is not connect!"], 5, "Can't translate {path} !!!", None),
    Cell("unplugs", "usb-unplug-data", "unplug-data", "data",
         "the box is unplugged during the second PIPE03 write",
         ["Download Start", "Writing PIPE03 failed!", GONE], 5, None, "usb-unplug.bmp"),
    Cell("unplugs", "usb-unplug-erase", "unplug-erase", "erase",
         "the box is unplugged after its first erase report",
         ["Download Start", "Erase Flash", "Failed communication Settop.", GONE], 6, None, None),
    Cell("unplugs", "usb-unplug-write", "unplug-write", "write",
         "the box is unplugged after its first write report",
         ["Download Start", "Erase Flash", "Writing in Flash", "Failed communication Settop.", GONE], 6, None,
         None),
]
FLASH_ERRORS = [
    "Header CRC is not correct. Check File.",
    "Data CRC is not correct. Check File.",
    "Vendor ID is not correct. Check File.",
    "Product ID is not correct. Check File.",
    "H/W model is not mached. Check File.",
    "Can not find requested partition. Check File.",
    "Image size is too big. Check File.",
    "Can not erase target file on flash. Try again.",
    "Can not write file to flash. Try again.",
    "Unknown error.",
]
CELLS += [
    Cell("errors", "usb-error-%d" % code, "error-%d" % code, "erase",
         "the box erases half of the flash, then reports error code %d" % code,
         ["Download Start", "Erase Flash", text], 6, None, None)
    for code, text in enumerate(FLASH_ERRORS, 1)
]


def setUpModule():
    os.makedirs(RESULTS, exist_ok=True)
    open(JSONL, "w").close()


class Attempt:
    """What the driver printed for one press of Download."""

    def __init__(self, pressed):
        self.pressed = pressed
        self.end = None
        self.lines = []
        self.boxes = []
        self.state = {}
        self.seen = None
        self.collect = True

    def took(self):
        return None if self.end is None else self.end - self.pressed


def attempts(output):
    """The driver's lines, cut into presses of Download."""
    out = []
    for line in output.splitlines():
        key, _, rest = line.partition(" ")
        if key == "usb-pressed":
            out.append(Attempt(float(rest)))
        elif not out:
            continue
        elif key == "usb-end":
            out[-1].end = float(rest)
            out[-1].lines = []
        elif key == "usb-seen":
            out[-1].seen = float(rest)
            out[-1].collect = False
        elif key == "usb-line" and out[-1].collect:
            out[-1].lines.append(rest)
        elif key == "usb-box":
            out[-1].boxes.append(rest.split(" ", 1)[1])
        elif key == "usb-state":
            words = rest.split()
            out[-1].state = dict(w.split("=", 1) for w in words[1:])
            out[-1].state["view"] = words[0]
    return out


def in_order(expected, lines):
    """expected appear in lines in this order (other lines may come between)."""
    it = iter(lines)
    return all(any(line == want for line in it) for want in expected)


class UsbFaultMatrix(unittest.TestCase):

    def setUp(self):
        for path in (DRIVER, DEMO):
            if not os.path.exists(path):
                self.fail("%s is missing: build the Windows preset first" % path)
        self.dir = tempfile.mkdtemp(prefix="stelvar-usb-matrix-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.image = os.path.join(self.dir, "box.img")
        with open(self.image, "wb") as f:
            f.write(bytes((i * 7 + (i >> 8)) & 0xFF for i in range(IMAGE_SIZE)))
        self.faults = os.path.join(self.dir, "faults.txt")

    def expected_text(self, cell):
        said = " then ".join('"%s"' % line for line in cell.lines[1:] or cell.lines)
        if cell.box:
            said += ' and the box "%s" (OK)' % cell.box.format(path="<the image>")
        return (said + "; idle (Download enabled, face 253), Close enabled; the next download completes"
                " within %d s" % NEXT_BOUND_S)

    def steps(self, cells):
        steps = ["usb-start", "usb-pick", windows_path(self.image)]
        for cell in cells:
            # Each end is awaited well past its bound, so that a late end is measured too.
            steps += ["usb-fault", cell.box_fault, "usb-download", "usb-end-box" if cell.box else "usb-end",
                      cell.lines[-1], str(cell.bound_s + 15), "usb-state"]
            if cell.snap:
                steps += ["snap", windows_path(os.path.join(RESULTS, cell.snap))]
            if cell.group == "unplugs":
                steps += ["usb-wait-line", "USB is connected", "15"]
            steps += ["usb-fault", "none", "usb-download", "usb-end", "Complete", str(NEXT_BOUND_S + 10),
                      "usb-state"]
        # The run ends with Close while the status thread's read of PIPE00 is held by the box.
        steps += ["usb-fault", "stall-status", "usb-download", "usb-end", "Complete", str(NEXT_BOUND_S + 10)]
        return steps + ["close", str(CLOSE_BOUND_S + 10)]

    def check_idle(self, attempt):
        state = attempt.state
        problems = []
        if state.get("view") != "idle" or state.get("download") != "enabled":
            problems.append("Download not enabled")
        if not state.get("face", "").startswith("253("):
            problems.append("Download face %s, not the idle face 253" % state.get("face"))
        if state.get("menu") != "enabled" or state.get("close") not in ("enabled", "unknown"):
            problems.append("the frame is still locked (Close %s, menu %s)" % (state.get("close"), state.get("menu")))
        return problems

    def run_group(self, group):
        cells = [c for c in CELLS if c.group == group]
        env = dict(os.environ, STELVAR_DEMO_FAULTS=windows_path(self.faults))
        timeout = sum(c.bound_s + NEXT_BOUND_S + 30 for c in cells) + 60
        run = subprocess.run(WINE_RUN + [DRIVER] + self.steps(cells), stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, text=True, timeout=timeout,
                             env=env)
        output = run.stdout
        presses = attempts(output)
        failures = []
        with open(JSONL, "a") as results:
            for index, cell in enumerate(cells):
                fault, after = (presses[2 * index:2 * index + 2] + [None, None])[:2]
                problems = []
                if fault is None or fault.took() is None:
                    problems.append("no end state (the driver stopped: see its output)")
                else:
                    if not in_order(cell.lines, fault.lines):
                        problems.append("lines %s, expected %s in order" % (fault.lines, cell.lines))
                    if fault.took() > cell.bound_s:
                        problems.append("took %.1f s, bound %d s" % (fault.took(), cell.bound_s))
                    want_boxes = [cell.box.format(path=windows_path(self.image))] if cell.box else []
                    if fault.boxes != want_boxes:
                        problems.append("message boxes %s, expected %s" % (fault.boxes, want_boxes))
                    problems += self.check_idle(fault)
                if after is None or after.took() is None:
                    problems.append("the next download did not end")
                else:
                    if after.lines[-1:] != ["Complete"] or after.took() > NEXT_BOUND_S or after.boxes:
                        problems.append("the next download: %s in %.1f s" % (after.lines, after.took()))
                    problems += ["after the next download: " + p for p in self.check_idle(after)]
                measured = fault.took() if fault and fault.took() is not None else -1
                results.write(json.dumps(collections.OrderedDict([
                    ("path", "USB"), ("cell", cell.cell), ("fault", cell.fault), ("phase", cell.phase),
                    ("expected", self.expected_text(cell)), ("bound_s", cell.bound_s),
                    ("measured_s", round(measured, 2)), ("ok", not problems)])) + "\n")
                print("%-20s %6.2f s (bound %2d s) %s" % (cell.cell, measured, cell.bound_s,
                                                          "ok" if not problems else "; ".join(problems)))
                if problems:
                    failures.append("%s: %s" % (cell.cell, "; ".join(problems)))
        exit_line = [l for l in output.splitlines() if l.startswith("exit ")]
        if not exit_line:
            failures.append("the program did not end on Close")
        else:
            code, took = exit_line[-1].split()[1:3]
            print("%-20s %6.2f s (bound %2d s) exit code %s" % ("close", float(took), CLOSE_BOUND_S, code))
            if code != "0" or float(took) > CLOSE_BOUND_S:
                failures.append("Close: exit code %s after %s s" % (code, took))
        self.assertFalse(failures, "\n".join(failures) + "\n--- driver:\n" + output[-6000:])

    def test_stalls_end_by_their_bounds(self):
        self.run_group("stalls")

    def test_unplugs_end_at_once_and_the_box_is_taken_again_when_back(self):
        self.run_group("unplugs")

    def test_each_flash_error_code_is_shown_in_words(self):
        self.run_group("errors")


if __name__ == "__main__":
    unittest.main(verbosity=2)
