"""The installer package under Wine's installer service, in a fresh prefix of its own, as an
administrator deploys it: silent install, the program started from the install folder, a
newer package over it, an older one refused, silent removal.

The package holds the shipped 32-bit programs. Where Wine runs only x86-64 programs here,
the start-up checks replace the installed programs with the x86-64 build of the same sources
at the same paths; the upgrade then puts the package's own files back.
Every Wine call is bounded by a timeout."""
import os
import re
import shutil
import struct
import subprocess
import time
import unittest

from package_support import (FILES, GUIDE, PROGRAMS, RUN_BIN, SCRATCH, SHIPPED_BIN, VERSION, make_package,
                             next_version, windows_path)

SETTINGS = "HKCU\\Software\\Korvantex\\Stelvar V1.0.2\\OldManagerDownload"
UNINSTALL = "Microsoft\\Windows\\CurrentVersion\\Uninstall"
FATAL = 1603  # msiexec's status for a failed installation; Wine's process status keeps its low byte


class WinePrefix:
    """A fresh prefix in folder with the harness's display and wine command, COM1 on a
    pseudo-terminal pair of its own."""

    def __init__(self, folder):
        self.folder, self.path = folder, os.path.join(folder, "prefix")
        harness = os.environ["STELVAR_HARNESS"]
        self.env = dict(os.environ, WINEPREFIX=self.path, WINEDEBUG="-all",
                        PATH=os.path.join(harness, "bin") + ":" + os.environ["PATH"],
                        # No Mono/Gecko, and no menu entries on the Linux side.
                        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
        with open(os.path.join(harness, "env")) as f:
            self.env["DISPLAY"] = re.search(r"export DISPLAY='([^']*)'", f.read()).group(1)
        shutil.rmtree(folder, True)
        os.makedirs(folder)
        com1 = os.path.join(folder, "com1")
        self.socat = subprocess.Popen(["socat", "pty,raw,echo=0,link=" + com1,
                                       "pty,raw,echo=0,link=" + os.path.join(folder, "box")],
                                      stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL, start_new_session=True)
        self.run(["wineboot", "-i"], timeout=180)
        for setting in (["HKLM\\Software\\Wine\\Ports", "/v", "COM1", "/d", com1],
                        ["HKCU\\Software\\Wine\\WineDbg", "/v", "ShowCrashDialog", "/t", "REG_DWORD", "/d", "0"],
                        # Windows not left to a window manager (none on Xvfb), as in the harness.
                        ["HKCU\\Software\\Wine\\X11 Driver", "/v", "Managed", "/d", "N"]):
            self.run(["reg", "add"] + setting + ["/f"])
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=60)
        for font in os.listdir("/usr/share/wine/fonts"):
            shutil.copy(os.path.join("/usr/share/wine/fonts", font), self.drive_c("windows", "Fonts"))

    def run(self, args, timeout=120, check=True):
        done = subprocess.run(["wine"] + args, env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, timeout=timeout)
        out = done.stdout.decode("latin-1")
        if check and done.returncode != 0:
            raise AssertionError("wine %s ended with %d:\n%s" % (" ".join(args), done.returncode, out))
        return done.returncode, out

    def drive_c(self, *parts):
        return os.path.join(self.path, "drive_c", *parts)

    def reg_tree(self, key):
        """{key: {value: data}} for key and every key below it, in one query (DWORDs as ints)."""
        tree, values = {}, None
        for line in self.run(["reg", "query", key, "/s"], check=False)[1].splitlines():
            if line.startswith("HKEY_"):
                values = tree.setdefault(line.strip(), {})
            m = re.match(r"^    (.*?)    (REG_\w+)    ?(.*)$", line)
            if m and values is not None:
                values[m.group(1)] = int(m.group(3), 16) if m.group(2) == "REG_DWORD" else m.group(3)
        return tree

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=30)
        self.socat.kill()
        self.socat.wait(timeout=10)


def shortcut_paths(data):
    """(target, working folder) of a shell link: the local path of its link information and
    the working folder of its string data."""
    flags = struct.unpack_from("<I", data, 0x14)[0]
    at = 0x4C + (2 + struct.unpack_from("<H", data, 0x4C)[0] if flags & 0x1 else 0)
    target = None
    if flags & 0x2:
        size, _, info_flags, _, base = struct.unpack_from("<IIIII", data, at)
        if info_flags & 0x1:
            target = data[at + base:data.index(b"\0", at + base)].decode("latin-1")
        at += size
    strings = []
    for bit in (0x4, 0x8, 0x10):  # name, relative path, working folder
        if flags & bit:
            count = struct.unpack_from("<H", data, at)[0] * (2 if flags & 0x80 else 1)
            strings.append(data[at + 2:at + 2 + count].decode("utf-16-le" if flags & 0x80 else "latin-1"))
            at += 2 + count
    # Wine counts the terminating zero.
    return target, strings[-1].rstrip("\0") if flags & 0x10 else None


