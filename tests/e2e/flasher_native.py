"""The native velflash on one end of a socat pty pair, stbsim on the other: the scenarios both builds
share (flasher_scenarios.py), then what only the POSIX build has: devices by name and what fails
with them (missing, not accessible, in use by another velflash or by a lock file's owner), a far
end that vanishes mid-download, signals, and the terminal settings put back.

Environment (set by ctest): VELFLASH (the native velflash), STBSIM.
"""
import os
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

import images
from flasher_scenarios import Box, Flasher, ScenarioCases, add_scenarios

VELFLASH = os.environ["VELFLASH"]
STBSIM = os.environ["STBSIM"]
LOCKS = "/var/lock" if os.path.isdir("/var/lock") else "/run/lock"


class PtyPair:
    """Two connected pseudo-terminals, DIR/pc and DIR/box; vanish() takes both away as an unplugged cable does."""

    def __init__(self, folder):
        self.pc = os.path.join(folder, "pc")
        self.box = os.path.join(folder, "box")
        self.proc = subprocess.Popen(["socat", "pty,raw,echo=0,link=" + self.pc, "pty,raw,echo=0,link=" + self.box],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        end = time.time() + 5
        while not (os.path.exists(self.pc) and os.path.exists(self.box)) and time.time() < end:
            time.sleep(0.02)

    def vanish(self):
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait(5)

    def lock_file(self):
        return os.path.join(LOCKS, "LCK.." + os.path.basename(os.path.realpath(self.pc)))


class NativeCase(ScenarioCases, unittest.TestCase):
    def setUp(self):
        for path in (VELFLASH, STBSIM):
            if not os.path.exists(path):
                self.fail("%s is missing: build the native preset first" % path)
        self.dir = tempfile.mkdtemp(prefix="velflash-native-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.pairs = []
        self.pair = self.new_pair()
        self.stbsim = STBSIM

    def new_pair(self):
        folder = os.path.join(self.dir, "line%d" % (len(self.pairs) + 1))
        os.mkdir(folder)
        pair = PtyPair(folder)
        self.addCleanup(pair.vanish)
        self.assertTrue(os.path.exists(pair.pc), "socat made no pty pair")
        self.pairs.append(pair)
        return pair

    def serial_lines(self, n):
        while len(self.pairs) < n:
            self.new_pair()
        return [(p.pc, p.box, p.pc) for p in self.pairs[:n]]

    def flasher(self, args, ports=None, prefix=()):
        return Flasher(list(prefix) + [VELFLASH, "--port", ",".join(ports or [self.pair.pc])] + args)

    def image_arg(self, path):
        return path

    def image(self, data=None):
        path = os.path.join(self.dir, "box.img")
        with open(path, "wb") as f:
            f.write(data or images.one_anal_section())
        return path


@add_scenarios
class SharedScenarios(NativeCase):
    pass


class NativeLine(NativeCase):
    def test_far_end_vanishing_mid_download_ends_with_words_about_the_cable(self):
        path = self.image()
        box = Box(STBSIM, self.pair.box, self.dir, ["--pace"], 30)
        flasher = self.flasher([path])
        try:
            started = flasher.wait_for(lambda f: "N: Start Downloading..." in f.lines(), 30)
            time.sleep(0.3)
            self.pair.vanish()
            gone = time.time()
            rc = flasher.finish(30)
            took = time.time() - gone
        finally:
            box.finish(2)
        self.assertTrue(started, self.describe(flasher, box))
        self.assertEqual(3, rc, self.describe(flasher))
        lines = flasher.lines()
        # Seen by the reader's wait or by the write of a block (whose failure is told first).
        self.assertIn("E: Lost %s (error 5): check the cable or the USB-serial adapter." % self.pair.pc, lines,
                      self.describe(flasher))
        self.assertRegex(lines[-1], r"^box 1: \d+ bytes, .* port lost$")
        self.assertIn("velflash: %s: the port was lost: check the cable or the USB-serial adapter" % self.pair.pc,
                      flasher.stderr)
        self.assertLess(took, 2, self.describe(flasher))

    def test_a_port_in_use_is_refused_with_who_holds_it(self):
        path = self.image()
        lock = self.pair.lock_file()
        self.addCleanup(lambda: os.path.exists(lock) and os.remove(lock))
        holder = subprocess.Popen(["sleep", "60"])
        self.addCleanup(lambda: (holder.kill(), holder.wait()))
        first = None

        def another_velflash():
            nonlocal first
            first = self.flasher([path])
            self.assertTrue(first.wait_for(lambda f: "N: Ready (box.img)" in f.lines(), 20), self.describe(first))
            return first.proc.pid, "velflash"

        def a_lock_files_owner():
            # A program that keeps the lock-file convention (minicom does), here one that only holds it.
            first.interrupt()
            self.assertEqual(130, first.finish(20), self.describe(first))
            self.assertFalse(os.path.exists(lock), "velflash left its lock behind")
            with open(lock, "w") as f:
                f.write("%10d\n" % holder.pid)
            return holder.pid, "sleep"

        for take in (another_velflash, a_lock_files_owner):
            with self.subTest(take.__name__):
                owner, name = take()
                start = time.time()
                second = self.flasher([path])
                rc = second.finish(20)
                self.assertEqual(3, rc, self.describe(second))
                self.assertLess(time.time() - start, 5)
                lines = second.lines()
                self.assertIn("B: Failed to open com port : %s, Error No. - 16l" % self.pair.pc, lines,
                              self.describe(second))
                self.assertIn("E: %s is in use by process %d (%s): end it or pick another port"
                              % (self.pair.pc, owner, name), lines, self.describe(second))
                self.assertRegex(lines[-1], r"^box 1: 0 bytes, .* port failed$")
        if first.proc.poll() is None:
            first.proc.kill()
            first.finish(5)

    def test_a_device_that_cannot_be_opened_says_what_to_do(self):
        path = self.image()
        os.chmod(self.dir, 0o755)
        os.chmod(path, 0o644)
        os.chmod(os.path.dirname(self.pair.pc), 0o755)
        pts = os.path.realpath(self.pair.pc)
        dialout = 20
        os.chown(pts, 0, dialout)
        os.chmod(pts, 0o660)
        nobody = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
        missing = os.path.join(self.dir, "ttyUSB9")
        cases = (
            ("a device that is not there", missing, (), 2,
             "E: %s does not exist: velflash --list-ports shows this machine's serial ports" % missing),
            ("a device of a group the user is not in", self.pair.pc, nobody, 13,
             "E: %s: permission denied: join the group dialout (sudo usermod -aG dialout $USER), "
             "then log out and in again" % self.pair.pc),
        )
        for what, port, prefix, error, advice in cases:
            with self.subTest(what):
                flasher = self.flasher([path], [port], prefix)
                rc = flasher.finish(20)
                self.assertEqual(3, rc, self.describe(flasher))
                lines = flasher.lines()
                self.assertIn("B: Failed to open com port : %s, Error No. - %dl" % (port, error), lines,
                              self.describe(flasher))
                self.assertIn(advice, lines, self.describe(flasher))

    def test_a_second_signal_ends_at_once_with_the_terminal_as_it_was(self):
        path = self.image()
        subprocess.run(["stty", "-F", self.pair.pc, "38400", "icanon", "echo"], check=True)
        before = subprocess.run(["stty", "-F", self.pair.pc, "-g"], capture_output=True, text=True).stdout
        flasher = self.flasher([path])
        # The box starts once the line is raw: a tty that echoes would answer its SYNC itself.
        self.assertTrue(flasher.wait_for(lambda f: "N: Ready (box.img)" in f.lines(), 20), self.describe(flasher))
        box = Box(STBSIM, self.pair.box, self.dir, ["--stop-after", "2"], 30)
        try:
            started = flasher.wait_for(lambda f: "N: Start Downloading..." in f.lines(), 30)
            time.sleep(0.5)
            flasher.proc.send_signal(signal.SIGTERM)
            self.assertTrue(flasher.wait_for(lambda f: "N: stop requested" in f.lines(), 5), self.describe(flasher))
            flasher.proc.send_signal(signal.SIGINT)
            start = time.time()
            rc = flasher.finish(10)
            took = time.time() - start
        finally:
            box.finish(2)
        self.assertTrue(started, self.describe(flasher, box))
        self.assertEqual(130, rc, self.describe(flasher))
        self.assertIn("velflash: ended at once by a second Ctrl-C", flasher.stderr)
        self.assertLess(took, 0.5)
        after = subprocess.run(["stty", "-F", self.pair.pc, "-g"], capture_output=True, text=True).stdout
        self.assertEqual(before, after)
        self.assertFalse(os.path.exists(self.pair.lock_file()), "the lock file outlived the run")

    def test_a_station_stopped_twice_ends_its_ports_at_once_with_their_ttys_as_they_were(self):
        path = self.image()
        lines = self.serial_lines(2)
        for port, _, _ in lines:
            subprocess.run(["stty", "-F", port, "19200", "icanon", "echo"], check=True)
        before = [subprocess.run(["stty", "-F", port, "-g"], capture_output=True, text=True).stdout
                  for port, _, _ in lines]
        flasher = self.flasher([path], [port for port, _, _ in lines])
        ready = lambda f: sum(1 for l in f.lines() if l.endswith("N: Ready (box.img)")) == 2
        self.assertTrue(flasher.wait_for(ready, 20), self.describe(flasher))
        boxes = [Box(STBSIM, tty, self.dir, ["--stop-after", "2"], 30, "box%d" % i)
                 for i, (_, tty, _) in enumerate(lines)]
        try:
            started = flasher.wait_for(lambda f: sum(1 for l in f.lines() if l.endswith("N: Start Downloading...")) == 2,
                                       30)
            flasher.interrupt()
            self.assertTrue(flasher.wait_for(lambda f: any("stop requested: stopping 2 port(s)" in l
                                                           for l in f.lines()), 5), self.describe(flasher))
            flasher.interrupt()
            start = time.time()
            rc = flasher.finish(20)
            took = time.time() - start
        finally:
            for box in boxes:
                box.finish(2)
        self.assertTrue(started, self.describe(flasher))
        self.assertEqual(130, rc, self.describe(flasher))
        self.assertLess(took, 3, self.describe(flasher))
        for port, _, _ in lines:
            self.assertIn("velflash: %s: ended at once by a second Ctrl-C" % port, flasher.stderr)
        after = [subprocess.run(["stty", "-F", port, "-g"], capture_output=True, text=True).stdout
                 for port, _, _ in lines]
        self.assertEqual(before, after)
        for pair in self.pairs:
            self.assertFalse(os.path.exists(pair.lock_file()), "a lock file outlived the run")


if __name__ == "__main__":
    unittest.main(verbosity=2)
