"""What the end-to-end scripts share: the Wine harness's paths (set by ctest: STELVAR_WINE_RUN,
STELVAR_HARNESS, STELVAR_BIN, STELVAR_NATIVE_BIN), pulling and putting back a serial pair,
Windows paths of Linux files, and a test case with a scratch folder for images that checks its
programs are built."""
import os
import shlex
import shutil
import subprocess
import tempfile
import unittest

HARNESS = os.environ["STELVAR_HARNESS"]
WINE_RUN = shlex.split(os.environ["STELVAR_WINE_RUN"])
BIN = os.environ["STELVAR_BIN"]
STBSIM = os.path.join(os.environ["STELVAR_NATIVE_BIN"], "stbsim")
BOX_TTY = os.path.join(HARNESS, "pty", "com2")


SERIAL_PAIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness", "serial-pair")


def unplug(port):
    """Pulls the harness's serial pair that holds COM<port> (both ends hang up, the links go, as
    when a USB-serial adapter is pulled); returns the Unix time at which it went."""
    out = subprocess.run([SERIAL_PAIR, HARNESS, "unplug", str(port)], stdout=subprocess.PIPE, text=True,
                         check=True, timeout=30).stdout
    return float(out.split()[-1])


def replug(port):
    """Puts the pair that holds COM<port> back under the same names (new pseudo-terminals)."""
    subprocess.run([SERIAL_PAIR, HARNESS, "replug", str(port)], check=True, timeout=30)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class BoxTestCase(unittest.TestCase):
    """Subclasses name their Windows program (PROGRAM, a path) and a scratch-folder prefix."""

    PROGRAM = None
    SCRATCH_PREFIX = "stelvar-e2e-"

    def setUp(self):
        for path in (self.PROGRAM, STBSIM):
            if not os.path.exists(path):
                self.fail("%s is missing: build both presets first" % path)
        self.dir = tempfile.mkdtemp(prefix=self.SCRATCH_PREFIX)
        self.addCleanup(shutil.rmtree, self.dir, True)

    def image(self, data, name="box.img"):
        path = os.path.join(self.dir, name)
        with open(path, "wb") as f:
            f.write(data)
        return path