class PackageInstall(unittest.TestCase):
    def setUp(self):
        self.began = time.monotonic()
        packages = os.path.join(SCRATCH, "install-packages")
        self.first = make_package(SHIPPED_BIN, packages)
        self.second = make_package(SHIPPED_BIN, packages, next_version(VERSION))
        self.wine = WinePrefix(os.path.join(SCRATCH, "install"))
        self.addCleanup(self.wine.close)
        self.mark("packages and a fresh prefix")

    def mark(self, what):
        print("%6.1f s  %s" % (time.monotonic() - self.began, what))

    def msiexec(self, *args):
        status = self.wine.run(["msiexec"] + list(args), timeout=180, check=False)[0]
        self.mark("msiexec %s %s: status %d" % (args[0], os.path.basename(args[1]), status))
        return status

    def install_folder(self):
        # A 32-bit package in a 64-bit prefix goes to the 32-bit Program Files folder.
        x86 = self.wine.drive_c("Program Files (x86)")
        return os.path.join(x86 if os.path.isdir(x86) else self.wine.drive_c("Program Files"), "Stelvar")

    def menu_folders(self):
        """Start-menu folders named Stelvar: the machine's, or a user's (where Wine puts a
        per-machine package's shortcuts)."""
        programs = os.path.join("Microsoft", "Windows", "Start Menu", "Programs", "Stelvar")
        users = self.wine.drive_c("users")
        folders = [self.wine.drive_c("ProgramData", programs)]
        folders += [os.path.join(users, user, "AppData", "Roaming", programs) for user in os.listdir(users)]
        return [f for f in folders if os.path.isdir(f)]

    def entries(self):
        """Installed-programs entries named Stelvar, in either registry view."""
        return {key.rsplit("\\", 1)[1]: values
                for root in ("HKLM\\Software\\Wow6432Node\\", "HKLM\\Software\\")
                for key, values in self.wine.reg_tree(root + UNINSTALL).items()
                if values.get("DisplayName") == "Stelvar"}

    def last_file(self):
        return next(iter(self.wine.reg_tree(SETTINGS).values()), {}).get("LastFile")

    def check_installed(self, package):
        folder = self.install_folder()
        self.assertEqual(sorted(FILES), sorted(os.listdir(folder)))
        for name in FILES:
            with self.subTest(file=name), open(os.path.join(folder, name), "rb") as f:
                self.assertEqual(package.staged(name), f.read(), "the package's file, whole")
        menus = self.menu_folders()
        self.assertEqual(1, len(menus), "one Start-menu folder: %s" % menus)
        self.assertEqual(["Stelvar User Guide.lnk", "Stelvar.lnk"], sorted(os.listdir(menus[0])))
        win_folder = "C:\\" + os.path.relpath(folder, self.wine.drive_c()).replace("/", "\\")
        for link, target in [("Stelvar.lnk", "Stelvar.exe"), ("Stelvar User Guide.lnk", GUIDE)]:
            with self.subTest(shortcut=link), open(os.path.join(menus[0], link), "rb") as f:
                self.assertEqual((win_folder + "\\" + target, win_folder + "\\"), shortcut_paths(f.read()))
        entries = self.entries()
        self.assertEqual([package.properties()["ProductCode"]], list(entries), "one installed-programs entry")
        (code, entry), = entries.items()
        size_kb = (sum(len(package.staged(n)) for n in FILES) + 1023) // 1024
        for name, expected in [("DisplayName", "Stelvar"), ("DisplayVersion", package.version),
                               ("Publisher", "Korvantex"), ("Size", str(size_kb)),
                               ("InstallLocation", win_folder + "\\"), ("NoModify", 1),
                               ("UninstallString", "MsiExec.exe /X" + code)]:
            with self.subTest(value=name):
                self.assertEqual(expected, entry.get(name))
        # Windows computes EstimatedSize from the installed files; Wine writes 0.
        self.assertIn("EstimatedSize", entry)
        return win_folder

    def test_install_start_upgrade_remove(self):
        self.assertEqual(0, self.msiexec("/i", windows_path(self.first.msi), "/qn"))
        installed = self.check_installed(self.first)

        # The installed program starts and writes the person's setting when a file is picked.
        if os.path.realpath(RUN_BIN) != os.path.realpath(SHIPPED_BIN):
            for name in PROGRAMS:
                shutil.copy(os.path.join(RUN_BIN, name), self.install_folder())
        image = os.path.join(self.wine.folder, "box.img")
        with open(image, "wb") as f:
            f.write(bytes(4096))
        snap = os.path.join(SCRATCH, "installed-stelvar.bmp")
        status, out = self.wine.run([os.path.join(RUN_BIN, "stelvar_driver.exe"), "start-at",
                                     installed + "\\Stelvar.exe", "snap", windows_path(snap),
                                     "pick", windows_path(image), "close"], check=False)
        if "RESULT ok" not in out:
            shot = os.path.join(SCRATCH, "install-start-failed.png")
            subprocess.run(["import", "-window", "root", "-display", self.wine.env["DISPLAY"], shot], timeout=30)
        self.assertIn("RESULT ok", out)
        self.assertEqual(windows_path(image), self.last_file())
        for program, args, expected in [("velflash.exe", ["--help"], 0), ("velflash.exe", [], 2),
                                        ("velinspect.exe", [], 2)]:
            with self.subTest(program=program, args=args):
                status, out = self.wine.run([installed + "\\" + program] + args, timeout=60, check=False)
                self.assertEqual(expected, status)
                self.assertIn("usage: " + program[:-4], out)
        self.mark("started from the install folder")

        # A newer package replaces it: one entry, its files (the stand-ins are gone too).
        self.assertEqual(0, self.msiexec("/i", windows_path(self.second.msi), "/qn"))
        self.check_installed(self.second)
        # An older one is refused and changes nothing.
        self.assertEqual(FATAL % 256, self.msiexec("/i", windows_path(self.first.msi), "/qn") % 256)
        self.assertEqual([self.second.version], [e["DisplayVersion"] for e in self.entries().values()])

        # Silent removal takes every file, shortcut and the entry, and leaves the settings.
        self.assertEqual(0, self.msiexec("/x", windows_path(self.second.msi), "/qn"))
        self.assertFalse(os.path.exists(self.install_folder()), "install folder left")
        self.assertEqual([], self.menu_folders(), "Start-menu folder left")
        self.assertEqual({}, self.entries(), "installed-programs entry left")
        self.assertEqual(windows_path(image), self.last_file(), "the person's setting")


if __name__ == "__main__":
    unittest.main(verbosity=2)
