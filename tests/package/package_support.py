"""What the package tests share: a package made by packaging/MakePackage.cmake, its tables
read back with msiinfo, and the programs' PE machine and file version.

ctest sets STELVAR_SOURCE, STELVAR_VERSION (the project's), STELVAR_SHIPPED_BIN (the shipped
32-bit programs), STELVAR_RUN_BIN (those Wine runs here: the same, or the x86-64 build of the
same sources), STELVAR_WIXL, STELVAR_WINDRES, STELVAR_STRIP and STELVAR_SCRATCH."""
import os
import struct
import subprocess

SOURCE = os.environ["STELVAR_SOURCE"]
VERSION = os.environ["STELVAR_VERSION"]
SHIPPED_BIN = os.environ["STELVAR_SHIPPED_BIN"]
RUN_BIN = os.environ["STELVAR_RUN_BIN"]
SCRATCH = os.environ["STELVAR_SCRATCH"]

PROGRAMS = ["Stelvar.exe", "VelManager.dll", "velflash.exe", "velinspect.exe"]
GUIDE = "Stelvar User Guide.html"
FILES = PROGRAMS + [GUIDE]
# Fixed for the product's life: a newer package finds the installed one by it.
UPGRADE_CODE = "{3628D9A0-A020-4D37-9D85-97281A38574E}"


def next_version(version):
    major, minor, patch = version.split(".")
    return "%s.%s.%d" % (major, minor, int(patch) + 1)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Package:
    """The .msi, the .zip and the folder of the files they hold."""

    def __init__(self, out_dir, version):
        self.version = version
        self.msi, self.zip, self.stage = (os.path.join(out_dir, "Stelvar-" + version + ext)
                                          for ext in (".msi", ".zip", ""))

    def staged(self, name):
        with open(os.path.join(self.stage, name), "rb") as f:
            return f.read()

    def properties(self):
        return {row["Property"]: row["Value"] for row in msi_table(self.msi, "Property")}


def make_package(bin_dir, out_dir, version=None):
    """The packaging script on the programs in bin_dir; version overrides the package's."""
    cmd = ["cmake", "-DBIN_DIR=" + bin_dir, "-DOUT_DIR=" + out_dir, "-DPROJECT_VERSION=" + VERSION,
           "-DSOURCE_DIR=" + SOURCE, "-DWIXL=" + os.environ["STELVAR_WIXL"],
           "-DWINDRES=" + os.environ["STELVAR_WINDRES"], "-DSTRIP=" + os.environ["STELVAR_STRIP"],
           "-DPACKAGE_VERSION=" + (version or VERSION), "-P", os.path.join(SOURCE, "packaging", "MakePackage.cmake")]
    done = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=120)
    if done.returncode != 0:
        raise AssertionError("packaging %s failed (build that preset first):\n%s" % (bin_dir, done.stdout))
    return Package(out_dir, version or VERSION)


def msi_table(msi, table):
    """The rows of a table as dicts."""
    out = subprocess.run(["msiinfo", "export", msi, table], stdout=subprocess.PIPE, check=True, timeout=60)
    lines = out.stdout.decode("utf-8").split("\r\n")
    return [dict(zip(lines[0].split("\t"), line.split("\t"))) for line in lines[3:] if line]


def pe_machine(data):
    """The machine field of a PE image: 0x14c i386, 0x8664 x86-64."""
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    assert data[pe:pe + 4] == b"PE\0\0", "not a PE image"
    return struct.unpack_from("<H", data, pe + 4)[0]


def file_version(data):
    """FILEVERSION of the version resource as "a.b.c.d", from its VS_FIXEDFILEINFO."""
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        return None
    ms, ls = struct.unpack_from("<II", data, at + 8)
    return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
