"""What the serial fault matrix drives: a stelvar_driver session that keeps Stelvar.exe running
across cells, the box simulator with its report followed line by line as it is written, and the
COM1/COM2 line of the harness, which a cell can pull and put back as a cable.

All times are Unix times on this machine's clock: the driver reports its own clock once, the
box's report lines are stamped when they appear (within 10 ms)."""
import os
import queue
import re
import signal
import subprocess
import threading
import time

import harness_env
from harness_env import BIN, BOX_TTY, HARNESS, STBSIM, WINE_RUN

DRIVER = os.path.join(BIN, "stelvar_driver.exe")


class Reply:
    """What the driver printed for one served line."""

    def __init__(self, lines, ok):
        self.lines = lines
        self.ok = ok

    def value(self, key):
        """The rest of the first line that starts with key, or None."""
        for line in self.lines:
            if line.split(" ", 1)[0] == key:
                return line[len(key) + 1:]
        return None

    def time(self, key):
        """The driver time that follows key on its first line, or None."""
        rest = self.value(key)
        return float(rest.split()[0]) if rest else None

    def logs(self):
        return [l[4:] for l in self.lines if l.startswith("log ")]

    def __str__(self):
        return "\n".join(self.lines)


class Window:
    """A stelvar_driver session: steps go to its standard input one line at a time."""

    def __init__(self):
        self.transcript = []
        self._lines = queue.Queue()
        self._proc = subprocess.Popen(WINE_RUN + [DRIVER, "serve"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                      stderr=subprocess.STDOUT, text=True, bufsize=1)
        threading.Thread(target=self._read, daemon=True).start()
        first = self._served(60)
        clock = first.value("clock")
        if clock is None:
            raise RuntimeError("the driver did not start:\n%s" % first)
        epoch, at = (float(x) for x in clock.split())
        self.offset = epoch - at

    def _read(self):
        for line in self._proc.stdout:
            self._lines.put(line.rstrip("\n"))
        self._lines.put(None)

    def _served(self, timeout):
        lines, end = [], time.time() + timeout
        while time.time() < end:
            try:
                line = self._lines.get(timeout=0.2)
            except queue.Empty:
                continue
            if line is None:
                lines.append("driver ended")
                return Reply(lines, False)
            self.transcript.append(line)
            if line.startswith("served "):
                return Reply(lines, line.split()[1] == "ok")
            lines.append(line)
        lines.append("no answer from the driver in %.0f s" % timeout)
        return Reply(lines, False)

    def do(self, *words, timeout=None):
        """Runs one line of steps; the wait is the steps' own bound plus a margin."""
        if timeout is None:
            numbers = [float(w) for w in words if re.fullmatch(r"\d+(\.\d+)?", str(w))]
            timeout = 30 + sum(n / 1000 if words[0] == "sleep" else n for n in numbers)
        self.transcript.append("> " + " ".join(str(w) for w in words))
        try:
            self._proc.stdin.write("\t".join(str(w) for w in words) + "\n")
            self._proc.stdin.flush()
        except (BrokenPipeError, ValueError):
            return Reply(["driver ended"], False)
        return self._served(timeout)

    def wall(self, t):
        return None if t is None else self.offset + t

    def close(self):
        try:
            self._proc.stdin.close()
        except (BrokenPipeError, ValueError):
            pass
        try:
            self._proc.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self._proc.kill()
            self._proc.wait()


class Box:
    """One stbsim run on the Linux end of the line; its report lines stamped as they appear."""

    def __init__(self, report, args=(), image=None, downloads=1, timeout=120):
        self.report = report
        self.seen = []
        self._stop = threading.Event()
        cmd = [STBSIM, "--tty", BOX_TTY, "--report", report, "--timeout", str(timeout), "--downloads",
               str(downloads)] + [str(a) for a in args]
        if image:
            cmd += ["--image", image]
        if os.path.exists(report):
            os.remove(report)
        self._proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        self._tail = threading.Thread(target=self._follow, daemon=True)
        self._tail.start()

    def _follow(self):
        f, partial = None, ""
        while True:
            if f is None and os.path.exists(self.report):
                f = open(self.report)
            if f is not None:
                chunk = f.read()
                if chunk:
                    now = time.time()
                    partial += chunk
                    *complete, partial = partial.split("\n")
                    self.seen.extend((now, line) for line in complete)
                    continue
            if self._stop.is_set():
                break
            time.sleep(0.01)
        if f is not None:
            f.close()

    # A line of the exchange ("  1234.567 #1 box> ..."), not the report's head or verdict.
    EXCHANGE = re.compile(r"^\s*\d+\.\d+ #\d+ ")

    def wait(self, pattern, timeout, after=0.0):
        """Unix time of the first line of the exchange from `after` on that matches pattern; None when
        none came within timeout (or the box ended without one)."""
        rx, end = re.compile(pattern), time.time() + timeout
        while True:
            ended = self._proc.poll() is not None
            for at, line in list(self.seen):
                if at >= after and self.EXCHANGE.match(line) and rx.search(line):
                    return at
            if time.time() > end or (ended and not self._tail.is_alive()):
                return None
            if ended:
                self._stop.set()
            time.sleep(0.01)

    def count(self, pattern):
        rx = re.compile(pattern)
        return sum(1 for _, line in list(self.seen) if self.EXCHANGE.match(line) and rx.search(line))

    def running(self):
        return self._proc.poll() is None

    def stop(self):
        """Ends the box (as switched off) and returns its exit status and reason."""
        if self._proc.poll() is None:
            self._proc.send_signal(signal.SIGTERM)
        try:
            self._proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self._proc.kill()
            self._proc.wait()
        err = self._proc.stderr.read().strip()
        self._stop.set()
        self._tail.join(5)
        return self._proc.returncode, err

    def text(self):
        return "\n".join(line for _, line in self.seen)


class Cable:
    """The line between COM1 and the box: pulled and put back with the harness's serial-pair
    helper (both pseudo-terminals hang up and vanish, as a pulled USB-serial adapter does; put
    back, the pair returns under the same names)."""

    @staticmethod
    def pull():
        """Returns the Unix time at which the line went."""
        return harness_env.unplug(1)

    @staticmethod
    def plug():
        harness_env.replug(1)
        return Cable.present()

    @staticmethod
    def present():
        return all(os.path.exists(os.path.join(HARNESS, "pty", end)) for end in ("com1", "com2"))
