"""The portable archive as a technician uses it: unpacked into a folder of its own, and
Stelvar.exe started from there. The archive is made from the programs Wine runs here (the
shipped 32-bit ones, or the x86-64 build of the same sources where Wine runs only those)."""
import os
import shutil
import subprocess
import tempfile
import unittest
import zipfile

from package_support import FILES, RUN_BIN, SCRATCH, VERSION, make_package, windows_path

WINE_RUN = os.environ["STELVAR_WINE_RUN"].split()


class PortableArchive(unittest.TestCase):
    def test_unpacked_program_starts(self):
        package = make_package(RUN_BIN, os.path.join(SCRATCH, "archive"))
        self.assertEqual("Stelvar-%s.zip" % VERSION, os.path.basename(package.zip))
        # Windows' "Extract All" makes a folder named after the archive.
        where = tempfile.mkdtemp(prefix="stelvar-unpacked-")
        self.addCleanup(shutil.rmtree, where, True)
        folder = os.path.join(where, "Stelvar-%s" % VERSION)
        with zipfile.ZipFile(package.zip) as archive:
            archive.extractall(folder)
        self.assertEqual(sorted(FILES), sorted(os.listdir(folder)))

        snap = os.path.join(SCRATCH, "unpacked-stelvar.bmp")
        done = subprocess.run(WINE_RUN + [os.path.join(RUN_BIN, "stelvar_driver.exe"),
                                          "start-at", windows_path(os.path.join(folder, "Stelvar.exe")),
                                          "snap", windows_path(snap), "close"],
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
        out = done.stdout.decode("latin-1")
        self.assertIn("RESULT ok", out, out)
        for program, usage in [("velflash.exe", "usage: velflash"), ("velinspect.exe", "usage: velinspect")]:
            with self.subTest(program=program):
                ran = subprocess.run(WINE_RUN + [windows_path(os.path.join(folder, program)), "--help"],
                                     stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                     timeout=60)
                self.assertEqual(0, ran.returncode)
                self.assertIn(usage, ran.stdout.decode("latin-1"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
