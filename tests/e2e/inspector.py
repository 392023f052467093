"""velinspect as a program: its report, JSON and exit status on the images the tests make.

Native build: VELINSPECT names the program. Windows build (ctest sets STELVAR_WINE_RUN):
velinspect.exe runs under Wine and must print what the native build's velinspect prints.
"""
import json
import os
import shlex
import shutil
import subprocess
import tempfile
import unittest

import images

if os.environ.get("STELVAR_WINE_RUN"):
    INSPECT = shlex.split(os.environ["STELVAR_WINE_RUN"]) + [os.path.join(os.environ["STELVAR_BIN"], "velinspect.exe")]
    NATIVE = os.path.join(os.environ["STELVAR_NATIVE_BIN"], "velinspect")
else:
    INSPECT = [os.environ["VELINSPECT"]]
    NATIVE = None


def truncated():
    return images.one_anal_section()[:9000]


def short_end():
    return images.one_anal_section()[:-30]


IMAGES = {
    "anal.img": images.one_anal_section(),
    "two.img": images.section(images.record(), images.payload(0x3800, 1))
    + images.section(images.record(), images.payload(0x3800, 2)) + images.end_record(),
    "program.img": images.program(3000),
    "dig.img": images.dig_only(),
    "diganal.img": images.dig() + images.section(images.record(), images.payload(0x3800, 5)) + images.end_record(),
    "truncated.img": truncated(),
    "short-end.img": short_end(),
    "small.img": images.program(100)[:2048],
    "empty.img": b"",
    "stray.img": images.one_anal_section() + b"\xff" * 100,
}
LONG_NAME = "n" * 246 + ".img"  # the longest name most file systems take


class Inspector(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="stelvar-inspect-")
        for name, data in IMAGES.items():
            with open(os.path.join(cls.dir, name), "wb") as f:
                f.write(data)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir, True)

    def run_inspect(self, *args, command=None):
        r = subprocess.run((command or INSPECT) + list(args), stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                           timeout=60)
        return r.returncode, r.stdout.decode().replace("\r\n", "\n"), r.stderr.decode()

    def path(self, name):
        return os.path.join(self.dir, name)

    def report(self, name):
        rc, out, err = self.run_inspect("--json", self.path(name))
        return rc, json.loads(out)

    def test_accepted_images(self):
        expected = {  # function code, kinds of the sections, payloads
            "anal.img": (5, ["ANAL"], [14336]),
            "two.img": (5, ["ANAL", "ANAL"], [14336, 14336]),
            "program.img": (7, ["program"], [3000]),
            "dig.img": (4, ["DIG"] * 40, [0] * 40),
            "diganal.img": (6, ["DIG", "ANAL"], [0, 14336]),
            "short-end.img": (5, ["ANAL"], [14336]),
        }
        for name, (code, kinds, payloads) in expected.items():
            rc, r = self.report(name)
            self.assertEqual(0, rc, name)
            self.assertEqual(len(IMAGES[name]), r["size"], name)
            self.assertEqual(code, r["function"]["code"], name)
            self.assertEqual(kinds, [s["kind"] for s in r["sections"]], name)
            self.assertEqual(payloads, [s["payload"] for s in r["sections"]], name)
            self.assertEqual([9600, 19200, 38400, 57600, 115200], [t["baud"] for t in r["times"]], name)
            # Faster rates take less time, and none is faster than its line alone.
            seconds = [t["seconds"] for t in r["times"]]
            self.assertEqual(sorted(seconds, reverse=True), seconds, name)
            for t in r["times"]:
                self.assertGreaterEqual(t["seconds"], (r["bytes_to_box"] + r["bytes_from_box"]) * 10 / t["baud"], name)
        self.assertEqual({"offset": 14400, "bytes": 14}, self.report("short-end.img")[1]["end_record"])

    def test_refused_images_get_the_librarys_words_and_status_1(self):
        rc, out, _ = self.run_inspect(self.path("truncated.img"))
        self.assertEqual(1, rc)
        self.assertIn("refused   Image file is truncated: the section at offset 0 needs 14336 payload bytes, "
                      "8936 remain.\nrefused   Image file is invalid.\n", out)
        for name in ("small.img", "empty.img"):
            rc, r = self.report(name)
            self.assertEqual(1, rc, name)
            self.assertEqual(["Image file is invalid."], r["problems"], name)
            self.assertIsNone(r["function"], name)

    def test_refusals_say_why_after_the_librarys_words(self):
        rc, out, _ = self.run_inspect(self.path("small.img"))
        self.assertEqual(1, rc)
        self.assertIn("refused   Image file is invalid.\nwhy       the library looks for sections only in images of "
                      "more than 2048 bytes; this one has 208\n", out)
        rc, r = self.report("stray.img")
        self.assertEqual(1, rc)
        self.assertEqual("Image file is invalid.", r["problems"][-1])
        self.assertEqual("a whole image ends at byte 14444 (its end record at offset 14400); the 100 bytes after it "
                         "are stray and the library reads them as sections", r["why"])
        self.assertIsNone(self.report("anal.img")[1]["why"])

    def test_long_names_stay_whole(self):
        with open(self.path(LONG_NAME), "wb") as f:
            f.write(IMAGES["anal.img"])
        rc, out, err = subprocess_in(self.dir, INSPECT + [LONG_NAME])
        self.assertEqual(0, rc, err)
        self.assertTrue(out.startswith("image     %s\nsize      14444 bytes\n" % LONG_NAME), out[:400])
        rc, out, err = subprocess_in(self.dir, INSPECT + ["--json", LONG_NAME])
        self.assertEqual(LONG_NAME, json.loads(out)["image"])

    def test_usage_and_unreadable_files_get_status_2(self):
        for args, words in (([], "usage:"), (["--fast", self.path("anal.img")], "velinspect: unknown option --fast"),
                            ([self.path("missing.img")], "velinspect: cannot open "),
                            ([self.path("anal.img"), self.path("two.img")], "velinspect: one image at a time"),
                            ([self.dir], "is a folder, not an image")):
            rc, out, err = self.run_inspect(*args)
            self.assertEqual(2, rc, args)
            self.assertEqual("", out, args)
            self.assertIn(words, err)

    def test_version(self):
        rc, out, _ = self.run_inspect("--version")
        self.assertEqual(0, rc)
        self.assertRegex(out, r"^velinspect \d+\.\d+\.\d+\n$")

    @unittest.skipUnless(NATIVE, "only the Windows build has a second velinspect to compare with")
    def test_windows_and_native_builds_agree(self):
        # Run from the images' folder, so that both print the same name.
        for name in sorted(IMAGES):
            for mode in (["--json"], []):
                rc_w, out_w, _ = subprocess_in(self.dir, INSPECT + mode + [name])
                rc_n, out_n, _ = subprocess_in(self.dir, [NATIVE] + mode + [name])
                self.assertEqual((rc_n, out_n), (rc_w, out_w), name)


def subprocess_in(folder, command):
    r = subprocess.run(command, cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
    return r.returncode, r.stdout.decode().replace("\r\n", "\n"), r.stderr.decode()


if __name__ == "__main__":
    unittest.main(verbosity=2)
